// What the renderer's tests share: the real bundle behind a test host, window ports over
// guarded memory, snapshots, and the settings bytes.
#ifndef LUMETRA_TESTS_RENDER_FIXTURE_H
#define LUMETRA_TESTS_RENDER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "guarded.h"
#include "render.h"
#include "testhost.h"

namespace lumetra::test {

constexpr UInt32 kGreen = 0x0000FF00;
constexpr UInt32 kBlack = 0;
// What a host's window holds before the plug-in draws: no pixel the scope could make.
constexpr UInt32 kUntouched = 0xEE123456;

// A window port over 32-bit guarded pixels that the test owns, filled with kUntouched.
class Window {
 public:
  explicit Window(Rect bounds, int32_t rowBytes = 0);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  CGrafPtr port() const { return port_; }
  const GuardedPixMap& pixels() const { return pixels_; }
  UInt32 at(int h, int v) const { return pixels_.get(h, v); }
  void fill(UInt32 value) { pixels_.fill(value); }
  // The pixels of r (in port coordinates), row by row.
  std::vector<UInt32> region(const Rect& r) const;

 private:
  GuardedPixMap pixels_;
  CGrafPtr port_ = nullptr;
};

// A snapshot from two waveform channels; the counts say two channels and the spectra hold a
// pattern, which the scope must not read.
struct Snapshot {
  RenderData data{};
  Snapshot();
  static Snapshot Zero();
  static Snapshot Of(const std::function<UInt8(int)>& channel0, const std::function<UInt8(int)>& channel1);
  static Snapshot Constant(UInt8 channel0, UInt8 channel1);
  // Sample j = j / 2 on both channels.
  static Snapshot Ramp();
};

// The expected scope image of a snapshot in a world of width x height, drawn with the
// reference model's fill and line: black, and the 511 segments between the documented points.
std::vector<UInt32> ExpectedScope(const RenderData& data, int width, int height);

// The settings bytes, set for one test and restored afterwards.
class Settings {
 public:
  explicit Settings(const TestHost& host);
  ~Settings();
  void setColor(UInt8 value) { *color_ = value; }
  void setFlash(UInt8 value) { *flash_ = value; }

 private:
  UInt8* color_;
  UInt8* flash_;
  UInt8 savedColor_, savedFlash_;
};

// One instance of the real bundle, with helpers for the window and frame messages.
class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  VisualPluginState* state() const { return static_cast<VisualPluginState*>(host_->refCon()); }
  OSStatus show(CGrafPtr port, Rect rect, UInt32 options = 0, OSType message = kVisualPluginShowWindowMessage);
  OSStatus swin(CGrafPtr port, Rect rect) { return show(port, rect, 0, kVisualPluginSetWindowMessage); }
  OSStatus render(const RenderData* data, UInt32 timeStamp = 0);
  OSStatus render(const Snapshot& snapshot) { return render(&snapshot.data); }
  // A message that needs no block.
  OSStatus send(OSType message);

  // The world's pixels, row by row.
  std::vector<UInt32> worldPixels() const;

  std::unique_ptr<TestHost> host_;
  std::unique_ptr<Settings> settings_;
  CGrafPtr startPort_ = nullptr;
  GDHandle startDevice_ = nullptr;
};

// Two images of the given width compared pixel for pixel; the first difference is reported
// with its position and both values.
::testing::AssertionResult SameImage(const std::vector<UInt32>& actual, const std::vector<UInt32>& expected,
                                     int width);

}  // namespace lumetra::test

#endif
