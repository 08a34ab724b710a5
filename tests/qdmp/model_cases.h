// Helpers for the randomized comparisons of the library with the reference model.
//
// Case n of a comparison draws everything from a generator seeded with n, so a failing case is
// rerun alone, with its parameters printed, by LUMETRA_CASE=n (and --gtest_filter for the test).
#ifndef LUMETRA_TESTS_QDMP_MODEL_CASES_H
#define LUMETRA_TESTS_QDMP_MODEL_CASES_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "guarded.h"
#include "qdmp_p.h"

namespace lumetra::test {

// The cases to run: all of 0 .. count - 1, or the one LUMETRA_CASE names.
inline std::vector<int> CasesToRun(int count) {
  if (const char* one = std::getenv("LUMETRA_CASE")) return {std::atoi(one)};
  std::vector<int> all;
  for (int i = 0; i < count; ++i) all.push_back(i);
  return all;
}

inline bool Verbose() { return std::getenv("LUMETRA_CASE") != nullptr; }

inline int Uniform(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// A map of the given depth and size whose bounds start at (top, left), with 0 to 7 bytes of
// padding after each row, every pixel random.
inline std::unique_ptr<GuardedPixMap> RandomMap(std::mt19937& rng, int depth, int top, int left, int width, int height) {
  const Rect bounds = {static_cast<SInt16>(top), static_cast<SInt16>(left), static_cast<SInt16>(top + height),
                       static_cast<SInt16>(left + width)};
  auto map = std::make_unique<GuardedPixMap>(depth, bounds, width * (depth / 8) + Uniform(rng, 0, 7));
  for (int v = top; v < top + height; ++v)
    for (int h = left; h < left + width; ++h) map->set(h, v, static_cast<uint32_t>(rng()));
  return map;
}

// The ways through the library a case is run on: the plain paths, and the fast paths with
// each vector width up to the one the library picked for this processor (none, SSE2, AVX2).
// Under LUMETRA_GENERIC=1 the library picks none, so the fast paths run without vectors.
struct LibraryPath {
  bool plain;
  int level;
  const char* name;
};

inline std::vector<LibraryPath> LibraryPaths() {
  static const int picked = gVectorLevel;  // as the library found it, before any test lowers it
  std::vector<LibraryPath> paths = {{true, kVectorNone, "plain path"}, {false, kVectorNone, "fast path without vectors"}};
  if (picked >= kVectorSse2) paths.push_back({false, kVectorSse2, "fast path with SSE2"});
  if (picked >= kVectorAvx2) paths.push_back({false, kVectorAvx2, "fast path with AVX2"});
  return paths;
}

// Puts the library on a path for as long as it lives, then back on the one it was on.
class OnPath {
 public:
  explicit OnPath(const LibraryPath& path) : plain_(gPlainPaths), level_(gVectorLevel) {
    gPlainPaths = path.plain;
    gVectorLevel = path.level;
  }
  ~OnPath() {
    gPlainPaths = plain_;
    gVectorLevel = level_;
  }
  OnPath(const OnPath&) = delete;
  OnPath& operator=(const OnPath&) = delete;

 private:
  bool plain_;
  int level_;
};

}  // namespace lumetra::test

#endif
