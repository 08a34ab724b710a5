// 2:1 down-sampling: the per-byte rounding, the walk from each map's first pixel, and the
// edges where the source or destination does not fit the halves.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <random>
#include <ostream>
#include <string>

#include "guarded.h"
#include "model_cases.h"
#include "qdmp.h"
#include "reference.h"

namespace {

using lumetra::test::GuardedPixMap;

constexpr uint32_t kUntouched = 0xDEADBEEF;

Rect MakeRect(int top, int left, int bottom, int right) {
  return Rect{static_cast<SInt16>(top), static_cast<SInt16>(left), static_cast<SInt16>(bottom), static_cast<SInt16>(right)};
}

struct ByteCase {
  const char* name;
  uint32_t p00, p01, p10, p11;
  uint32_t expected;
  friend void PrintTo(const ByteCase& c, std::ostream* os) { *os << c.name; }
};

class DownMipBytes : public testing::TestWithParam<ByteCase> {};

TEST_P(DownMipBytes, AveragesEachByteRoundingDown) {
  const ByteCase& c = GetParam();
  GuardedPixMap source(32, MakeRect(0, 0, 2, 2));
  GuardedPixMap dest(32, MakeRect(0, 0, 1, 1));
  source.set(0, 0, c.p00);
  source.set(1, 0, c.p01);
  source.set(0, 1, c.p10);
  source.set(1, 1, c.p11);
  QDMP_DownMip32A(source.handle(), dest.handle());
  EXPECT_EQ(dest.get(0, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownMipBytes,
    testing::Values(ByteCase{"All255Give254", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFEFEFEFE},
                    ByteCase{"All1Give0", 0x01010101, 0x01010101, 0x01010101, 0x01010101, 0},
                    ByteCase{"All3Give2", 0x03030303, 0x03030303, 0x03030303, 0x03030303, 0x02020202},
                    ByteCase{"All2Give2", 0x02020202, 0x02020202, 0x02020202, 0x02020202, 0x02020202},
                    ByteCase{"LowByte255Gives63", 0x000000FF, 0, 0, 0, 0x0000003F},
                    ByteCase{"UpperAlpha255Gives127", 0xFF000000, 0xFF000000, 0, 0, 0x7F000000},
                    // Each byte is its own channel: a full byte never carries into its neighbour.
                    ByteCase{"BytesStayApart", 0x00FF00FF, 0x00FF00FF, 0x00FF00FF, 0x00FF00FF, 0x00FE00FE}),
    [](const auto& info) { return std::string(info.param.name); });

// A 4 x 2 source writes exactly two destination pixels, in the first row, from the
// destination's first pixel whatever its bounds say.
TEST(DownMip, FourByTwoWritesTwoPixelsFromTheFirstPixel) {
  GuardedPixMap source(32, MakeRect(0, 0, 2, 4));
  GuardedPixMap dest(32, MakeRect(5, 5, 7, 8), 3 * 4 + 8);
  dest.fill(kUntouched);
  for (int h = 0; h < 4; ++h)
    for (int v = 0; v < 2; ++v) source.set(h, v, h < 2 ? 0x08080808 : 0x10101010);
  QDMP_DownMip32A(source.handle(), dest.handle());
  EXPECT_EQ(dest.get(5, 5), 0x08080808u);
  EXPECT_EQ(dest.get(6, 5), 0x10101010u);
  EXPECT_EQ(dest.get(7, 5), kUntouched);
  for (int h = 5; h < 8; ++h) EXPECT_EQ(dest.get(h, 6), kUntouched) << h;
  EXPECT_TRUE(dest.paddingUntouched());
}

// A source whose bounds start elsewhere is walked from its first pixel all the same.
TEST(DownMip, SourceOriginDoesNotMatter) {
  GuardedPixMap source(32, MakeRect(-7, 300, -5, 302));
  GuardedPixMap dest(32, MakeRect(0, 0, 1, 1));
  source.fill(0x40404040);
  source.set(300, -7, 0x80808080);
  QDMP_DownMip32A(source.handle(), dest.handle());
  EXPECT_EQ(dest.get(0, 0), 0x50505050u);
}

// Odd sizes: the last column and row have no partner and are left out. The last row of the
// source ends at a guard page, so a read of the missing partner row would fault.
TEST(DownMip, OddLastColumnAndRowAreLeftOut) {
  GuardedPixMap source(32, MakeRect(0, 0, 5, 5));
  GuardedPixMap dest(32, MakeRect(0, 0, 3, 3));
  dest.fill(kUntouched);
  source.fill(0x20202020);
  for (int i = 0; i < 5; ++i) {
    source.set(4, i, 0xFFFFFFFF);
    source.set(i, 4, 0xFFFFFFFF);
  }
  QDMP_DownMip32A(source.handle(), dest.handle());
  for (int v = 0; v < 3; ++v)
    for (int h = 0; h < 3; ++h) EXPECT_EQ(dest.get(h, v), h < 2 && v < 2 ? 0x20202020u : kUntouched) << h << "," << v;
}

// A destination smaller than the halves is written only as far as it reaches; its row padding
// and the guard page after its last row stay untouched.
TEST(DownMip, SmallDestinationIsWrittenAsFarAsItReaches) {
  GuardedPixMap source(32, MakeRect(0, 0, 8, 8));
  GuardedPixMap dest(32, MakeRect(0, 0, 3, 2), 2 * 4 + 12);
  source.fill(0x0C0C0C0C);
  QDMP_DownMip32A(source.handle(), dest.handle());
  for (int v = 0; v < 3; ++v)
    for (int h = 0; h < 2; ++h) EXPECT_EQ(dest.get(h, v), 0x0C0C0C0Cu);
  EXPECT_TRUE(dest.paddingUntouched());
}

struct RefusedCase {
  const char* name;
  int srcDepth, dstDepth;
  Rect srcBounds;
  friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }
};

class DownMipRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(DownMipRefused, WritesNothing) {
  const RefusedCase& c = GetParam();
  GuardedPixMap source(c.srcDepth, c.srcBounds);
  GuardedPixMap dest(c.dstDepth, MakeRect(0, 0, 4, 4));
  source.fill(0x77777777);
  dest.fill(0x11111111);
  const auto before = dest.pixels();
  QDMP_DownMip32A(source.handle(), dest.handle());
  EXPECT_EQ(dest.pixels(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, DownMipRefused,
                         testing::Values(RefusedCase{"Source16Bits", 16, 32, MakeRect(0, 0, 4, 4)},
                                         RefusedCase{"Destination8Bits", 32, 8, MakeRect(0, 0, 4, 4)},
                                         RefusedCase{"SourceOneColumn", 32, 32, MakeRect(0, 0, 4, 1)},
                                         RefusedCase{"SourceOneRow", 32, 32, MakeRect(0, 0, 1, 4)},
                                         RefusedCase{"SourceInverted", 32, 32, MakeRect(4, 4, 0, 0)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DownMip, NullHandlesOrMastersDoNothing) {
  GuardedPixMap map(32, MakeRect(0, 0, 2, 2));
  map.fill(0x12345678);
  QDMP_DownMip32A(nullptr, map.handle());
  QDMP_DownMip32A(map.handle(), nullptr);
  PixMapPtr none = nullptr;
  QDMP_DownMip32A(&none, map.handle());
  QDMP_DownMip32A(map.handle(), &none);
  EXPECT_EQ(map.get(0, 0), 0x12345678u);
}

// Random sources and destinations of every size (odd ones, ones too small, empty ones) and
// origin against the model, each on every path of the library; now and then a map that is
// not 32 bits.
TEST(DownMipModel, RandomCasesMatch) {
  using lumetra::test::Uniform;
  for (int n : lumetra::test::CasesToRun(400)) for (const auto& path : lumetra::test::LibraryPaths()) {
    const lumetra::test::OnPath on(path);
    std::mt19937 rng(static_cast<unsigned>(n));
    const int srcDepth = Uniform(rng, 0, 9) == 0 ? 16 : 32, dstDepth = Uniform(rng, 0, 9) == 0 ? 8 : 32;
    const int sw = Uniform(rng, 0, 41), sh = Uniform(rng, 0, 41), dw = Uniform(rng, 0, 25), dh = Uniform(rng, 0, 25);
    auto source = lumetra::test::RandomMap(rng, srcDepth, Uniform(rng, -30, 30), Uniform(rng, -30, 30), sw, sh);
    auto dest = lumetra::test::RandomMap(rng, dstDepth, Uniform(rng, -30, 30), Uniform(rng, -30, 30), dw, dh);
    const std::string what = "case " + std::to_string(n) + ": source " + std::to_string(sw) + " x " + std::to_string(sh) +
                             " at " + std::to_string(srcDepth) + " bits, destination " + std::to_string(dw) + " x " +
                             std::to_string(dh) + " at " + std::to_string(dstDepth) + " bits, " + path.name;
    if (lumetra::test::Verbose()) std::cout << what << "\n";
    const lumetra::ref::Image srcModel = lumetra::ref::ModelOf(*source);
    lumetra::ref::Image dstModel = lumetra::ref::ModelOf(*dest);
    QDMP_DownMip32A(source->handle(), dest->handle());
    lumetra::ref::DownMip(srcModel, dstModel);
    auto difference = lumetra::ref::FirstDifference(*dest, dstModel);
    ASSERT_FALSE(difference) << what << "\n" << *difference;
    difference = lumetra::ref::FirstDifference(*source, srcModel);
    ASSERT_FALSE(difference) << what << "\nsource changed: " << *difference;
  }
}

}  // namespace
