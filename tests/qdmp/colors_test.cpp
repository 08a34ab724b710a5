// The colour conversions (exhaustively where the domain is small), the nearest-entry search and
// the two exported colour utilities.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "qdmp_p.h"
#include "reference.h"

namespace {

using lumetra::ref::OwnedTable;
using lumetra::ref::SameColor;
using lumetra::ref::Table;
using lumetra::test::GuardedPixMap;

constexpr RGBColor kBlack = {0, 0, 0};
constexpr RGBColor kWhite = {65535, 65535, 65535};

testing::AssertionResult ColorIs(RGBColor c, UInt16 r, UInt16 g, UInt16 b) {
  if (SameColor(c, RGBColor{r, g, b})) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "got (" << c.red << ", " << c.green << ", " << c.blue << ")";
}

// An 8-bit map (one pixel) over the given table, for the conversions that read the table.
struct TableMap {
  explicit TableMap(const Table& entries) : table(entries), map(8, Rect{0, 0, 1, 1}, 0, table.handle()) {}
  OwnedTable table;
  GuardedPixMap map;
};

TEST(Colors, KnownValues) {
  const RGBColor c16 = {65535, 32768, 0};
  EXPECT_EQ(RGBColorToColor16(&c16), 0x7E00);
  const RGBColor c32 = {0x1234, 0xABCD, 0xFFFF};
  EXPECT_EQ(RGBColorToColor32(&c32), 0x0012ABFFu);
  EXPECT_TRUE(ColorIs(Color16ToRGBColor(0x7FFF), 63519, 63519, 63519));
  EXPECT_TRUE(ColorIs(Color16ToRGBColor(0x8000), 0, 0, 0));
  EXPECT_TRUE(ColorIs(Color16ToRGBColor(0x7C00), 63519, 0, 0));
  EXPECT_TRUE(ColorIs(Color32ToRGBColor(0xFF123456u), 0x1212, 0x3434, 0x5656));
  EXPECT_TRUE(ColorIs(Color32ToRGBColor(0x00FFFFFFu), 65535, 65535, 65535));
}

TEST(Colors, Every16BitPixelRoundTripsWithBit15Cleared) {
  for (UInt32 p = 0; p < 65536; ++p) {
    const RGBColor c = Color16ToRGBColor(p);
    ASSERT_TRUE(SameColor(c, lumetra::ref::FromColor16(p))) << "pixel " << p;
    ASSERT_EQ(RGBColorToColor16(&c), p & 0x7FFF) << "pixel " << p;
  }
}

TEST(Colors, EveryComponentValueKeepsItsTopBits) {
  // Each component alone over all 65536 values, the others at a fixed odd value.
  for (UInt32 x = 0; x < 65536; ++x) {
    const RGBColor colors[] = {{UInt16(x), 0x1357, 0x9BDF}, {0x1357, UInt16(x), 0x9BDF}, {0x1357, 0x9BDF, UInt16(x)}};
    for (const RGBColor& c : colors) {
      ASSERT_EQ(RGBColorToColor16(&c), lumetra::ref::ToColor16(c)) << "component value " << x;
      ASSERT_EQ(RGBColorToColor32(&c), lumetra::ref::ToColor32(c)) << "component value " << x;
    }
  }
}

TEST(Colors, Every24BitPixelRoundTripsWithTheTopByteCleared) {
  for (UInt32 i = 0; i < (1u << 24); ++i) {
    const UInt32 p = i | ((i * 2654435761u) & 0xFF000000u);  // vary the ignored top byte too
    const RGBColor c = Color32ToRGBColor(p);
    ASSERT_EQ(RGBColorToColor32(&c), i) << "pixel " << p;
  }
  EXPECT_TRUE(SameColor(Color32ToRGBColor(0xAB00FF7Fu), lumetra::ref::FromColor32(0xAB00FF7Fu)));
}

TEST(Colors, FindColorByIndexWrapsAroundTheTable) {
  Table entries;
  for (int i = 0; i < 16; ++i) entries.push_back(RGBColor{UInt16(i * 1000), UInt16(i), UInt16(65535 - i)});
  TableMap t(entries);
  EXPECT_TRUE(SameColor(FindColorByIndex(t.map.handle(), 0), entries[0]));
  EXPECT_TRUE(SameColor(FindColorByIndex(t.map.handle(), 15), entries[15]));
  EXPECT_TRUE(SameColor(FindColorByIndex(t.map.handle(), 17), entries[1]));
  EXPECT_TRUE(SameColor(FindColorByIndex(t.map.handle(), 255), entries[15]));
}

TEST(Colors, FindColorByIndexWithoutEntriesGivesBlack) {
  GuardedPixMap noTable(8, Rect{0, 0, 1, 1});
  EXPECT_TRUE(SameColor(FindColorByIndex(noTable.handle(), 3), kBlack));
  TableMap empty(Table{});
  EXPECT_TRUE(SameColor(FindColorByIndex(empty.map.handle(), 0), kBlack));
  EXPECT_TRUE(SameColor(FindColorByIndex(empty.map.handle(), 200), kBlack));
  TableMap one(Table{kWhite});
  EXPECT_TRUE(SameColor(FindColorByIndex(one.map.handle(), -1), kBlack)) << "a negative index reads nothing";
  EXPECT_TRUE(SameColor(FindColorByIndex(nullptr, 0), kBlack));
  PixMapPtr nullMaster = nullptr;
  EXPECT_TRUE(SameColor(FindColorByIndex(&nullMaster, 0), kBlack));
}

TEST(Colors, NearestEntry) {
  const RGBColor grey200 = {200, 200, 200};
  const RGBColor yellow = {65535, 65535, 0};
  const RGBColor mid = {32768, 32768, 32768};
  struct Row {
    const char* name;
    Table table;
    RGBColor color;
    UInt8 position;
  } rows[] = {
      {"an entry slightly above is as near as one below", {kBlack, {256, 256, 256}, kWhite}, grey200, 1},
      {"exact entry", {kBlack, mid, kWhite}, mid, 1},
      {"equal entries: the lowest position", {kWhite, mid, mid, mid}, mid, 1},
      {"equal distances: the lowest position", {{100, 0, 0}, {0, 100, 0}, {0, 0, 100}}, kBlack, 0},
      {"distances beyond 32 bits compare exactly", {kBlack, kWhite}, yellow, 1},
      {"single entry", {kWhite}, kBlack, 0},
  };
  for (const Row& row : rows) {
    TableMap t(row.table);
    EXPECT_EQ(RGBColorToColor8(t.map.handle(), &row.color), row.position) << row.name;
    EXPECT_EQ(lumetra::ref::ToColor8(row.table, &row.color), row.position) << row.name << " (model)";
  }
}

TEST(Colors, NearestEntryAnswers255WithoutTableColourOrEntries) {
  const RGBColor c = {1, 2, 3};
  GuardedPixMap noTable(8, Rect{0, 0, 1, 1});
  EXPECT_EQ(RGBColorToColor8(noTable.handle(), &c), 255);
  TableMap t(Table{kBlack, kWhite});
  EXPECT_EQ(RGBColorToColor8(t.map.handle(), nullptr), 255);
  TableMap empty(Table{});
  EXPECT_EQ(RGBColorToColor8(empty.map.handle(), &c), 255);
  EXPECT_EQ(RGBColorToColor8(nullptr, &c), 255);
  PixMapPtr nullMaster = nullptr;
  EXPECT_EQ(RGBColorToColor8(&nullMaster, &c), 255);
}

TEST(Colors, NearestEntryOfATableColourIsItsPosition) {
  Table entries;
  for (int i = 0; i < 256; ++i)
    entries.push_back(RGBColor{UInt16(i * 257), UInt16((i * 37 % 256) * 257), UInt16((255 - i) * 131)});
  TableMap t(entries);
  for (int i = 0; i < 256; ++i) {
    const RGBColor c = FindColorByIndex(t.map.handle(), static_cast<SInt16>(i));
    ASSERT_EQ(RGBColorToColor8(t.map.handle(), &c), i);
  }
}

TEST(Colors, NearestEntryAgreesWithTheModelOnRandomTables) {
  std::mt19937 rng(7);
  for (int n = 0; n < 200; ++n) {
    Table entries(1 + rng() % 256);
    // Few distinct component values, so that ties are common.
    for (RGBColor& e : entries) e = RGBColor{UInt16(rng() % 4 * 21845), UInt16(rng() % 4 * 21845), UInt16(rng() % 4 * 21845)};
    TableMap t(entries);
    for (int k = 0; k < 50; ++k) {
      const RGBColor c = {UInt16(rng()), UInt16(rng()), UInt16(rng())};
      ASSERT_EQ(RGBColorToColor8(t.map.handle(), &c), lumetra::ref::ToColor8(entries, &c)) << "table " << n;
    }
  }
}

TEST(Colors, MixBlendsByTheFractionalPart) {
  const RGBColor red = {65535, 0, 0};
  const RGBColor blue = {0, 0, 65535};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Row {
    const char* name;
    RGBColor a, b;
    float weight;
    RGBColor out;
  } rows[] = {
      {"half way", kBlack, kWhite, 0.5f, {32767, 32767, 32767}},
      {"weight 0 gives a", kBlack, kWhite, 0.0f, kBlack},
      {"weight 1 gives a again", kBlack, kWhite, 1.0f, kBlack},
      {"only the fraction counts", kBlack, kWhite, 2.25f, {16383, 16383, 16383}},
      {"a quarter toward blue", red, blue, 0.25f, {49151, 0, 16383}},
      // f = -0.25, g = 1.25: 0 * 1.25 + 65535 * -0.25 truncates to -16383, stored as its low 16 bits.
      {"a negative fraction keeps the low 16 bits", kBlack, kWhite, -0.25f, {49153, 49153, 49153}},
      {"not a number gives a", red, blue, nan, red},
      {"infinity gives a", red, blue, inf, red},
      {"a weight beyond 32 bits has no fraction", red, blue, 1e10f, red},
  };
  for (const Row& row : rows) {
    const RGBColor m = QDMP_Mix_RGBColors(row.a, row.b, row.weight);
    EXPECT_TRUE(ColorIs(m, row.out.red, row.out.green, row.out.blue)) << row.name;
  }
}

TEST(Colors, MixAgreesWithTheModelOnRandomColours) {
  std::mt19937 rng(11);
  for (int n = 0; n < 20000; ++n) {
    const RGBColor a = {UInt16(rng()), UInt16(rng()), UInt16(rng())};
    const RGBColor b = {UInt16(rng()), UInt16(rng()), UInt16(rng())};
    const float weight = static_cast<float>(static_cast<int>(rng() % 4000) - 2000) / 32.0f + (n % 7) * 0.001f;
    ASSERT_TRUE(SameColor(QDMP_Mix_RGBColors(a, b, weight), lumetra::ref::Mix(a, b, weight))) << "case " << n;
  }
}

TEST(Colors, DistanceIsTheTruncatedEuclideanDistance) {
  struct Row {
    const char* name;
    RGBColor a, b;
    UInt32 distance;
  } rows[] = {
      {"3-4-5", kBlack, {3, 4, 0}, 5},
      {"a square beyond 31 bits", kBlack, {46341, 0, 0}, 46341},
      {"black against white", kBlack, kWhite, 113509},
      {"symmetric", kWhite, kBlack, 113509},
      {"same colour", {7, 8, 9}, {7, 8, 9}, 0},
      {"truncated, not rounded", kBlack, {1, 1, 0}, 1},
  };
  for (const Row& row : rows) EXPECT_EQ(QDMP_RGBColorDistance(row.a, row.b), row.distance) << row.name;
  std::mt19937 rng(13);
  for (int n = 0; n < 100000; ++n) {
    const RGBColor a = {UInt16(rng()), UInt16(rng()), UInt16(rng())};
    const RGBColor b = {UInt16(rng()), UInt16(rng()), UInt16(rng())};
    ASSERT_EQ(QDMP_RGBColorDistance(a, b), lumetra::ref::Distance(a, b)) << "case " << n;
  }
}

}  // namespace
