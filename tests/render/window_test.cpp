// The window, frame and playback messages through the real bundle, checked on the pixels of
// the host's window port and on the instance record.
#include <algorithm>
#include <cstring>

#include "render_fixture.h"

namespace lumetra::test {
namespace {

constexpr Rect kRect = {0, 0, 200, 300};
constexpr Rect kWindowBounds = {0, 0, 240, 340};  // larger than kRect: stores past it would show

bool AllOf(const std::vector<UInt32>& pixels, UInt32 value) {
  return std::all_of(pixels.begin(), pixels.end(), [&](UInt32 p) { return p == value; });
}

// The zero snapshot's frame: black, one green pixel at the top-left.
std::vector<UInt32> ZeroFrame(int width, int height) {
  std::vector<UInt32> frame(static_cast<size_t>(width) * height, kBlack);
  frame[0] = kGreen;
  return frame;
}

// Every pixel of the window outside r still holds kUntouched.
::testing::AssertionResult UntouchedOutside(const Window& window, const Rect& r) {
  const Rect& b = window.pixels().bounds();
  for (int v = b.top; v < b.bottom; ++v)
    for (int h = b.left; h < b.right; ++h) {
      const bool inside = v >= r.top && v < r.bottom && h >= r.left && h < r.right;
      if (!inside && window.at(h, v) != kUntouched)
        return ::testing::AssertionFailure() << "pixel " << h << "," << v << " outside the rectangle was written";
    }
  if (!window.pixels().paddingUntouched()) return ::testing::AssertionFailure() << "row padding was written";
  return ::testing::AssertionSuccess();
}

using WindowTest = RenderTest;

TEST_F(WindowTest, FirstShowMakesABlackWorldOfTheRectangle) {
  Window window(kWindowBounds);
  const long worlds = LumetraLiveGWorldCount();
  EXPECT_EQ(show(window.port(), kRect, 0x1234), noErr);
  VisualPluginState* s = state();
  EXPECT_EQ(s->destPort, window.port());
  EXPECT_TRUE(EqualRect(&s->destRect, &kRect));
  EXPECT_EQ(s->destOptions, 0x1234u);
  ASSERT_NE(s->offscreenWorld, nullptr);
  EXPECT_EQ(LumetraLiveGWorldCount(), worlds + 1);
  PixMapHandle pm = GetGWorldPixMap(s->offscreenWorld);
  const Rect bounds = {0, 0, 200, 300};
  EXPECT_TRUE(EqualRect(&(*pm)->bounds, &bounds));
  EXPECT_EQ((*pm)->pixelSize, 32);
  EXPECT_TRUE(AllOf(worldPixels(), kBlack));
  // The new world's black is copied to the window at once.
  EXPECT_TRUE(AllOf(window.region(kRect), kBlack));
  EXPECT_TRUE(UntouchedOutside(window, kRect));
}

TEST_F(WindowTest, EqualRectangleOnAnotherPortKeepsTheWorldAndItsImage) {
  Window first(kWindowBounds), second(kWindowBounds);
  ASSERT_EQ(show(first.port(), kRect), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  const GWorldPtr world = state()->offscreenWorld;
  const std::vector<UInt32> image = first.region(kRect);
  ASSERT_FALSE(AllOf(image, kBlack));

  EXPECT_EQ(swin(second.port(), kRect), noErr);
  EXPECT_EQ(state()->offscreenWorld, world);
  EXPECT_EQ(state()->destPort, second.port());
  EXPECT_TRUE(SameImage(second.region(kRect), image, 300));
  EXPECT_TRUE(UntouchedOutside(second, kRect));
}

TEST_F(WindowTest, SameSizeElsewhereMakesANewBlackWorld) {
  Window window(kWindowBounds);
  ASSERT_EQ(show(window.port(), kRect), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  const long worlds = LumetraLiveGWorldCount();
  window.fill(kUntouched);

  const Rect moved = {10, 20, 210, 320};
  EXPECT_EQ(swin(window.port(), moved), noErr);
  EXPECT_EQ(LumetraLiveGWorldCount(), worlds);  // the old one was released
  EXPECT_TRUE(EqualRect(&state()->destRect, &moved));
  EXPECT_TRUE(AllOf(worldPixels(), kBlack));
  EXPECT_TRUE(AllOf(window.region(moved), kBlack));
  EXPECT_TRUE(UntouchedOutside(window, moved));
}

TEST_F(WindowTest, HideReleasesTheWorldAndLaterUpdatesDrawNothing) {
  Window window(kWindowBounds);
  ASSERT_EQ(show(window.port(), kRect), noErr);
  TrackInfoBlock track;
  StreamInfoBlock stream;
  std::memset(&track, 0x11, sizeof track);
  std::memset(&stream, 0x22, sizeof stream);
  VisualMessageBlock play{};
  play.u.playMessage.trackInfo = &track;
  play.u.playMessage.streamInfo = &stream;
  ASSERT_EQ(host_->send(kVisualPluginPlayMessage, &play), noErr);
  const Snapshot ramp = Snapshot::Ramp();
  ASSERT_EQ(render(ramp), noErr);
  const long worlds = LumetraLiveGWorldCount();

  EXPECT_EQ(send(kVisualPluginHideWindowMessage), noErr);
  VisualPluginState* s = state();
  EXPECT_EQ(s->destPort, nullptr);
  EXPECT_EQ(s->offscreenWorld, nullptr);
  EXPECT_EQ(LumetraLiveGWorldCount(), worlds - 1);
  EXPECT_TRUE(EqualRect(&s->destRect, &kRect));
  EXPECT_EQ(std::memcmp(&s->renderData, &ramp.data, sizeof ramp.data), 0);
  EXPECT_EQ(s->playing, 1);
  const TrackInfoBlock noTrack{};
  const StreamInfoBlock noStream{};
  EXPECT_EQ(std::memcmp(&s->trackInfo, &noTrack, sizeof noTrack), 0);
  EXPECT_EQ(std::memcmp(&s->streamInfo, &noStream, sizeof noStream), 0);

  window.fill(kUntouched);
  EXPECT_EQ(send(kVisualPluginUpdateMessage), noErr);
  EXPECT_EQ(render(ramp), noErr);
  EXPECT_TRUE(UntouchedOutside(window, {0, 0, 0, 0}));
}

TEST_F(WindowTest, ShowAfterHideWithTheOldRectangleMakesANewWorld) {
  Window window(kWindowBounds);
  ASSERT_EQ(show(window.port(), kRect), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  ASSERT_EQ(send(kVisualPluginHideWindowMessage), noErr);
  window.fill(kUntouched);
  EXPECT_EQ(show(window.port(), kRect), noErr);
  ASSERT_NE(state()->offscreenWorld, nullptr);
  EXPECT_TRUE(AllOf(worldPixels(), kBlack));
  EXPECT_TRUE(AllOf(window.region(kRect), kBlack));
}

TEST_F(WindowTest, CleanupWithoutHideReleasesTheWorldToo) {
  const long worlds = LumetraLiveGWorldCount();
  const long blocks = LumetraLivePtrCount();
  Window window(kWindowBounds);
  ASSERT_EQ(show(window.port(), kRect), noErr);
  ASSERT_EQ(LumetraLiveGWorldCount(), worlds + 1);
  EXPECT_EQ(host_->cleanupInstance(), noErr);
  EXPECT_EQ(LumetraLiveGWorldCount(), worlds);
  EXPECT_EQ(LumetraLivePtrCount(), blocks - 1);  // the instance record
}

TEST_F(WindowTest, FailedWorldAnswersThePlatformsStatusAndDropsTheWindow) {
  struct Case {
    const char* name;
    bool heldBefore;  // a window was held when the failing message came
    OSType message;
  };
  const Case cases[] = {
      {"first show", false, kVisualPluginShowWindowMessage},
      {"swin to a new rectangle", true, kVisualPluginSetWindowMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    Window window(kWindowBounds), other(kWindowBounds);
    if (c.heldBefore) {
      ASSERT_EQ(show(window.port(), kRect), noErr);
      ASSERT_EQ(render(Snapshot::Ramp()), noErr);
    }
    window.fill(kUntouched);
    const long worlds = LumetraLiveGWorldCount();
    // The graphics world current when the host sends the message must be current afterwards.
    SetGWorld(other.port(), nullptr);
    CGrafPtr before = nullptr;
    GDHandle beforeDevice = nullptr;
    GetGWorld(&before, &beforeDevice);

    const Rect rect = {5, 5, 105, 205};
    LumetraFailNthNewGWorld(1);
    EXPECT_EQ(show(window.port(), rect, 0, c.message), memFullErr);
    VisualPluginState* s = state();
    EXPECT_EQ(s->destPort, nullptr);
    EXPECT_EQ(s->offscreenWorld, nullptr);
    EXPECT_TRUE(EqualRect(&s->destRect, &rect));
    EXPECT_EQ(LumetraLiveGWorldCount(), worlds - (c.heldBefore ? 1 : 0));
    CGrafPtr after = nullptr;
    GDHandle afterDevice = nullptr;
    GetGWorld(&after, &afterDevice);
    EXPECT_EQ(after, before);
    EXPECT_EQ(afterDevice, beforeDevice);

    // Nothing is drawn until a window is taken again.
    EXPECT_EQ(render(Snapshot::Ramp()), noErr);
    EXPECT_EQ(send(kVisualPluginUpdateMessage), noErr);
    EXPECT_TRUE(UntouchedOutside(window, {0, 0, 0, 0}));
    EXPECT_EQ(show(window.port(), rect), noErr);
    EXPECT_TRUE(AllOf(window.region(rect), kBlack));
  }
}

TEST_F(WindowTest, RenderWithoutASnapshotClearsItAndStillDraws) {
  Window window(kWindowBounds);
  ASSERT_EQ(show(window.port(), kRect), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  EXPECT_EQ(render(nullptr, 77), noErr);
  EXPECT_EQ(state()->renderTimeStamp, 77u);
  const RenderData zero{};
  EXPECT_EQ(std::memcmp(&state()->renderData, &zero, sizeof zero), 0);
  EXPECT_TRUE(SameImage(window.region(kRect), ZeroFrame(300, 200), 300));
}

TEST_F(WindowTest, SnapshotIsCopiedWholeAndNothingBeyondIt) {
  Window window(kWindowBounds);
  ASSERT_EQ(show(window.port(), kRect, 0xABCDEF01), noErr);
  // The record ends at a guard page: reading past its 2050 bytes would crash.
  GuardedBuffer record(sizeof(RenderData));
  const Snapshot ramp = Snapshot::Ramp();
  std::memcpy(record.data(), &ramp.data, sizeof ramp.data);
  std::memset(state()->levelBytes, 0, sizeof state()->levelBytes);
  const UInt32 options = state()->destOptions;
  EXPECT_EQ(render(reinterpret_cast<const RenderData*>(record.data()), 5), noErr);
  EXPECT_EQ(std::memcmp(&state()->renderData, &ramp.data, sizeof ramp.data), 0);
  EXPECT_EQ(state()->destOptions, options);
  EXPECT_EQ(state()->renderTimeStamp, 5u);
}

TEST_F(WindowTest, StopOrPauseThenIdleDrawsTheZeroFrame) {
  for (OSType message : {kVisualPluginStopMessage, kVisualPluginPauseMessage}) {
    SCOPED_TRACE(fourCC(message));
    TearDown();
    SetUp();
    Window window(kWindowBounds);
    ASSERT_EQ(show(window.port(), kRect), noErr);
    ASSERT_EQ(send(kVisualPluginUnpauseMessage), noErr);
    ASSERT_EQ(render(Snapshot::Ramp()), noErr);
    const std::vector<UInt32> image = window.region(kRect);
    const UInt8 levels[4] = {1, 2, 3, 4};
    std::memcpy(state()->levelBytes, levels, sizeof levels);

    window.fill(kUntouched);
    EXPECT_EQ(send(message), noErr);
    EXPECT_EQ(state()->playing, 0);
    const RenderData zero{};
    EXPECT_EQ(std::memcmp(&state()->renderData, &zero, sizeof zero), 0);
    const UInt8 noLevels[4] = {};
    EXPECT_EQ(std::memcmp(state()->levelBytes, noLevels, sizeof noLevels), 0);
    // The message itself copies the last image again; the world keeps it.
    EXPECT_TRUE(SameImage(window.region(kRect), image, 300));

    EXPECT_EQ(send(kVisualPluginIdleMessage), noErr);
    EXPECT_TRUE(SameImage(window.region(kRect), ZeroFrame(300, 200), 300));
    EXPECT_TRUE(UntouchedOutside(window, kRect));
  }
}

TEST_F(WindowTest, IdleWhilePlayingOrWithoutAWindowDrawsNothing) {
  EXPECT_EQ(send(kVisualPluginIdleMessage), noErr);  // stopped, no window
  Window window(kWindowBounds);
  ASSERT_EQ(show(window.port(), kRect), noErr);
  ASSERT_EQ(send(kVisualPluginUnpauseMessage), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  window.fill(kUntouched);
  EXPECT_EQ(send(kVisualPluginIdleMessage), noErr);
  EXPECT_TRUE(UntouchedOutside(window, {0, 0, 0, 0}));
}

TEST_F(WindowTest, FramesAllocateNothing) {
  Window window(kWindowBounds);
  ASSERT_EQ(show(window.port(), kRect), noErr);
  const Snapshot ramp = Snapshot::Ramp();
  // A failure armed for the next allocation must still be pending after the frames.
  LumetraFailNthAllocation(1);
  EXPECT_EQ(render(ramp), noErr);
  EXPECT_EQ(send(kVisualPluginUpdateMessage), noErr);
  EXPECT_EQ(send(kVisualPluginPauseMessage), noErr);
  EXPECT_EQ(send(kVisualPluginIdleMessage), noErr);
  EXPECT_EQ(swin(window.port(), kRect), noErr);
  Ptr probe = NewPtrClear(1);
  EXPECT_EQ(probe, nullptr) << "a frame allocated memory";
  DisposePtr(probe);
  LumetraFailNthAllocation(0);
  EXPECT_TRUE(SameImage(window.region(kRect), ZeroFrame(300, 200), 300));
}

TEST_F(WindowTest, EveryFrameThatCopiedLeavesBlackOnWhiteAndRestoresTheWorld) {
  Window window(kWindowBounds), current(kWindowBounds);
  struct Step {
    const char* name;
    std::function<OSStatus()> send;
  };
  const Snapshot ramp = Snapshot::Ramp();
  const Step steps[] = {
      {"show", [&] { return show(window.port(), kRect); }},
      {"vrnd", [&] { return render(ramp); }},
      {"vupd", [&] { return send(kVisualPluginUpdateMessage); }},
      {"swin, equal rectangle", [&] { return swin(window.port(), kRect); }},
      {"swin, new rectangle", [&] { return swin(window.port(), {1, 1, 101, 101}); }},
      {"vpau", [&] { return send(kVisualPluginPauseMessage); }},
      {"null", [&] { return send(kVisualPluginIdleMessage); }},
      {"vstp", [&] { return send(kVisualPluginStopMessage); }},
  };
  for (const Step& step : steps) {
    // Colours the frame must replace, and a current world it must give back.
    SetGWorld(window.port(), nullptr);
    ForeColor(redColor);
    BackColor(blueColor);
    SetGWorld(current.port(), nullptr);
    window.fill(kUntouched);
    EXPECT_EQ(step.send(), noErr) << step.name;
    EXPECT_NE(window.at(state()->destRect.left, state()->destRect.top), kUntouched) << step.name << ": no copy";
    RGBColor fg, bg;
    ASSERT_EQ(LumetraGetPortColors(window.port(), &fg, &bg), noErr);
    EXPECT_TRUE(fg.red == 0 && fg.green == 0 && fg.blue == 0) << step.name;
    EXPECT_TRUE(bg.red == 0xFFFF && bg.green == 0xFFFF && bg.blue == 0xFFFF) << step.name;
    CGrafPtr port = nullptr;
    GetGWorld(&port, nullptr);
    EXPECT_EQ(port, current.port()) << step.name;
  }
}

}  // namespace
}  // namespace lumetra::test
