// The run fill behind scans, filled rectangles and disc rows, at every vector width the
// processor has: every length up to a few vectors, lengths around the point where the string
// store takes over, every start offset within a cache line, and no byte outside the run
// touched (the run ends at a guard page).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "guarded.h"
#include "qdmp_p.h"

namespace {

using lumetra::test::GuardedBuffer;

struct Level {
  int level;
  const char* name;
};

std::vector<Level> Levels() {
  std::vector<Level> levels = {{kVectorNone, "no vectors"}};
  if (gVectorLevel >= kVectorSse2) levels.push_back({kVectorSse2, "SSE2"});
  if (gVectorLevel >= kVectorAvx2) levels.push_back({kVectorAvx2, "AVX2"});
  return levels;
}

// Fills n bytes at offset `at` of the buffer (which it first sets to 0xEE throughout) and
// says what is wrong, if anything.
std::string FillAndCheck(const GuardedBuffer& buffer, size_t at, size_t n, UInt32 pattern) {
  std::memset(buffer.data(), 0xEE, buffer.size());
  UInt8* p = buffer.data() + at;
  FillBytes(p, n, pattern);
  UInt8 bytes[4];
  std::memcpy(bytes, &pattern, 4);
  for (size_t i = 0; i < buffer.size(); ++i) {
    const bool inRun = i >= at && i < at + n;
    if (inRun && buffer.data()[i] != bytes[(i - at) & 3]) return "run byte " + std::to_string(i - at) + " is wrong";
    if (!inRun && buffer.data()[i] != 0xEE) return "byte " + std::to_string(i) + " outside the run was written";
  }
  return "";
}

// Every start offset within a cache line (and a little more) for one length; the last offset
// puts the run's end against the guard page.
void AllOffsets(size_t n, UInt32 pattern, const char* level) {
  constexpr size_t kOffsets = 68;
  GuardedBuffer buffer(kOffsets - 1 + n);
  for (size_t at = 0; at < kOffsets; ++at)
    ASSERT_EQ(FillAndCheck(buffer, at, n, pattern), "") << level << ", offset " << at << ", length " << n;
}

TEST(Runs, EveryLengthAndOffsetStoresThePatternAndNothingElse) {
  const int saved = gVectorLevel;
  // Patterns of a 32-bit value, a 16-bit value replicated, and one with a single differing
  // byte (not all bytes equal, so the vector paths run, not memset).
  const UInt32 patterns[] = {0x00336699u, 0x1A5B1A5Bu, 0x99999998u};
  const size_t longLengths[] = {4032, 4095, 4096, 4097, 4100, 4159, 8191, 12345};
  for (const Level& level : Levels()) {
    gVectorLevel = level.level;
    for (UInt32 pattern : patterns) {
      for (size_t n = 0; n <= 200; ++n) AllOffsets(n, pattern, level.name);
      for (size_t n : longLengths) AllOffsets(n, pattern, level.name);
    }
  }
  gVectorLevel = saved;
}

// Around the length where long fills leave the string store and memset for the vector loop,
// at a few start offsets: multi-byte patterns on every path, single bytes too.
TEST(Runs, FillsAroundTheLongRunLength) {
  const int saved = gVectorLevel;
  const size_t lengths[] = {kStringStoreUpTo - 1, kStringStoreUpTo, kStringStoreUpTo + 1, kStringStoreUpTo + 4097};
  const size_t offsets[] = {0, 1, 2, 3, 31, 63, 67};
  GuardedBuffer buffer(67 + kStringStoreUpTo + 4097);
  for (const Level& level : Levels()) {
    gVectorLevel = level.level;
    for (UInt32 pattern : {0x00336699u, 0x99999998u, 0x00000000u, 0x5A5A5A5Au})
      for (size_t n : lengths)
        for (size_t at : offsets)
          ASSERT_EQ(FillAndCheck(buffer, at, n, pattern), "") << level.name << ", offset " << at << ", length " << n;
  }
  gVectorLevel = saved;
}

TEST(Runs, ASingleByteValueFillsLikeMemset) {
  for (UInt32 pattern : {0x00000000u, 0xFFFFFFFFu, 0x5A5A5A5Au})
    for (size_t n : {size_t{0}, size_t{1}, size_t{33}, size_t{5000}}) AllOffsets(n, pattern, "memset");
}

}  // namespace
