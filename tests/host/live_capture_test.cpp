// `capture` without a sound card: SDL's disk driver stands in for the capture device and
// plays back a file in real time, whose every sample says where in the file it is. Each frame
// the loop draws must show the 512 samples that end exactly at its frame clock position.
#include "host.h"
#include "hosttest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <thread>

using namespace lumetra;

namespace {

struct Frame {
  UInt32 timeStamp;
  RenderData data;
};
VisualPluginProcPtr gRealHandler = nullptr;
std::vector<Frame>* gFrames = nullptr;
std::vector<std::string>* gCodes = nullptr;

OSStatus recordingHandler(OSType message, VisualMessageBlock* block, void* refCon) {
  if (gCodes) gCodes->push_back(hosttest::fourcc(message));
  if (gFrames && block && message == kVisualPluginRenderMessage && block->u.renderMessage.renderData)
    gFrames->push_back({block->u.renderMessage.timeStampID, *block->u.renderMessage.renderData});
  return gRealHandler(message, block, refCon);
}

// The loop on the real clock, without a window; quits after `run` microseconds.
class TimedScreen final : public LiveScreen {
 public:
  explicit TimedScreen(std::int64_t run) : end_(now() + run) {}
  std::pair<int, int> pixelSize() override { return {320, 240}; }
  std::optional<LiveEvent> poll() override {
    if (now() < end_) return std::nullopt;
    return LiveEvent{LiveEvent::Kind::Quit};
  }
  std::int64_t now() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  void waitUntil(std::int64_t t) override { std::this_thread::sleep_for(std::chrono::microseconds(std::max<std::int64_t>(0, t - now()))); }
  void present(const FrameBuffer&, const LiveStatus&) override {}
  void setFullscreen(bool) override {}
  bool fullscreen() const override { return false; }

 private:
  std::int64_t end_;
};

// Sample pair i carries i: its low byte as channel 0's waveform byte, the next as channel 1's.
std::int16_t carrier(unsigned byte) { return static_cast<std::int16_t>((static_cast<int>(byte) - 128) * 256); }

TEST(LiveCapture, FramesShowTheCapturedSoundAtTheFrameClock) {
  hosttest::ScratchDir dir;
  const auto input = dir / "captured.raw";
  {
    std::ofstream out(input, std::ios::binary);
    for (unsigned i = 0; i < 65536; ++i) {
      const std::int16_t pair[2] = {carrier(i & 0xFF), carrier(i >> 8)};
      out.write(reinterpret_cast<const char*>(pair), sizeof pair);
    }
  }
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);

  auto loaded = LoadedBundle::load(LUMETRA_BUNDLE_DIR);
  ASSERT_TRUE(loaded) << loaded.error().message;
  Visual recorded = (*loaded)->visuals().front();
  gRealHandler = recorded.registration.handlerProc;
  recorded.registration.handlerProc = &recordingHandler;
  std::vector<Frame> frames;
  std::vector<std::string> codes;
  gFrames = &frames;
  gCodes = &codes;
  {
    auto visual = VisualInstance::create(**loaded, recorded);
    ASSERT_TRUE(visual) << visual.error().message;
    std::unique_ptr<SoundInput> device;
    try {
      device = openCaptureDevice("");
    } catch (const HostError& e) {
      FAIL() << e.what();
    }
    CaptureTransport capture(*device, "the disk driver");
    // 1.2 s of 44.1 kHz stay inside the 65536 pairs the carrier can number.
    TimedScreen screen(1'200'000);
    LiveLoop(**visual, screen, capture, {}).run();
  }
  gFrames = nullptr;
  gCodes = nullptr;
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILEIN");

  ASSERT_GE(codes.size(), 4u);
  EXPECT_EQ(codes[0], "init");
  EXPECT_EQ(codes[1], "show");
  EXPECT_EQ(codes[2], "vply");
  EXPECT_EQ(codes.back(), "clr ");
  // About 70 frames at 60 a second; a loaded machine may drop some, not most.
  ASSERT_GE(frames.size(), 20u);
  const FrameClock clock(kSampleRate, 60);
  std::int64_t lastFrame = -1;
  int drawn = 0;
  for (const Frame& f : frames) {
    const auto& left = f.data.waveformData[0];
    const auto& right = f.data.waveformData[1];
    const unsigned first = left[0] | (right[0] << 8);
    // Frames of the first 512 pairs show silence in front (11 ms and less); the rest must be
    // the file's own pairs, consecutive, ending at a frame's sample position.
    if (f.timeStamp <= 11) continue;
    bool contiguous = true;
    for (int k = 0; k < 512; ++k) contiguous = contiguous && static_cast<unsigned>(left[k] | (right[k] << 8)) == ((first + k) & 0xFFFF);
    ASSERT_TRUE(contiguous) << "frame stamped " << f.timeStamp << " is not one run of the captured sound";
    const std::int64_t end = first + 512;
    const std::int64_t n = clock.frameAt(end);
    EXPECT_EQ(clock.sampleAt(n), end) << "the frame ends between two frame positions";
    EXPECT_GT(n, lastFrame) << "frames out of order";
    EXPECT_EQ(f.timeStamp, clock.milliseconds(end));
    lastFrame = n;
    ++drawn;
  }
  EXPECT_GE(drawn, 15);
}

}  // namespace

namespace {

// A capture device that hands over what it has captured in bursts of `burst` pairs, each as
// soon as the test's clock has reached the time its last pair was heard.
class BurstyInput final : public SoundInput {
 public:
  BurstyInput(const std::int64_t& now, std::int64_t burst) : now_(now), burst_(burst) {}
  std::size_t read(std::span<std::int16_t> out) override {
    const std::int64_t heard = now_ * kSampleRate / 1'000'000;
    const std::int64_t due = heard / burst_ * burst_;
    const auto pairs = static_cast<std::size_t>(std::min<std::int64_t>(due - given_, static_cast<std::int64_t>(out.size() / 2)));
    for (std::size_t i = 0; i < pairs; ++i) out[2 * i] = out[2 * i + 1] = static_cast<std::int16_t>((given_ + i) & 0x7FFF);
    given_ += static_cast<std::int64_t>(pairs);
    return pairs;
  }
  void setPaused(bool) override {}

 private:
  const std::int64_t& now_;
  std::int64_t burst_, given_ = 0;
};

}  // namespace

// Sound servers deliver captured sound in uneven bursts of 5 to 40 ms. The position shown
// must still reach every frame of 60 a second, never pass what has arrived, never go back,
// and keep the samples of its window.
TEST(LiveCapture, PositionRunsAtTheFrameRateOverBursts) {
  for (const std::int64_t burst : {256, 1024, 1764}) {
    std::int64_t now = 0;
    BurstyInput in(now, burst);
    CaptureTransport capture(in, "bursts", [&now] { return now; });
    const FrameClock clock(kSampleRate, 60);
    std::set<std::int64_t> frames;
    std::int64_t last = 0;
    // The loop wakes about once a millisecond; the first 0.2 s let the position settle.
    for (now = 0; now <= 2'000'000; now += 1000) {
      capture.pump();
      const std::int64_t shown = capture.position();
      const std::int64_t arrived = capture.history().available();
      ASSERT_LE(shown, arrived) << "burst " << burst << " at " << now << " us";
      ASSERT_GE(shown, last) << "burst " << burst << " at " << now << " us";
      last = shown;
      if (now < 200'000) continue;
      ASSERT_LE(arrived - shown, 4096) << "burst " << burst << ": the picture is more than 93 ms late";
      ASSERT_EQ(capture.history().range(shown - kAnalysisWindow, shown).size(), std::size_t(2 * kAnalysisWindow))
          << "burst " << burst << ": the window that ends at the position was dropped";
      frames.insert(clock.frameAt(shown));
    }
    // 1.8 s hold 108 frames; shown as the bursts arrive, 1024 pairs would give 77, 1764 45.
    EXPECT_GE(frames.size(), 104u) << "burst " << burst;
  }
}
