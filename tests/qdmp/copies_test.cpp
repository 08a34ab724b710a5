// Block copies and alpha compositing: clipping and the pairing of rows and columns, the
// equal-width rule, the compositing arithmetic, wide rows and overlapping copies in one map.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <random>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

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

// A map with padding at every row's end, filled with kUntouched.
std::unique_ptr<GuardedPixMap> Map(int depth, Rect bounds) {
  const int width = bounds.right - bounds.left;
  auto map = std::make_unique<GuardedPixMap>(depth, bounds, width * depth / 8 + 6);
  map->fill(kUntouched);
  return map;
}

// Every source pixel tells where it came from: its column in the low 12 bits, its row above.
uint32_t Tag(int h, int v) { return (static_cast<uint32_t>(v & 0xFFF) << 12) | static_cast<uint32_t>(h & 0xFFF); }

void TagAll(GuardedPixMap& map, uint32_t mask) {
  for (int v = map.bounds().top; v < map.bounds().bottom; ++v)
    for (int h = map.bounds().left; h < map.bounds().right; ++h) map.set(h, v, Tag(h, v) & mask);
}

// The rows of dest that received something, each as (destination row, source row it came
// from), read back from the tags of the first destination column given.
std::vector<std::pair<int, int>> RowsReceived(const GuardedPixMap& dest, int column) {
  std::vector<std::pair<int, int>> rows;
  for (int v = dest.bounds().top; v < dest.bounds().bottom; ++v)
    if (dest.get(column, v) != kUntouched) rows.emplace_back(v, static_cast<int>(dest.get(column, v) >> 12));
  return rows;
}

std::vector<std::pair<int, int>> Pairs(int destFirst, int srcFirst, int count) {
  std::vector<std::pair<int, int>> rows;
  for (int i = 0; i < count; ++i) rows.emplace_back(destFirst + i, srcFirst + i);
  return rows;
}

// ---- Plain rectangle copies ------------------------------------------------------------

// The source rectangle reaches two rows above its map: the plain copy pairs the first rows left
// after clipping, so source row 0 lands on destination row 0.
TEST(CopyRect, ClippingOneRectangleAtTheTopPairsTheFirstRemainingRows) {
  auto source = Map(32, MakeRect(0, 0, 10, 10));
  auto dest = Map(32, MakeRect(0, 0, 20, 20));
  TagAll(*source, 0x00FFFFFF);
  const Rect s = MakeRect(-2, 0, 10, 4), d = MakeRect(0, 0, 12, 4);
  QDMP_Copy_Rect(source->handle(), dest->handle(), &s, &d);
  EXPECT_EQ(RowsReceived(*dest, 0), Pairs(0, 0, 10));
  for (int h = 0; h < 4; ++h) EXPECT_EQ(dest->get(h, 9), Tag(h, 9));
  EXPECT_EQ(dest->get(4, 0), kUntouched);
  EXPECT_TRUE(dest->paddingUntouched());
}

struct RectCase {
  const char* name;
  Rect srcBounds, srcRect, dstBounds, dstRect;
  int destFirstRow, srcFirstRow, rows;  // rows == 0: nothing copied
  friend void PrintTo(const RectCase& c, std::ostream* os) { *os << c.name; }
};

class CopyRectCases : public testing::TestWithParam<RectCase> {};

TEST_P(CopyRectCases, CopiesTheRowsExpected) {
  const RectCase& c = GetParam();
  for (int depth : {8, 16, 32}) {
    SCOPED_TRACE(depth);
    auto source = Map(depth, c.srcBounds);
    auto dest = Map(depth, c.dstBounds);
    const uint32_t mask = depth == 8 ? 0xFF : depth == 16 ? 0xFFFF : 0x00FFFFFF;
    TagAll(*source, mask);
    const uint32_t untouched = depth == 32 ? kUntouched : kUntouched & mask;
    QDMP_Copy_Rect(source->handle(), dest->handle(), &c.srcRect, &c.dstRect);
    for (int v = c.dstBounds.top; v < c.dstBounds.bottom; ++v)
      for (int h = c.dstBounds.left; h < c.dstBounds.right; ++h) {
        const bool inRows = v >= c.destFirstRow && v < c.destFirstRow + c.rows;
        const bool inColumns = h >= c.dstRect.left && h < c.dstRect.right;
        const int fromH = h - c.dstRect.left + c.srcRect.left, fromV = v - c.destFirstRow + c.srcFirstRow;
        const uint32_t expected = inRows && inColumns ? Tag(fromH, fromV) & mask : untouched;
        if (dest->get(h, v) != expected) {
          ADD_FAILURE() << "pixel (" << h << ", " << v << ") is " << dest->get(h, v) << ", expected " << expected;
          return;
        }
      }
    EXPECT_TRUE(dest->paddingUntouched());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyRectCases,
    testing::Values(
        RectCase{"WidthsFourAndFiveCopyNothing", MakeRect(0, 0, 8, 8), MakeRect(0, 0, 3, 4), MakeRect(0, 0, 8, 8),
                 MakeRect(0, 0, 3, 5), 0, 0, 0},
        RectCase{"HeightsThreeAndSevenCopyThreeRows", MakeRect(0, 0, 8, 8), MakeRect(1, 1, 4, 5), MakeRect(0, 0, 9, 9),
                 MakeRect(2, 3, 9, 7), 2, 1, 3},
        RectCase{"SourceCutAtTheLeftCopiesNothing", MakeRect(0, 0, 8, 8), MakeRect(0, -1, 4, 3), MakeRect(0, 0, 8, 8),
                 MakeRect(0, 2, 4, 6), 0, 0, 0},
        RectCase{"DestinationCutAtTheBottomKeepsItsRows", MakeRect(0, 0, 8, 8), MakeRect(0, 0, 8, 2),
                 MakeRect(-3, 0, 5, 4), MakeRect(1, 1, 9, 3), 1, 0, 4},
        RectCase{"InvertedSourceCopiesNothing", MakeRect(0, 0, 8, 8), MakeRect(0, 4, 4, 1), MakeRect(0, 0, 8, 8),
                 MakeRect(0, 1, 4, 4), 0, 0, 0},
        RectCase{"OffsetBoundsOnBothSides", MakeRect(100, -50, 110, -40), MakeRect(102, -48, 105, -45),
                 MakeRect(-7, 30, 0, 40), MakeRect(-6, 31, -3, 34), -6, 102, 3},
        RectCase{"MissingTheSourceCopiesNothing", MakeRect(0, 0, 8, 8), MakeRect(8, 0, 12, 4), MakeRect(0, 0, 8, 8),
                 MakeRect(0, 0, 4, 4), 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Rows of more than 32767 bytes are copied whole, at every depth.
TEST(CopyRect, RowsWiderThan32767BytesAreCopiedWhole) {
  struct Wide {
    int depth;
    Rect bounds;
  };
  for (const Wide& w : {Wide{8, MakeRect(0, -32768, 2, 32767)}, Wide{16, MakeRect(0, -9000, 2, 9000)},
                        Wide{32, MakeRect(0, 0, 2, 9000)}}) {
    SCOPED_TRACE(w.depth);
    auto source = Map(w.depth, w.bounds);
    auto dest = Map(w.depth, w.bounds);
    TagAll(*source, 0xFF);
    QDMP_Copy_Rect(source->handle(), dest->handle(), &w.bounds, &w.bounds);
    EXPECT_EQ(dest->pixels(), source->pixels());
    EXPECT_TRUE(dest->paddingUntouched());
  }
}

struct RefusedCase {
  const char* name;
  void (*copy)(PixMapHandle, PixMapHandle, const Rect*, const Rect*);
  int srcDepth, dstDepth;
  friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }
};

class CopyRectRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(CopyRectRefused, CopiesNothing) {
  const RefusedCase& c = GetParam();
  auto source = Map(c.srcDepth, MakeRect(0, 0, 4, 4));
  auto dest = Map(c.dstDepth, MakeRect(0, 0, 4, 4));
  TagAll(*source, 0xFF);
  const auto before = dest->pixels();
  const Rect r = MakeRect(0, 0, 4, 4);
  c.copy(source->handle(), dest->handle(), &r, &r);
  EXPECT_EQ(dest->pixels(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, CopyRectRefused,
                         testing::Values(RefusedCase{"Generic8To32", QDMP_Copy_Rect, 8, 32},
                                         RefusedCase{"Generic16To8", QDMP_Copy_Rect, 16, 8},
                                         RefusedCase{"Worker8On32BitMaps", QDMP_Copy_Rect8, 32, 32},
                                         RefusedCase{"Worker32On16BitMaps", QDMP_Copy_Rect32, 16, 16},
                                         RefusedCase{"Worker16FromAn8BitMap", QDMP_Copy_Rect16, 8, 16},
                                         RefusedCase{"Compositing16BitMaps", QDMP_Copy_Rect32A, 16, 16},
                                         RefusedCase{"CompositingOnto8Bits", QDMP_Copy_Rect32A, 32, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

// Null handles, master pointers and rectangle pointers, on maps every copy would serve.
TEST(CopyRect, NullArgumentsCopyNothing) {
  auto source = Map(32, MakeRect(0, 0, 4, 4));
  auto dest = Map(32, MakeRect(0, 0, 4, 4));
  TagAll(*source, 0xFFFFFFFF);
  const Rect r = MakeRect(0, 0, 4, 4);
  PixMapPtr none = nullptr;
  for (auto copy : {QDMP_Copy_Rect, QDMP_Copy_Rect32, QDMP_Copy_Rect32A}) {
    copy(source->handle(), dest->handle(), nullptr, &r);
    copy(source->handle(), dest->handle(), &r, nullptr);
    copy(nullptr, dest->handle(), &r, &r);
    copy(source->handle(), nullptr, &r, &r);
    copy(&none, dest->handle(), &r, &r);
    copy(source->handle(), &none, &r, &r);
  }
  for (auto copy : {QDMP_Copy_Scan, QDMP_Copy_Scan32, QDMP_Copy_Scan32A}) {
    copy(nullptr, dest->handle(), 0, 0, 4, 0, 0, 4);
    copy(source->handle(), &none, 0, 0, 4, 0, 0, 4);
  }
  for (uint32_t p : dest->pixels()) EXPECT_EQ(p, kUntouched);
}

// ---- Compositing -----------------------------------------------------------------------

struct CompositeCase {
  const char* name;
  uint32_t source, dest, expected;
  friend void PrintTo(const CompositeCase& c, std::ostream* os) { *os << c.name; }
};

class Compositing : public testing::TestWithParam<CompositeCase> {};

TEST_P(Compositing, BlendsByTheSourceAlpha) {
  const CompositeCase& c = GetParam();
  auto source = Map(32, MakeRect(0, 0, 1, 1));
  auto byRect = Map(32, MakeRect(0, 0, 1, 1));
  auto byScan = Map(32, MakeRect(0, 0, 1, 1));
  source->set(0, 0, c.source);
  byRect->set(0, 0, c.dest);
  byScan->set(0, 0, c.dest);
  const Rect r = MakeRect(0, 0, 1, 1);
  QDMP_Copy_Rect32A(source->handle(), byRect->handle(), &r, &r);
  QDMP_Copy_Scan32A(source->handle(), byScan->handle(), 0, 0, 1, 0, 0, 1);
  EXPECT_EQ(byRect->get(0, 0), c.expected);
  EXPECT_EQ(byScan->get(0, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Compositing,
    testing::Values(CompositeCase{"OpaqueFullSourceGives254", 0xFFFFFFFF, 0xFF000000, 0x00FEFEFE},
                    CompositeCase{"TransparentKeepsFullDestinationAt254", 0x00000000, 0xFFFFFFFF, 0x00FEFEFE},
                    // 200 * 128 >> 8 = 100 and 100 * 127 >> 8 = 49, one channel at a time.
                    CompositeCase{"HalfAlphaMixes", 0x80C8C8C8, 0x00646464, 0x00959595},
                    CompositeCase{"ChannelsApart", 0x80C80000, 0x00006400, 0x00643100},
                    CompositeCase{"OpaqueZeroClearsDestination", 0xFF000000, 0x7F123456, 0x00000000}),
    [](const auto& info) { return std::string(info.param.name); });

// The compositing copy clips rows in pairs: the source's two rows above its map move the
// destination's first row down by two.
TEST(CopyRect32A, ClippingOneRectangleAtTheTopKeepsRowsMatched) {
  auto source = Map(32, MakeRect(0, 0, 10, 10));
  auto dest = Map(32, MakeRect(0, 0, 20, 20));
  // Opaque source pixels come out with each channel one less: 10 (v + 1) - 1 in blue.
  for (int v = 0; v < 10; ++v)
    for (int h = 0; h < 10; ++h) source->set(h, v, 0xFF000000u | static_cast<uint32_t>(10 * (v + 1)));
  const Rect s = MakeRect(-2, 0, 10, 4), d = MakeRect(0, 0, 12, 4);
  QDMP_Copy_Rect32A(source->handle(), dest->handle(), &s, &d);
  for (int v = 0; v < 20; ++v)
    for (int h = 0; h < 6; ++h) {
      const bool copied = v >= 2 && v < 12 && h < 4;
      EXPECT_EQ(dest->get(h, v), copied ? static_cast<uint32_t>(10 * (v - 1) - 1) : kUntouched) << h << "," << v;
    }
  EXPECT_TRUE(dest->paddingUntouched());
}

// Source and destination columns of the compositing copy given as right < left cover the
// columns right to left - 1; the plain copy finds such a rectangle empty.
TEST(CopyRect32A, RightBelowLeftCoversTheColumnsBetween) {
  auto source = Map(32, MakeRect(0, 0, 4, 8));
  auto composited = Map(32, MakeRect(0, 0, 4, 8));
  auto plain = Map(32, MakeRect(0, 0, 4, 8));
  for (int v = 0; v < 4; ++v)
    for (int h = 0; h < 8; ++h) source->set(h, v, 0xFF000000u | static_cast<uint32_t>(h + 1));
  const Rect r = MakeRect(0, 5, 4, 2);  // left 5, right 2
  QDMP_Copy_Rect32A(source->handle(), composited->handle(), &r, &r);
  QDMP_Copy_Rect32(source->handle(), plain->handle(), &r, &r);
  for (int v = 0; v < 4; ++v)
    for (int h = 0; h < 8; ++h) {
      EXPECT_EQ(composited->get(h, v), h >= 2 && h < 5 ? static_cast<uint32_t>(h) : kUntouched) << h << "," << v;
      EXPECT_EQ(plain->get(h, v), kUntouched);
    }
}

// Columns outside either map are cut in pairs: the remaining columns still meet where the two
// rectangles placed them.
TEST(CopyRect32A, ColumnsOutsideEitherMapAreCutInPairs) {
  auto source = Map(32, MakeRect(0, 0, 2, 10));
  auto dest = Map(32, MakeRect(0, 0, 2, 10));
  for (int h = 0; h < 10; ++h)
    for (int v = 0; v < 2; ++v) source->set(h, v, 0xFF000000u | static_cast<uint32_t>(h + 1));
  // Source columns -3 to 6 onto destination columns 5 to 14: source 0..4 go to 8..9 only
  // (the destination ends at 10), so source columns 0 and 1 land on 8 and 9.
  const Rect s = MakeRect(0, -3, 2, 7), d = MakeRect(0, 5, 2, 15);
  QDMP_Copy_Rect32A(source->handle(), dest->handle(), &s, &d);
  for (int h = 0; h < 10; ++h) EXPECT_EQ(dest->get(h, 0), h >= 8 ? static_cast<uint32_t>(h - 8) : kUntouched) << h;
  EXPECT_TRUE(dest->paddingUntouched());
  // Equal widths are required as given: widths 10 and 9 are refused even though both would be
  // cut to the same run.
  auto other = Map(32, MakeRect(0, 0, 2, 10));
  const Rect d9 = MakeRect(0, 5, 2, 14);
  QDMP_Copy_Rect32A(source->handle(), other->handle(), &s, &d9);
  for (int h = 0; h < 10; ++h) EXPECT_EQ(other->get(h, 0), kUntouched);
}

// ---- Scan copies -----------------------------------------------------------------------

struct ScanCase {
  const char* name;
  int srcRow, srcH1, srcH2, dstRow, dstH1, dstH2;
  int from, to, count;  // source columns from.. go to destination columns to..; count 0: nothing
  friend void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }
};

class CopyScanCases : public testing::TestWithParam<ScanCase> {};

// Both maps have bounds (top 0, left 0, bottom 4, right 16).
TEST_P(CopyScanCases, CopiesTheColumnsExpected) {
  const ScanCase& c = GetParam();
  for (int depth : {8, 16, 32}) {
    SCOPED_TRACE(depth);
    const uint32_t mask = depth == 8 ? 0xFF : depth == 16 ? 0xFFFF : 0xFFFFFFFF;
    auto source = Map(depth, MakeRect(0, 0, 4, 16));
    auto dest = Map(depth, MakeRect(0, 0, 4, 16));
    TagAll(*source, mask);
    QDMP_Copy_Scan(source->handle(), dest->handle(), c.srcRow, c.srcH1, c.srcH2, c.dstRow, c.dstH1, c.dstH2);
    for (int v = 0; v < 4; ++v)
      for (int h = 0; h < 16; ++h) {
        const bool copied = v == c.dstRow && h >= c.to && h < c.to + c.count;
        EXPECT_EQ(dest->get(h, v), copied ? Tag(h - c.to + c.from, c.srcRow) & mask : kUntouched & mask) << h << "," << v;
      }
    EXPECT_TRUE(dest->paddingUntouched());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyScanCases,
    testing::Values(ScanCase{"ReversedSourceEnds", 1, 5, 2, 2, 10, 13, 2, 10, 3},
                    ScanCase{"LengthsThreeAndFourCopyNothing", 1, 2, 5, 2, 10, 14, 0, 0, 0},
                    ScanCase{"SourceRowAtBottomCopiesNothing", 4, 0, 3, 0, 0, 3, 0, 0, 0},
                    ScanCase{"DestinationRowAboveTopCopiesNothing", 0, 0, 3, -1, 0, 3, 0, 0, 0},
                    ScanCase{"EqualEndsCopyNothing", 0, 3, 3, 0, 7, 7, 0, 0, 0},
                    // Source columns -3 to 4 onto 8 to 15: columns 0 to 4 land on 11 to 15.
                    ScanCase{"SourceCutAtTheLeftInPairs", 0, -3, 5, 3, 8, 16, 0, 11, 5},
                    // Source 10 to 17 onto -2 to 5: the destination's cut moves the source to 12,
                    // and the source's right edge stops it at 15.
                    ScanCase{"CutOnBothSides", 2, 10, 18, 1, -2, 6, 12, 0, 4},
                    ScanCase{"MissingBothMapsCopiesNothing", 0, 20, 24, 0, -9, -5, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A run of 65535 columns is as long as it says: the lengths are formed in 32 bits.
TEST(CopyScan, RunOf65535ColumnsIsCopiedWhole) {
  const Rect bounds = MakeRect(0, -32768, 1, 32767);
  auto source = Map(8, bounds);
  auto dest = Map(8, bounds);
  TagAll(*source, 0xFF);
  QDMP_Copy_Scan8(source->handle(), dest->handle(), 0, -32768, 32767, 0, 32767, -32768);
  EXPECT_EQ(dest->pixels(), source->pixels());
}

TEST(CopyScan, MapsOfOtherDepthsCopyNothing) {
  auto source8 = Map(8, MakeRect(0, 0, 1, 8));
  auto dest8 = Map(8, MakeRect(0, 0, 1, 8));
  auto dest32 = Map(32, MakeRect(0, 0, 1, 8));
  TagAll(*source8, 0xFF);
  QDMP_Copy_Scan(source8->handle(), dest32->handle(), 0, 0, 4, 0, 0, 4);
  QDMP_Copy_Scan16(source8->handle(), dest8->handle(), 0, 0, 4, 0, 0, 4);
  QDMP_Copy_Scan32A(source8->handle(), dest8->handle(), 0, 0, 4, 0, 0, 4);
  QDMP_Copy_Scan8(source8->handle(), dest32->handle(), 0, 0, 4, 0, 0, 4);
  QDMP_Copy_Scan8(nullptr, dest8->handle(), 0, 0, 4, 0, 0, 4);
  for (int h = 0; h < 8; ++h) {
    EXPECT_EQ(dest8->get(h, 0), kUntouched & 0xFF);
    EXPECT_EQ(dest32->get(h, 0), kUntouched);
  }
}

// ---- Overlapping copies within one map -------------------------------------------------

// Within one row each copy moves as memmove does: a run copied one pixel to the right is
// shifted, not smeared, by every kind of copy.
TEST(Overlap, RunMovedRightWithinItsRowIsShifted) {
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    auto map = Map(32, MakeRect(0, 0, 1, 8));
    for (int h = 0; h < 8; ++h) map->set(h, 0, 0xFF000000u | static_cast<uint32_t>(h + 1));
    const Rect s = MakeRect(0, 0, 1, 6), d = MakeRect(0, 1, 1, 7);
    switch (kind) {
      case 0: QDMP_Copy_Rect32(map->handle(), map->handle(), &s, &d); break;
      case 1: QDMP_Copy_Scan32(map->handle(), map->handle(), 0, 0, 6, 0, 1, 7); break;
      case 2: QDMP_Copy_Rect32A(map->handle(), map->handle(), &s, &d); break;
      case 3: QDMP_Copy_Scan32A(map->handle(), map->handle(), 0, 0, 6, 0, 1, 7); break;
    }
    // Plain copies keep the value; opaque compositing takes one off each channel (and clears
    // the top byte).
    const bool plain = kind < 2;
    EXPECT_EQ(map->get(0, 0), 0xFF000001u);
    for (int h = 1; h < 7; ++h)
      EXPECT_EQ(map->get(h, 0), plain ? 0xFF000000u | static_cast<uint32_t>(h) : static_cast<uint32_t>(h - 1)) << h;
    EXPECT_EQ(map->get(7, 0), 0xFF000008u);
  }
}

// Rows are taken from top to bottom, each moved whole before the next is read: a rectangle
// copied onto itself one row lower repeats its first row; one row higher it moves intact.
TEST(Overlap, RowsGoTopToBottom) {
  auto down = Map(16, MakeRect(0, 0, 4, 3));
  auto up = Map(16, MakeRect(0, 0, 4, 3));
  TagAll(*down, 0xFFFF);
  TagAll(*up, 0xFFFF);
  const Rect upper = MakeRect(0, 0, 3, 3), lower = MakeRect(1, 0, 4, 3);
  QDMP_Copy_Rect16(down->handle(), down->handle(), &upper, &lower);
  QDMP_Copy_Rect16(up->handle(), up->handle(), &lower, &upper);
  for (int h = 0; h < 3; ++h) {
    for (int v = 0; v < 4; ++v) EXPECT_EQ(down->get(h, v), Tag(h, 0)) << h << "," << v;
    for (int v = 0; v < 3; ++v) EXPECT_EQ(up->get(h, v), Tag(h, v + 1)) << h << "," << v;
    EXPECT_EQ(up->get(h, 3), Tag(h, 3));
  }
}

// ---- Against the reference model ---------------------------------------------------------

std::string Describe(const Rect& r) {
  return "(" + std::to_string(r.top) + ", " + std::to_string(r.left) + ", " + std::to_string(r.bottom) + ", " +
         std::to_string(r.right) + ")";
}

// Random copies of every kind against the model, each on every path of the library (plain, and
// fast at each vector width). A third of the cases copy within one map, with source and
// destination overlapping; some maps have rows of more than 32767 bytes; now and then a worker
// meets maps of another depth or the two sides differ in width.
TEST(CopyModel, RandomCasesMatch) {
  using lumetra::test::Uniform;
  for (int n : lumetra::test::CasesToRun(1000)) for (const auto& path : lumetra::test::LibraryPaths()) {
    const lumetra::test::OnPath on(path);
    std::mt19937 rng(static_cast<unsigned>(n));
    const int depth = 8 << Uniform(rng, 0, 2);
    const bool wide = Uniform(rng, 0, 9) == 0;
    const bool sameMap = Uniform(rng, 0, 2) == 0;
    auto makeMap = [&](int mapDepth) {
      const int width = wide ? Uniform(rng, 32768 / (mapDepth / 8), 40000 / (mapDepth / 8)) : Uniform(rng, 1, 40);
      const int height = wide ? Uniform(rng, 1, 3) : Uniform(rng, 1, 30);
      // A wide map keeps its right edge within the coordinate range.
      const int left = wide ? -Uniform(rng, std::max(0, width - 32767), width / 2) : Uniform(rng, -20, 20);
      return lumetra::test::RandomMap(rng, mapDepth, Uniform(rng, -20, 20), left, width, height);
    };
    // Mostly maps of one depth; sometimes the destination has another.
    const bool mixed = !sameMap && Uniform(rng, 0, 9) == 0;
    auto source = makeMap(depth);
    auto other = sameMap ? nullptr : makeMap(mixed ? 8 << Uniform(rng, 0, 2) : depth);
    GuardedPixMap& dest = sameMap ? *source : *other;
    lumetra::ref::Image srcModel = lumetra::ref::ModelOf(*source);
    lumetra::ref::Image dstModelOwn = sameMap ? lumetra::ref::Image(32, Rect{}) : lumetra::ref::ModelOf(dest);
    lumetra::ref::Image& dstModel = sameMap ? srcModel : dstModelOwn;

    // A source run around the source map, and a destination run of the same length (or, now and
    // then, one more or less) around the destination map; either may be given reversed.
    const Rect& sb = source->bounds();
    const Rect& db = dest.bounds();
    const int sw = sb.right - sb.left, dw = db.right - db.left;
    const int length = Uniform(rng, 0, std::max(sw, dw) + 8);
    const int dLength = std::max(0, length + (Uniform(rng, 0, 9) == 0 ? Uniform(rng, -1, 1) : 0));
    const int sLeft = sb.left + Uniform(rng, -6, std::max(0, sw - length) + 6);
    const int dLeft = sameMap ? sLeft + Uniform(rng, -3, 3) : db.left + Uniform(rng, -6, std::max(0, dw - dLength) + 6);
    const int sTop = sb.top + Uniform(rng, -4, sb.bottom - sb.top + 2), sRows = Uniform(rng, 0, 12);
    // Within one map, half the cases stay on the same rows, where the runs overlap most.
    const int dTop = sameMap ? sTop + (Uniform(rng, 0, 1) ? 0 : Uniform(rng, -2, 2))
                             : db.top + Uniform(rng, -4, db.bottom - db.top + 2);
    const int dRows = sameMap ? sRows : Uniform(rng, 0, 12);
    const bool sReversed = Uniform(rng, 0, 4) == 0, dReversed = Uniform(rng, 0, 4) == 0;
    auto clamp16 = [](long long x) { return static_cast<SInt16>(std::clamp<long long>(x, -32768, 32767)); };
    const SInt16 sH1 = clamp16(sReversed ? sLeft + length : sLeft), sH2 = clamp16(sReversed ? sLeft : sLeft + length);
    const SInt16 dH1 = clamp16(dReversed ? dLeft + dLength : dLeft), dH2 = clamp16(dReversed ? dLeft : dLeft + dLength);
    const Rect srcRect = {clamp16(sTop), sH1, clamp16(sTop + sRows), sH2};
    const Rect dstRect = {clamp16(dTop), dH1, clamp16(dTop + dRows), dH2};

    const int op = Uniform(rng, 0, 6);
    const char* names[] = {"Copy_Rect", "Copy_Rect worker", "Copy_Rect32A", "Copy_Scan", "Copy_Scan worker", "Copy_Scan32A",
                           "Copy_Rect worker of another depth"};
    const std::string what = "case " + std::to_string(n) + ": " + names[op] + " at depth " + std::to_string(depth) +
                             (sameMap ? " within one map" : "") + ", source " + Describe(sb) + " rect " +
                             Describe(srcRect) + ", destination " + Describe(db) + " rect " + Describe(dstRect) +
                             ", " + path.name;
    if (lumetra::test::Verbose()) std::cout << what << "\n";

    PixMapHandle s = source->handle(), d = dest.handle();
    auto rectWorker = [](int bits) {
      return bits == 8 ? QDMP_Copy_Rect8 : bits == 16 ? QDMP_Copy_Rect16 : QDMP_Copy_Rect32;
    };
    auto scanWorker = [](int bits) {
      return bits == 8 ? QDMP_Copy_Scan8 : bits == 16 ? QDMP_Copy_Scan16 : QDMP_Copy_Scan32;
    };
    switch (op) {
      case 0:
        QDMP_Copy_Rect(s, d, &srcRect, &dstRect);
        lumetra::ref::CopyRectAny(srcModel, dstModel, srcRect, dstRect);
        break;
      case 1:
        rectWorker(depth)(s, d, &srcRect, &dstRect);
        lumetra::ref::CopyRect(srcModel, dstModel, depth, srcRect, dstRect);
        break;
      case 2:
        QDMP_Copy_Rect32A(s, d, &srcRect, &dstRect);
        lumetra::ref::CompositeRect(srcModel, dstModel, srcRect, dstRect);
        break;
      case 3:
        QDMP_Copy_Scan(s, d, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
        lumetra::ref::CopyScanAny(srcModel, dstModel, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
        break;
      case 4:
        scanWorker(depth)(s, d, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
        lumetra::ref::CopyScan(srcModel, dstModel, depth, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
        break;
      case 5:
        QDMP_Copy_Scan32A(s, d, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
        lumetra::ref::CompositeScan(srcModel, dstModel, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
        break;
      case 6: {
        const int wrong = depth == 8 ? 32 : 8;
        rectWorker(wrong)(s, d, &srcRect, &dstRect);
        lumetra::ref::CopyRect(srcModel, dstModel, wrong, srcRect, dstRect);
        break;
      }
    }
    auto difference = lumetra::ref::FirstDifference(*source, srcModel);
    ASSERT_FALSE(difference) << what << "\nsource: " << *difference;
    if (!sameMap) {
      difference = lumetra::ref::FirstDifference(dest, dstModel);
      ASSERT_FALSE(difference) << what << "\ndestination: " << *difference;
    }
  }
}

// The vector blends against the model: runs of every length from 0 to 70 pixels (so every
// count of whole vectors and every tail), rows that start at any byte offset (0 to 7 bytes of
// padding after each row), random alpha, on every path.
TEST(CompositeModel, RunsOfEveryLengthAtOddAlignmentsMatch) {
  using lumetra::test::Uniform;
  for (int n : lumetra::test::CasesToRun(300)) for (const auto& path : lumetra::test::LibraryPaths()) {
    const lumetra::test::OnPath on(path);
    std::mt19937 rng(static_cast<unsigned>(n));
    const int length = n % 71;
    const int sw = length + Uniform(rng, 0, 5), dw = length + Uniform(rng, 0, 5), rows = Uniform(rng, 1, 4);
    auto source = lumetra::test::RandomMap(rng, 32, 0, 0, sw, rows);
    auto dest = lumetra::test::RandomMap(rng, 32, 0, 0, dw, rows);
    lumetra::ref::Image srcModel = lumetra::ref::ModelOf(*source), dstModel = lumetra::ref::ModelOf(*dest);
    const SInt16 sLeft = static_cast<SInt16>(Uniform(rng, 0, sw - length));
    const SInt16 dLeft = static_cast<SInt16>(Uniform(rng, 0, dw - length));
    const SInt16 end = static_cast<SInt16>(rows);
    const Rect srcRect = {0, sLeft, end, static_cast<SInt16>(sLeft + length)};
    const Rect dstRect = {0, dLeft, end, static_cast<SInt16>(dLeft + length)};
    const bool scan = n % 2 == 1;
    if (scan) {
      const SInt16 row = static_cast<SInt16>(rows - 1);
      QDMP_Copy_Scan32A(source->handle(), dest->handle(), row, srcRect.left, srcRect.right, row, dstRect.left, dstRect.right);
      lumetra::ref::CompositeScan(srcModel, dstModel, row, srcRect.left, srcRect.right, row, dstRect.left, dstRect.right);
    } else {
      QDMP_Copy_Rect32A(source->handle(), dest->handle(), &srcRect, &dstRect);
      lumetra::ref::CompositeRect(srcModel, dstModel, srcRect, dstRect);
    }
    const auto difference = lumetra::ref::FirstDifference(*dest, dstModel);
    ASSERT_FALSE(difference) << "case " << n << ": " << (scan ? "Copy_Scan32A" : "Copy_Rect32A") << " of " << length
                             << " pixels, row bytes " << source->rowBytes() << " and " << dest->rowBytes() << ", "
                             << path.name << "\n" << *difference;
  }
}

// Maps without padding, whole rows: between two maps the rows are moved as one block; within
// one map, where the ranges overlap, they still go one after the other, top to bottom (a copy
// one row down repeats the first row). Every path against the model, at every depth.
TEST(CopyRect, PackedWholeRowsMatchTheModel) {
  using lumetra::test::Uniform;
  for (const auto& path : lumetra::test::LibraryPaths()) {
    const lumetra::test::OnPath on(path);
    for (int depth : {8, 16, 32}) {
      SCOPED_TRACE(std::to_string(depth) + " bits, " + path.name);
      std::mt19937 rng(static_cast<unsigned>(depth));
      const Rect bounds = MakeRect(-3, 5, 9, 36);
      auto packed = [&] {
        auto map = std::make_unique<GuardedPixMap>(depth, bounds, 31 * depth / 8);
        for (int v = bounds.top; v < bounds.bottom; ++v)
          for (int h = bounds.left; h < bounds.right; ++h) map->set(h, v, static_cast<uint32_t>(rng()));
        return map;
      };
      auto source = packed(), dest = packed();
      lumetra::ref::Image srcModel = lumetra::ref::ModelOf(*source), dstModel = lumetra::ref::ModelOf(*dest);
      QDMP_Copy_Rect(source->handle(), dest->handle(), &bounds, &bounds);
      lumetra::ref::CopyRectAny(srcModel, dstModel, bounds, bounds);
      auto difference = lumetra::ref::FirstDifference(*dest, dstModel);
      EXPECT_FALSE(difference) << "between two maps: " << *difference;

      const Rect upper = MakeRect(-3, 5, 8, 36), lower = MakeRect(-2, 5, 9, 36);
      QDMP_Copy_Rect(source->handle(), source->handle(), &upper, &lower);
      lumetra::ref::CopyRectAny(srcModel, srcModel, upper, lower);
      difference = lumetra::ref::FirstDifference(*source, srcModel);
      EXPECT_FALSE(difference) << "one row down within one map: " << *difference;
    }
  }
}

}  // namespace
