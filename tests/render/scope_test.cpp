// The scope's pixels and flash mode through the real bundle.
#include <cmath>
#include <cstring>

#include "render_fixture.h"

namespace lumetra::test {
namespace {

using ScopeTest = RenderTest;

TEST_F(ScopeTest, ZeroSnapshotIsBlackWithOneGreenPixelAtTheTopLeft) {
  const Rect rect = {0, 0, 50, 80};
  Window window(rect);
  ASSERT_EQ(show(window.port(), rect), noErr);
  ASSERT_EQ(render(Snapshot::Zero()), noErr);
  std::vector<UInt32> expected(50 * 80, kBlack);
  expected[0] = kGreen;
  EXPECT_TRUE(SameImage(window.region(rect), expected, 80));
}

TEST_F(ScopeTest, RisingRampRunsFromBottomLeftToTopRight) {
  const Rect rect = {0, 0, 200, 300};
  Window window(rect);
  ASSERT_EQ(show(window.port(), rect), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  // Channel 1 is read backwards, so the first point is low on the left and the last high on
  // the right; every green pixel lies on the diagonal between them.
  int greens = 0;
  for (int v = 0; v < 200; ++v)
    for (int h = 0; h < 300; ++h) {
      const UInt32 p = window.at(h, v);
      ASSERT_TRUE(p == kGreen || p == kBlack) << h << "," << v;
      if (p != kGreen) continue;
      ++greens;
      const double onDiagonal = 200.0 - h * 200.0 / 300.0;
      EXPECT_LE(std::fabs(v - onDiagonal), 2.0) << h << "," << v;
    }
  EXPECT_GT(greens, 250);
  // It starts at the bottom-left corner (its first points lie on row 200, just outside) and
  // ends at the top-right one.
  EXPECT_TRUE(window.at(0, 199) == kGreen || window.at(1, 199) == kGreen || window.at(1, 198) == kGreen);
  EXPECT_EQ(window.at(299, 0), kGreen);
  EXPECT_EQ(window.at(0, 0), kBlack);
  EXPECT_EQ(window.at(299, 199), kBlack);
}

TEST_F(ScopeTest, SamplesMapToTheDocumentedColumnsAndRows) {
  struct Case {
    const char* name;
    int width, height;
    UInt8 channel0, channel1;
    int h, v;  // the one green pixel; -1 when it falls outside the world
  };
  const Case cases[] = {
      {"width 595, sample 27", 595, 4, 27, 0, 62, 0},
      {"width 1023, sample 255", 1023, 4, 255, 0, 1022, 0},
      {"width 300, sample 255", 300, 4, 255, 0, -1, -1},
      {"width 300, sample 254", 300, 4, 254, 0, 298, 0},
      {"height 595, sample 27", 4, 595, 0, 27, 0, 62},
      {"height 200, sample 255", 4, 200, 0, 255, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // One column and row more than the world on each side: the window shows any stray store.
    const Rect bounds = {-1, -1, static_cast<SInt16>(c.height + 1), static_cast<SInt16>(c.width + 1)};
    Window window(bounds);
    const Rect rect = {0, 0, static_cast<SInt16>(c.height), static_cast<SInt16>(c.width)};
    ASSERT_EQ(show(window.port(), rect), noErr);
    ASSERT_EQ(render(Snapshot::Constant(c.channel0, c.channel1)), noErr);
    for (int v = -1; v <= c.height; ++v)
      for (int h = -1; h <= c.width; ++h) {
        const bool inside = v >= 0 && v < c.height && h >= 0 && h < c.width;
        const UInt32 expected = !inside ? kUntouched : (h == c.h && v == c.v) ? kGreen : kBlack;
        ASSERT_EQ(window.at(h, v), expected) << h << "," << v;
      }
  }
}

TEST_F(ScopeTest, SampleOfFullScaleOnWidth300SkipsColumn300) {
  // Point 0 at (0, 0), every later point at (300, 0): one segment along row 0 whose last
  // pixel lies one past the world.
  const Rect rect = {0, 0, 10, 300};
  Window window({0, 0, 10, 301});
  ASSERT_EQ(show(window.port(), rect), noErr);
  ASSERT_EQ(render(Snapshot::Of([](int k) { return k == 0 ? UInt8{0} : UInt8{255}; }, [](int) { return UInt8{0}; })),
            noErr);
  for (int h = 0; h < 300; ++h) ASSERT_EQ(window.at(h, 0), kGreen) << h;
  EXPECT_EQ(window.at(300, 0), kUntouched);
  for (int v = 1; v < 10; ++v)
    for (int h = 0; h < 300; ++h) ASSERT_EQ(window.at(h, v), kBlack) << h << "," << v;
}

TEST_F(ScopeTest, CopyLandsAtTheDestinationRectanglesOrigin) {
  struct Case {
    const char* name;
    Rect bounds;  // the window port's
    Rect rect;
  };
  const Case cases[] = {
      {"port at the origin", {0, 0, 120, 160}, {50, 20, 100, 100}},
      {"port away from the origin", {200, 300, 320, 460}, {250, 320, 300, 400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Window window(c.bounds);
    ASSERT_EQ(show(window.port(), c.rect), noErr);
    ASSERT_EQ(render(Snapshot::Zero()), noErr);
    for (int v = c.bounds.top; v < c.bounds.bottom; ++v)
      for (int h = c.bounds.left; h < c.bounds.right; ++h) {
        const bool inside = v >= c.rect.top && v < c.rect.bottom && h >= c.rect.left && h < c.rect.right;
        const UInt32 expected = !inside ? kUntouched : (h == c.rect.left && v == c.rect.top) ? kGreen : kBlack;
        ASSERT_EQ(window.at(h, v), expected) << h << "," << v;
      }
  }
}

TEST_F(ScopeTest, FlashModeShowsTheLastPictureDrawnBeforeIt) {
  const Rect rect = {0, 0, 60, 90};
  Window window(rect);
  ASSERT_EQ(show(window.port(), rect), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  const std::vector<UInt32> ramp = window.region(rect);
  const Snapshot other = Snapshot::Constant(100, 30);

  settings_->setFlash(1);
  window.fill(kUntouched);
  ASSERT_EQ(render(other), noErr);
  EXPECT_TRUE(SameImage(window.region(rect), ramp, 90));
  ASSERT_EQ(send(kVisualPluginIdleMessage), noErr);  // stopped: a drawn frame, still frozen
  EXPECT_TRUE(SameImage(window.region(rect), ramp, 90));

  settings_->setFlash(0);
  ASSERT_EQ(render(other), noErr);
  std::vector<UInt32> expected(60 * 90, kBlack);
  expected[static_cast<size_t>(30 * 60 / 255) * 90 + 100 * 90 / 255] = kGreen;
  EXPECT_TRUE(SameImage(window.region(rect), expected, 90));
}

TEST_F(ScopeTest, WorldMadeInFlashModeStaysBlackUntilItEnds) {
  Window window({0, 0, 100, 100});
  ASSERT_EQ(show(window.port(), {0, 0, 60, 90}), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  settings_->setFlash(1);
  const Rect moved = {10, 5, 80, 95};
  ASSERT_EQ(swin(window.port(), moved), noErr);
  ASSERT_EQ(render(Snapshot::Ramp()), noErr);
  EXPECT_TRUE(SameImage(window.region(moved), std::vector<UInt32>(70 * 90, kBlack), 90));
  settings_->setFlash(0);
  ASSERT_EQ(render(Snapshot::Zero()), noErr);
  std::vector<UInt32> expected(70 * 90, kBlack);
  expected[0] = kGreen;
  EXPECT_TRUE(SameImage(window.region(moved), expected, 90));
}

// The colour ramp's stops, and its blend: stop i + (stop n - stop i) * (v mod 32) / 32.
RGBColor RampColor(UInt8 v) {
  static const UInt16 stops[8][3] = {
      {0x0000, 0x0000, 0x4000}, {0x4000, 0x4000, 0xC000}, {0x0000, 0x8000, 0x0000}, {0x4000, 0xC000, 0x4000},
      {0xB000, 0x6000, 0x4000}, {0x8000, 0x4000, 0x2000}, {0x4000, 0x4000, 0x4000}, {0xC000, 0xC000, 0xC000},
  };
  const int i = v >> 5, n = i < 7 ? i + 1 : 7, f = v % 32;
  UInt16 c[3];
  for (int k = 0; k < 3; ++k) c[k] = static_cast<UInt16>((stops[i][k] * (32 - f) + stops[n][k] * f) / 32);
  return {c[0], c[1], c[2]};
}

TEST_F(ScopeTest, FlashModeGivesTheWorldTheLevelColourAsForeground) {
  struct Case {
    const char* name;
    UInt8 colorMode;
    UInt8 level2, level3;
    RGBColor expected;
  };
  const Case cases[] = {
      {"colour, level 0 (what the system has)", 1, 0, 0, RampColor(0)},
      {"colour, level 31", 1, 0, 31, RampColor(31)},
      {"colour, level 32: a stop", 1, 0, 32, RampColor(32)},
      {"colour, level 100", 1, 9, 100, RampColor(100)},
      {"colour, level 230: the last stop", 1, 0, 230, RampColor(230)},
      {"grey, levels 0", 0, 0, 0, {0, 0, 0}},
      {"grey, levels 3 and 200", 0, 3, 200, {static_cast<UInt16>(200 * 512 % 65536),
                                              static_cast<UInt16>(200 * 512 % 65536), 3 * 512}},
  };
  Window window({0, 0, 20, 20});
  ASSERT_EQ(show(window.port(), {0, 0, 20, 20}), noErr);
  settings_->setFlash(1);
  for (const Case& c : cases) {
    settings_->setColor(c.colorMode);
    state()->levelBytes[2] = c.level2;
    state()->levelBytes[3] = c.level3;
    ASSERT_EQ(render(Snapshot::Ramp()), noErr);
    RGBColor fg;
    ASSERT_EQ(LumetraGetPortColors(state()->offscreenWorld, &fg, nullptr), noErr);
    EXPECT_EQ(fg.red, c.expected.red) << c.name;
    EXPECT_EQ(fg.green, c.expected.green) << c.name;
    EXPECT_EQ(fg.blue, c.expected.blue) << c.name;
  }
  EXPECT_TRUE(SameImage(window.region({0, 0, 20, 20}), std::vector<UInt32>(400, kBlack), 20));
}

}  // namespace
}  // namespace lumetra::test
