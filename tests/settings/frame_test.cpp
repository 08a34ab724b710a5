// Flash mode chosen in the settings window freezes the picture the host sees.
#include <gtest/gtest.h>

#include "platform.h"
#include "render_fixture.h"

namespace {

using lumetra::test::ExpectedScope;
using lumetra::test::kUntouched;
using lumetra::test::SameImage;
using lumetra::test::Snapshot;
using lumetra::test::Window;

class SettingsFrameTest : public lumetra::test::RenderTest {
 protected:
  // Clicks the settings window's flash box, as a user would.
  static OSStatus clickFlashBox() {
    LumetraWindowInfo window = {};
    if (LumetraGetVisibleWindow(0, &window) != noErr) return paramErr;
    const ControlID flashID = {LUMETRA_FOURCC('c', 'b', 'o', 'x'), 4};
    ControlRef flash = nullptr;
    if (GetControlByID(window.window, &flashID, &flash) != noErr) return paramErr;
    return LumetraClickControl(flash);
  }
};

TEST_F(SettingsFrameTest, FlashModeSetInTheSettingsWindowFreezesThePicture) {
  const Rect rect = {0, 0, 60, 90};
  Window window(rect);
  ASSERT_EQ(show(window.port(), rect), noErr);
  const Snapshot ramp = Snapshot::Ramp();
  ASSERT_EQ(render(ramp), noErr);
  const std::vector<UInt32> rampImage = window.region(rect);
  ASSERT_TRUE(SameImage(rampImage, ExpectedScope(ramp.data, 90, 60), 90));

  ASSERT_EQ(send(kVisualPluginConfigureMessage), noErr);
  ASSERT_EQ(clickFlashBox(), noErr);  // on
  const Snapshot other = Snapshot::Constant(100, 30);
  window.fill(kUntouched);
  ASSERT_EQ(render(other), noErr);
  EXPECT_TRUE(SameImage(window.region(rect), rampImage, 90));

  ASSERT_EQ(clickFlashBox(), noErr);  // off again: the next frame is drawn
  ASSERT_EQ(render(other), noErr);
  EXPECT_TRUE(SameImage(window.region(rect), ExpectedScope(other.data, 90, 60), 90));
}

}  // namespace
