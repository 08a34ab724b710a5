// The host side of the ABI against the real bundle: a whole run, driven by a scripted clock
// and scripted input, recorded by a wrapper around the handler and checked against the order
// of codes a player sends; and the bundle's answers to what the host asks of it.
#include "host.h"
#include "hosttest.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lumetra;

namespace {

struct Recorder {
  std::vector<std::string> codes;
  std::vector<OSStatus> statuses;
  MessageObserver observer() {
    return [this](OSType m, OSStatus s) {
      codes.push_back(hosttest::fourcc(m));
      statuses.push_back(s);
    };
  }
};

std::unique_ptr<LoadedBundle> loadReal() {
  auto loaded = LoadedBundle::load(LUMETRA_BUNDLE_DIR);
  if (!loaded) {
    ADD_FAILURE() << loaded.error().message;
    return nullptr;
  }
  return std::move(*loaded);
}

bool anyLit(const FrameBuffer& f) {
  return std::any_of(f.pixels().begin(), f.pixels().end(), [](std::uint32_t p) { return (p & 0xFFFFFF) != 0; });
}

TEST(Abi, RegistrationOfTheRealBundle) {
  auto bundle = loadReal();
  ASSERT_TRUE(bundle);
  ASSERT_EQ(bundle->visuals().size(), 1u);
  const auto& v = bundle->visuals()[0];
  EXPECT_EQ(v.name, "LumetraPlugIn");
  EXPECT_EQ(v.registration.waveformChannelCount, 2u);
  EXPECT_EQ(v.registration.spectrumChannelCount, 2u);
  EXPECT_EQ(v.registration.optionWord, 0x28u);
  EXPECT_EQ(v.registration.minWindowWidth, 64);
  EXPECT_EQ(bundle->info().identifier, "Lumetra Visualizer.bundle");
}

TEST(Abi, HostCallbackAnswers) {
  auto bundle = loadReal();
  ASSERT_TRUE(bundle);
  HostCallBlock block{};
  block.blockSize = sizeof block;
  FSSpec fileSpec{};
  block.u.getPluginFileSpecMessage.fileSpec = &fileSpec;
  EXPECT_EQ(LoadedBundle::hostCallback(bundle.get(), kPlayerGetPluginFileSpecMessage, &block), noErr);
  EXPECT_EQ(std::string(fileSpec.path), bundle->info().path.string());
  block.u.getPluginFileSpecMessage.fileSpec = nullptr;
  EXPECT_EQ(LoadedBundle::hostCallback(bundle.get(), kPlayerGetPluginFileSpecMessage, &block), paramErr);
  EXPECT_EQ(LoadedBundle::hostCallback(bundle.get(), kPlayerIdleMessage, &block), noErr);
  EXPECT_EQ(LoadedBundle::hostCallback(bundle.get(), kPlayerOpenURLMessage, &block), unimpErr);
  EXPECT_EQ(LoadedBundle::hostCallback(nullptr, kPlayerIdleMessage, &block), paramErr);
  EXPECT_EQ(LoadedBundle::hostCallback(bundle.get(), kPlayerIdleMessage, nullptr), paramErr);
  // A registration in a block smaller than this build's call block is refused.
  block.blockSize = 124 - 1;
  EXPECT_EQ(LoadedBundle::hostCallback(bundle.get(), kPlayerRegisterVisualPluginMessage, &block), paramErr);
  EXPECT_EQ(bundle->visuals().size(), 1u);
}

// One step of the script: what the player does, and at which playback position it ticks.
enum class Do { Show, Play, Tick, Pause, Resume, ChangeTrack, Stop, Resize, Hide };
struct Step {
  Do what;
  std::int64_t position = 0;
};

TEST(Abi, WholeRunMessageOrder) {
  auto bundle = loadReal();
  ASSERT_TRUE(bundle);
  Recorder rec;
  DemoSignal signal;
  SampleHistory history(signal);
  std::vector<std::unique_ptr<FrameBuffer>> windows;
  windows.push_back(std::make_unique<FrameBuffer>(320, 240));
  {
    auto created = VisualInstance::create(*bundle, bundle->visuals()[0], rec.observer());
    ASSERT_TRUE(created) << created.error().message;
    VisualInstance& visual = **created;
    PlaybackDriver player(visual, FrameClock(kSampleRate, 60));
    // The clock ticks every 500 samples, faster than the 735 of a frame at 60 fps, so some
    // ticks find no new frame; a pause in the middle, a track change, a stop with idle ticks
    // and a resize while stopped.
    const Step script[] = {
        {Do::Show},        {Do::Play},        {Do::Tick, 44100}, {Do::Tick, 44600}, {Do::Tick, 45100},
        {Do::Tick, 45600}, {Do::Pause},       {Do::Tick, 45600}, {Do::Resume},      {Do::Tick, 46100},
        {Do::ChangeTrack}, {Do::Tick, 0},     {Do::Tick, 500},   {Do::Tick, 1000},  {Do::Stop},
        {Do::Tick, 1000},  {Do::Tick, 1000},  {Do::Tick, 1000},  {Do::Resize},      {Do::Tick, 1000},
        {Do::Hide},
    };
    bool drew = false;
    for (const auto& step : script) {
      FrameBuffer& window = *windows.back();
      switch (step.what) {
        case Do::Show: visual.show(window.port(), window.bounds()); break;
        case Do::Play: player.start(); break;
        case Do::Tick:
          player.tick(step.position, history);
          drew = drew || anyLit(window);
          break;
        case Do::Pause: player.pause(); break;
        case Do::Resume: player.resume(); break;
        case Do::ChangeTrack: player.changeTrack(); break;
        case Do::Stop: player.stop(); break;
        case Do::Resize:
          windows.push_back(std::make_unique<FrameBuffer>(400, 300));
          visual.setWindow(windows.back()->port(), windows.back()->bounds());
          break;
        case Do::Hide: visual.hide(); break;
      }
    }
    EXPECT_TRUE(drew) << "the scope reached the host's pixels";
  }
  // Positions 44100, 44600, 45100, 45600 reach frames 60, 60, 61, 62; 46100 is frame 62 again
  // but the first after the resume; after the track change 0, 500, 1000 are frames 0, 0, 1.
  const std::vector<std::string> expected{"init", "show", "vply", "vrnd", "vrnd", "vrnd", "vpau", "null", "vunp",
                                          "vrnd", "ctrk", "vrnd", "vrnd", "vstp", "null", "null", "null", "swin",
                                          "null", "hide", "clr "};
  EXPECT_EQ(rec.codes, expected);
  for (std::size_t i = 0; i < rec.statuses.size(); ++i) EXPECT_EQ(rec.statuses[i], noErr) << rec.codes[i];
}

TEST(Abi, EndingWithoutHideStillHides) {
  // An instance given up while it holds a window is sent 'hide', then 'clr '.
  auto bundle = loadReal();
  ASSERT_TRUE(bundle);
  Recorder rec;
  FrameBuffer window(128, 128);
  {
    auto created = VisualInstance::create(*bundle, bundle->visuals()[0], rec.observer());
    ASSERT_TRUE(created);
    (*created)->show(window.port(), window.bounds());
  }
  EXPECT_EQ(rec.codes, (std::vector<std::string>{"init", "show", "hide", "clr "}));
}

TEST(Abi, SnapshotTimeAndContent) {
  // What 'vrnd' carries is the analysis of the window ending at the frame's sample.
  auto bundle = loadReal();
  ASSERT_TRUE(bundle);
  FrameBuffer window(128, 128);
  auto created = VisualInstance::create(*bundle, bundle->visuals()[0]);
  ASSERT_TRUE(created);
  DemoSignal signal;
  SampleHistory history(signal);
  PlaybackDriver player(**created, FrameClock(kSampleRate, 60));
  player.start();
  ASSERT_TRUE(player.tick(5 * kSampleRate + 100, history));
  const std::int64_t t = FrameClock(kSampleRate, 60).sampleAt(300);
  for (int k = 0; k < 512; ++k) {
    ASSERT_EQ(player.lastSnapshot().waveformData[0][k], Analyzer::waveformByte(DemoSignal::sampleAt(t - 512 + k, 0)));
    ASSERT_EQ(player.lastSnapshot().waveformData[1][k], Analyzer::waveformByte(DemoSignal::sampleAt(t - 512 + k, 1)));
  }
}

}  // namespace
