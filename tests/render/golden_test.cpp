// Whole frames compared pixel for pixel with golden images in tests/fixtures/.
//
// To regenerate them after an intended change (then look at them and commit them):
//   LUMETRA_REGENERATE_GOLDEN=1 ctest --preset release -R GoldenTest
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

#include "png_file.h"
#include "render_fixture.h"

namespace lumetra::test {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 72;

UInt8 Wave(double amplitude, double turns, int k, bool cosine) {
  const double phase = 2.0 * std::numbers::pi * turns * k / double{kVisualNumWaveformEntries};
  return static_cast<UInt8>(std::lround(128.0 + amplitude * (cosine ? std::cos(phase) : std::sin(phase))));
}

struct GoldenCase {
  const char* file;
  Snapshot snapshot;
};

std::vector<GoldenCase> Cases() {
  return {
      // A 2:3 figure from two sines.
      {"scope_sine_pair.png",
       Snapshot::Of([](int k) { return Wave(100, 2, k, false); }, [](int k) { return Wave(100, 3, k, true); })},
      {"scope_ramp.png", Snapshot::Ramp()},
      // Silence sits at the middle of the unsigned range: every point is one pixel.
      {"scope_silence.png", Snapshot::Constant(128, 128)},
  };
}

using GoldenTest = RenderTest;

TEST_F(GoldenTest, FramesMatchTheirGoldenImages) {
  const char* regenerate = std::getenv("LUMETRA_REGENERATE_GOLDEN");
  const bool writing = regenerate && std::string(regenerate) == "1";
  const Rect rect = {0, 0, kHeight, kWidth};
  Window window(rect);
  ASSERT_EQ(show(window.port(), rect), noErr);
  for (const GoldenCase& c : Cases()) {
    SCOPED_TRACE(c.file);
    ASSERT_EQ(render(c.snapshot), noErr);
    RgbImage frame{kWidth, kHeight, window.region(rect)};
    for (UInt32 p : frame.pixels) ASSERT_EQ(p >> 24, 0u) << "the top byte of a pixel is not 0";

    const std::string path = std::string(LUMETRA_SOURCE_DIR) + "/tests/fixtures/" + c.file;
    std::string error;
    if (writing) {
      ASSERT_TRUE(WritePng(path, frame, &error)) << error;
    }
    RgbImage golden;
    ASSERT_TRUE(ReadPng(path, &golden, &error)) << error;
    ASSERT_EQ(golden.width, kWidth);
    ASSERT_EQ(golden.height, kHeight);
    EXPECT_TRUE(SameImage(frame.pixels, golden.pixels, kWidth))
        << "if the change is intended, regenerate with LUMETRA_REGENERATE_GOLDEN=1";
  }
}

}  // namespace
}  // namespace lumetra::test
