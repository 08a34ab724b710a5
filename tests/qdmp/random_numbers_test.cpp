// The pseudo-random generator. Its state starts at load, so every test that needs the sequence
// "right after load" must be the first draw of its process: CTest runs each TEST in a process
// of its own (run one by hand with --gtest_filter=RandomAfterLoad.Name).
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <set>
#include <vector>

#include "qdmp.h"
#include "reference.h"

namespace {

std::vector<int> Draws(int n, auto draw) {
  std::vector<int> out;
  for (int i = 0; i < n; ++i) out.push_back(draw());
  return out;
}

TEST(RandomAfterLoad, RawSequence) {
  EXPECT_EQ(Draws(6, [] { return QDMP_RandomSInt16(); }), (std::vector<int>{13332, 11979, 17744, 29613, 3300, -6439}));
}

// The state after the first draw is 223151420: its bits 6 to 21 are the first value, and the
// second draw is the step from that state.
TEST(RandomAfterLoad, StateAfterFirstDraw) {
  const uint32_t s1 = 223151420u;
  EXPECT_EQ(QDMP_RandomSInt16(), static_cast<int16_t>(static_cast<uint16_t>(s1 >> 6)));
  const uint32_t s2 = (s1 * 1103515245u + 12345u) & 0x7FFFFFFFu;
  EXPECT_EQ(QDMP_RandomSInt16(), static_cast<int16_t>(static_cast<uint16_t>(s2 >> 6)));
}

TEST(RandomAfterLoad, RangeSInt16ZeroToTen) {
  EXPECT_EQ(Draws(6, [] { return QDMP_Random_RangeSInt16(0, 10); }), (std::vector<int>{9, 6, 1, 0, 7, 8}));
}

TEST(RandomAfterLoad, RangeSInt16MinusFiveToFive) {
  EXPECT_EQ(Draws(6, [] { return QDMP_Random_RangeSInt16(-5, 5); }), (std::vector<int>{4, 1, -4, -5, 2, 3}));
}

// min = max divides by nothing: the remainder is u itself (13332 + 32767 for the first draw),
// cut to 16 bits.
TEST(RandomAfterLoad, RangeSInt16EmptyRangeKeepsU) {
  EXPECT_EQ(QDMP_Random_RangeSInt16(0, 0), static_cast<int16_t>(13332 + 32767));
  EXPECT_EQ(QDMP_Random_RangeSInt16(100, 100), static_cast<int16_t>(100 + 11979 + 32767));
}

TEST(RandomAfterLoad, RangeSInt32ZeroTo99) {
  EXPECT_EQ(Draws(3, [] { return QDMP_Random_RangeSInt32(0, 99); }), (std::vector<int>{52, 53, 11}));
}

TEST(RandomAfterLoad, RangeSInt32Thousands) {
  EXPECT_EQ(Draws(3, [] { return QDMP_Random_RangeSInt32(-1000, 1000); }), (std::vector<int>{-155, -544, 233}));
}

// The full range has a span of 0: the result is min + x, wrapped, with x combined from the
// first three raw draws.
TEST(RandomAfterLoad, RangeSInt32FullRange) {
  const uint32_t x = (13332u << 16) ^ (11979u << 8) ^ 17744u;
  EXPECT_EQ(QDMP_Random_RangeSInt32(INT32_MIN, INT32_MAX), static_cast<int32_t>(0x80000000u + x));
}

// From load on, a long run of all three draws with random ranges (empty, reversed, full and
// extreme ones among them) agrees with the model's generator, call for call.
TEST(RandomAfterLoad, MatchesTheModelCallForCall) {
  lumetra::ref::Generator model;
  std::mt19937 rng(1);
  auto pick16 = [&] {
    switch (rng() % 4) {
      case 0: return static_cast<int>(static_cast<int16_t>(rng()));
      case 1: return static_cast<int>(rng() % 21) - 10;
      case 2: return rng() % 2 ? 32767 : -32768;
      default: return 0;
    }
  };
  auto pick32 = [&]() -> long long {
    switch (rng() % 4) {
      case 0: return static_cast<int32_t>(rng());
      case 1: return static_cast<long long>(rng() % 2001) - 1000;
      case 2: return rng() % 2 ? INT32_MAX : INT32_MIN;
      default: return 7;
    }
  };
  for (int i = 0; i < 100000; ++i) {
    switch (rng() % 3) {
      case 0: ASSERT_EQ(QDMP_RandomSInt16(), model.Raw()) << "call " << i; break;
      case 1: {
        const int min = pick16(), max = pick16();
        ASSERT_EQ(QDMP_Random_RangeSInt16(static_cast<SInt16>(min), static_cast<SInt16>(max)), model.RangeSInt16(min, max))
            << "call " << i << ": (" << min << ", " << max << ")";
        break;
      }
      default: {
        const long long min = pick32(), max = pick32();
        ASSERT_EQ(QDMP_Random_RangeSInt32(static_cast<SInt32>(min), static_cast<SInt32>(max)), model.RangeSInt32(min, max))
            << "call " << i << ": (" << min << ", " << max << ")";
        break;
      }
    }
  }
}

// Ranges whose results do not depend on where the sequence stands.
TEST(Random, RangesHoldAnywhereInTheSequence) {
  std::set<int> reversed16, reversed32;
  for (int i = 0; i < 2000; ++i) {
    EXPECT_EQ(QDMP_Random_RangeSInt32(7, 7), 7);
    reversed32.insert(QDMP_Random_RangeSInt32(10, 5));
    reversed16.insert(QDMP_Random_RangeSInt16(5, 0));
    const int r = QDMP_Random_RangeSInt16(-3, 4);
    EXPECT_GE(r, -3);
    EXPECT_LT(r, 4);
    const int s = QDMP_Random_RangeSInt32(-3, 4);
    EXPECT_GE(s, -3);
    EXPECT_LE(s, 4);
  }
  EXPECT_EQ(reversed32, (std::set<int>{5, 10}));
  EXPECT_EQ(reversed16, (std::set<int>{5, 6, 7, 8, 9}));
}

}  // namespace
