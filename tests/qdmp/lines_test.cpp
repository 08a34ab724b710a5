// Lines, scans and filled rectangles: the documented walks pixel by pixel, clipping at the
// bounds, long lines, scan ends, and the corners of filled rectangles.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "qdmp_p.h"
#include "reference.h"

namespace {

using lumetra::ref::Image;
using lumetra::ref::ModelOf;
using lumetra::test::GuardedPixMap;
using Points = std::set<std::pair<int, int>>;  // (h, v)

constexpr Rect kAroundOrigin = {-10, -10, 10, 10};

// The positions of map that hold a non-zero value.
Points Stored(const GuardedPixMap& map) {
  Points out;
  for (int v = map.bounds().top; v < map.bounds().bottom; ++v)
    for (int h = map.bounds().left; h < map.bounds().right; ++h)
      if (map.get(h, v)) out.insert({h, v});
  return out;
}

std::string Show(const Points& points) {
  std::string s;
  for (const auto& [h, v] : points) s += "(" + std::to_string(h) + ", " + std::to_string(v) + ") ";
  return s;
}

// Draws with the worker of the map's depth.
void Line(const GuardedPixMap& map, SInt16 h0, SInt16 v0, SInt16 h1, SInt16 v1, UInt32 value) {
  switch (map.bytesPerPixel()) {
    case 1: QDMP_Draw_Line8(map.handle(), h0, v0, h1, v1, UInt8(value)); break;
    case 2: QDMP_Draw_Line16(map.handle(), h0, v0, h1, v1, UInt16(value)); break;
    default: QDMP_Draw_Line32(map.handle(), h0, v0, h1, v1, value); break;
  }
}

void Scan(const GuardedPixMap& map, SInt16 v, SInt16 h1, SInt16 h2, UInt32 value) {
  switch (map.bytesPerPixel()) {
    case 1: Draw_Scan8(map.handle(), v, h1, h2, UInt8(value)); break;
    case 2: Draw_Scan16(map.handle(), v, h1, h2, UInt16(value)); break;
    default: Draw_Scan32(map.handle(), v, h1, h2, value); break;
  }
}

void Fill(const GuardedPixMap& map, Point topLeft, Point bottomRight, UInt32 value) {
  switch (map.bytesPerPixel()) {
    case 1: QDMP_Fill_Rect8(map.handle(), topLeft, bottomRight, UInt8(value)); break;
    case 2: QDMP_Fill_Rect16(map.handle(), topLeft, bottomRight, UInt16(value)); break;
    default: QDMP_Fill_Rect32(map.handle(), topLeft, bottomRight, value); break;
  }
}

// Runs body under both the clipped and the plain paths, restoring the flag.
template <typename Body>
void OnBothPaths(Body body) {
  const bool saved = gPlainPaths;
  for (bool plain : {false, true}) {
    gPlainPaths = plain;
    body(plain ? " (plain path)" : "");
  }
  gPlainPaths = saved;
}

TEST(Lines, DocumentedWalks) {
  struct Row {
    const char* name;
    SInt16 h0, v0, h1, v1;
    Points stored;
  } rows[] = {
      {"a single point", 3, -4, 3, -4, {{3, -4}}},
      {"(0,0)-(5,2)", 0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}}},
      {"its reverse covers other pixels", 5, 2, 0, 0, {{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 1}, {0, 0}}},
      {"(0,0)-(2,5), rows drive", 0, 0, 2, 5, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 5}}},
      {"(0,0)-(4,1)", 0, 0, 4, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}}},
      {"(0,0)-(-3,1)", 0, 0, -3, 1, {{0, 0}, {-1, 0}, {-2, 0}, {-3, 1}}},
      {"the diagonal (0,0)-(4,4)", 0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}},
      {"(0,0)-(1,1) ends at (1,0)", 0, 0, 1, 1, {{0, 0}, {1, 0}}},
      {"(0,0)-(-1,-1) ends at (-1,0)", 0, 0, -1, -1, {{0, 0}, {-1, 0}}},
      {"vertical upward", 2, 3, 2, -1, {{2, 3}, {2, 2}, {2, 1}, {2, 0}, {2, -1}}},
      {"horizontal leftward", 1, 1, -2, 1, {{1, 1}, {0, 1}, {-1, 1}, {-2, 1}}},
  };
  for (int depth : {8, 16, 32}) {
    for (const Row& row : rows) {
      OnBothPaths([&](const char* path) {
        GuardedPixMap map(depth, kAroundOrigin, depth / 8 * 20 + 3);
        Line(map, row.h0, row.v0, row.h1, row.v1, 0x7F);
        EXPECT_EQ(Stored(map), row.stored) << row.name << " at " << depth << " bits" << path << ": " << Show(Stored(map));
        EXPECT_TRUE(map.paddingUntouched()) << row.name;
      });
    }
  }
}

TEST(Lines, GenericAndPointVariantsDrawTheSameWalk) {
  const RGBColor green = {0, 65535, 0};
  GuardedPixMap a(32, kAroundOrigin);
  GuardedPixMap b(32, kAroundOrigin);
  GuardedPixMap c(32, kAroundOrigin);
  QDMP_Draw_Line(a.handle(), -9, 7, 8, -3, &green);
  QDMP_Draw_LineP(b.handle(), Point{7, -9}, Point{-3, 8}, &green);
  QDMP_Draw_LineP32(c.handle(), Point{7, -9}, Point{-3, 8}, 0x0000FF00u);
  EXPECT_EQ(a.pixels(), b.pixels());
  EXPECT_EQ(a.pixels(), c.pixels());
  EXPECT_EQ(a.get(-9, 7), 0x0000FF00u);

  GuardedPixMap d16(16, kAroundOrigin);
  GuardedPixMap e16(16, kAroundOrigin);
  QDMP_Draw_Line16(d16.handle(), 0, 0, 5, 2, 0x03E0);
  QDMP_Draw_LineP16(e16.handle(), Point{0, 0}, Point{2, 5}, 0x03E0);
  EXPECT_EQ(d16.pixels(), e16.pixels());
  GuardedPixMap d8(8, kAroundOrigin);
  GuardedPixMap e8(8, kAroundOrigin);
  QDMP_Draw_Line8(d8.handle(), 0, 0, 2, 5, 9);
  QDMP_Draw_LineP8(e8.handle(), Point{0, 0}, Point{5, 2}, 9);
  EXPECT_EQ(d8.pixels(), e8.pixels());
}

TEST(Lines, ClippedLinesStoreTheInsidePixelsOfTheUnboundedWalk) {
  struct Row {
    const char* name;
    Rect bounds;
    SInt16 h0, v0, h1, v1;
  } rows[] = {
      {"starts outside and crosses", {0, 0, 10, 10}, -50, -20, 30, 12},
      {"leaves through the corner", {0, 0, 10, 10}, 5, 5, 40, 41},
      {"passes beside the map", {0, 0, 10, 10}, -5, 20, 30, 9},
      {"steep, through offset bounds", {100, 50, 110, 60}, 52, 0, 57, 300},
      {"far origin", {-32000, 32000, -31990, 32010}, -32768, -32768, 32767, -31000},
      {"spans the plane, dx + dy = 32767", {0, 0, 8, 8}, -16000, -3, 16767, 5},
      {"longer than 32767 steps", {0, -5, 2, 5}, -32768, 0, 32767, 1},
      {"longer, rows drive", {-4, -4, 4, 4}, 3, -32768, -2, 32767},
      {"longest diagonal", {-2, -2, 2, 2}, -32768, -32768, 32767, 32767},
      {"never inside", {0, 0, 10, 10}, -32768, 32767, 32767, 32767},
  };
  for (const Row& row : rows) {
    OnBothPaths([&](const char* path) {
      GuardedPixMap map(32, row.bounds, 4 * (row.bounds.right - row.bounds.left) + 8);
      Image model = ModelOf(map);
      Line(map, row.h0, row.v0, row.h1, row.v1, 0xFFFFFFFFu);
      lumetra::ref::Line(model, 32, row.h0, row.v0, row.h1, row.v1, 0xFFFFFFFFu);
      const auto diff = FirstDifference(map, model);
      EXPECT_FALSE(diff) << row.name << path << ": " << *diff;
    });
  }
}

TEST(Lines, LongLineDrawsAsOnAnUnboundedMap) {
  // From column -32768 to 32767 on rows 0 to 1: the driving delta is 65535. Walked in 16 bits it
  // would wrap to -1 and plot only the two far ends. The unbounded walk starts its error at
  // 32767 and steps down a row when the error passes 65535, after 32769 steps: at column 1.
  GuardedPixMap map(8, Rect{0, -3, 2, 3});
  QDMP_Draw_Line8(map.handle(), -32768, 0, 32767, 1, 1);
  EXPECT_EQ(Stored(map), (Points{{-3, 0}, {-2, 0}, {-1, 0}, {0, 0}, {1, 1}, {2, 1}})) << Show(Stored(map));
}

TEST(Scans, EndsRowsAndCuts) {
  struct Row {
    const char* name;
    SInt16 v, h1, h2;
    Points stored;
  } rows[] = {
      {"left to right, right end open", 0, -2, 2, {{-2, 0}, {-1, 0}, {0, 0}, {1, 0}}},
      {"right to left is the same", 0, 2, -2, {{-2, 0}, {-1, 0}, {0, 0}, {1, 0}}},
      {"equal ends store nothing", 0, 3, 3, {}},
      {"the row bounds.bottom", 10, -5, 5, {}},
      {"the row bounds.top - 1", -11, -5, 5, {}},
      {"the top row", -10, 0, 1, {{0, -10}}},
      {"cut at the left edge", 9, -32768, -8, {{-10, 9}, {-9, 9}}},
      {"cut at the right edge", 9, 8, 32767, {{8, 9}, {9, 9}}},
      {"past both edges", 1, 20000, -20000, {}},  // filled below, the expectation is the whole row
      {"wholly left of the map", 2, -300, -11, {}},
      {"wholly right of the map", 2, 10, 300, {}},
      {"far row", 32767, -32768, 32767, {}},
  };
  for (Row& row : rows)
    if (std::string(row.name) == "past both edges")
      for (int h = -10; h < 10; ++h) row.stored.insert({h, 1});
  for (int depth : {8, 16, 32}) {
    for (const Row& row : rows) {
      OnBothPaths([&](const char* path) {
        GuardedPixMap map(depth, kAroundOrigin, depth / 8 * 20 + 5);
        Scan(map, row.v, row.h1, row.h2, 0xA5A5A5A5u);
        EXPECT_EQ(Stored(map), row.stored) << row.name << " at " << depth << " bits" << path << ": " << Show(Stored(map));
        EXPECT_TRUE(map.paddingUntouched()) << row.name;
      });
    }
  }
}

TEST(FilledRects, Corners) {
  struct Row {
    const char* name;
    SInt16 top, left, bottom, right;
  } rows[] = {
      {"the map's own bounds", -10, -10, 10, 10},
      {"inside, bottom and right edges open", -2, -3, 1, 4},
      {"top = bottom stores nothing", 3, -5, 3, 5},
      {"left = right stores nothing", -5, 2, 5, 2},
      {"left > right as if swapped", -4, 6, 2, -1},
      {"top > bottom stores nothing", 5, -5, -5, 5},
      {"-20000 to 20000 fills every column", -1, -20000, 1, 20000},
      {"-20000 to 20000 both ways fills the map", -20000, -20000, 20000, 20000},
      {"half off the right edge", 0, 5, 3, 30},
      {"half off the top-left corner", -30, -30, -8, -7},
      {"entirely below", 10, -10, 20, 10},
      {"extreme corners", -32768, 32767, 32767, -32768},
  };
  for (int depth : {8, 16, 32}) {
    for (const Row& row : rows) {
      Points expected;
      // The map's pixels inside the rows top..bottom-1 and the columns between left and right.
      for (int v = -10; v < 10; ++v)
        for (int h = -10; h < 10; ++h)
          if (v >= row.top && v < row.bottom && h >= std::min(row.left, row.right) && h < std::max(row.left, row.right))
            expected.insert({h, v});
      OnBothPaths([&](const char* path) {
        GuardedPixMap map(depth, kAroundOrigin, depth / 8 * 20 + 7);
        Fill(map, Point{row.top, row.left}, Point{row.bottom, row.right}, 0xC3C3C3C3u);
        EXPECT_EQ(Stored(map), expected) << row.name << " at " << depth << " bits" << path << ": " << Show(Stored(map));
        EXPECT_TRUE(map.paddingUntouched()) << row.name;
      });
    }
  }
}

TEST(FilledRects, OwnBoundsStoreEveryPixelOnceAndBlackIsZero) {
  // A renderer-like 32-bit world: filled black through the generic entry point.
  GuardedPixMap world(32, Rect{0, 0, 37, 53});
  world.fill(0xFF00FF00u);
  const RGBColor black = {0, 0, 0};
  QDMP_Fill_Rect(world.handle(), Point{0, 0}, Point{37, 53}, &black);
  EXPECT_EQ(world.pixels(), std::vector<uint32_t>(37 * 53, 0));
  // The generic fill at 16 bits converts once and stores the converted value.
  GuardedPixMap map16(16, kAroundOrigin, 44);
  const RGBColor c = {65535, 32768, 0};
  QDMP_Fill_Rect(map16.handle(), Point{-10, -10}, Point{10, 10}, &c);
  EXPECT_EQ(map16.pixels(), std::vector<uint32_t>(400, 0x7E00));
  EXPECT_TRUE(map16.paddingUntouched());
}

}  // namespace
