// Curves: the segments the subdivision draws, the squared distance that decides it, and the
// pixels that result.
//
// This program is linked with --wrap=QDMP_Draw_Line, so every segment the curve draws passes
// the spy below on its way to the real line.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "curves_p.h"
#include "guarded.h"
#include "model_cases.h"
#include "qdmp.h"
#include "reference.h"

namespace {

// A segment as (hStart, vStart, hEnd, vEnd).
using Segment = std::tuple<int, int, int, int>;

std::vector<Segment> gSegments;

}  // namespace

extern "C" {
void __real_QDMP_Draw_Line(PixMapHandle, SInt16, SInt16, SInt16, SInt16, const RGBColor*);
void __wrap_QDMP_Draw_Line(PixMapHandle pm, SInt16 h0, SInt16 v0, SInt16 h1, SInt16 v1, const RGBColor* color) {
  gSegments.emplace_back(h0, v0, h1, v1);
  __real_QDMP_Draw_Line(pm, h0, v0, h1, v1, color);
}
}

namespace {

using lumetra::test::GuardedPixMap;

constexpr RGBColor kWhite = {65535, 65535, 65535};

Point P(int h, int v) { return Point{static_cast<SInt16>(v), static_cast<SInt16>(h)}; }

Rect MakeRect(int top, int left, int bottom, int right) {
  return Rect{static_cast<SInt16>(top), static_cast<SInt16>(left), static_cast<SInt16>(bottom), static_cast<SInt16>(right)};
}

struct SegmentCase {
  const char* name;
  Point p0, p1, p2;
  std::vector<Segment> segments;
  friend void PrintTo(const SegmentCase& c, std::ostream* os) { *os << c.name; }
};

class CurveSegments : public testing::TestWithParam<SegmentCase> {};

TEST_P(CurveSegments, AreDrawnInOrder) {
  const SegmentCase& c = GetParam();
  GuardedPixMap map(32, MakeRect(-4, -4, 8, 48));
  gSegments.clear();
  QDMP_Draw_Curve(map.handle(), c.p0, c.p1, c.p2, &kWhite);
  EXPECT_EQ(gSegments, c.segments);
  EXPECT_TRUE(map.paddingUntouched());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CurveSegments,
    testing::Values(
        SegmentCase{"AllThreePointsEqual", P(3, 2), P(3, 2), P(3, 2), {{3, 2, 3, 2}, {3, 2, 3, 2}, {3, 2, 3, 2}, {3, 2, 3, 2}}},
        SegmentCase{"ShortStraight", P(0, 0), P(4, 0), P(8, 0), {{0, 0, 2, 0}, {2, 0, 4, 0}, {4, 0, 6, 0}, {6, 0, 8, 0}}},
        // Both tests give exactly 100: nothing is split.
        SegmentCase{"ExactlyTenIsNotSplit", P(0, 0), P(0, 0), P(40, 0),
                    {{0, 0, 0, 0}, {0, 0, 10, 0}, {10, 0, 20, 0}, {20, 0, 40, 0}}},
        // The first half splits twice; the second half tests mid against p1 and does not split.
        SegmentCase{"FirstHalfSplitsTwice", P(0, 0), P(40, 0), P(40, 0),
                    {{0, 0, 5, 0}, {5, 0, 9, 0}, {9, 0, 13, 0}, {13, 0, 17, 0}, {17, 0, 25, 0}, {25, 0, 30, 0},
                     {30, 0, 40, 0}, {40, 0, 40, 0}}},
        SegmentCase{"ReversedIsNotSplit", P(40, 0), P(40, 0), P(0, 0),
                    {{40, 0, 40, 0}, {40, 0, 30, 0}, {30, 0, 20, 0}, {20, 0, 0, 0}}},
        // Midpoints round toward minus infinity: (-3 + 0) / 2 gives -2 and (-2 + 1) / 2 gives -1.
        SegmentCase{"NegativeMidpointsRoundDown", P(-3, -3), P(0, 0), P(3, -3),
                    {{-3, -3, -2, -2}, {-2, -2, -1, -2}, {-1, -2, 1, -2}, {1, -2, 3, -3}}}),
    [](const auto& info) { return std::string(info.param.name); });

// p0 = p1 = p2: four zero-length segments, which store that single pixel.
TEST(Curve, SinglePointStoresOnePixel) {
  GuardedPixMap map(16, MakeRect(0, 0, 5, 5));
  QDMP_Draw_Curve(map.handle(), P(2, 3), P(2, 3), P(2, 3), &kWhite);
  for (int v = 0; v < 5; ++v)
    for (int h = 0; h < 5; ++h) EXPECT_EQ(map.get(h, v), h == 2 && v == 3 ? 0x7FFFu : 0u) << h << "," << v;
}

// The curve checks nothing itself: with a bad handle the subdivision still runs and every
// segment draws nothing.
TEST(Curve, BadHandlesStillSubdivide) {
  PixMapPtr none = nullptr;
  for (PixMapHandle pm : {static_cast<PixMapHandle>(nullptr), &none}) {
    gSegments.clear();
    QDMP_Draw_Curve(pm, P(0, 0), P(4, 0), P(8, 0), &kWhite);
    EXPECT_EQ(gSegments.size(), 4u);
  }
}

// The subdivision ends for points anywhere in the coordinate range: the chain runs from p0 to
// p2, each segment starting where the one before ended, and none longer than the split allows
// once the legs have been halved.
TEST(Curve, ExtremePointsFormAConnectedChain) {
  const Point corners[][3] = {{P(-32768, -32768), P(32767, 32767), P(-32768, 32767)},
                              {P(32767, -32768), P(-32768, -32768), P(32767, 32767)},
                              {P(0, 0), P(32767, 0), P(-32768, 0)}};
  GuardedPixMap map(8, MakeRect(-64, -64, 64, 64));
  for (const auto& c : corners) {
    gSegments.clear();
    QDMP_Draw_Curve(map.handle(), c[0], c[1], c[2], &kWhite);
    ASSERT_FALSE(gSegments.empty());
    EXPECT_EQ(std::get<0>(gSegments.front()), c[0].h);
    EXPECT_EQ(std::get<1>(gSegments.front()), c[0].v);
    EXPECT_EQ(std::get<2>(gSegments.back()), c[2].h);
    EXPECT_EQ(std::get<3>(gSegments.back()), c[2].v);
    for (size_t i = 1; i < gSegments.size(); ++i) {
      EXPECT_EQ(std::get<0>(gSegments[i]), std::get<2>(gSegments[i - 1])) << i;
      EXPECT_EQ(std::get<1>(gSegments[i]), std::get<3>(gSegments[i - 1])) << i;
    }
    // 15 levels at most, two halves of two segments each: 2^16 segments at the very most.
    EXPECT_LE(gSegments.size(), 1u << 16);
  }
  EXPECT_TRUE(map.paddingUntouched());
}

struct DistanceCase {
  const char* name;
  Point a, b;
  uint32_t expected;
  friend void PrintTo(const DistanceCase& c, std::ostream* os) { *os << c.name; }
};

class DistanceSquared : public testing::TestWithParam<DistanceCase> {};

TEST_P(DistanceSquared, CutsEachDifferenceTo16Bits) {
  const DistanceCase& c = GetParam();
  EXPECT_EQ(distance_squared(c.a, c.b), c.expected);
  EXPECT_EQ(distance_squared(c.b, c.a), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DistanceSquared,
    testing::Values(DistanceCase{"ThreeFourFive", P(0, 0), P(3, 4), 25},
                    DistanceCase{"SamePoint", P(-7, 9), P(-7, 9), 0},
                    // -65535 wraps to 1.
                    DistanceCase{"AcrossTheRangeWraps", P(-32768, 0), P(32767, 0), 1},
                    // 32768 wraps to -32768, whose square still fits.
                    DistanceCase{"HalfRangeOnBothAxes", P(-32768, -32768), P(0, 0), 2u * 32768u * 32768u},
                    DistanceCase{"JustOverTen", P(10, 1), P(0, 0), 101}),
    [](const auto& info) { return std::string(info.param.name); });

// Random curves against the model: the same segments in the same order, and the same pixels.
TEST(CurveModel, RandomCasesMatch) {
  using lumetra::test::Uniform;
  for (int n : lumetra::test::CasesToRun(400)) {
    std::mt19937 rng(static_cast<unsigned>(n));
    const int depth = 8 << Uniform(rng, 0, 2);
    const int width = Uniform(rng, 1, 64), height = Uniform(rng, 1, 64);
    const int top = Uniform(rng, -50, 50), left = Uniform(rng, -50, 50);
    auto map = lumetra::test::RandomMap(rng, depth, top, left, width, height);
    lumetra::ref::Image expected = lumetra::ref::ModelOf(*map);
    // Points around the map, or anywhere in the coordinate range.
    const bool far = Uniform(rng, 0, 4) == 0;
    auto point = [&] {
      return far ? P(Uniform(rng, -32768, 32767), Uniform(rng, -32768, 32767))
                 : P(left + Uniform(rng, -80, width + 80), top + Uniform(rng, -80, height + 80));
    };
    const Point p0 = point(), p1 = point(), p2 = point();
    const RGBColor colour = {static_cast<UInt16>(rng()), static_cast<UInt16>(rng()), static_cast<UInt16>(rng())};
    const std::string what = "case " + std::to_string(n) + ": depth " + std::to_string(depth) + ", (" +
                             std::to_string(p0.h) + ", " + std::to_string(p0.v) + ") (" + std::to_string(p1.h) + ", " +
                             std::to_string(p1.v) + ") (" + std::to_string(p2.h) + ", " + std::to_string(p2.v) + ")";
    if (lumetra::test::Verbose()) std::cout << what << "\n";
    gSegments.clear();
    QDMP_Draw_Curve(map->handle(), p0, p1, p2, &colour);
    lumetra::ref::Curve(expected, p0, p1, p2, colour);
    std::vector<Segment> modelSegments;
    for (const auto& s : lumetra::ref::CurveSegments(p0, p1, p2))
      modelSegments.emplace_back(static_cast<int>(s.h0), static_cast<int>(s.v0), static_cast<int>(s.h1), static_cast<int>(s.v1));
    ASSERT_EQ(gSegments, modelSegments) << what;
    const auto difference = lumetra::ref::FirstDifference(*map, expected);
    ASSERT_FALSE(difference) << what << "\n" << *difference;
  }
}

}  // namespace
