// Circle outlines and filled discs: the exact pixels of small radii, every pixel of an outline
// stored once, clipping, depths, and large radii walked without wrapping.
//
// The outline's stores are watched through the pixel-access workers: this program is linked
// with --wrap for QDMP_Set_Pixel8/16/32, so every store the outline makes passes the spy below.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <cstring>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "guarded.h"
#include "model_cases.h"
#include "qdmp.h"
#include "qdmp_p.h"
#include "reference.h"

namespace {

using lumetra::test::GuardedPixMap;
using Pixel = std::pair<int, int>;  // (h, v)

std::vector<Pixel> gStores;

}  // namespace

extern "C" {
void __real_QDMP_Set_Pixel8(PixMapHandle, SInt16, SInt16, UInt8);
void __real_QDMP_Set_Pixel16(PixMapHandle, SInt16, SInt16, UInt16);
void __real_QDMP_Set_Pixel32(PixMapHandle, SInt16, SInt16, UInt32);
void __wrap_QDMP_Set_Pixel8(PixMapHandle pm, SInt16 h, SInt16 v, UInt8 value) {
  gStores.emplace_back(h, v);
  __real_QDMP_Set_Pixel8(pm, h, v, value);
}
void __wrap_QDMP_Set_Pixel16(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 value) {
  gStores.emplace_back(h, v);
  __real_QDMP_Set_Pixel16(pm, h, v, value);
}
void __wrap_QDMP_Set_Pixel32(PixMapHandle pm, SInt16 h, SInt16 v, UInt32 value) {
  gStores.emplace_back(h, v);
  __real_QDMP_Set_Pixel32(pm, h, v, value);
}
}

namespace {

Rect MakeRect(int top, int left, int bottom, int right) {
  return Rect{static_cast<SInt16>(top), static_cast<SInt16>(left), static_cast<SInt16>(bottom), static_cast<SInt16>(right)};
}

constexpr uint32_t kInk = 0xC3C3C3C3;

uint32_t Ink(int depth) { return depth == 8 ? kInk & 0xFF : depth == 16 ? kInk & 0xFFFF : kInk; }

void DrawOutline(int depth, PixMapHandle pm, int h, int v, int radius) {
  const auto sh = static_cast<SInt16>(h), sv = static_cast<SInt16>(v);
  const auto r = static_cast<UInt16>(radius);
  switch (depth) {
    case 8: QDMP_Draw_Circle8(pm, sh, sv, r, static_cast<UInt8>(Ink(8))); break;
    case 16: QDMP_Draw_Circle16(pm, sh, sv, r, static_cast<UInt16>(Ink(16))); break;
    case 32: QDMP_Draw_Circle32(pm, sh, sv, r, Ink(32)); break;
  }
}

void DrawDisc(int depth, PixMapHandle pm, int h, int v, int radius) {
  const auto sh = static_cast<SInt16>(h), sv = static_cast<SInt16>(v);
  const auto r = static_cast<UInt16>(radius);
  switch (depth) {
    case 8: QDMP_Fill_Circle8(pm, sh, sv, r, static_cast<UInt8>(Ink(8))); break;
    case 16: QDMP_Fill_Circle16(pm, sh, sv, r, static_cast<UInt16>(Ink(16))); break;
    case 32: QDMP_Fill_Circle32(pm, sh, sv, r, Ink(32)); break;
  }
}

// The pixels of the map holding ink.
std::set<Pixel> Inked(const GuardedPixMap& map) {
  std::set<Pixel> out;
  for (int v = map.bounds().top; v < map.bounds().bottom; ++v)
    for (int h = map.bounds().left; h < map.bounds().right; ++h)
      if (map.get(h, v) == Ink(map.bytesPerPixel() * 8)) out.emplace(h, v);
  return out;
}

std::unique_ptr<GuardedPixMap> Map(int depth, Rect bounds) {
  return std::make_unique<GuardedPixMap>(depth, bounds, (bounds.right - bounds.left) * depth / 8 + 4);
}

// ---- Small radii, exact ------------------------------------------------------------------

struct SmallCase {
  const char* name;
  int radius;
  // The walk's (x, y) steps; the outline is their eight mirror images.
  std::vector<Pixel> steps;
  // The disc's half-width on rows v, v +- 1, v +- 2, ...: columns h - w to h + w - 1.
  std::vector<int> halfWidths;
  int outlineCount, discCount;
  friend void PrintTo(const SmallCase& c, std::ostream* os) { *os << c.name; }
};

std::set<Pixel> OutlineOf(const SmallCase& c, int h, int v) {
  std::set<Pixel> out;
  for (auto [x, y] : c.steps)
    for (int sx : {-1, 1})
      for (int sy : {-1, 1}) {
        out.emplace(h + sx * x, v + sy * y);
        out.emplace(h + sx * y, v + sy * x);
      }
  return out;
}

std::set<Pixel> DiscOf(const SmallCase& c, int h, int v) {
  std::set<Pixel> out;
  for (int dv = 0; dv < static_cast<int>(c.halfWidths.size()); ++dv)
    for (int row : {v - dv, v + dv})
      for (int col = h - c.halfWidths[dv]; col < h + c.halfWidths[dv]; ++col) out.emplace(col, row);
  return out;
}

std::set<Pixel> Within(const std::set<Pixel>& pixels, const Rect& b) {
  std::set<Pixel> out;
  for (auto [h, v] : pixels)
    if (h >= b.left && h < b.right && v >= b.top && v < b.bottom) out.emplace(h, v);
  return out;
}

class SmallRadius : public testing::TestWithParam<SmallCase> {};

// The plain path stores through the pixel worker, where the stores are watched: each pixel
// once. The fast path stores straight into the map; it must ink the same pixels.
TEST_P(SmallRadius, OutlineStoresEachPixelOnce) {
  const SmallCase& c = GetParam();
  for (int depth : {8, 16, 32}) {
    for (const auto& path : lumetra::test::LibraryPaths()) {
      SCOPED_TRACE(std::to_string(depth) + " bits, " + path.name);
      const lumetra::test::OnPath on(path);
      auto map = Map(depth, MakeRect(-10, -10, 10, 10));
      gStores.clear();
      DrawOutline(depth, map->handle(), 1, -2, c.radius);
      EXPECT_EQ(Inked(*map), OutlineOf(c, 1, -2));
      EXPECT_TRUE(map->paddingUntouched());
      if (!path.plain) continue;
      const std::set<Pixel> stored(gStores.begin(), gStores.end());
      EXPECT_EQ(stored.size(), gStores.size()) << "a pixel was stored twice";
      EXPECT_EQ(stored, OutlineOf(c, 1, -2));
      EXPECT_EQ(static_cast<int>(gStores.size()), c.outlineCount);
    }
  }
}

TEST_P(SmallRadius, DiscCoversItsRows) {
  const SmallCase& c = GetParam();
  for (int depth : {8, 16, 32}) {
    SCOPED_TRACE(depth);
    auto map = Map(depth, MakeRect(-10, -10, 10, 10));
    DrawDisc(depth, map->handle(), 1, -2, c.radius);
    EXPECT_EQ(Inked(*map), DiscOf(c, 1, -2));
    EXPECT_EQ(static_cast<int>(Inked(*map).size()), c.discCount);
    EXPECT_TRUE(map->paddingUntouched());
  }
}

// A circle around a centre outside the map stores exactly those of its pixels that are inside.
TEST_P(SmallRadius, CentreOutsideTheMapIsClipped) {
  const SmallCase& c = GetParam();
  const Rect bounds = MakeRect(0, 0, 6, 6);
  for (const auto& path : lumetra::test::LibraryPaths()) {
    const lumetra::test::OnPath on(path);
    for (Pixel centre : {Pixel{-2, 3}, Pixel{3, 7}, Pixel{6, -1}}) {
      SCOPED_TRACE(path.name);
      auto outline = Map(32, bounds);
      auto disc = Map(32, bounds);
      DrawOutline(32, outline->handle(), centre.first, centre.second, c.radius);
      DrawDisc(32, disc->handle(), centre.first, centre.second, c.radius);
      EXPECT_EQ(Inked(*outline), Within(OutlineOf(c, centre.first, centre.second), bounds));
      EXPECT_EQ(Inked(*disc), Within(DiscOf(c, centre.first, centre.second), bounds));
      EXPECT_TRUE(outline->paddingUntouched());
      EXPECT_TRUE(disc->paddingUntouched());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SmallRadius,
                         testing::Values(SmallCase{"Radius0", 0, {{0, 0}}, {}, 1, 0},
                                         SmallCase{"Radius1", 1, {{0, 1}}, {1}, 4, 2},
                                         SmallCase{"Radius2", 2, {{0, 2}, {1, 2}}, {2, 2, 1}, 12, 16},
                                         SmallCase{"Radius3", 3, {{0, 3}, {1, 3}, {2, 2}}, {3, 3, 2, 1}, 16, 30},
                                         SmallCase{"Radius5", 5, {{0, 5}, {1, 5}, {2, 4}, {3, 3}}, {5, 5, 4, 3, 2, 1}, 24,
                                                   70}),
                         [](const auto& info) { return std::string(info.param.name); });

// (h + r, v) belongs to the outline but not to the disc; (h - r, v) to both.
TEST(Circle, RightmostPixelIsOutlineOnly) {
  for (int radius : {1, 4, 7}) {
    auto outline = Map(32, MakeRect(0, 0, 20, 20));
    auto disc = Map(32, MakeRect(0, 0, 20, 20));
    DrawOutline(32, outline->handle(), 10, 10, radius);
    DrawDisc(32, disc->handle(), 10, 10, radius);
    EXPECT_EQ(outline->get(10 + radius, 10), kInk) << radius;
    EXPECT_NE(disc->get(10 + radius, 10), kInk) << radius;
    EXPECT_EQ(outline->get(10 - radius, 10), kInk) << radius;
    EXPECT_EQ(disc->get(10 - radius, 10), kInk) << radius;
  }
}

// ---- Depths and bad handles ----------------------------------------------------------------

TEST(Circle, GenericEntryPointsConvertTheColourForTheDepth) {
  const RGBColor white = {65535, 65535, 65535};
  const uint32_t expected[] = {255, 0x7FFF, 0x00FFFFFF};  // 8 bits without a table: position 255
  int i = 0;
  for (int depth : {8, 16, 32}) {
    auto outline = Map(depth, MakeRect(0, 0, 8, 8));
    auto disc = Map(depth, MakeRect(0, 0, 8, 8));
    QDMP_Draw_Circle(outline->handle(), 4, 4, 2, &white);
    QDMP_Fill_CircleP(disc->handle(), Point{4, 4}, 2, &white);
    EXPECT_EQ(outline->get(4, 2), expected[i]) << depth;
    EXPECT_EQ(outline->get(4, 4), 0u) << depth;
    EXPECT_EQ(disc->get(4, 4), expected[i]) << depth;
    EXPECT_EQ(disc->get(6, 4), 0u) << depth;
    ++i;
  }
}

TEST(Circle, PointVariantsDrawAsTheirTwins) {
  auto twin = Map(16, MakeRect(0, 0, 12, 12));
  auto point = Map(16, MakeRect(0, 0, 12, 12));
  QDMP_Draw_Circle16(twin->handle(), 5, 6, 4, 0x1234);
  QDMP_Fill_Circle16(twin->handle(), 7, 3, 2, 0x4321);
  QDMP_Draw_CircleP16(point->handle(), Point{6, 5}, 4, 0x1234);
  QDMP_Fill_CircleP16(point->handle(), Point{3, 7}, 2, 0x4321);
  EXPECT_EQ(point->pixels(), twin->pixels());
}

// Workers on a map of another depth, and the generic entry points at an unsupported depth,
// store nothing; null handles and master pointers are refused. The maps are made by hand over
// guarded memory so that depths below 8 bits get rows of their own width.
TEST(Circle, OtherDepthsAreLeftAlone) {
  const RGBColor white = {65535, 65535, 65535};
  PixMapPtr none = nullptr;
  for (PixMapHandle pm : {static_cast<PixMapHandle>(nullptr), &none}) {
    QDMP_Draw_Circle(pm, 0, 0, 3, &white);
    QDMP_Fill_Circle(pm, 0, 0, 3, &white);
    QDMP_Draw_Circle32(pm, 0, 0, 3, 1);
    QDMP_Fill_Circle32(pm, 0, 0, 3, 1);
  }
  const Rect bounds = MakeRect(0, 0, 16, 16);
  for (int depth : {1, 2, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    const int32_t rowBytes = (16 * depth + 7) / 8;
    lumetra::test::GuardedBuffer memory(static_cast<size_t>(rowBytes) * 16, 0x3C);
    PixMapHandle map = LumetraNewPixMap(memory.data(), static_cast<SInt16>(depth), &bounds, rowBytes, nullptr);
    ASSERT_NE(map, nullptr);
    if (depth != 8 && depth != 16 && depth != 32) {
      QDMP_Draw_Circle(map, 8, 8, 5, &white);
      QDMP_Fill_Circle(map, 8, 8, 5, &white);
    }
    if (depth != 8) {
      QDMP_Draw_Circle8(map, 8, 8, 5, 0xFF);
      QDMP_Fill_Circle8(map, 8, 8, 5, 0xFF);
    }
    if (depth != 16) {
      QDMP_Draw_Circle16(map, 8, 8, 5, 0xFFFF);
      QDMP_Fill_Circle16(map, 8, 8, 5, 0xFFFF);
    }
    if (depth != 32) {
      QDMP_Draw_Circle32(map, 8, 8, 5, 0xFFFFFFFF);
      QDMP_Fill_Circle32(map, 8, 8, 5, 0xFFFFFFFF);
    }
    LumetraDisposePixMap(map);
    EXPECT_EQ(std::count(memory.data(), memory.data() + memory.size(), 0x3C), static_cast<long>(memory.size()));
    EXPECT_TRUE(memory.slackUntouched());
  }
}

// ---- Large radii -------------------------------------------------------------------------

// Around (30000, 100) with radius 40000 the true circle misses this map, but points formed in
// 16 bits would wrap from column 65550 onto column 14 of it. The outline must leave it alone;
// the map lies wholly inside the disc, which fills it.
TEST(LargeCircle, PointsBeyondTheCoordinateRangeAreNotWrapped) {
  const Rect bounds = MakeRect(18300, 0, 18500, 200);
  for (const auto& path : lumetra::test::LibraryPaths()) {
    SCOPED_TRACE(path.name);
    const lumetra::test::OnPath on(path);
    auto outline = Map(32, bounds);
    auto disc = Map(32, bounds);
    QDMP_Draw_Circle32(outline->handle(), 30000, 100, 40000, kInk);
    QDMP_Fill_Circle32(disc->handle(), 30000, 100, 40000, kInk);
    EXPECT_TRUE(Inked(*outline).empty());
    EXPECT_TRUE(outline->paddingUntouched());
    EXPECT_EQ(Inked(*disc).size(), 200u * 200u);
    EXPECT_TRUE(disc->paddingUntouched());
  }
}

// Radius 65535 around the origin: no point of the outline lies within the 16-bit range, and
// every pixel of any map lies inside the disc.
TEST(LargeCircle, Radius65535AroundTheOrigin) {
  for (Rect bounds : {MakeRect(32700, 32700, 32767, 32767), MakeRect(-32768, -32768, -32700, -32700), MakeRect(-5, -5, 5, 5)}) {
    auto outline = Map(8, bounds);
    auto disc = Map(8, bounds);
    QDMP_Draw_Circle8(outline->handle(), 0, 0, 65535, 0xC3);
    QDMP_Fill_Circle8(disc->handle(), 0, 0, 65535, 0xC3);
    EXPECT_TRUE(Inked(*outline).empty());
    EXPECT_EQ(static_cast<int>(Inked(*disc).size()), outline->width() * outline->height());
  }
}

// ---- Against the reference model ---------------------------------------------------------

namespace model {

using lumetra::test::CasesToRun;
using lumetra::test::Uniform;

// The radii where the walk changes character: the last one the 16-bit walk holds, the first
// beyond it, the last positive and first negative 16-bit values, and the largest.
constexpr int kEdgeRadii[] = {8344, 8345, 9000, 32767, 32768, 40000, 65535};

// Large radii: the map at its place, the centre so far off that the circle crosses the map.
struct LargeCase {
  const char* name;
  int radius, h, v;
  Rect bounds;
  friend void PrintTo(const LargeCase& c, std::ostream* os) { *os << c.name; }
};

class LargeRadius : public testing::TestWithParam<LargeCase> {};

TEST_P(LargeRadius, MatchesTheWideWalkAndStoresOnlyInside) {
  const LargeCase& c = GetParam();
  for (int depth : {8, 32}) {
    for (const auto& path : lumetra::test::LibraryPaths()) {
      SCOPED_TRACE(std::to_string(depth) + " bits, " + path.name);
      const lumetra::test::OnPath on(path);
      for (bool disc : {false, true}) {
        std::mt19937 rng(static_cast<unsigned>(c.radius));
        auto map = lumetra::test::RandomMap(rng, depth, c.bounds.top, c.bounds.left, c.bounds.right - c.bounds.left,
                                            c.bounds.bottom - c.bounds.top);
        lumetra::ref::Image expected = lumetra::ref::ModelOf(*map);
        if (disc) {
          DrawDisc(depth, map->handle(), c.h, c.v, c.radius);
          lumetra::ref::Disc(expected, depth, c.h, c.v, c.radius, Ink(depth));
        } else {
          DrawOutline(depth, map->handle(), c.h, c.v, c.radius);
          lumetra::ref::Circle(expected, depth, c.h, c.v, c.radius, Ink(depth));
          EXPECT_FALSE(Inked(*map).empty()) << "the circle should cross the map";
        }
        // The map lies between guard pages, and the comparison covers its padding: a store
        // outside the map crashes or shows here.
        const auto difference = lumetra::ref::FirstDifference(*map, expected);
        EXPECT_FALSE(difference) << (disc ? "disc: " : "outline: ") << *difference;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LargeRadius,
    testing::Values(LargeCase{"Radius9000", 9000, -8850, 150, MakeRect(0, 0, 300, 300)},
                    LargeCase{"Radius40000", 40000, -28134, -28134, MakeRect(0, 0, 300, 300)},
                    // 64768^2 + 9997^2 lies within a pixel of 65535^2: the circle passes the map's middle.
                    LargeCase{"Radius65535", 65535, -32768, 22003, MakeRect(31850, 31850, 32150, 32150)},
                    LargeCase{"Radius32768AcrossTheTop", 32768, 100, 32767, MakeRect(-40, 0, 40, 200)}),
    [](const auto& info) { return std::string(info.param.name); });

// Every case on every path of the library: the plain one (every outline point handed to the
// pixel worker, every disc scan drawn) and the fast ones (outline points stored straight into
// the map, the widest scan of each row only, at each vector width).
TEST(CircleModel, RandomCasesMatch) {
  for (int n : CasesToRun(400)) for (const auto& path : lumetra::test::LibraryPaths()) {
    std::mt19937 rng(static_cast<unsigned>(n));
    const lumetra::test::OnPath on(path);
    const int depth = 8 << Uniform(rng, 0, 2);
    const int width = Uniform(rng, 1, 48), height = Uniform(rng, 1, 48);
    // Now and then the map sits at a corner of the coordinate range.
    const bool corner = Uniform(rng, 0, 7) == 0;
    const int top = corner ? (Uniform(rng, 0, 1) ? -32768 : 32767 - height) : Uniform(rng, -60, 60);
    const int left = corner ? (Uniform(rng, 0, 1) ? -32768 : 32767 - width) : Uniform(rng, -60, 60);
    auto map = lumetra::test::RandomMap(rng, depth, top, left, width, height);
    lumetra::ref::Image expected = lumetra::ref::ModelOf(*map);

    const int kind = Uniform(rng, 0, 9);
    const int radius = kind < 6 ? Uniform(rng, 0, 70) : kind < 8 ? Uniform(rng, 0, 65535) : kEdgeRadii[Uniform(rng, 0, 6)];
    // The centre: near the map for small radii; for large ones a radius away from a pixel of
    // the map, in a random direction, kept within the coordinate range.
    long long h = left + Uniform(rng, -20, width + 20), v = top + Uniform(rng, -20, height + 20);
    if (radius > 200) {
      const double angle = Uniform(rng, 0, 6283) / 1000.0;
      h -= std::llround(radius * std::cos(angle));
      v -= std::llround(radius * std::sin(angle));
    }
    h = std::clamp<long long>(h, -32768, 32767);
    v = std::clamp<long long>(v, -32768, 32767);
    const bool disc = Uniform(rng, 0, 1) == 1;
    const bool generic = Uniform(rng, 0, 3) == 0;
    const RGBColor colour = {static_cast<UInt16>(rng()), static_cast<UInt16>(rng()), static_cast<UInt16>(rng())};
    const std::string what = "case " + std::to_string(n) + ": " + (disc ? "disc" : "outline") + (generic ? " (colour)" : "") +
                             " at depth " + std::to_string(depth) + ", centre (" + std::to_string(h) + ", " +
                             std::to_string(v) + "), radius " + std::to_string(radius) + ", bounds (" + std::to_string(top) +
                             ", " + std::to_string(left) + ", " + std::to_string(top + height) + ", " +
                             std::to_string(left + width) + ")";
    if (lumetra::test::Verbose()) std::cout << what << "\n";

    const auto sh = static_cast<SInt16>(h), sv = static_cast<SInt16>(v);
    const auto r = static_cast<UInt16>(radius);
    if (generic && disc) {
      QDMP_Fill_Circle(map->handle(), sh, sv, r, &colour);
      lumetra::ref::DiscColor(expected, h, v, radius, colour);
    } else if (generic) {
      QDMP_Draw_CircleP(map->handle(), Point{sv, sh}, r, &colour);
      lumetra::ref::CircleColor(expected, h, v, radius, colour);
    } else if (disc) {
      DrawDisc(depth, map->handle(), sh, sv, radius);
      lumetra::ref::Disc(expected, depth, h, v, radius, Ink(depth));
    } else {
      DrawOutline(depth, map->handle(), sh, sv, radius);
      lumetra::ref::Circle(expected, depth, h, v, radius, Ink(depth));
    }
    const auto difference = lumetra::ref::FirstDifference(*map, expected);
    ASSERT_FALSE(difference) << what << ", " << path.name << "\n" << *difference;
  }
}

}  // namespace model

}  // namespace
