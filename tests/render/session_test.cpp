// A whole session through the real bundle, as a host drives it: every drawn frame is compared
// pixel for pixel with the reference model's drawing of the same snapshot, and at the end the
// instance, its worlds and its blocks are all gone.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "render_fixture.h"

namespace lumetra::test {
namespace {

// Frame f: two sines of changing frequency and phase with noise, loud enough to hit 0 and 255.
Snapshot Changing(int f, std::mt19937& random) {
  std::uniform_int_distribution<int> noise(-6, 6);
  auto sample = [&](double value) { return static_cast<UInt8>(std::clamp<long>(std::lround(value) + noise(random), 0, 255)); };
  const double p = 2.0 * std::numbers::pi / double{kVisualNumWaveformEntries};
  return Snapshot::Of([&](int k) { return sample(128 + 131 * std::sin(p * k * (1 + f % 5) + 0.1 * f)); },
                      [&](int k) { return sample(128 + 90 * std::cos(p * k * (1 + f % 3) - 0.2 * f)); });
}

TEST(SessionTest, InitShowHundredFramesPauseIdleResizeHideCleanup) {
  const long blocks = LumetraLivePtrCount();
  const long worlds = LumetraLiveGWorldCount();
  CGrafPtr hostPort = nullptr;
  GDHandle hostDevice = nullptr;
  GetGWorld(&hostPort, &hostDevice);
  {
    TestHost host;
    ASSERT_EQ(host.initInstance(), noErr);
    auto* state = static_cast<VisualPluginState*>(host.refCon());
    const Rect rect = {0, 0, 180, 260};
    const Rect resized = {20, 30, 260, 430};
    Window window({0, 0, 300, 460});

    VisualMessageBlock block{};
    block.u.showWindowMessage = {window.port(), rect, 0};
    ASSERT_EQ(host.send(kVisualPluginShowWindowMessage, &block), noErr);
    ASSERT_EQ(host.send(kVisualPluginUnpauseMessage, &block), noErr);

    std::mt19937 random(1);
    Snapshot last;
    for (int f = 0; f < 100; ++f) {
      last = Changing(f, random);
      block = {};
      block.u.renderMessage = {&last.data, static_cast<UInt32>(1000 + f)};
      ASSERT_EQ(host.send(kVisualPluginRenderMessage, &block), noErr);
      ASSERT_TRUE(SameImage(window.region(rect), ExpectedScope(last.data, 260, 180), 260)) << "frame " << f;
      CGrafPtr port = nullptr;
      GetGWorld(&port, nullptr);
      ASSERT_EQ(port, hostPort) << "frame " << f;
    }
    EXPECT_EQ(state->renderTimeStamp, 1099u);

    // Paused: the last frame is copied again, then idle draws the cleared snapshot.
    block = {};
    ASSERT_EQ(host.send(kVisualPluginPauseMessage, &block), noErr);
    EXPECT_TRUE(SameImage(window.region(rect), ExpectedScope(last.data, 260, 180), 260));
    ASSERT_EQ(host.send(kVisualPluginIdleMessage, &block), noErr);
    EXPECT_TRUE(SameImage(window.region(rect), ExpectedScope(RenderData{}, 260, 180), 260));

    // A new size: a new black world, shown at once at its place in the port.
    block.u.setWindowMessage = {window.port(), resized, 0};
    ASSERT_EQ(host.send(kVisualPluginSetWindowMessage, &block), noErr);
    EXPECT_EQ(LumetraLiveGWorldCount(), worlds + 1);
    EXPECT_TRUE(SameImage(window.region(resized), std::vector<UInt32>(240 * 400, kBlack), 400));
    ASSERT_EQ(host.send(kVisualPluginIdleMessage, &block), noErr);
    EXPECT_TRUE(SameImage(window.region(resized), ExpectedScope(RenderData{}, 400, 240), 400));

    block = {};
    ASSERT_EQ(host.send(kVisualPluginHideWindowMessage, &block), noErr);
    EXPECT_EQ(LumetraLiveGWorldCount(), worlds);
    EXPECT_EQ(host.cleanupInstance(), noErr);
    EXPECT_EQ(LumetraLivePtrCount(), blocks);
  }
  EXPECT_EQ(LumetraLiveGWorldCount(), worlds);
  EXPECT_EQ(LumetraLivePtrCount(), blocks);
  CGrafPtr port = nullptr;
  GDHandle device = nullptr;
  GetGWorld(&port, &device);
  EXPECT_EQ(port, hostPort);
  EXPECT_EQ(device, hostDevice);
}

}  // namespace
}  // namespace lumetra::test
