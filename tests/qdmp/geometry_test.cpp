// Rectangle and point helpers: 16-bit wrap-around, no normalisation, half-open membership.
#include <gtest/gtest.h>

#include "qdmp_p.h"

namespace {

bool Same(const Rect& a, const Rect& b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

testing::AssertionResult RectIs(const Rect& r, SInt16 top, SInt16 left, SInt16 bottom, SInt16 right) {
  if (Same(r, Rect{top, left, bottom, right})) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "got (top " << r.top << ", left " << r.left << ", bottom " << r.bottom
                                     << ", right " << r.right << ")";
}

TEST(Geometry, InitAnswersZeroEveryTime) {
  EXPECT_EQ(QDMP_Init(), 0);
  EXPECT_EQ(QDMP_Init(), 0);
}

TEST(Geometry, SetRectStoresArgumentsInFieldOrderWithoutComparing) {
  Rect r = {1, 2, 3, 4};
  QDMP_Set_Rect(&r, /*left*/ 50, /*top*/ 40, /*right*/ 10, /*bottom*/ 5);
  EXPECT_TRUE(RectIs(r, 40, 50, 5, 10));
}

TEST(Geometry, OffsetAndInsetWrapAndNeverNormalise) {
  struct Row {
    const char* name;
    bool inset;
    Rect in;
    SInt16 dh, dv;
    Rect out;
  } rows[] = {
      {"offset moves all four", false, {0, 0, 10, 10}, 3, -2, {-2, 3, 8, 13}},
      {"offset right wraps to -32768", false, {0, 0, 10, 32767}, 1, 0, {0, 1, 10, -32768}},
      {"offset top wraps to 32767", false, {-32768, 0, 10, 10}, 0, -1, {32767, 0, 9, 10}},
      {"inset shrinks", true, {0, 0, 10, 10}, 2, 3, {3, 2, 7, 8}},
      {"inset past the middle inverts", true, {0, 0, 10, 10}, 6, 6, {6, 6, 4, 4}},
      {"negative inset enlarges", true, {0, 0, 10, 10}, -2, -3, {-3, -2, 13, 12}},
      {"inset wraps", true, {-32768, 0, 32767, 10}, 0, -1, {32767, 0, -32768, 10}},
  };
  for (const Row& row : rows) {
    Rect r = row.in;
    if (row.inset)
      QDMP_Inset_Rect(&r, row.dh, row.dv);
    else
      QDMP_Offset_Rect(&r, row.dh, row.dv);
    EXPECT_TRUE(RectIs(r, row.out.top, row.out.left, row.out.bottom, row.out.right)) << row.name;
  }
}

TEST(Geometry, IntersectClipsAndStoresEvenEmptyResults) {
  struct Row {
    const char* name;
    Rect a, b;
    SInt32 result;
    Rect out;
  } rows[] = {
      {"disjoint", {0, 0, 10, 10}, {20, 20, 30, 30}, 0, {20, 20, 10, 10}},
      {"only touching", {0, 0, 10, 10}, {0, 10, 10, 20}, 0, {0, 10, 10, 10}},
      {"overlapping", {0, 0, 10, 10}, {5, -5, 15, 7}, 1, {5, 0, 10, 7}},
      {"b inside a", {-100, -100, 100, 100}, {1, 2, 3, 4}, 1, {1, 2, 3, 4}},
      {"inverted a stays empty", {10, 10, 0, 0}, {-5, -5, 20, 20}, 0, {10, 10, 0, 0}},
      {"extreme coordinates", {-32768, -32768, 32767, 32767}, {-1, -32768, 0, 32767}, 1, {-1, -32768, 0, 32767}},
  };
  for (const Row& row : rows) {
    Rect out = {99, 99, 99, 99};
    EXPECT_EQ(QDMP_Intersect_Rects(&row.a, &row.b, &out), row.result) << row.name;
    EXPECT_TRUE(RectIs(out, row.out.top, row.out.left, row.out.bottom, row.out.right)) << row.name;
    EXPECT_EQ(QDMP_Intersect_Rects(&row.a, &row.b, nullptr), row.result) << row.name << ", out null";

    Rect a = row.a;
    EXPECT_EQ(QDMP_Intersect_Rects(&a, &row.b, &a), row.result) << row.name << ", out = a";
    EXPECT_TRUE(RectIs(a, row.out.top, row.out.left, row.out.bottom, row.out.right)) << row.name << ", out = a";
    Rect b = row.b;
    EXPECT_EQ(QDMP_Intersect_Rects(&row.a, &b, &b), row.result) << row.name << ", out = b";
    EXPECT_TRUE(RectIs(b, row.out.top, row.out.left, row.out.bottom, row.out.right)) << row.name << ", out = b";
  }
}

TEST(Geometry, PointInRectIsHalfOpen) {
  const Rect r = {10, 20, 30, 40};
  const Rect inverted = {30, 40, 10, 20};
  const Rect empty = {10, 20, 10, 40};
  struct Row {
    const char* name;
    Point p;
    const Rect* rect;
    SInt32 result;
  } rows[] = {
      {"top-left corner", {10, 20}, &r, 1},
      {"left edge", {25, 20}, &r, 1},
      {"top edge", {10, 30}, &r, 1},
      {"last pixel", {29, 39}, &r, 1},
      {"right edge", {15, 40}, &r, 0},
      {"bottom edge", {30, 25}, &r, 0},
      {"left of it", {15, 19}, &r, 0},
      {"above it", {9, 25}, &r, 0},
      {"null rectangle", {15, 25}, nullptr, 0},
      {"inverted rectangle", {20, 30}, &inverted, 0},
      {"empty rectangle", {10, 20}, &empty, 0},
  };
  for (const Row& row : rows) EXPECT_EQ(QDMP_PointInRect(row.p, row.rect), row.result) << row.name;
}

TEST(Geometry, SetPointStoresOnlyThroughAPointer) {
  Point stored = {0, 0};
  const Point p = QDMP_Set_Point(&stored, /*h*/ 7, /*v*/ -3);
  EXPECT_EQ(p.h, 7);
  EXPECT_EQ(p.v, -3);
  EXPECT_EQ(stored.h, 7);
  EXPECT_EQ(stored.v, -3);
  const Point q = QDMP_Set_Point(nullptr, -32768, 32767);
  EXPECT_EQ(q.h, -32768);
  EXPECT_EQ(q.v, 32767);
}

TEST(Geometry, MidPointRoundsTowardMinusInfinityWithoutOverflow) {
  struct Row {
    const char* name;
    SInt16 a, b, mid;
  } rows[] = {
      {"-3 and 0", -3, 0, -2},      {"1 and 2", 1, 2, 1},
      {"0 and -1", 0, -1, -1},      {"32767 twice", 32767, 32767, 32767},
      {"-32768 and -32767", -32768, -32767, -32768},
      {"-32768 and 32767", -32768, 32767, -1},
  };
  for (const Row& row : rows) {
    const Point m = QDMP_MidPoint(Point{/*v*/ row.a, /*h*/ row.b}, Point{/*v*/ row.b, /*h*/ row.a});
    EXPECT_EQ(m.h, row.mid) << row.name;
    EXPECT_EQ(m.v, row.mid) << row.name;
    const Rect r = {/*top*/ row.a, /*left*/ row.b, /*bottom*/ row.b, /*right*/ row.a};
    const Point c = QDMP_MidPointRect(&r);
    EXPECT_EQ(c.v, row.mid) << row.name;
    EXPECT_EQ(c.h, row.mid) << row.name;
  }
  const Rect r = {0, -3, 3, 0};
  const Point c = QDMP_MidPointRect(&r);
  EXPECT_EQ(c.v, 1);
  EXPECT_EQ(c.h, -2);
}

}  // namespace
