// Depth dispatch: maps of unsupported pixel sizes are left alone by every generic entry point,
// and every worker handed a map of another depth stores nothing (and reads 0).
#include <gtest/gtest.h>

#include <vector>

#include "qdmp_p.h"
#include "reference.h"

namespace {

using lumetra::ref::SameColor;
using lumetra::test::GuardedPixMap;

constexpr Rect kBounds = {-4, -6, 6, 10};

// Every byte the map's rows cover, padding included.
std::vector<UInt8> Bytes(const GuardedPixMap& map, int pixelSize) {
  const size_t lastRow = (static_cast<size_t>(map.bounds().right - map.bounds().left) * pixelSize + 7) / 8;
  const size_t n = static_cast<size_t>(map.rowBytes()) * (map.bounds().bottom - map.bounds().top - 1) + lastRow;
  return std::vector<UInt8>(map.base(), map.base() + n);
}

void Scribble(const GuardedPixMap& map, int pixelSize) {
  std::vector<UInt8> bytes = Bytes(map, pixelSize);
  for (size_t i = 0; i < bytes.size(); ++i) map.base()[i] = static_cast<UInt8>(i * 37 + 11);
}

// Every drawing call the library offers on one map, generic and per depth.
void DrawEverything(PixMapHandle pm) {
  const RGBColor white = {65535, 65535, 65535};
  const Point a = {0, 0};
  const Point b = {5, 7};
  QDMP_Set_Pixel(pm, 0, 0, &white);
  QDMP_Set_PixelP(pm, a, &white);
  QDMP_Draw_Line(pm, -6, -4, 9, 5, &white);
  QDMP_Draw_LineP(pm, a, b, &white);
  QDMP_Fill_Rect(pm, Point{-4, -6}, Point{6, 10}, &white);
}

void DrawEveryWorker(PixMapHandle pm, int skipDepth) {
  const Point a = {0, 0};
  const Point b = {5, 7};
  const Point tl = {-4, -6};
  const Point br = {6, 10};
  if (skipDepth != 8) {
    QDMP_Set_Pixel8(pm, 1, 1, 0xFF);
    QDMP_Set_PixelP8(pm, a, 0xFF);
    QDMP_Draw_Line8(pm, -6, -4, 9, 5, 0xFF);
    QDMP_Draw_LineP8(pm, a, b, 0xFF);
    Draw_Scan8(pm, 0, -6, 10, 0xFF);
    QDMP_Fill_Rect8(pm, tl, br, 0xFF);
  }
  if (skipDepth != 16) {
    QDMP_Set_Pixel16(pm, 1, 1, 0xFFFF);
    QDMP_Set_PixelP16(pm, a, 0xFFFF);
    QDMP_Draw_Line16(pm, -6, -4, 9, 5, 0xFFFF);
    QDMP_Draw_LineP16(pm, a, b, 0xFFFF);
    Draw_Scan16(pm, 0, -6, 10, 0xFFFF);
    QDMP_Fill_Rect16(pm, tl, br, 0xFFFF);
  }
  if (skipDepth != 32) {
    QDMP_Set_Pixel32(pm, 1, 1, 0xFFFFFFFFu);
    QDMP_Set_PixelP32(pm, a, 0xFFFFFFFFu);
    QDMP_Draw_Line32(pm, -6, -4, 9, 5, 0xFFFFFFFFu);
    QDMP_Draw_LineP32(pm, a, b, 0xFFFFFFFFu);
    Draw_Scan32(pm, 0, -6, 10, 0xFFFFFFFFu);
    QDMP_Fill_Rect32(pm, tl, br, 0xFFFFFFFFu);
  }
}

TEST(Depths, UnsupportedPixelSizesAreLeftUntouched) {
  for (int pixelSize : {1, 2, 4, 24}) {
    GuardedPixMap map(pixelSize, kBounds, /*rowBytes: padded*/ (16 * pixelSize + 7) / 8 + 3);
    Scribble(map, pixelSize);
    const std::vector<UInt8> before = Bytes(map, pixelSize);
    DrawEverything(map.handle());
    DrawEveryWorker(map.handle(), 0);
    EXPECT_EQ(Bytes(map, pixelSize), before) << pixelSize << " bits per pixel";
    EXPECT_TRUE(SameColor(QDMP_Get_Pixel(map.handle(), 0, 0), RGBColor{0, 0, 0})) << pixelSize;
    EXPECT_TRUE(SameColor(QDMP_Get_PixelP(map.handle(), Point{1, 1}), RGBColor{0, 0, 0})) << pixelSize;
    EXPECT_EQ(QDMP_Get_Pixel8(map.handle(), 0, 0), 0) << pixelSize;
    EXPECT_EQ(QDMP_Get_Pixel16(map.handle(), 0, 0), 0) << pixelSize;
    EXPECT_EQ(QDMP_Get_Pixel32(map.handle(), 0, 0), 0u) << pixelSize;
  }
}

TEST(Depths, WorkersOfAnotherDepthStoreNothingAndReadZero) {
  for (int depth : {8, 16, 32}) {
    // Packed rows: a wider worker would run past each row's end into the guard page.
    GuardedPixMap map(depth, kBounds);
    Scribble(map, depth);
    const std::vector<UInt8> before = Bytes(map, depth);
    DrawEveryWorker(map.handle(), depth);
    EXPECT_EQ(Bytes(map, depth), before) << depth << " bits per pixel";
    EXPECT_TRUE(map.paddingUntouched());
    if (depth != 8) {
      EXPECT_EQ(QDMP_Get_Pixel8(map.handle(), 0, 0), 0) << depth;
    }
    if (depth != 16) {
      EXPECT_EQ(QDMP_Get_PixelP16(map.handle(), Point{0, 0}), 0) << depth;
    }
    if (depth != 32) {
      EXPECT_EQ(QDMP_Get_Pixel32(map.handle(), 0, 0), 0u) << depth;
    }
  }
}

TEST(Depths, NullHandleOrMasterPointerDrawsNothing) {
  PixMapPtr nullMaster = nullptr;
  for (PixMapHandle pm : {PixMapHandle(nullptr), &nullMaster}) {
    DrawEverything(pm);
    DrawEveryWorker(pm, 0);
    EXPECT_TRUE(SameColor(QDMP_Get_PixelP(pm, Point{0, 0}), RGBColor{0, 0, 0}));
    EXPECT_EQ(QDMP_Get_PixelP32(pm, Point{0, 0}), 0u);
  }
}

}  // namespace
