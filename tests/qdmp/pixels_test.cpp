// Single-pixel access: the address rule with offset bounds and padded rows, the bounds test,
// the depth test of the workers, and the colour round trips of the generic getter and setter.
#include <gtest/gtest.h>

#include <cstring>

#include "qdmp_p.h"
#include "reference.h"

namespace {

using lumetra::ref::OwnedTable;
using lumetra::ref::SameColor;
using lumetra::ref::Table;
using lumetra::test::GuardedPixMap;

constexpr Rect kOffsetBounds = {/*top*/ 100, /*left*/ 50, /*bottom*/ 110, /*right*/ 60};

UInt32 RawWord(const GuardedPixMap& map, size_t byteOffset) {
  UInt32 w;
  std::memcpy(&w, map.base() + byteOffset, 4);
  return w;
}

TEST(Pixels, AddressRuleWithOffsetBoundsAndPaddedRows) {
  GuardedPixMap map(32, kOffsetBounds, /*rowBytes*/ 10 * 4 + 12);
  for (int v = 100; v < 110; ++v)
    for (int h = 50; h < 60; ++h) map.set(h, v, static_cast<UInt32>(v * 1000 + h));
  struct Row {
    const char* name;
    SInt16 h, v;
    size_t offset;  // bytes from the base address; SIZE_MAX for outside
  } rows[] = {
      {"first pixel is the base address", 50, 100, 0},
      {"next row is row bytes on", 50, 101, 52},
      {"column step is four bytes", 53, 102, 2 * 52 + 12},
      {"last pixel of the last row", 59, 109, 9 * 52 + 36},
      {"right edge", 60, 100, SIZE_MAX},
      {"bottom edge", 50, 110, SIZE_MAX},
      {"left of it", 49, 100, SIZE_MAX},
      {"above it", 50, 99, SIZE_MAX},
      {"far away", -32768, 32767, SIZE_MAX},
  };
  for (const Row& row : rows) {
    const UInt32 expected = row.offset == SIZE_MAX ? 0 : RawWord(map, row.offset);
    EXPECT_EQ(QDMP_Get_Pixel32(map.handle(), row.h, row.v), expected) << row.name;
    EXPECT_EQ(QDMP_Get_PixelP32(map.handle(), Point{row.v, row.h}), expected) << row.name;
  }
  EXPECT_EQ(QDMP_Get_Pixel32(map.handle(), 50, 100), 100u * 1000 + 50);
  EXPECT_EQ(QDMP_Get_Pixel32(map.handle(), 59, 109), 109u * 1000 + 59);
}

TEST(Pixels, SettersStoreOnePixelAtItsAddressAtEveryDepth) {
  struct Row {
    const char* name;
    int depth;
    SInt32 rowBytes;
    UInt32 value;
  } rows[] = {
      {"8 bits, padded rows", 8, 13, 0xC3},
      {"16 bits, odd row bytes", 16, 23, 0xBEEF},
      {"32 bits, rows not a multiple of 4", 32, 42, 0xDEADBEEF},
      {"32 bits, packed", 32, 0, 0x01020304},
  };
  for (const Row& row : rows) {
    GuardedPixMap map(row.depth, kOffsetBounds, row.rowBytes);
    auto set = [&](SInt16 h, SInt16 v) {
      switch (row.depth) {
        case 8: QDMP_Set_Pixel8(map.handle(), h, v, UInt8(row.value)); break;
        case 16: QDMP_Set_Pixel16(map.handle(), h, v, UInt16(row.value)); break;
        default: QDMP_Set_Pixel32(map.handle(), h, v, row.value); break;
      }
    };
    auto get = [&](SInt16 h, SInt16 v) -> UInt32 {
      switch (row.depth) {
        case 8: return QDMP_Get_Pixel8(map.handle(), h, v);
        case 16: return QDMP_Get_Pixel16(map.handle(), h, v);
        default: return QDMP_Get_Pixel32(map.handle(), h, v);
      }
    };
    const Point inside[] = {{100, 50}, {100, 59}, {109, 50}, {109, 59}, {104, 55}};
    const Point outside[] = {{99, 50}, {110, 50}, {100, 49}, {100, 60}, {-32768, -32768}, {32767, 32767}};
    for (const Point& p : outside) set(p.h, p.v);
    EXPECT_EQ(map.pixels(), std::vector<uint32_t>(100, 0)) << row.name << ": a store outside the bounds";
    EXPECT_TRUE(map.paddingUntouched()) << row.name;
    for (const Point& p : inside) {
      set(p.h, p.v);
      EXPECT_EQ(map.get(p.h, p.v), row.value) << row.name << " at (" << p.h << ", " << p.v << ")";
      EXPECT_EQ(get(p.h, p.v), row.value) << row.name;
    }
    int changed = 0;
    for (uint32_t px : map.pixels()) changed += px != 0;
    EXPECT_EQ(changed, 5) << row.name;
    EXPECT_TRUE(map.paddingUntouched()) << row.name;
  }
}

TEST(Pixels, ThirtyTwoBitValuesAreStoredWholeAndColoursWithATopByteOfZero) {
  GuardedPixMap map(32, Rect{0, 0, 2, 2});
  QDMP_Set_Pixel32(map.handle(), 0, 0, 0xFF123456u);
  EXPECT_EQ(map.get(0, 0), 0xFF123456u);
  const RGBColor white = {65535, 65535, 65535};
  map.set(1, 0, 0xFFFFFFFFu);
  QDMP_Set_Pixel(map.handle(), 1, 0, &white);
  EXPECT_EQ(map.get(1, 0), 0x00FFFFFFu);
  QDMP_Set_PixelP32(map.handle(), Point{1, 1}, 0xAA000001u);
  EXPECT_EQ(map.get(1, 1), 0xAA000001u);
}

TEST(Pixels, GenericSetThenGetGivesTheDepthsNearestColour) {
  const Table table = {{0, 0, 0}, {65535, 0, 0}, {0, 65535, 0}, {30000, 30000, 30000}, {65535, 65535, 65535}};
  OwnedTable owned(table);
  struct Row {
    const char* name;
    int depth;
    RGBColor in, out;
  } rows[] = {
      {"32 bits keeps each top byte times 257", 32, {0x1234, 0x5678, 0x9ABC}, {0x1212, 0x5656, 0x9A9A}},
      {"16 bits keeps the top 5 bits times 2049", 16, {65535, 65535, 65535}, {63519, 63519, 63519}},
      {"16 bits, a mixed colour", 16, {0x8000, 0x07FF, 0xFFFF}, {0x8010, 0, 63519}},
      {"8 bits gives the nearest table colour", 8, {29000, 31000, 33000}, {30000, 30000, 30000}},
      {"8 bits, a reddish colour", 8, {50000, 10000, 9000}, {65535, 0, 0}},
  };
  for (const Row& row : rows) {
    GuardedPixMap map(row.depth, kOffsetBounds, 0, row.depth == 8 ? owned.handle() : nullptr);
    QDMP_Set_Pixel(map.handle(), 57, 103, &row.in);
    const RGBColor got = QDMP_Get_Pixel(map.handle(), 57, 103);
    EXPECT_TRUE(SameColor(got, row.out)) << row.name << ": (" << got.red << ", " << got.green << ", " << got.blue << ")";
    EXPECT_TRUE(SameColor(QDMP_Get_PixelP(map.handle(), Point{103, 57}), row.out)) << row.name;
    QDMP_Set_PixelP(map.handle(), Point{104, 58}, &row.in);
    EXPECT_EQ(map.get(58, 104), map.get(57, 103)) << row.name;
    QDMP_Set_Pixel(map.handle(), 60, 103, &row.in);  // outside: converted, not stored
    EXPECT_TRUE(map.paddingUntouched()) << row.name;
  }
}

TEST(Pixels, GenericGetOutsideGivesTheColourOfValueZero) {
  const RGBColor white = {65535, 65535, 65535};
  OwnedTable startsWhite(Table{white, {0, 0, 0}});
  GuardedPixMap map8(8, kOffsetBounds, 0, startsWhite.handle());
  EXPECT_TRUE(SameColor(QDMP_Get_Pixel(map8.handle(), 0, 0), white));
  GuardedPixMap noTable(8, kOffsetBounds);
  EXPECT_TRUE(SameColor(QDMP_Get_Pixel(noTable.handle(), 0, 0), RGBColor{0, 0, 0}));
  for (int depth : {16, 32}) {
    GuardedPixMap map(depth, kOffsetBounds);
    map.fill(0xFFFFFFFFu);
    EXPECT_TRUE(SameColor(QDMP_Get_Pixel(map.handle(), 60, 100), RGBColor{0, 0, 0})) << depth;
  }
}

TEST(Pixels, PointVariantsEqualTheirTwinsEverywhere) {
  GuardedPixMap map8(8, kOffsetBounds, 11);
  GuardedPixMap map16(16, kOffsetBounds, 22);
  GuardedPixMap map32(32, kOffsetBounds, 44);
  for (int v = 100; v < 110; ++v)
    for (int h = 50; h < 60; ++h) {
      map8.set(h, v, UInt32(h * 7 + v));
      map16.set(h, v, UInt32(h * 701 + v));
      map32.set(h, v, UInt32(h * 70001 + v * 3));
    }
  for (int v = 97; v < 113; ++v)
    for (int h = 47; h < 63; ++h) {
      const Point p = {SInt16(v), SInt16(h)};
      ASSERT_EQ(QDMP_Get_PixelP8(map8.handle(), p), QDMP_Get_Pixel8(map8.handle(), p.h, p.v));
      ASSERT_EQ(QDMP_Get_PixelP16(map16.handle(), p), QDMP_Get_Pixel16(map16.handle(), p.h, p.v));
      ASSERT_EQ(QDMP_Get_PixelP32(map32.handle(), p), QDMP_Get_Pixel32(map32.handle(), p.h, p.v));
      ASSERT_TRUE(SameColor(QDMP_Get_PixelP(map16.handle(), p), QDMP_Get_Pixel(map16.handle(), p.h, p.v)));
    }
  QDMP_Set_PixelP8(map8.handle(), Point{101, 52}, 0xEE);
  EXPECT_EQ(map8.get(52, 101), 0xEEu);
  QDMP_Set_PixelP16(map16.handle(), Point{108, 59}, 0x1234);
  EXPECT_EQ(map16.get(59, 108), 0x1234u);
}

TEST(Pixels, NullHandleOrMasterPointerDoesNothing) {
  PixMapPtr nullMaster = nullptr;
  const RGBColor white = {65535, 65535, 65535};
  for (PixMapHandle pm : {PixMapHandle(nullptr), &nullMaster}) {
    EXPECT_EQ(QDMP_Get_Pixel8(pm, 0, 0), 0);
    EXPECT_EQ(QDMP_Get_Pixel16(pm, 0, 0), 0);
    EXPECT_EQ(QDMP_Get_Pixel32(pm, 0, 0), 0u);
    EXPECT_TRUE(SameColor(QDMP_Get_Pixel(pm, 0, 0), RGBColor{0, 0, 0}));
    QDMP_Set_Pixel(pm, 0, 0, &white);
    QDMP_Set_Pixel8(pm, 0, 0, 1);
    QDMP_Set_Pixel16(pm, 0, 0, 1);
    QDMP_Set_Pixel32(pm, 0, 0, 1);
  }
}

}  // namespace
