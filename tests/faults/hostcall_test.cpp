// A host whose callback fails every selector, through a whole play run of the real bundle.
//
// The plug-in asks the host for two things in a run: 'rvis' (from the entry point's 'init')
// and 'pspc' (from the handler's 'init'). Whatever the host answers is passed back unchanged
// as the answer to that 'init'; the record still arrives, and every later message works as
// with a host that answers 0. The other selectors have no caller in the plug-in; their
// wrappers hand the status back as the glue's own tests show.
#include <gtest/gtest.h>

#include "render_fixture.h"

namespace lumetra::test {
namespace {

const OSType kSelectors[] = {
    kPlayerSetFullScreenMessage,      kPlayerSetFullScreenOptionsMessage, kPlayerGetPluginDataMessage,
    kPlayerSetPluginDataMessage,      kPlayerGetPluginNamedDataMessage,   kPlayerSetPluginNamedDataMessage,
    kPlayerIdleMessage,               kPlayerShowAboutMessage,            kPlayerOpenURLMessage,
    kPlayerUnregisterPluginMessage,   kPlayerRegisterVisualPluginMessage, kPlayerRegisterDevicePluginMessage,
    kPlayerSetDeviceSerialNumberMessage, kPlayerHandleEventMessage,  kPlayerGetPluginFileSpecMessage,
};

struct Row {
  const char* name;
  OSStatus status;
};

const Row kRows[] = {
    {"not handled", unimpErr},   {"no memory", memFullErr}, {"bad argument", paramErr},
    {"file not found", -43},     {"positive", 1},           {"largest", 0x7FFFFFFF},
    {"smallest", INT32_MIN},
};

class FailingHostTest : public ::testing::TestWithParam<Row> {};

TEST_P(FailingHostTest, EveryAnswerIsPassedOnAndThePlayRunStillWorks) {
  const OSStatus status = GetParam().status;
  const long records = LumetraLivePtrCount();
  const long worlds = LumetraLiveGWorldCount();
  {
    TestHost host;
    for (OSType selector : kSelectors) host.setStatus(selector, status);

    EXPECT_EQ(host.registerPlugin(), status) << "entry 'init' answers the 'rvis' status";
    ASSERT_NE(host.handler(), nullptr);
    EXPECT_EQ(host.initInstance(), status) << "handler 'init' answers the 'pspc' status";
    auto* state = static_cast<VisualPluginState*>(host.refCon());
    ASSERT_NE(state, nullptr) << "the record arrives whatever 'pspc' answered";
    // A failing host writes no file specification; the field stays as it was made, clear.
    EXPECT_EQ(state->pluginFile.path[0], '\0');

    Window window({0, 0, 60, 80});
    const Rect rect = {5, 5, 55, 75};
    VisualMessageBlock block{};
    block.u.showWindowMessage = {window.port(), rect, 0};
    EXPECT_EQ(host.send(kVisualPluginShowWindowMessage, &block), noErr);
    const Snapshot ramp = Snapshot::Ramp();
    block = {};
    block.u.renderMessage = {&ramp.data, 7};
    EXPECT_EQ(host.send(kVisualPluginRenderMessage, &block), noErr);
    EXPECT_TRUE(SameImage(window.region(rect), ExpectedScope(ramp.data, 70, 50), 70));
    block = {};
    EXPECT_EQ(host.send(kVisualPluginConfigureMessage, &block), noErr);
    EXPECT_EQ(LumetraCountVisibleWindows(), 1u);
    block.u.setWindowMessage = {window.port(), Rect{0, 0, 60, 80}, 0};
    EXPECT_EQ(host.send(kVisualPluginSetWindowMessage, &block), noErr);
    block = {};
    EXPECT_EQ(host.send(kVisualPluginHideWindowMessage, &block), noErr);
    EXPECT_EQ(host.cleanupInstance(), noErr);

    // Only the two selectors the plug-in uses were called, each once.
    EXPECT_EQ(host.callsFor(kPlayerRegisterVisualPluginMessage).size(), 1u);
    EXPECT_EQ(host.callsFor(kPlayerGetPluginFileSpecMessage).size(), 1u);
    EXPECT_EQ(host.calls().size(), 2u);
  }
  EXPECT_EQ(LumetraLivePtrCount(), records);
  EXPECT_EQ(LumetraLiveGWorldCount(), worlds);
  EXPECT_EQ(LumetraCountWindows(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Statuses, FailingHostTest, ::testing::ValuesIn(kRows), [](const auto& info) {
  std::string name = info.param.name;
  for (char& c : name)
    if (c == ' ') c = '_';
  return name;
});

}  // namespace
}  // namespace lumetra::test
