// Randomized comparison of the library against the plain reference model.
//
// Case n of a family is built from seed n: a map of a random depth (8, 16 or 32), random bounds
// (at the origin, near it, or far out), padded or odd row bytes, a random colour table at 8 bits
// (sometimes none, sometimes without entries), random contents; then a few random calls with
// coordinates near the edges, inside, anywhere, and at the extremes (so lines of more than 32767
// steps are common). Every pixel and every padding byte is compared with the model afterwards,
// once on the plain paths and once on the fast paths at each vector width the processor has.
//
// On a mismatch the case number, the calls and the first differing pixel are printed. To rerun
// one case and see what it does: LUMETRA_CASE=n qdmp_random_test --gtest_filter=Random.Lines
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "qdmp_p.h"
#include "reference.h"

namespace {

using lumetra::ref::Image;
using lumetra::ref::OwnedTable;
using lumetra::ref::Table;
using lumetra::test::GuardedPixMap;

// splitmix64: small, and the same sequence on every build.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint32_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
  }
  // lo..hi, both included.
  long long range(long long lo, long long hi) { return lo + static_cast<long long>(next() % (hi - lo + 1)); }
  bool percent(int p) { return next() % 100 < static_cast<uint32_t>(p); }

 private:
  uint64_t state_;
};

std::optional<int> OnlyCase() {
  const char* s = std::getenv("LUMETRA_CASE");
  if (!s || !*s) return std::nullopt;
  return std::atoi(s);
}

SInt16 Clamp16(long long x) { return static_cast<SInt16>(x < -32768 ? -32768 : x > 32767 ? 32767 : x); }

struct Fixture {
  int depth = 32;
  std::optional<Table> table;
  std::unique_ptr<OwnedTable> owned;
  std::unique_ptr<GuardedPixMap> map;
  std::unique_ptr<Image> model;
  std::ostringstream log;

  PixMapHandle pm() const { return map->handle(); }
  const Rect& bounds() const { return map->bounds(); }
};

// One axis of the bounds: at 0, near 0, or anywhere the extent still fits in 16 bits.
SInt16 Origin(Rng& rng, int extent) {
  switch (rng.range(0, 2)) {
    case 0: return 0;
    case 1: return static_cast<SInt16>(rng.range(-200, 200));
    default: return static_cast<SInt16>(rng.range(-32768, 32767 - extent));
  }
}

std::unique_ptr<Fixture> MakeFixture(Rng& rng) {
  auto f = std::make_unique<Fixture>();
  static const int kDepths[] = {8, 16, 32};
  f->depth = kDepths[rng.range(0, 2)];
  const int width = static_cast<int>(rng.range(1, 48));
  const int height = static_cast<int>(rng.range(1, 40));
  const SInt16 left = Origin(rng, width);
  const SInt16 top = Origin(rng, height);
  const Rect bounds = {top, left, static_cast<SInt16>(top + height), static_cast<SInt16>(left + width)};
  const int minimal = width * f->depth / 8;
  const int rowBytes = rng.percent(60) ? minimal + static_cast<int>(rng.range(1, 17)) : minimal;
  if (f->depth == 8) {
    const int kind = static_cast<int>(rng.range(0, 19));
    if (kind >= 2) {
      Table entries(static_cast<size_t>(rng.range(1, 256)));
      const bool fewValues = rng.percent(30);  // ties become common
      for (RGBColor& e : entries) {
        auto component = [&] { return static_cast<UInt16>(fewValues ? rng.range(0, 3) * 21845 : rng.next()); };
        e = RGBColor{component(), component(), component()};
      }
      f->table = entries;
    } else if (kind == 1) {
      f->table = Table{};  // a table without entries
    }
    if (f->table) f->owned = std::make_unique<OwnedTable>(*f->table);
  }
  f->map = std::make_unique<GuardedPixMap>(f->depth, bounds, rowBytes, f->owned ? f->owned->handle() : nullptr);
  if (rng.percent(50)) {
    for (int v = bounds.top; v < bounds.bottom; ++v)
      for (int h = bounds.left; h < bounds.right; ++h) f->map->set(h, v, rng.next());
  }
  f->model = std::make_unique<Image>(lumetra::ref::ModelOf(*f->map, f->table));
  f->log << "map: " << f->depth << " bits, bounds (top " << bounds.top << ", left " << bounds.left << ", bottom "
         << bounds.bottom << ", right " << bounds.right << "), row bytes " << rowBytes << ", table "
         << (f->table ? std::to_string(f->table->size()) + " entries" : std::string("none")) << "\n";
  return f;
}

// A coordinate on the axis [lo, hi): near the edges, inside, anywhere, or at an extreme.
SInt16 Coordinate(Rng& rng, int lo, int hi) {
  const int r = static_cast<int>(rng.range(0, 99));
  if (r < 40) return Clamp16(rng.range(lo - 6, hi + 5));
  if (r < 60) return Clamp16(rng.range(lo, hi - 1));
  if (r < 85) return static_cast<SInt16>(rng.range(-32768, 32767));
  static const long long kExtremes[] = {-32768, 32767, -32767, 32766};
  return static_cast<SInt16>(kExtremes[rng.range(0, 3)]);
}
SInt16 H(Rng& rng, const Fixture& f) { return Coordinate(rng, f.bounds().left, f.bounds().right); }
SInt16 V(Rng& rng, const Fixture& f) { return Coordinate(rng, f.bounds().top, f.bounds().bottom); }

UInt32 Value(Rng& rng) { return rng.next(); }
RGBColor Color(Rng& rng) { return RGBColor{UInt16(rng.next()), UInt16(rng.next()), UInt16(rng.next())}; }

// Mostly the map's own depth, sometimes another (the worker must then do nothing).
int WorkerDepth(Rng& rng, const Fixture& f) {
  if (!rng.percent(10)) return f.depth;
  return f.depth == 32 ? 8 : f.depth * 2;
}

std::string Describe(RGBColor c) {
  return "(" + std::to_string(c.red) + ", " + std::to_string(c.green) + ", " + std::to_string(c.blue) + ")";
}

// The ways through the library a case is run on: the plain paths, and the fast paths with
// each vector width up to the one the library picked for this processor (none, SSE2, AVX2).
// Under LUMETRA_GENERIC=1 the library picked none, so the fast paths run without vectors.
struct Path {
  bool plain;
  int level;
  const char* name;
};

std::vector<Path> Paths(int picked) {
  std::vector<Path> paths = {{true, kVectorNone, "plain path"}, {false, kVectorNone, "fast path without vectors"}};
  if (picked >= kVectorSse2) paths.push_back({false, kVectorSse2, "fast path with SSE2"});
  if (picked >= kVectorAvx2) paths.push_back({false, kVectorAvx2, "fast path with AVX2"});
  return paths;
}

// Runs count cases of one family. op makes the calls on the fixture and its model, logs them,
// and returns a description of any result that differed (getters), or an empty string.
template <typename Op>
void RunCases(const char* family, int count, Op op) {
  const std::optional<int> only = OnlyCase();
  const bool savedPlain = gPlainPaths;
  const int savedLevel = gVectorLevel;
  int failures = 0;
  for (int n = 0; n < count && failures < 3; ++n) {
    if (only && *only != n) continue;
    for (const Path& path : Paths(savedLevel)) {
      gPlainPaths = path.plain;
      gVectorLevel = path.level;
      Rng rng(static_cast<uint64_t>(n));
      std::unique_ptr<Fixture> f = MakeFixture(rng);
      std::string problem = op(rng, *f);
      if (const auto diff = lumetra::ref::FirstDifference(*f->map, *f->model)) problem += *diff;
      if (only) std::cout << family << " case " << n << ", " << path.name << ":\n" << f->log.str()
                          << (problem.empty() ? "same as the model\n" : problem) << "\n";
      if (!problem.empty()) {
        ADD_FAILURE() << family << " case " << n << " on the " << path.name << " differs from the model\n"
                      << f->log.str() << problem << "\nrerun alone: LUMETRA_CASE=" << n
                      << " qdmp_random_test --gtest_filter=Random." << family;
        ++failures;
        break;
      }
    }
  }
  gPlainPaths = savedPlain;
  gVectorLevel = savedLevel;
}

TEST(Random, Lines) {
  RunCases("Lines", 3000, [](Rng& rng, Fixture& f) {
    const int calls = static_cast<int>(rng.range(1, 3));
    for (int i = 0; i < calls; ++i) {
      const SInt16 h0 = H(rng, f), v0 = V(rng, f), h1 = H(rng, f), v1 = V(rng, f);
      const Point p0 = {v0, h0}, p1 = {v1, h1};
      const int kind = static_cast<int>(rng.range(0, 9));
      if (kind < 2) {
        const RGBColor c = Color(rng);
        f.log << (kind == 0 ? "QDMP_Draw_Line" : "QDMP_Draw_LineP");
        f.log << "(" << h0 << ", " << v0 << ", " << h1 << ", " << v1 << ", " << Describe(c) << ")\n";
        if (kind == 0)
          QDMP_Draw_Line(f.pm(), h0, v0, h1, v1, &c);
        else
          QDMP_Draw_LineP(f.pm(), p0, p1, &c);
        lumetra::ref::LineColor(*f.model, h0, v0, h1, v1, c);
        continue;
      }
      const int depth = WorkerDepth(rng, f);
      const bool point = kind == 2;
      const UInt32 value = Value(rng);
      f.log << "QDMP_Draw_Line" << (point ? "P" : "") << depth << "(" << h0 << ", " << v0 << ", " << h1 << ", " << v1
            << ", 0x" << std::hex << value << std::dec << ")\n";
      switch (depth) {
        case 8: point ? QDMP_Draw_LineP8(f.pm(), p0, p1, UInt8(value)) : QDMP_Draw_Line8(f.pm(), h0, v0, h1, v1, UInt8(value)); break;
        case 16: point ? QDMP_Draw_LineP16(f.pm(), p0, p1, UInt16(value)) : QDMP_Draw_Line16(f.pm(), h0, v0, h1, v1, UInt16(value)); break;
        default: point ? QDMP_Draw_LineP32(f.pm(), p0, p1, value) : QDMP_Draw_Line32(f.pm(), h0, v0, h1, v1, value); break;
      }
      lumetra::ref::Line(*f.model, depth, h0, v0, h1, v1, value);
    }
    return std::string();
  });
}

TEST(Random, Scans) {
  RunCases("Scans", 2000, [](Rng& rng, Fixture& f) {
    const int calls = static_cast<int>(rng.range(1, 4));
    for (int i = 0; i < calls; ++i) {
      const SInt16 v = V(rng, f), h1 = H(rng, f), h2 = H(rng, f);
      const int depth = WorkerDepth(rng, f);
      const UInt32 value = Value(rng);
      f.log << "Draw_Scan" << depth << "(" << v << ", " << h1 << ", " << h2 << ", 0x" << std::hex << value << std::dec
            << ")\n";
      switch (depth) {
        case 8: Draw_Scan8(f.pm(), v, h1, h2, UInt8(value)); break;
        case 16: Draw_Scan16(f.pm(), v, h1, h2, UInt16(value)); break;
        default: Draw_Scan32(f.pm(), v, h1, h2, value); break;
      }
      lumetra::ref::Scan(*f.model, depth, v, h1, h2, value);
    }
    return std::string();
  });
}

TEST(Random, FilledRects) {
  RunCases("FilledRects", 2000, [](Rng& rng, Fixture& f) {
    const int calls = static_cast<int>(rng.range(1, 3));
    for (int i = 0; i < calls; ++i) {
      const Point tl = {V(rng, f), H(rng, f)};
      const Point br = {V(rng, f), H(rng, f)};
      if (rng.percent(25)) {
        const RGBColor c = Color(rng);
        f.log << "QDMP_Fill_Rect(top " << tl.v << ", left " << tl.h << ", bottom " << br.v << ", right " << br.h << ", "
              << Describe(c) << ")\n";
        QDMP_Fill_Rect(f.pm(), tl, br, &c);
        lumetra::ref::FillRectColor(*f.model, tl.v, tl.h, br.v, br.h, c);
        continue;
      }
      const int depth = WorkerDepth(rng, f);
      const UInt32 value = Value(rng);
      f.log << "QDMP_Fill_Rect" << depth << "(top " << tl.v << ", left " << tl.h << ", bottom " << br.v << ", right "
            << br.h << ", 0x" << std::hex << value << std::dec << ")\n";
      switch (depth) {
        case 8: QDMP_Fill_Rect8(f.pm(), tl, br, UInt8(value)); break;
        case 16: QDMP_Fill_Rect16(f.pm(), tl, br, UInt16(value)); break;
        default: QDMP_Fill_Rect32(f.pm(), tl, br, value); break;
      }
      lumetra::ref::FillRect(*f.model, depth, tl.v, tl.h, br.v, br.h, value);
    }
    return std::string();
  });
}

TEST(Random, Pixels) {
  RunCases("Pixels", 2000, [](Rng& rng, Fixture& f) {
    std::ostringstream problems;
    const int calls = static_cast<int>(rng.range(1, 12));
    for (int i = 0; i < calls; ++i) {
      const SInt16 h = H(rng, f), v = V(rng, f);
      const Point p = {v, h};
      const int kind = static_cast<int>(rng.range(0, 9));
      if (kind < 2) {
        const RGBColor c = Color(rng);
        f.log << (kind == 0 ? "QDMP_Set_Pixel" : "QDMP_Set_PixelP") << "(" << h << ", " << v << ", " << Describe(c) << ")\n";
        kind == 0 ? QDMP_Set_Pixel(f.pm(), h, v, &c) : QDMP_Set_PixelP(f.pm(), p, &c);
        lumetra::ref::SetPixelColor(*f.model, h, v, c);
        continue;
      }
      const int depth = WorkerDepth(rng, f);
      const bool point = kind == 2;
      const UInt32 value = Value(rng);
      f.log << "QDMP_Set_Pixel" << (point ? "P" : "") << depth << "(" << h << ", " << v << ", 0x" << std::hex << value
            << std::dec << ")\n";
      switch (depth) {
        case 8: point ? QDMP_Set_PixelP8(f.pm(), p, UInt8(value)) : QDMP_Set_Pixel8(f.pm(), h, v, UInt8(value)); break;
        case 16: point ? QDMP_Set_PixelP16(f.pm(), p, UInt16(value)) : QDMP_Set_Pixel16(f.pm(), h, v, UInt16(value)); break;
        default: point ? QDMP_Set_PixelP32(f.pm(), p, value) : QDMP_Set_Pixel32(f.pm(), h, v, value); break;
      }
      lumetra::ref::SetPixel(*f.model, depth, h, v, value);
    }
    // Read back through every getter at random positions.
    for (int i = 0; i < 20; ++i) {
      const SInt16 h = H(rng, f), v = V(rng, f);
      const Point p = {v, h};
      const UInt32 got8 = QDMP_Get_Pixel8(f.pm(), h, v), want8 = lumetra::ref::GetPixel(*f.model, 8, h, v);
      const UInt32 got16 = QDMP_Get_PixelP16(f.pm(), p), want16 = lumetra::ref::GetPixel(*f.model, 16, h, v);
      const UInt32 got32 = QDMP_Get_Pixel32(f.pm(), h, v), want32 = lumetra::ref::GetPixel(*f.model, 32, h, v);
      const RGBColor got = i % 2 ? QDMP_Get_Pixel(f.pm(), h, v) : QDMP_Get_PixelP(f.pm(), p);
      const RGBColor want = lumetra::ref::GetPixelColor(*f.model, h, v);
      if (got8 != want8 || got16 != want16 || got32 != want32 || !lumetra::ref::SameColor(got, want))
        problems << "getters at (" << h << ", " << v << "): 8 bits " << got8 << " vs " << want8 << ", 16 bits " << got16
                 << " vs " << want16 << ", 32 bits " << got32 << " vs " << want32 << ", colour " << Describe(got)
                 << " vs " << Describe(want) << "\n";
    }
    return problems.str();
  });
}

}  // namespace

namespace {

// Long lines on a large map: the fast walk splits lines of 16 steps or more in two, and lines
// with both ends inside skip the clipping; both must store what the model stores, at every
// depth and on every path.
TEST(Random, LongLinesOnALargeMap) {
  const bool savedPlain = gPlainPaths;
  const int savedLevel = gVectorLevel;
  for (int depth : {8, 16, 32}) {
    for (const Path& path : Paths(savedLevel)) {
      gPlainPaths = path.plain;
      gVectorLevel = path.level;
      const Rect bounds = {-7, 3, 393, 643};
      GuardedPixMap map(depth, bounds, 640 * depth / 8 + 4);
      Image model = lumetra::ref::ModelOf(map);
      Rng rng(static_cast<uint64_t>(depth));
      for (int i = 0; i < 300; ++i) {
        auto h = [&] { return static_cast<SInt16>(rng.range(bounds.left - 50, bounds.right + 49)); };
        auto v = [&] { return static_cast<SInt16>(rng.range(bounds.top - 50, bounds.bottom + 49)); };
        const SInt16 h0 = h(), v0 = v(), h1 = h(), v1 = v();
        const UInt32 value = rng.next();
        switch (depth) {
          case 8: QDMP_Draw_Line8(map.handle(), h0, v0, h1, v1, UInt8(value)); break;
          case 16: QDMP_Draw_Line16(map.handle(), h0, v0, h1, v1, UInt16(value)); break;
          default: QDMP_Draw_Line32(map.handle(), h0, v0, h1, v1, value); break;
        }
        lumetra::ref::Line(model, depth, h0, v0, h1, v1, value);
      }
      const auto diff = lumetra::ref::FirstDifference(map, model);
      EXPECT_FALSE(diff) << depth << " bits, " << path.name << ": " << diff.value_or("");
    }
  }
  gPlainPaths = savedPlain;
  gVectorLevel = savedLevel;
}

}  // namespace
