// The toolkit: constant strings, bundle registration, controls, clicks, events and the beep.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "platform.h"
#include "tempbundle.h"

namespace {

using lumetra::test::kTestInfo;
using lumetra::test::TempBundle;

constexpr OSType kBox = LUMETRA_FOURCC('c', 'b', 'o', 'x');

// ---- Constant strings

TEST(ConstantString, TheSameTextGivesTheSameObject) {
  std::string copy = "Lumetra Visualizer.bundle";  // another buffer, the same text
  CFStringRef first = CFSTR("Lumetra Visualizer.bundle");
  ASSERT_NE(first, nullptr);
  long blocks = LumetraLiveToolkitBlockCount();
  EXPECT_EQ(__CFStringMakeConstantString(copy.c_str()), first);
  EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocks);
  EXPECT_STREQ(LumetraStringText(first), "Lumetra Visualizer.bundle");
}

TEST(ConstantString, DifferentTextsGiveDifferentObjects) {
  CFStringRef a = CFSTR("SettingsDialog");
  EXPECT_NE(CFSTR("SettingsDialo"), a);
  EXPECT_NE(CFSTR("settingsdialog"), a);
  EXPECT_NE(CFSTR(""), a);
  EXPECT_EQ(CFSTR(""), CFSTR(""));
  EXPECT_EQ(__CFStringMakeConstantString(nullptr), nullptr);
  EXPECT_STREQ(LumetraStringText(nullptr), "");
}

TEST(ConstantString, ARefusedAllocationGivesNullAndALaterCallSucceeds) {
  LumetraFailNthAllocation(1);
  EXPECT_EQ(CFSTR("fresh text"), nullptr);
  CFStringRef made = CFSTR("fresh text");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(CFSTR("fresh text"), made);
}

// ---- Bundles and their Info

struct InfoCase {
  const char* name;
  std::string info;  // the whole file
  OSStatus expected;
};

const std::vector<InfoCase> kInfoCases = {
    {"Plain", std::string(kTestInfo), noErr},
    {"SpacesCommentsAndUnknownKeys",
     "# made by the build\n\n  identifier\t=   Lumetra Test.bundle  \r\nexecutable=LumetraTest\nlicense = none\n", noErr},
    {"NoVersion", "identifier = Lumetra Test.bundle\nexecutable = LumetraTest", noErr},
    {"Empty", "", bundleInfoMalformedErr},
    {"NoIdentifier", "executable = LumetraTest\nversion = 1\n", bundleInfoMalformedErr},
    {"NoExecutable", "identifier = Lumetra Test.bundle\n", bundleInfoMalformedErr},
    {"LineWithoutEquals", "identifier = Lumetra Test.bundle\nexecutable LumetraTest\n", bundleInfoMalformedErr},
    {"EmptyValue", "identifier =\nexecutable = LumetraTest\n", bundleInfoMalformedErr},
    {"EmptyKey", "= x\nidentifier = Lumetra Test.bundle\nexecutable = LumetraTest\n", bundleInfoMalformedErr},
    {"IdentifierTwice", "identifier = A\nidentifier = B\nexecutable = LumetraTest\n", bundleInfoMalformedErr},
    {"ValueTooLong", "identifier = " + std::string(256, 'i') + "\nexecutable = LumetraTest\n",
     bundleInfoMalformedErr},
    {"ExecutableIsAPath", "identifier = Lumetra Test.bundle\nexecutable = ../../elsewhere\n",
     bundleInfoMalformedErr},
    {"ControlCharacter", "identifier = Lumetra\x01Test.bundle\nexecutable = LumetraTest\n", bundleInfoMalformedErr},
    {"NulByte", std::string("identifier = Lumetra Test.bundle") + '\0' + "\nexecutable = LumetraTest\n",
     bundleInfoMalformedErr},
    {"FileTooLong", std::string(kTestInfo) + std::string(4096, '#'), bundleInfoMalformedErr},
};

void PrintTo(const InfoCase& row, std::ostream* out) { *out << row.name; }

class InfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(InfoTest, RegistersOrRefusesWithoutLeaks) {
  TempBundle bundle;
  bundle.writeInfo(GetParam().info);
  CFStringRef id = CFSTR("Lumetra Test.bundle");
  long blocksBefore = LumetraLiveToolkitBlockCount();
  EXPECT_EQ(LumetraRegisterBundle(bundle.path().c_str()), GetParam().expected);
  CFBundleRef found = CFBundleGetBundleWithIdentifier(id);
  if (GetParam().expected == noErr) {
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(LumetraBundlePath(found), bundle.path());
  } else {
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocksBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, InfoTest, ::testing::ValuesIn(kInfoCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Bundle, AMissingInfoOrFolderIsNotFound) {
  TempBundle bundle;
  EXPECT_EQ(LumetraRegisterBundle(bundle.path().c_str()), bundleInfoNotFoundErr);
  EXPECT_EQ(LumetraRegisterBundle((bundle.path() + "/absent").c_str()), bundleInfoNotFoundErr);
  std::filesystem::create_directory(bundle.root() / "Contents" / "Info");
  EXPECT_EQ(LumetraRegisterBundle(bundle.path().c_str()), bundleInfoNotFoundErr);
  EXPECT_EQ(LumetraRegisterBundle(nullptr), paramErr);
  EXPECT_EQ(LumetraRegisterBundle(""), paramErr);
  EXPECT_EQ(LumetraRegisterBundle(std::string(5000, 'p').c_str()), paramErr);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(nullptr), nullptr);
}

TEST(Bundle, ARegisteredAgainIdentifierPointsAtTheNewFolder) {
  TempBundle first;
  TempBundle second;
  first.writeInfo(kTestInfo);
  second.writeInfo(kTestInfo);
  ASSERT_EQ(LumetraRegisterBundle(first.path().c_str()), noErr);
  CFBundleRef ref = CFBundleGetBundleWithIdentifier(CFSTR("Lumetra Test.bundle"));
  ASSERT_EQ(LumetraRegisterBundle(second.path().c_str()), noErr);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("Lumetra Test.bundle")), ref);
  EXPECT_EQ(LumetraBundlePath(ref), second.path());
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("Lumetra Test")), nullptr);

  long blocks = LumetraLiveToolkitBlockCount();
  LumetraUnregisterAllBundles();
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("Lumetra Test.bundle")), nullptr);
  EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocks - 1);
}

TEST(Bundle, EveryRefusedAllocationIsMemFullWithoutLeaks) {
  TempBundle bundle;
  bundle.writeInfo(kTestInfo);
  CFStringRef id = CFSTR("Lumetra Test.bundle");
  long blocksBefore = LumetraLiveToolkitBlockCount();
  for (long n = 1; n <= 2; ++n) {
    LumetraFailNthAllocation(n);
    EXPECT_EQ(LumetraRegisterBundle(bundle.path().c_str()), memFullErr) << "allocation " << n;
    LumetraFailNthAllocation(0);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(id), nullptr);
    EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocksBefore);
  }
  EXPECT_EQ(LumetraRegisterBundle(bundle.path().c_str()), noErr);
}

// ---- A window with two check boxes and a button, shown

struct WindowFixture : ::testing::Test {
  void SetUp() override {
    bundle.writeInfo(kTestInfo);
    bundle.writeNib("Test",
                    "nib 1\n"
                    "window \"Main\"\n"
                    "  title \"Main\"\n"
                    "  size 200 100\n"
                    "  checkbox 'cbox' 3 \"Three\" 10 10 30 190\n"
                    "  checkbox 'cbox' 4 \"Four\" 40 10 60 190\n"
                    "  button 'bttn' 5 \"Done\" 70 120 90 190\n"
                    "end\n"
                    "window \"Other\"\n"
                    "  size 50 50\n"
                    "  checkbox 'cbox' 3 \"Other three\" 10 10 30 40\n"
                    "end\n");
    ASSERT_EQ(LumetraRegisterBundle(bundle.path().c_str()), noErr);
    IBNibRef nib = nullptr;
    ASSERT_EQ(CreateNibReferenceWithCFBundle(CFBundleGetBundleWithIdentifier(CFSTR("Lumetra Test.bundle")),
                                             CFSTR("Test"), &nib),
              noErr);
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("Main"), &window), noErr);
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("Other"), &other), noErr);
    DisposeNibReference(nib);
    ASSERT_EQ(GetControlByID(window, &kThree, &three), noErr);
    ASSERT_EQ(GetControlByID(window, &kFour, &four), noErr);
    ASSERT_EQ(GetControlByID(window, &kDone, &done), noErr);
    ShowWindow(window);
  }

  const ControlID kThree = {kBox, 3};
  const ControlID kFour = {kBox, 4};
  const ControlID kDone = {LUMETRA_FOURCC('b', 't', 't', 'n'), 5};
  TempBundle bundle;
  WindowRef window = nullptr;
  WindowRef other = nullptr;
  ControlRef three = nullptr;
  ControlRef four = nullptr;
  ControlRef done = nullptr;
};

// What a handler saw, for the tests to look at.
struct Seen {
  int calls = 0;
  ControlRef control = nullptr;
  OSStatus parameterStatus = -1;
  EventParamType actualType = 0;
  ByteCount actualSize = 0;
  SInt16 valueAtCall = -1;
  OSStatus answer = noErr;
};

OSStatus RecordingHandler(EventHandlerCallRef call, EventRef event, void* userData) {
  auto* seen = static_cast<Seen*>(userData);
  ++seen->calls;
  EXPECT_NE(call, nullptr);
  seen->parameterStatus = GetEventParameter(event, kEventParamDirectObject, typeControlRef, &seen->actualType,
                                            sizeof(ControlRef), &seen->actualSize, &seen->control);
  seen->valueAtCall = GetControlValue(seen->control);
  return seen->answer;
}

TEST_F(WindowFixture, WindowsStartHiddenAndShowAndHideToggleTheList) {
  EXPECT_EQ(LumetraCountWindows(), 2u);
  EXPECT_EQ(LumetraCountVisibleWindows(), 1u);
  LumetraWindowInfo info = {};
  ASSERT_EQ(LumetraGetVisibleWindow(0, &info), noErr);
  EXPECT_EQ(info.window, window);
  EXPECT_EQ(LumetraGetVisibleWindow(1, &info), paramErr);
  ShowWindow(other);
  ASSERT_EQ(LumetraGetVisibleWindow(1, &info), noErr);
  EXPECT_EQ(info.window, other);
  HideWindow(window);
  HideWindow(nullptr);
  ShowWindow(nullptr);
  ASSERT_EQ(LumetraGetVisibleWindow(0, &info), noErr);
  EXPECT_EQ(info.window, other);
  EXPECT_EQ(LumetraCountVisibleWindows(), 1u);
  EXPECT_EQ(LumetraGetVisibleWindow(0, nullptr), paramErr);
}

TEST_F(WindowFixture, ControlsAreFoundBySignatureAndNumberInTheirOwnWindow) {
  ControlID id = {};
  ASSERT_EQ(GetControlID(four, &id), noErr);
  EXPECT_EQ(id.signature, kBox);
  EXPECT_EQ(id.id, 4);
  EXPECT_EQ(GetControlOwner(four), window);
  EXPECT_EQ(GetControlOwner(nullptr), nullptr);

  ControlRef found = nullptr;
  ASSERT_EQ(GetControlByID(other, &kThree, &found), noErr);
  EXPECT_NE(found, three);
  EXPECT_EQ(GetControlOwner(found), other);

  struct Row {
    const char* name;
    WindowRef window;
    ControlID id;
    OSStatus expected;
  };
  const Row rows[] = {
      {"WrongSignature", window, {LUMETRA_FOURCC('c', 'b', 'o', 'y'), 3}, controlNotFoundErr},
      {"WrongNumber", window, {kBox, 6}, controlNotFoundErr},
      {"NotInThatWindow", other, {kBox, 4}, controlNotFoundErr},
      {"NullWindow", nullptr, {kBox, 3}, paramErr},
  };
  for (const Row& row : rows) {
    ControlRef out = three;
    EXPECT_EQ(GetControlByID(row.window, &row.id, &out), row.expected) << row.name;
    EXPECT_EQ(out, nullptr) << row.name;
  }
  EXPECT_EQ(GetControlByID(window, nullptr, &found), paramErr);
  EXPECT_EQ(GetControlByID(window, &kThree, nullptr), paramErr);
  EXPECT_EQ(GetControlID(nullptr, &id), paramErr);
  EXPECT_EQ(GetControlID(three, nullptr), paramErr);
}

TEST_F(WindowFixture, ControlsKeepTheValueTheyAreGiven) {
  EXPECT_EQ(GetControlValue(three), 0);
  SetControlValue(three, 2);
  EXPECT_EQ(GetControlValue(three), 2);
  SetControlValue(three, 255);
  EXPECT_EQ(GetControlValue(three), 255);
  SetControlValue(nullptr, 1);
  EXPECT_EQ(GetControlValue(nullptr), 0);
  LumetraControlInfo info = {};
  ASSERT_EQ(LumetraGetWindowControl(window, 0, &info), noErr);
  EXPECT_EQ(info.control, three);
  EXPECT_EQ(info.value, 255);
}

TEST_F(WindowFixture, AClickFlipsACheckBoxThenReachesTheHandlerWithTheControl) {
  Seen seen;
  const EventTypeSpec hit = {kEventClassControl, kEventControlHit};
  EventHandlerRef installed = nullptr;
  ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(window), NewEventHandlerUPP(RecordingHandler), 1, &hit, &seen,
                                &installed),
            noErr);
  EXPECT_NE(installed, nullptr);

  struct Row {
    const char* name;
    ControlRef control;
    SInt16 before;
    SInt16 after;
  };
  const Row rows[] = {
      {"OffToOn", three, 0, 1},
      {"OnToOff", three, 1, 0},
      {"TwoCountsAsOn", four, 2, 0},
      {"NegativeCountsAsOn", four, -1, 0},
      {"ButtonKeepsItsValue", done, 0, 0},
  };
  for (const Row& row : rows) {
    SetControlValue(row.control, row.before);
    seen = Seen{};
    EXPECT_EQ(LumetraClickControl(row.control), noErr) << row.name;
    EXPECT_EQ(GetControlValue(row.control), row.after) << row.name;
    EXPECT_EQ(seen.calls, 1) << row.name;
    EXPECT_EQ(seen.parameterStatus, noErr) << row.name;
    EXPECT_EQ(seen.control, row.control) << row.name;
    EXPECT_EQ(seen.actualType, static_cast<EventParamType>(typeControlRef)) << row.name;
    EXPECT_EQ(seen.actualSize, sizeof(ControlRef)) << row.name;
    EXPECT_EQ(seen.valueAtCall, row.after) << row.name;  // flipped before the event
  }
}

TEST_F(WindowFixture, ClicksThatCannotHappenChangeNothing) {
  Seen seen;
  const EventTypeSpec hit = {kEventClassControl, kEventControlHit};
  ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(other), RecordingHandler, 1, &hit, &seen, nullptr), noErr);
  ControlRef hidden = nullptr;
  ASSERT_EQ(GetControlByID(other, &kThree, &hidden), noErr);
  EXPECT_EQ(LumetraClickControl(hidden), paramErr);
  EXPECT_EQ(GetControlValue(hidden), 0);
  EXPECT_EQ(LumetraClickControl(nullptr), paramErr);
  // A reference that is no control at all is never read.
  int notAControl = 0;
  EXPECT_EQ(LumetraClickControl(reinterpret_cast<ControlRef>(&notAControl)), paramErr);
  EXPECT_EQ(seen.calls, 0);
  EXPECT_EQ(LumetraGetWindowControl(reinterpret_cast<WindowRef>(&notAControl), 0, nullptr), paramErr);
}

TEST_F(WindowFixture, OnlyHandlersForTheEventTypeAreCalledLatestFirst) {
  Seen otherType;
  Seen earlier;
  Seen later;
  const EventTypeSpec notHit[] = {{kEventClassControl, 2}, {LUMETRA_FOURCC('w', 'i', 'n', 'd'), 1}};
  const EventTypeSpec mixed[] = {{kEventClassControl, 2}, {kEventClassControl, kEventControlHit}};
  EventTargetRef target = GetWindowEventTarget(window);
  ASSERT_EQ(InstallEventHandler(target, RecordingHandler, 2, notHit, &otherType, nullptr), noErr);
  ASSERT_EQ(InstallEventHandler(target, RecordingHandler, 2, mixed, &earlier, nullptr), noErr);
  ASSERT_EQ(InstallEventHandler(target, RecordingHandler, 1, &mixed[1], &later, nullptr), noErr);

  earlier.answer = 7;
  later.answer = eventNotHandledErr;  // passes the event on
  EXPECT_EQ(LumetraClickControl(three), 7);
  EXPECT_EQ(later.calls, 1);
  EXPECT_EQ(earlier.calls, 1);
  EXPECT_EQ(otherType.calls, 0);

  later.answer = noErr;  // takes it
  EXPECT_EQ(LumetraClickControl(three), noErr);
  EXPECT_EQ(later.calls, 2);
  EXPECT_EQ(earlier.calls, 1);
}

TEST_F(WindowFixture, AClickWithoutHandlersIsNotHandledButStillFlipsTheBox) {
  EXPECT_EQ(LumetraClickControl(three), eventNotHandledErr);
  EXPECT_EQ(GetControlValue(three), 1);
}

TEST_F(WindowFixture, InstallingRefusesUnusableArguments) {
  const EventTypeSpec hit = {kEventClassControl, kEventControlHit};
  std::vector<EventTypeSpec> many(65, hit);
  EventTargetRef target = GetWindowEventTarget(window);
  EventHandlerRef out = reinterpret_cast<EventHandlerRef>(this);
  EXPECT_EQ(InstallEventHandler(nullptr, RecordingHandler, 1, &hit, nullptr, &out), paramErr);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(InstallEventHandler(target, nullptr, 1, &hit, nullptr, nullptr), paramErr);
  EXPECT_EQ(InstallEventHandler(target, RecordingHandler, 0, &hit, nullptr, nullptr), paramErr);
  EXPECT_EQ(InstallEventHandler(target, RecordingHandler, 1, nullptr, nullptr, nullptr), paramErr);
  EXPECT_EQ(InstallEventHandler(target, RecordingHandler, 65, many.data(), nullptr, nullptr), paramErr);
  EXPECT_EQ(GetWindowEventTarget(nullptr), nullptr);

  long blocks = LumetraLiveToolkitBlockCount();
  LumetraFailNthAllocation(1);
  EXPECT_EQ(InstallEventHandler(target, RecordingHandler, 64, many.data(), nullptr, nullptr), memFullErr);
  EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocks);
  EXPECT_EQ(LumetraClickControl(three), eventNotHandledErr);
}

// GetEventParameter, asked wrongly from inside a handler: each row's status, nothing written.
struct ParameterCase {
  const char* name;
  EventParamName parameter;
  EventParamType type;
  ByteCount size;
  OSStatus expected;
};

struct ParameterProbe {
  std::vector<ParameterCase> cases;
  std::vector<OSStatus> statuses;
  bool bufferUntouched = true;
  OSStatus nullBuffer = 0;
};

OSStatus ProbingHandler(EventHandlerCallRef, EventRef event, void* userData) {
  auto* probe = static_cast<ParameterProbe*>(userData);
  for (const ParameterCase& row : probe->cases) {
    unsigned char buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    EventParamType actualType = 0xABCD;
    ByteCount actualSize = 99;
    probe->statuses.push_back(
        GetEventParameter(event, row.parameter, row.type, &actualType, row.size, &actualSize, buffer));
    for (unsigned char b : buffer) probe->bufferUntouched = probe->bufferUntouched && b == 0xEE;
    probe->bufferUntouched = probe->bufferUntouched && actualType == 0xABCD && actualSize == 99;
  }
  probe->nullBuffer = GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr,
                                        sizeof(ControlRef), nullptr, nullptr);
  return noErr;
}

TEST_F(WindowFixture, GetEventParameterRefusesWrongQuestions) {
  ParameterProbe probe;
  probe.cases = {
      {"OtherName", LUMETRA_FOURCC('m', 'o', 'd', 's'), typeControlRef, sizeof(ControlRef),
       eventParameterNotFoundErr},
      {"OtherType", kEventParamDirectObject, LUMETRA_FOURCC('w', 'i', 'n', 'd'), sizeof(ControlRef),
       eventParameterNotFoundErr},
      {"SizeTooSmall", kEventParamDirectObject, typeControlRef, sizeof(ControlRef) - 1, eventParameterSizeErr},
      {"SizeTooLarge", kEventParamDirectObject, typeControlRef, sizeof(ControlRef) + 1, eventParameterSizeErr},
      {"SizeZero", kEventParamDirectObject, typeControlRef, 0, eventParameterSizeErr},
  };
  const EventTypeSpec hit = {kEventClassControl, kEventControlHit};
  ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(window), ProbingHandler, 1, &hit, &probe, nullptr), noErr);
  ASSERT_EQ(LumetraClickControl(done), noErr);
  ASSERT_EQ(probe.statuses.size(), probe.cases.size());
  for (size_t k = 0; k < probe.cases.size(); ++k) {
    EXPECT_EQ(probe.statuses[k], probe.cases[k].expected) << probe.cases[k].name;
  }
  EXPECT_TRUE(probe.bufferUntouched);
  EXPECT_EQ(probe.nullBuffer, paramErr);

  ControlRef out = nullptr;
  EXPECT_EQ(GetEventParameter(nullptr, kEventParamDirectObject, typeControlRef, nullptr, sizeof out, nullptr, &out),
            paramErr);
}

OSStatus DisposingHandler(EventHandlerCallRef, EventRef event, void*) {
  ControlRef control = nullptr;
  GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof control, nullptr, &control);
  DisposeWindow(GetControlOwner(control));
  return eventNotHandledErr;  // the delivery goes on to the next handler of the disposed window
}

TEST_F(WindowFixture, AHandlerMayDisposeItsOwnWindow) {
  Seen seen;
  const EventTypeSpec hit = {kEventClassControl, kEventControlHit};
  EventTargetRef target = GetWindowEventTarget(window);
  ASSERT_EQ(InstallEventHandler(target, RecordingHandler, 1, &hit, &seen, nullptr), noErr);
  ASSERT_EQ(InstallEventHandler(target, DisposingHandler, 1, &hit, nullptr, nullptr), noErr);
  long blocks = LumetraLiveToolkitBlockCount();
  EXPECT_EQ(LumetraClickControl(three), noErr);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(LumetraCountWindows(), 1u);
  EXPECT_EQ(LumetraCountVisibleWindows(), 0u);
  EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocks - 4);  // window, controls, two handlers
  EXPECT_EQ(LumetraClickControl(three), paramErr);
  DisposeWindow(window);  // no longer a window: ignored
  DisposeWindow(nullptr);
}

// ---- The alert sound

TEST(Beep, CountsRequestsAndKeepsTheLastArgument) {
  EXPECT_EQ(LumetraBeepCount(), 0);
  EXPECT_EQ(LumetraLastBeep(), 0);
  SysBeep(2);
  SysBeep(30);
  EXPECT_EQ(LumetraBeepCount(), 2);
  EXPECT_EQ(LumetraLastBeep(), 30);
}

}  // namespace
