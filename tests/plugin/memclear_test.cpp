// The glue's word-wise MemClear, compiled from its private header: exactly count bytes from the
// start address become zero, whatever the alignment, and nothing outside them changes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "glue_p.h"
#include "guarded.h"

namespace lumetra::test {
namespace {

constexpr uint8_t kFill = 0xA5;

struct MemClearCase {
  const char* name;
  size_t misalignment;  // start address modulo 4
  SInt32 count;
};

class MemClearTest : public ::testing::TestWithParam<MemClearCase> {};

// The buffer ends at a guard page (an address that is a multiple of 4). The cleared range is
// placed as close to it as its misalignment allows, with 8 bytes in front and 0 to 3 behind
// that must keep their fill; a store further out faults.
TEST_P(MemClearTest, ClearsExactlyCountBytes) {
  const MemClearCase& c = GetParam();
  const size_t cleared = c.count > 0 ? static_cast<size_t>(c.count) : 0;
  const size_t lead = 8;
  const size_t tail = (4 - (c.misalignment + cleared) % 4) % 4;
  GuardedBuffer buffer(lead + cleared + tail, kFill);
  uint8_t* start = buffer.data() + lead;
  ASSERT_EQ(reinterpret_cast<uintptr_t>(start) % 4, c.misalignment);

  MemClear(start, c.count);

  for (size_t i = 0; i < lead; ++i) EXPECT_EQ(buffer.data()[i], kFill) << "byte " << lead - i << " before the start";
  for (size_t i = 0; i < cleared; ++i) EXPECT_EQ(start[i], 0) << "byte " << i << " of the cleared range";
  for (size_t i = 0; i < tail; ++i) EXPECT_EQ(start[cleared + i], kFill) << "byte " << i << " after the end";
  EXPECT_TRUE(buffer.slackUntouched());
}

// Rows around the threshold of the word loop (16 and less is bytewise), every misalignment,
// and counts that clear nothing.
const MemClearCase kCases[] = {
    {"Seventeen_OnePastAWord", 1, 17},  // 3 bytes, 3 words, 2 bytes
    {"Seventeen_Aligned", 0, 17},
    {"Seventeen_TwoPast", 2, 17},
    {"Seventeen_ThreePast", 3, 17},
    {"Sixteen_BytesOnly_OnePast", 1, 16},
    {"Sixteen_Aligned", 0, 16},
    {"Eighteen_ThreePast", 3, 18},
    {"TwentyOne_OnePast", 1, 21},
    {"OneByte", 3, 1},
    {"FullCallBlock", 0, static_cast<SInt32>(sizeof(HostCallBlock))},
    {"LongMisaligned", 2, 1001},
    {"Zero", 1, 0},
    {"MinusOne", 1, -1},
    {"MinusSeventeen", 1, -17},
    {"MostNegative", 0, INT32_MIN},
};

INSTANTIATE_TEST_SUITE_P(Cases, MemClearTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumetra::test
