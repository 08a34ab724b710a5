// The settings through the test host and the real bundle: the window that 'cnfg' makes and
// shows, its controls, the key toggles of 'vevt', and what happens when the bundle or its
// interface file is missing or broken.
//
// The flags live inside the bundle; a test sees them as the check boxes show them after a
// 'cnfg', which sets both boxes from the flags. Each test runs in its own process, so each
// starts with the initial flags (colour 1, flash 0) and without a settings window.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"
#include "tempbundle.h"
#include "testhost.h"

namespace {

using lumetra::test::TempBundle;
using lumetra::test::TestHost;

constexpr OSType kBox = LUMETRA_FOURCC('c', 'b', 'o', 'x');
constexpr int kColour = 3;
constexpr int kFlash = 4;
constexpr int kClose = 5;

// The flags as the boxes show them after a 'cnfg'.
struct Flags {
  int colour;
  int flash;
  bool operator==(const Flags&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Flags& flags) {
  return out << "{colour " << flags.colour << ", flash " << flags.flash << "}";
}

// The bundle the build laid out, copied into a temporary folder so that a test can change its
// interface file.
class BundleCopy : public TempBundle {
 public:
  BundleCopy() {
    std::filesystem::remove_all(root());
    std::filesystem::copy(lumetra::test::defaultBundleDir(), root(), std::filesystem::copy_options::recursive);
  }
  void writeSettingsNib(std::string_view text) const { writeNib("SettingsDialog", text); }
  void removeSettingsNib() const {
    std::filesystem::remove(root() / "Contents" / "Resources" / "SettingsDialog.nib");
  }
};

struct SettingsTest : ::testing::Test {
  void load(const std::string& bundleDir = lumetra::test::defaultBundleDir()) {
    host = std::make_unique<TestHost>(bundleDir);
    ASSERT_EQ(host->initInstance(), noErr);
  }
  void SetUp() override { load(); }

  OSStatus configure() {
    VisualMessageBlock block{};
    return host->send(kVisualPluginConfigureMessage, &block);
  }
  OSStatus keyEvent(UInt16 what, UInt32 message) {
    EventRecord event{};
    event.what = what;
    event.message = message;
    VisualMessageBlock block{};
    block.u.eventMessage.event = &event;
    return host->send(kVisualPluginEventMessage, &block);
  }
  OSStatus key(char c, UInt16 what = keyDown) { return keyEvent(what, static_cast<UInt8>(c)); }

  // The visible settings window (the only window these tests make), if there is one.
  static std::optional<LumetraWindowInfo> shownWindow() {
    LumetraWindowInfo info = {};
    if (LumetraCountVisibleWindows() != 1 || LumetraGetVisibleWindow(0, &info) != noErr) return std::nullopt;
    return info;
  }
  // The control of the shown window with that number (and signature, when one is given).
  static std::optional<LumetraControlInfo> control(int number, OSType signature = 0) {
    auto window = shownWindow();
    if (!window) return std::nullopt;
    for (ItemCount k = 0; k < window->controlCount; ++k) {
      LumetraControlInfo info = {};
      if (LumetraGetWindowControl(window->window, k, &info) == noErr && info.id.id == number &&
          (signature == 0 || info.id.signature == signature)) {
        return info;
      }
    }
    return std::nullopt;
  }
  static int boxValue(int number) {
    auto box = control(number, kBox);
    return box ? box->value : -1;
  }
  static Flags boxes() { return {boxValue(kColour), boxValue(kFlash)}; }
  Flags shownFlags() {
    EXPECT_EQ(configure(), noErr);
    return boxes();
  }
  static OSStatus click(int number, OSType signature = kBox) {
    auto c = control(number, signature);
    return c ? LumetraClickControl(c->control) : paramErr;
  }

  std::unique_ptr<TestHost> host;
};

// ---- The window

TEST_F(SettingsTest, TheFirstConfigureMakesTheWindowSetsBothBoxesAndShowsIt) {
  ASSERT_EQ(LumetraCountWindows(), 0u);
  EXPECT_EQ(configure(), noErr);
  EXPECT_EQ(LumetraCountWindows(), 1u);
  auto window = shownWindow();
  ASSERT_TRUE(window);
  EXPECT_EQ(boxes(), (Flags{1, 0}));
  auto colour = control(kColour, kBox);
  auto flash = control(kFlash, kBox);
  auto close = control(kClose);
  ASSERT_TRUE(colour && flash && close);
  EXPECT_EQ(colour->kind, static_cast<UInt32>(kLumetraCheckBoxControl));
  EXPECT_EQ(flash->kind, static_cast<UInt32>(kLumetraCheckBoxControl));
  EXPECT_EQ(std::string(colour->title), "Colour mode");
  EXPECT_EQ(std::string(flash->title), "Flash mode (freeze the picture)");
  EXPECT_EQ(std::string(close->title), "Done");

  // Shown again, refreshed again, and still one window.
  SetControlValue(colour->control, 0);
  EXPECT_EQ(configure(), noErr);
  EXPECT_EQ(LumetraCountWindows(), 1u);
  EXPECT_EQ(shownWindow()->window, window->window);
  EXPECT_EQ(boxes(), (Flags{1, 0}));
}

TEST_F(SettingsTest, AClickOnEachBoxSetsItsFlag) {
  ASSERT_EQ(configure(), noErr);
  // Each row stores a value in a box, clicks it (a check box turns 0 into 1 and anything
  // else into 0) and reads the flags back; every row changes a flag.
  struct Row {
    const char* name;
    int number;
    SInt16 stored;
    Flags expected;
  };
  const Row rows[] = {
      {"ColourOnToOff", kColour, 1, {0, 0}},  {"ColourOffToOn", kColour, 0, {1, 0}},
      {"ColourTwoToOff", kColour, 2, {0, 0}}, {"FlashOffToOn", kFlash, 0, {0, 1}},
      {"FlashOnToOff", kFlash, 1, {0, 0}},    {"FlashOffToOnAgain", kFlash, 0, {0, 1}},
      {"FlashTwoToOff", kFlash, 2, {0, 0}},
  };
  Flags before = boxes();
  for (const Row& row : rows) {
    ASSERT_NE(row.expected, before) << row.name << ": the row would show nothing";
    auto box = control(row.number, kBox);
    ASSERT_TRUE(box) << row.name;
    SetControlValue(box->control, row.stored);
    EXPECT_EQ(click(row.number), noErr) << row.name;
    EXPECT_EQ(shownFlags(), row.expected) << row.name;
    before = row.expected;
  }
}

// Stores 2 in the control that was hit before the plug-in's handler reads it, the way a
// control holding a mixed value would report it.
OSStatus StoreTwo(EventHandlerCallRef, EventRef event, void*) {
  ControlRef control = nullptr;
  if (GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof control, nullptr,
                        &control) == noErr) {
    SetControlValue(control, 2);
  }
  return eventNotHandledErr;
}

TEST_F(SettingsTest, AFlagOfTwoCountsAsOnAndAToggleTurnsItOff) {
  ASSERT_EQ(configure(), noErr);
  const EventTypeSpec hit = {kEventClassControl, kEventControlHit};
  ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(shownWindow()->window), StoreTwo, 1, &hit, nullptr, nullptr),
            noErr);
  ASSERT_EQ(click(kColour), noErr);
  ASSERT_EQ(click(kFlash), noErr);
  EXPECT_EQ(shownFlags(), (Flags{2, 2}));
  EXPECT_EQ(key('C'), noErr);
  EXPECT_EQ(shownFlags(), (Flags{0, 2}));
  EXPECT_EQ(key('f'), noErr);
  EXPECT_EQ(shownFlags(), (Flags{0, 0}));
}

TEST_F(SettingsTest, TheCloseControlHidesTheWindowAndConfigureShowsItAgainRefreshed) {
  ASSERT_EQ(configure(), noErr);
  WindowRef window = shownWindow()->window;
  EXPECT_EQ(click(kClose, 0), noErr);
  EXPECT_EQ(LumetraCountVisibleWindows(), 0u);
  EXPECT_EQ(LumetraCountWindows(), 1u);
  ASSERT_EQ(key('F'), noErr);
  ASSERT_EQ(key('C'), noErr);
  EXPECT_EQ(configure(), noErr);
  ASSERT_TRUE(shownWindow());
  EXPECT_EQ(shownWindow()->window, window);
  EXPECT_EQ(LumetraCountWindows(), 1u);
  EXPECT_EQ(boxes(), (Flags{0, 1}));
}

TEST_F(SettingsTest, AKeyWhileTheWindowIsOpenLeavesTheBoxUntilTheNextConfigure) {
  ASSERT_EQ(configure(), noErr);
  ASSERT_EQ(key('F'), noErr);
  EXPECT_EQ(boxes(), (Flags{1, 0}));
  EXPECT_EQ(shownFlags(), (Flags{1, 1}));
}

TEST_F(SettingsTest, OnlyTheControlNumberIsTested) {
  // A copy whose window also has a control numbered 3 under another signature.
  host.reset();
  BundleCopy copy;
  copy.writeSettingsNib(
      "nib 1\n"
      "window \"PluginSettings\"\n"
      "  size 300 130\n"
      "  checkbox 'cbox' 3 \"Colour mode\" 10 10 30 290\n"
      "  checkbox 'cbox' 4 \"Flash mode\" 40 10 60 290\n"
      "  checkbox 'othr' 3 \"Also colour\" 70 10 90 290\n"
      "  checkbox 'othr' 4 \"Also flash\" 100 10 120 290\n"
      "end\n");
  load(copy.path());
  ASSERT_EQ(key('C'), noErr);
  ASSERT_EQ(shownFlags(), (Flags{0, 0}));
  const OSType other = LUMETRA_FOURCC('o', 't', 'h', 'r');
  EXPECT_EQ(click(kColour, other), noErr);
  EXPECT_EQ(shownFlags(), (Flags{1, 0}));
  EXPECT_EQ(click(kFlash, other), noErr);
  EXPECT_EQ(shownFlags(), (Flags{1, 1}));
}

TEST_F(SettingsTest, UnloadingTheBundleTakesItsWindowAlong) {
  ASSERT_EQ(configure(), noErr);
  ASSERT_EQ(LumetraCountWindows(), 1u);
  ControlRef oldBox = control(kFlash, kBox)->control;
  host.reset();
  EXPECT_EQ(LumetraCountWindows(), 0u);
  EXPECT_EQ(LumetraClickControl(oldBox), paramErr);

  load();
  EXPECT_EQ(configure(), noErr);
  EXPECT_EQ(LumetraCountWindows(), 1u);
  EXPECT_EQ(click(kFlash), noErr);
  EXPECT_EQ(shownFlags(), (Flags{1, 1}));
}

// ---- The keys

TEST_F(SettingsTest, KeyEventsToggleOrAnswerNotHandled) {
  ASSERT_EQ(configure(), noErr);
  struct Row {
    const char* name;
    UInt16 what;
    UInt32 message;
    OSStatus expected;
    bool togglesColour;
    bool togglesFlash;
  };
  const Row rows[] = {
      {"DownUpperC", keyDown, 'C', noErr, true, false},
      {"DownLowerC", keyDown, 'c', noErr, true, false},
      {"DownUpperF", keyDown, 'F', noErr, false, true},
      {"DownLowerF", keyDown, 'f', noErr, false, true},
      {"AutoUpperC", autoKey, 'C', noErr, true, false},
      {"AutoLowerC", autoKey, 'c', noErr, true, false},
      {"AutoUpperF", autoKey, 'F', noErr, false, true},
      {"AutoLowerF", autoKey, 'f', noErr, false, true},
      {"KeyCodeAboveTheCharacter", keyDown, 0x00000843, noErr, true, false},  // 'C', key code 8
      {"UpC", keyUp, 'C', unimpErr, false, false},
      {"UpF", keyUp, 'f', unimpErr, false, false},
      {"MouseDownC", 1, 'C', unimpErr, false, false},
      {"NullEventC", 0, 'C', unimpErr, false, false},
      {"OtherLetter", keyDown, 'x', unimpErr, false, false},
      {"NeighbourOfC", keyDown, 'D', unimpErr, false, false},
      {"Space", keyDown, ' ', unimpErr, false, false},
      {"CharacterZero", keyDown, 0, unimpErr, false, false},
      {"CNotInTheLowByte", keyDown, 0x00004300, unimpErr, false, false},
      {"HighBitCharacter", autoKey, 0xC3, unimpErr, false, false},
  };
  for (const Row& row : rows) {
    Flags before = shownFlags();
    EXPECT_EQ(keyEvent(row.what, row.message), row.expected) << row.name;
    Flags expected = {row.togglesColour ? !before.colour : before.colour,
                      row.togglesFlash ? !before.flash : before.flash};
    EXPECT_EQ(shownFlags(), expected) << row.name;
  }
}

TEST_F(SettingsTest, EachAutoKeyRepeatTogglesAgain) {
  ASSERT_EQ(key('C'), noErr);
  ASSERT_EQ(configure(), noErr);
  for (int repeat = 1; repeat <= 4; ++repeat) {
    ASSERT_EQ(key('C', autoKey), noErr);
    EXPECT_EQ(shownFlags().colour, repeat % 2) << "repeat " << repeat;
  }
}

TEST_F(SettingsTest, AnEventMessageWithoutAnEventRecordIsNotHandled) {
  VisualMessageBlock block{};
  EXPECT_EQ(host->send(kVisualPluginEventMessage, &block), unimpErr);
  EXPECT_EQ(shownFlags(), (Flags{1, 0}));
}

// ---- A bundle that cannot give its window

TEST_F(SettingsTest, AMissingBundleBeepsAndALaterConfigureMakesTheWindow) {
  LumetraUnregisterAllBundles();
  long beeps = LumetraBeepCount();
  EXPECT_EQ(configure(), noErr);
  EXPECT_EQ(LumetraBeepCount(), beeps + 1);
  EXPECT_EQ(LumetraLastBeep(), 2);
  EXPECT_EQ(LumetraCountWindows(), 0u);
  EXPECT_EQ(configure(), noErr);  // tries again, and beeps again
  EXPECT_EQ(LumetraBeepCount(), beeps + 2);

  ASSERT_EQ(LumetraRegisterBundle(host->bundleDir().c_str()), noErr);
  EXPECT_EQ(configure(), noErr);
  EXPECT_EQ(LumetraBeepCount(), beeps + 2);
  EXPECT_EQ(LumetraCountWindows(), 1u);
  EXPECT_EQ(boxes(), (Flags{1, 0}));
}

struct BrokenSettingsNib {
  const char* name;
  std::optional<std::string> text;  // none: the file is missing
};

void PrintTo(const BrokenSettingsNib& row, std::ostream* out) { *out << row.name; }

const std::vector<BrokenSettingsNib> kBrokenSettingsNibs = {
    {"Missing", std::nullopt},
    {"Empty", ""},
    {"NoHeader", "window \"PluginSettings\"\n size 300 130\nend\n"},
    {"Truncated", "nib 1\nwindow \"PluginSettings\"\n size 300 130\n checkbox 'cbox' 3 \"Colour"},
    {"FrameOutside", "nib 1\nwindow \"PluginSettings\"\n size 30 30\n checkbox 'cbox' 3 \"C\" 10 10 30 290\nend\n"},
    {"OtherWindowOnly", "nib 1\nwindow \"Settings\"\n size 300 130\n checkbox 'cbox' 3 \"C\" 10 10 30 290\nend\n"},
    {"Binary", std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10)},
};

class BrokenSettingsNibTest : public SettingsTest, public ::testing::WithParamInterface<BrokenSettingsNib> {
  void SetUp() override {}
};

TEST_P(BrokenSettingsNibTest, AnswersZeroMakesNothingAndTriesAgain) {
  BundleCopy copy;
  if (GetParam().text) {
    copy.writeSettingsNib(*GetParam().text);
  } else {
    copy.removeSettingsNib();
  }
  load(copy.path());
  long beeps = LumetraBeepCount();
  EXPECT_EQ(configure(), noErr);
  long blocks = LumetraLiveToolkitBlockCount();  // now with the names the plug-in asked for
  EXPECT_EQ(configure(), noErr);
  EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocks);
  EXPECT_EQ(LumetraCountWindows(), 0u);
  EXPECT_EQ(LumetraBeepCount(), beeps);  // the alert is for a missing bundle only

  // Mended on disk, the next 'cnfg' makes the window.
  std::filesystem::copy_file(std::filesystem::path(lumetra::test::defaultBundleDir()) / "Contents" / "Resources" /
                                 "SettingsDialog.nib",
                             copy.root() / "Contents" / "Resources" / "SettingsDialog.nib",
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(configure(), noErr);
  EXPECT_EQ(LumetraCountWindows(), 1u);
  EXPECT_EQ(boxes(), (Flags{1, 0}));
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenSettingsNibTest, ::testing::ValuesIn(kBrokenSettingsNibs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, AWindowWithoutOneOfItsBoxesIsStillShown) {
  host.reset();
  BundleCopy copy;
  copy.writeSettingsNib(
      "nib 1\n"
      "window \"PluginSettings\"\n"
      "  size 300 130\n"
      "  checkbox 'cbox' 3 \"Colour mode\" 10 10 30 290\n"
      "  button 'bttn' 5 \"Done\" 90 200 110 290\n"
      "end\n");
  load(copy.path());
  EXPECT_EQ(configure(), noErr);
  ASSERT_TRUE(shownWindow());
  EXPECT_EQ(boxes(), (Flags{1, -1}));
  ASSERT_EQ(key('C'), noErr);
  ASSERT_EQ(key('F'), noErr);
  EXPECT_EQ(shownFlags(), (Flags{0, -1}));
  EXPECT_EQ(click(kClose, 0), noErr);
  EXPECT_FALSE(shownWindow());
}

// Every allocation the first 'cnfg' needs may be refused: each refusal answers 0, leaves no
// window and nothing allocated, and the next 'cnfg' tries again.
TEST_F(SettingsTest, EveryRefusedAllocationLeavesNothingAndConfigureTriesAgain) {
  // A first 'cnfg' that finds no window of that name makes the plug-in's constant strings.
  host.reset();
  BundleCopy copy;
  copy.writeSettingsNib("nib 1\n");
  load(copy.path());
  ASSERT_EQ(configure(), noErr);
  std::filesystem::copy_file(std::filesystem::path(lumetra::test::defaultBundleDir()) / "Contents" / "Resources" /
                                 "SettingsDialog.nib",
                             copy.root() / "Contents" / "Resources" / "SettingsDialog.nib",
                             std::filesystem::copy_options::overwrite_existing);
  long blocks = LumetraLiveToolkitBlockCount();
  int refusals = 0;
  for (long n = 1; LumetraCountWindows() == 0; ++n) {
    ASSERT_LT(n, 100);
    LumetraFailNthAllocation(n);
    EXPECT_EQ(configure(), noErr) << "allocation " << n;
    LumetraFailNthAllocation(0);
    if (LumetraCountWindows() == 0) {
      EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocks) << "allocation " << n;
      EXPECT_FALSE(shownWindow());
      ++refusals;
    }
  }
  EXPECT_GE(refusals, 5);  // file buffer, reference, description, window, controls, handler
  EXPECT_EQ(LumetraCountWindows(), 1u);
  EXPECT_EQ(boxes(), (Flags{1, 0}));
  EXPECT_EQ(click(kFlash), noErr);  // the handler was installed
  EXPECT_EQ(shownFlags(), (Flags{1, 1}));
}

}  // namespace
