// Graphics ports, offscreen worlds, the current graphics world, colours and CopyBits, tested
// on the platform library alone. Window ports lie over guarded memory.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "guarded.h"
#include "platform.h"

namespace {

using lumetra::test::GuardedPixMap;

struct WorldDeleter {
  void operator()(GrafPort* world) const { DisposeGWorld(world); }
};
using World = std::unique_ptr<GrafPort, WorldDeleter>;

struct WindowDeleter {
  void operator()(GrafPort* port) const { LumetraDisposeWindowPort(port); }
};
using Window = std::unique_ptr<GrafPort, WindowDeleter>;

World MakeWorld(Rect bounds) {
  GWorldPtr world = nullptr;
  EXPECT_EQ(NewGWorld(&world, 32, &bounds, nullptr, nullptr, useTempMem), noErr);
  return World(world);
}

// A window port over a guarded pixel map: both share the pixels, so the map checks the port.
struct GuardedWindow {
  explicit GuardedWindow(Rect bounds, int32_t rowBytes = 0)
      : pixels(32, bounds, rowBytes), port(LumetraNewWindowPort(pixels.base(), pixels.rowBytes(), &bounds)) {}
  GuardedPixMap pixels;
  Window port;
};

// The pixel at (h, v) of a world, in its bounds coordinates.
UInt32 WorldPixel(GWorldPtr world, int h, int v) {
  PixMapHandle pm = GetGWorldPixMap(world);
  const Rect& b = (*pm)->bounds;
  UInt32 value;
  std::memcpy(&value, GetPixBaseAddr(pm) + GetPixRowBytes(pm) * (v - b.top) + (h - b.left) * 4, 4);
  return value;
}

void SetWorldPixel(GWorldPtr world, int h, int v, UInt32 value) {
  PixMapHandle pm = GetGWorldPixMap(world);
  const Rect& b = (*pm)->bounds;
  std::memcpy(GetPixBaseAddr(pm) + GetPixRowBytes(pm) * (v - b.top) + (h - b.left) * 4, &value, 4);
}

bool SameColor(const RGBColor& a, const RGBColor& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// Restores the graphics world current when a test started.
class GraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override { GetGWorld(&startPort_, &startDevice_); }
  void TearDown() override {
    SetGWorld(startPort_, startDevice_);
    LumetraFailNthAllocation(0);
    LumetraFailNthNewGWorld(0);
  }
  CGrafPtr startPort_ = nullptr;
  GDHandle startDevice_ = nullptr;
};

TEST_F(GraphicsTest, ScreenPortIsCurrentFromLoadAndHasNoPixels) {
  CGrafPtr port = nullptr;
  GDHandle device = nullptr;
  GetGWorld(&port, &device);
  ASSERT_NE(port, nullptr);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(GetGWorldPixMap(port), nullptr);
  const BitMap* bits = GetPortBitMapForCopyBits(port);
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(bits->baseAddr, nullptr);
  // Painting into it, and copying from it, touch nothing.
  const Rect r = {0, 0, 10, 10};
  PaintRect(&r);
  GuardedWindow window({0, 0, 10, 10});
  window.pixels.fill(0x00123456);
  CopyBits(bits, GetPortBitMapForCopyBits(window.port.get()), &r, &r, srcCopy, nullptr);
  EXPECT_EQ(window.pixels.get(0, 0), 0x00123456u);
}

TEST_F(GraphicsTest, NewWorldHasItsBoundsBlackPixelsAndDefaultColors) {
  const long before = LumetraLiveGWorldCount();
  const Rect bounds = {0, 0, 200, 300};
  World world = MakeWorld(bounds);
  ASSERT_NE(world, nullptr);
  EXPECT_EQ(LumetraLiveGWorldCount(), before + 1);
  PixMapHandle pm = GetGWorldPixMap(world.get());
  ASSERT_NE(pm, nullptr);
  EXPECT_TRUE(EqualRect(&(*pm)->bounds, &bounds));
  EXPECT_EQ((*pm)->pixelSize, 32);
  EXPECT_GE(GetPixRowBytes(pm), 300 * 4);
  EXPECT_TRUE(LockPixels(pm));
  for (int v = 0; v < 200; ++v)
    for (int h = 0; h < 300; ++h) ASSERT_EQ(WorldPixel(world.get(), h, v), 0u) << h << "," << v;
  RGBColor fg, bg;
  ASSERT_EQ(LumetraGetPortColors(world.get(), &fg, &bg), noErr);
  EXPECT_TRUE(SameColor(fg, {0, 0, 0}));
  EXPECT_TRUE(SameColor(bg, {0xFFFF, 0xFFFF, 0xFFFF}));
  world.reset();
  EXPECT_EQ(LumetraLiveGWorldCount(), before);
}

TEST_F(GraphicsTest, NewWorldRefusesUnusableArguments) {
  struct Case {
    const char* name;
    SInt16 depth;
    Rect bounds;
    OSErr expected;
  };
  const Case cases[] = {
      {"empty width", 32, {0, 10, 20, 10}, paramErr},
      {"empty height", 32, {5, 0, 5, 20}, paramErr},
      {"inverted", 32, {20, 20, 10, 10}, paramErr},
      {"depth 16", 16, {0, 0, 10, 10}, paramErr},
      {"depth 8", 8, {0, 0, 10, 10}, paramErr},
      {"depth 0", 0, {0, 0, 10, 10}, paramErr},
      // 32767 x 32767 pixels take more than 2^31 bytes.
      {"beyond 32-bit addressing", 32, {0, 0, 32767, 32767}, memFullErr},
  };
  const long before = LumetraLiveGWorldCount();
  for (const Case& c : cases) {
    GWorldPtr world = reinterpret_cast<GWorldPtr>(&world);  // must be overwritten with null
    EXPECT_EQ(NewGWorld(&world, c.depth, &c.bounds, nullptr, nullptr, 0), c.expected) << c.name;
    EXPECT_EQ(world, nullptr) << c.name;
  }
  GWorldPtr world = reinterpret_cast<GWorldPtr>(&world);
  EXPECT_EQ(NewGWorld(&world, 32, nullptr, nullptr, nullptr, 0), paramErr);
  EXPECT_EQ(world, nullptr);
  EXPECT_EQ(NewGWorld(nullptr, 32, &cases[0].bounds, nullptr, nullptr, 0), paramErr);
  EXPECT_EQ(LumetraLiveGWorldCount(), before);
}

TEST_F(GraphicsTest, NewWorldFailsOnDemand) {
  const Rect bounds = {0, 0, 4, 4};
  const long before = LumetraLiveGWorldCount();
  LumetraFailNthNewGWorld(2);
  World first = MakeWorld(bounds);
  GWorldPtr second = reinterpret_cast<GWorldPtr>(&second);
  EXPECT_EQ(NewGWorld(&second, 32, &bounds, nullptr, nullptr, useTempMem), memFullErr);
  EXPECT_EQ(second, nullptr);
  World third = MakeWorld(bounds);
  EXPECT_NE(third, nullptr);

  // A world is one allocation of the platform's memory.
  LumetraFailNthAllocation(1);
  GWorldPtr refused = reinterpret_cast<GWorldPtr>(&refused);
  EXPECT_EQ(NewGWorld(&refused, 32, &bounds, nullptr, nullptr, useTempMem), memFullErr);
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(LumetraLiveGWorldCount(), before + 2);
}

TEST_F(GraphicsTest, SetGWorldMakesPortAndDeviceCurrent) {
  World world = MakeWorld({0, 0, 4, 4});
  GuardedWindow window({0, 0, 4, 4});
  CGrafPtr screen = nullptr;
  GDHandle screenDevice = nullptr;
  GetGWorld(&screen, &screenDevice);

  CGrafPtr port = nullptr;
  GDHandle device = nullptr;
  SetGWorld(world.get(), nullptr);
  GetGWorld(&port, &device);
  EXPECT_EQ(port, world.get());
  ASSERT_NE(device, nullptr);
  const GDHandle worldDevice = device;
  EXPECT_NE(worldDevice, screenDevice);

  // A world always brings its own device; another port takes the one given, or the screen's.
  SetGWorld(world.get(), screenDevice);
  GetGWorld(&port, &device);
  EXPECT_EQ(device, worldDevice);
  SetGWorld(window.port.get(), nullptr);
  GetGWorld(&port, &device);
  EXPECT_EQ(port, window.port.get());
  EXPECT_EQ(device, screenDevice);
  SetGWorld(window.port.get(), worldDevice);
  GetGWorld(&port, &device);
  EXPECT_EQ(device, worldDevice);

  // A null port changes nothing.
  SetGWorld(nullptr, screenDevice);
  GetGWorld(&port, &device);
  EXPECT_EQ(port, window.port.get());
  EXPECT_EQ(device, worldDevice);

  SetGWorld(screen, screenDevice);
  GetGWorld(&port, &device);
  EXPECT_EQ(port, screen);
  EXPECT_EQ(device, screenDevice);
}

TEST_F(GraphicsTest, ReleasingTheCurrentPortMakesTheScreenCurrent) {
  CGrafPtr screen = nullptr;
  GDHandle screenDevice = nullptr;
  GetGWorld(&screen, &screenDevice);
  for (bool isWorld : {true, false}) {
    GWorldPtr world = nullptr;
    std::unique_ptr<GuardedPixMap> pixels;
    const Rect bounds = {0, 0, 4, 4};
    if (isWorld) {
      ASSERT_EQ(NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0), noErr);
    } else {
      pixels = std::make_unique<GuardedPixMap>(32, bounds);
      world = LumetraNewWindowPort(pixels->base(), pixels->rowBytes(), &bounds);
    }
    SetGWorld(world, nullptr);
    if (isWorld)
      DisposeGWorld(world);
    else
      LumetraDisposeWindowPort(world);
    CGrafPtr port = nullptr;
    GDHandle device = nullptr;
    GetGWorld(&port, &device);
    EXPECT_EQ(port, screen) << (isWorld ? "world" : "window");
    EXPECT_EQ(device, screenDevice) << (isWorld ? "world" : "window");
  }
}

TEST_F(GraphicsTest, OffsetRectMovesAndWraps) {
  struct Case {
    const char* name;
    Rect r;
    SInt16 dh, dv;
    Rect expected;
  };
  const Case cases[] = {
      {"to the origin", {20, 30, 220, 330}, -30, -20, {0, 0, 200, 300}},
      {"away from it", {0, 0, 5, 6}, 7, -3, {-3, 7, 2, 13}},
      {"wraps in 16 bits", {0, 32760, 1, 32767}, 1, 0, {0, 32761, 1, -32768}},
  };
  for (const Case& c : cases) {
    Rect r = c.r;
    OffsetRect(&r, c.dh, c.dv);
    EXPECT_TRUE(EqualRect(&r, &c.expected)) << c.name;
  }
  OffsetRect(nullptr, 1, 1);
}

TEST_F(GraphicsTest, EqualRectComparesAllFourCoordinates) {
  const Rect a = {1, 2, 3, 4};
  struct Case {
    const char* name;
    Rect b;
    bool expected;
  };
  const Case cases[] = {
      {"equal", {1, 2, 3, 4}, true},        {"top differs", {0, 2, 3, 4}, false},
      {"left differs", {1, 0, 3, 4}, false}, {"bottom differs", {1, 2, 0, 4}, false},
      {"right differs", {1, 2, 3, 0}, false}, {"same size elsewhere", {2, 3, 4, 5}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(EqualRect(&a, &c.b) != 0, c.expected) << c.name;
  EXPECT_FALSE(EqualRect(&a, nullptr));
  EXPECT_FALSE(EqualRect(nullptr, &a));
}

TEST_F(GraphicsTest, ForeAndBackColorTakeTheClassicConstants) {
  struct Case {
    const char* name;
    SInt32 constant;
    RGBColor rgb;
  };
  const Case cases[] = {
      {"black", 33, {0, 0, 0}},           {"white", 30, {0xFFFF, 0xFFFF, 0xFFFF}},
      {"red", 205, {0xFFFF, 0, 0}},       {"green", 341, {0, 0xFFFF, 0}},
      {"blue", 409, {0, 0, 0xFFFF}},      {"cyan", 273, {0, 0xFFFF, 0xFFFF}},
      {"magenta", 137, {0xFFFF, 0, 0xFFFF}}, {"yellow", 69, {0xFFFF, 0xFFFF, 0}},
  };
  World world = MakeWorld({0, 0, 2, 2});
  SetGWorld(world.get(), nullptr);
  for (const Case& c : cases) {
    const RGBColor other = {0x1111, 0x2222, 0x3333};
    RGBForeColor(&other);
    ForeColor(c.constant);
    BackColor(c.constant);
    RGBColor fg, bg;
    LumetraGetPortColors(world.get(), &fg, &bg);
    EXPECT_TRUE(SameColor(fg, c.rgb)) << c.name;
    EXPECT_TRUE(SameColor(bg, c.rgb)) << c.name;
  }
  // A value that names no colour changes nothing.
  ForeColor(blackColor);
  BackColor(whiteColor);
  ForeColor(12345);
  BackColor(0);
  RGBColor fg, bg;
  LumetraGetPortColors(world.get(), &fg, &bg);
  EXPECT_TRUE(SameColor(fg, {0, 0, 0}));
  EXPECT_TRUE(SameColor(bg, {0xFFFF, 0xFFFF, 0xFFFF}));
  RGBForeColor(nullptr);
  LumetraGetPortColors(world.get(), &fg, nullptr);
  EXPECT_TRUE(SameColor(fg, {0, 0, 0}));
  EXPECT_EQ(LumetraGetPortColors(nullptr, &fg, &bg), paramErr);
}

TEST_F(GraphicsTest, PaintRectFillsWithTheForegroundCutToThePort) {
  // Bounds away from the origin, padded rows: a store outside the port would show.
  const Rect bounds = {10, 20, 18, 30};
  GuardedWindow window(bounds, 10 * 4 + 12);
  ASSERT_NE(window.port, nullptr);
  window.pixels.fill(0x00ABCDEF);
  SetGWorld(window.port.get(), nullptr);
  const RGBColor color = {0x12FF, 0x3400, 0x56AA};
  RGBForeColor(&color);
  const Rect paint = {5, 25, 12, 100};  // reaches above and to the right of the port
  PaintRect(&paint);
  for (int v = bounds.top; v < bounds.bottom; ++v)
    for (int h = bounds.left; h < bounds.right; ++h) {
      const bool inside = v < 12 && h >= 25;
      ASSERT_EQ(window.pixels.get(h, v), inside ? 0x00123456u : 0x00ABCDEFu) << h << "," << v;
    }
  EXPECT_TRUE(window.pixels.paddingUntouched());
  PaintRect(nullptr);
}

TEST_F(GraphicsTest, WindowPortRefusesUnusableArguments) {
  std::vector<uint32_t> pixels(100);
  const Rect bounds = {0, 0, 10, 10};
  const Rect empty = {0, 0, 0, 10};
  EXPECT_EQ(LumetraNewWindowPort(nullptr, 40, &bounds), nullptr);
  EXPECT_EQ(LumetraNewWindowPort(pixels.data(), 40, nullptr), nullptr);
  EXPECT_EQ(LumetraNewWindowPort(pixels.data(), 40, &empty), nullptr);
  EXPECT_EQ(LumetraNewWindowPort(pixels.data(), 39, &bounds), nullptr);
  LumetraFailNthAllocation(1);
  EXPECT_EQ(LumetraNewWindowPort(pixels.data(), 40, &bounds), nullptr);
  Window port(LumetraNewWindowPort(pixels.data(), 40, &bounds));
  ASSERT_NE(port, nullptr);
  PixMapHandle pm = GetGWorldPixMap(port.get());
  ASSERT_NE(pm, nullptr);
  EXPECT_EQ(GetPixBaseAddr(pm), reinterpret_cast<Ptr>(pixels.data()));
  EXPECT_EQ(GetPixRowBytes(pm), 40);
  EXPECT_EQ((*pm)->pixelSize, 32);
}

// Source world 8 x 6 with a distinct value in every pixel; destination window port with
// bounds (0,0)-(10,12) over guarded, padded rows.
class CopyBitsTest : public GraphicsTest {
 protected:
  static constexpr Rect kSrcBounds = {0, 0, 6, 8};
  static constexpr Rect kDstBounds = {0, 0, 10, 12};
  static constexpr UInt32 kBackground = 0x00777777;

  void SetUp() override {
    GraphicsTest::SetUp();
    src_ = MakeWorld(kSrcBounds);
    for (int v = 0; v < 6; ++v)
      for (int h = 0; h < 8; ++h) SetWorldPixel(src_.get(), h, v, Source(h, v));
    window_.pixels.fill(kBackground);
  }
  static UInt32 Source(int h, int v) { return 0x00010000u * (v + 1) + 0x100u * (h + 1) + 0x5Au; }

  World src_;
  GuardedWindow window_{kDstBounds, 12 * 4 + 8};
};

TEST_F(CopyBitsTest, CopiesPairsCutToBothMaps) {
  struct Case {
    const char* name;
    Rect srcRect, dstRect;
    // The source pixel that lands at destination (h, v): (h - dh, v - dv) where the case
    // copies; everything else keeps the background.
    int dh, dv;
    Rect copied;  // in destination coordinates
  };
  const Case cases[] = {
      {"whole world at the origin", {0, 0, 6, 8}, {0, 0, 6, 8}, 0, 0, {0, 0, 6, 8}},
      {"whole world moved", {0, 0, 6, 8}, {3, 2, 9, 10}, 2, 3, {3, 2, 9, 10}},
      {"part of the world", {1, 2, 4, 5}, {5, 6, 8, 9}, 4, 4, {5, 6, 8, 9}},
      {"past the right and bottom", {0, 0, 6, 8}, {7, 8, 13, 16}, 8, 7, {7, 8, 10, 12}},
      {"past the left and top", {0, 0, 6, 8}, {-2, -3, 4, 5}, -3, -2, {0, 0, 4, 5}},
      {"source rect beyond the world", {-2, -2, 8, 10}, {0, 0, 10, 12}, 2, 2, {2, 2, 8, 10}},
      {"wholly outside", {0, 0, 6, 8}, {20, 20, 26, 28}, 0, 0, {0, 0, 0, 0}},
      {"sizes differ", {0, 0, 6, 8}, {0, 0, 6, 7}, 0, 0, {0, 0, 0, 0}},
      {"empty", {0, 0, 0, 8}, {0, 0, 0, 8}, 0, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    window_.pixels.fill(kBackground);
    CopyBits(GetPortBitMapForCopyBits(src_.get()), GetPortBitMapForCopyBits(window_.port.get()), &c.srcRect,
             &c.dstRect, srcCopy, nullptr);
    for (int v = 0; v < 10; ++v)
      for (int h = 0; h < 12; ++h) {
        const bool inside = v >= c.copied.top && v < c.copied.bottom && h >= c.copied.left && h < c.copied.right;
        ASSERT_EQ(window_.pixels.get(h, v), inside ? Source(h - c.dh, v - c.dv) : kBackground)
            << c.name << " at " << h << "," << v;
      }
    ASSERT_TRUE(window_.pixels.paddingUntouched()) << c.name;
  }
}

TEST_F(CopyBitsTest, OtherModesMasksAndNullArgumentsCopyNothing) {
  const Rect r = {0, 0, 6, 8};
  const BitMap* src = GetPortBitMapForCopyBits(src_.get());
  const BitMap* dst = GetPortBitMapForCopyBits(window_.port.get());
  int region = 0;
  RgnHandle mask = reinterpret_cast<RgnHandle>(&region);
  CopyBits(src, dst, &r, &r, 1, nullptr);
  CopyBits(src, dst, &r, &r, srcCopy, mask);
  CopyBits(nullptr, dst, &r, &r, srcCopy, nullptr);
  CopyBits(src, nullptr, &r, &r, srcCopy, nullptr);
  CopyBits(src, dst, nullptr, &r, srcCopy, nullptr);
  CopyBits(src, dst, &r, nullptr, srcCopy, nullptr);
  EXPECT_EQ(GetPortBitMapForCopyBits(nullptr), nullptr);
  for (uint32_t p : window_.pixels.pixels()) ASSERT_EQ(p, kBackground);
}

TEST_F(CopyBitsTest, WindowBoundsAwayFromTheOriginAreThePortsCoordinates) {
  const Rect bounds = {100, 200, 110, 212};
  GuardedWindow window(bounds);
  window.pixels.fill(kBackground);
  const Rect srcRect = {0, 0, 6, 8};
  const Rect dstRect = {102, 203, 108, 211};
  CopyBits(GetPortBitMapForCopyBits(src_.get()), GetPortBitMapForCopyBits(window.port.get()), &srcRect, &dstRect,
           srcCopy, nullptr);
  for (int v = 100; v < 110; ++v)
    for (int h = 200; h < 212; ++h) {
      const bool inside = v >= 102 && v < 108 && h >= 203 && h < 211;
      ASSERT_EQ(window.pixels.get(h, v), inside ? Source(h - 203, v - 102) : kBackground) << h << "," << v;
    }
}

TEST_F(CopyBitsTest, OverlappingCopyWithinOneMapReadsTheSourceFirst) {
  struct Case {
    const char* name;
    Rect srcRect, dstRect;
  };
  const Case cases[] = {
      {"down and right", {0, 0, 4, 6}, {1, 1, 5, 7}},
      {"up and left", {2, 2, 6, 8}, {0, 0, 4, 6}},
      {"right on the same rows", {0, 0, 6, 5}, {0, 3, 6, 8}},
  };
  const BitMap* bits = GetPortBitMapForCopyBits(src_.get());
  for (const Case& c : cases) {
    UInt32 before[6][8];
    for (int v = 0; v < 6; ++v)
      for (int h = 0; h < 8; ++h) before[v][h] = WorldPixel(src_.get(), h, v);
    CopyBits(bits, bits, &c.srcRect, &c.dstRect, srcCopy, nullptr);
    const int dh = c.dstRect.left - c.srcRect.left, dv = c.dstRect.top - c.srcRect.top;
    for (int v = 0; v < 6; ++v)
      for (int h = 0; h < 8; ++h) {
        const bool inside = v >= c.dstRect.top && v < c.dstRect.bottom && h >= c.dstRect.left && h < c.dstRect.right;
        ASSERT_EQ(WorldPixel(src_.get(), h, v), inside ? before[v - dv][h - dh] : before[v][h])
            << c.name << " at " << h << "," << v;
      }
  }
}

}  // namespace
