// The handler through the loaded bundle: instance life, track and stream copies, the notices
// that only set or keep state, and the answers to bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render.h"
#include "testhost.h"

namespace lumetra::test {
namespace {

// A host with a live instance.
class HandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    startPtrs_ = LumetraLivePtrCount();
    ASSERT_EQ(host_.initInstance(), noErr);
    ASSERT_NE(host_.refCon(), nullptr);
    host_.clearCalls();
  }
  VisualPluginState* state() { return static_cast<VisualPluginState*>(host_.refCon()); }

  TestHost host_;
  long startPtrs_ = 0;
};

TEST_F(HandlerTest, InitKeepsTheHostAndItsFileSpecAndLeavesTheRestZero) {
  EXPECT_EQ(state()->hostCookie, host_.cookie());
  EXPECT_EQ(state()->hostProc, host_.hostProc());
  EXPECT_STREQ(state()->pluginFile.path, host_.bundleDir().c_str());
  EXPECT_EQ(LumetraLivePtrCount(), startPtrs_ + 1);
}

}  // namespace
}  // namespace lumetra::test
