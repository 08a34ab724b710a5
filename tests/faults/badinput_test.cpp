// Absurd input from the host, found by fuzzing and kept here as regression tests: each row is
// a case a fuzz target once failed on.
#include <gtest/gtest.h>

#include "render_fixture.h"

namespace lumetra::test {
namespace {

using BadInputTest = RenderTest;

// 'show' and 'swin' with rectangles that have no world: inverted ones that moving to the origin
// in 16 bits would turn into valid rectangles of another size, and ones more than 32767 wide or
// high. Each answers -50, holds neither port nor world, keeps the rectangle and draws nothing.
TEST_F(BadInputTest, RectanglesWithoutAWorldAreRefused) {
  struct Row {
    const char* name;
    Rect rect;
  };
  const Row rows[] = {
      {"inverted rows that wrap to 48 high", {32761, -32765, -32727, -32745}},
      {"inverted columns that wrap to 20 wide", {0, 32760, 10, -32756}},
      {"inverted both ways", {30000, 30000, -30000, -30000}},
      {"40000 wide", {0, -20000, 10, 20000}},
      {"65535 high", {-32768, 0, 32767, 1}},
  };
  Window window(Rect{0, 0, 40, 60});
  for (const Row& row : rows) {
    for (OSType message : {kVisualPluginShowWindowMessage, kVisualPluginSetWindowMessage}) {
      ASSERT_EQ(show(window.port(), Rect{0, 0, 20, 30}), noErr) << row.name;
      window.fill(kUntouched);
      EXPECT_EQ(show(window.port(), row.rect, 0, message), paramErr) << row.name << ", " << fourCC(message);
      EXPECT_EQ(state()->destPort, nullptr) << row.name;
      EXPECT_EQ(state()->offscreenWorld, nullptr) << row.name;
      EXPECT_TRUE(EqualRect(&state()->destRect, &row.rect)) << row.name;
      EXPECT_EQ(LumetraLiveGWorldCount(), 0) << row.name;
      ASSERT_EQ(send(kVisualPluginUpdateMessage), noErr);
      for (UInt32 pixel : window.region(Rect{0, 0, 40, 60})) ASSERT_EQ(pixel, kUntouched) << row.name;
    }
  }
}

}  // namespace
}  // namespace lumetra::test
