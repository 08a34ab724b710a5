// The interface file format: what parses, what is refused, and that refusing leaks nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform.h"
#include "tempbundle.h"

namespace {

using lumetra::test::kTestInfo;
using lumetra::test::TempBundle;

const std::string kGoodNib =
    "nib 1\n"
    "window \"Main\"\n"
    "  title \"A window\"\n"
    "  size 200 100\n"
    "  checkbox 'cbox' 3 \"First\" 10 10 30 190\n"
    "  button 'bttn' 5 \"Done\" 70 120 90 190\n"
    "end\n";

struct NibFixture : ::testing::Test {
  void SetUp() override {
    bundle.writeInfo(kTestInfo);
    ASSERT_EQ(LumetraRegisterBundle(bundle.path().c_str()), noErr);
    ref = CFBundleGetBundleWithIdentifier(CFSTR("Lumetra Test.bundle"));
    ASSERT_NE(ref, nullptr);
    // Made now, so that block counts and failing allocations later leave the names out.
    CFSTR("Test");
    CFSTR("Main");
  }
  // Opens Resources/<name>.nib holding text; the status, with the reference in nib.
  OSStatus open(const std::string& text, const char* name = "Test") {
    bundle.writeNib(name, text);
    return CreateNibReferenceWithCFBundle(ref, __CFStringMakeConstantString(name), &nib);
  }
  void TearDown() override { DisposeNibReference(nib); }

  TempBundle bundle;
  CFBundleRef ref = nullptr;
  IBNibRef nib = nullptr;
};

// Each row breaks one rule of the format.
struct BrokenNib {
  const char* name;
  std::string text;
};

const std::vector<BrokenNib> kBrokenNibs = {
    {"Empty", ""},
    {"OnlyComments", "# nothing here\n\n"},
    {"NoHeader", "window \"Main\"\n size 10 10\nend\n"},
    {"WrongVersion", "nib 2\n"},
    {"HeaderWithExtra", "nib 1 2\n"},
    {"HeaderTwice", "nib 1\nnib 1\n"},
    {"UnclosedWindow", "nib 1\nwindow \"Main\"\n size 10 10\n"},
    {"EndOutsideWindow", "nib 1\nend\n"},
    {"TitleOutsideWindow", "nib 1\ntitle \"x\"\n"},
    {"NestedWindow", "nib 1\nwindow \"A\"\n size 10 10\nwindow \"B\"\n"},
    {"NoSize", "nib 1\nwindow \"Main\"\nend\n"},
    {"SizeTwice", "nib 1\nwindow \"Main\"\n size 10 10\n size 10 10\nend\n"},
    {"SizeZero", "nib 1\nwindow \"Main\"\n size 0 10\nend\n"},
    {"SizeTooLarge", "nib 1\nwindow \"Main\"\n size 4097 10\nend\n"},
    {"SizeNegative", "nib 1\nwindow \"Main\"\n size -5 10\nend\n"},
    {"SizeHuge", "nib 1\nwindow \"Main\"\n size 99999999999999999999 10\nend\n"},
    {"SizeNotANumber", "nib 1\nwindow \"Main\"\n size 1x 10\nend\n"},
    {"SizeMissingHeight", "nib 1\nwindow \"Main\"\n size 10\nend\n"},
    {"TitleTwice", "nib 1\nwindow \"Main\"\n title \"a\"\n title \"b\"\n size 10 10\nend\n"},
    {"TitleNotQuoted", "nib 1\nwindow \"Main\"\n title word\n size 10 10\nend\n"},
    {"TitleTooLong", "nib 1\nwindow \"Main\"\n title \"" + std::string(128, 't') + "\"\n size 10 10\nend\n"},
    {"UnterminatedString", "nib 1\nwindow \"Main\n size 10 10\nend\n"},
    {"StringTouchingWord", "nib 1\nwindow \"Main\"x\n size 10 10\nend\n"},
    {"EmptyWindowName", "nib 1\nwindow \"\"\n size 10 10\nend\n"},
    {"WindowNameTooLong", "nib 1\nwindow \"" + std::string(64, 'n') + "\"\n size 10 10\nend\n"},
    {"DuplicateWindowName", "nib 1\nwindow \"A\"\n size 10 10\nend\nwindow \"A\"\n size 10 10\nend\n"},
    {"ControlCharacterInTitle", "nib 1\nwindow \"Main\"\n title \"a\x01" "b\"\n size 10 10\nend\n"},
    {"NulByte", "nib 1\nwindow \"Main\"\n size 10 10\n" + std::string(1, '\0') + "end\n"},
    {"UnknownStatement", "nib 1\nwindow \"Main\"\n size 10 10\n slider 'cbox' 1 \"s\" 0 0 5 5\nend\n"},
    {"ControlMissingFrame", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' 1 \"c\" 0 0 5\nend\n"},
    {"ControlExtraToken", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' 1 \"c\" 0 0 5 5 6\nend\n"},
    {"SignatureTooShort", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbx' 1 \"c\" 0 0 5 5\nend\n"},
    {"SignatureTooLong", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cboxx' 1 \"c\" 0 0 5 5\nend\n"},
    {"SignatureNotAscii", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cb\xC3\xA9' 1 \"c\" 0 0 5 5\nend\n"},
    {"SignatureInDoubleQuotes", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox \"cbox\" 1 \"c\" 0 0 5 5\nend\n"},
    {"NumberBeyond32Bits", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' 2147483648 \"c\" 0 0 5 5\nend\n"},
    {"NumberOnlyMinus", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' - \"c\" 0 0 5 5\nend\n"},
    {"FrameEmpty", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' 1 \"c\" 5 0 5 5\nend\n"},
    {"FrameInverted", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' 1 \"c\" 0 5 5 0\nend\n"},
    {"FrameNegative", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' 1 \"c\" -1 0 5 5\nend\n"},
    {"FrameOutsideWindow", "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' 1 \"c\" 0 0 11 5\nend\n"},
    {"FrameOutsideLaterSize", "nib 1\nwindow \"Main\"\n checkbox 'cbox' 1 \"c\" 0 0 5 50\n size 10 10\nend\n"},
    {"DuplicateControlID",
     "nib 1\nwindow \"Main\"\n size 10 10\n checkbox 'cbox' 1 \"a\" 0 0 5 5\n button 'cbox' 1 \"b\" 5 5 9 9\nend\n"},
    {"TooManyTokens", "nib 1\nwindow \"Main\"\n size 10 10 1 2 3 4 5 6 7 8 9 10 11\nend\n"},
    {"LineTooLong", "nib 1\nwindow \"Main\"\n size 10 10" + std::string(520, ' ') + "\nend\n"},
    {"BrokenAfterGoodWindow", kGoodNib + "window \"Second\"\n size 10 10\n bogus\nend\n"},
};

void PrintTo(const BrokenNib& row, std::ostream* out) { *out << row.name; }

class BrokenNibTest : public NibFixture, public ::testing::WithParamInterface<BrokenNib> {};

TEST_P(BrokenNibTest, IsRefusedAndLeavesNothingBehind) {
  long blocksBefore = LumetraLiveToolkitBlockCount();
  nib = reinterpret_cast<IBNibRef>(this);  // must be overwritten with null
  EXPECT_EQ(open(GetParam().text), nibMalformedErr);
  EXPECT_EQ(nib, nullptr);
  EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocksBefore);
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenNibTest, ::testing::ValuesIn(kBrokenNibs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(NibFixture, TooManyControlsOrWindowsAreRefused) {
  std::string controls = "nib 1\nwindow \"Main\"\n size 400 400\n";
  for (int k = 0; k < 33; ++k) controls += " button 'bttn' " + std::to_string(k) + " \"b\" 0 0 1 1\n";
  EXPECT_EQ(open(controls + "end\n"), nibMalformedErr);

  std::string windows = "nib 1\n";
  for (int k = 0; k < 17; ++k) windows += "window \"W" + std::to_string(k) + "\"\n size 10 10\nend\n";
  EXPECT_EQ(open(windows), nibMalformedErr);
}

TEST_F(NibFixture, AFileLongerThanTheLimitIsRefused) {
  std::string text = "nib 1\n";
  while (text.size() <= 65536) text += "# padding padding padding padding padding padding\n";
  EXPECT_EQ(open(text), nibMalformedErr);
}

TEST_F(NibFixture, TheLimitsThemselvesAreAccepted) {
  std::string text = "nib 1\r\n# comment\n\twindow\t\"" + std::string(63, 'n') + "\" # trailing comment\r\n";
  text += " title \"" + std::string(127, 't') + "\"\n size 4096 4096\n";
  text += " checkbox 'a #b' -2147483648 \"\" 0 0 4096 4096\n";
  for (int k = 1; k < 32; ++k) text += " button 'bttn' " + std::to_string(k) + " \"b\" 0 0 1 1\n";
  text += "end";  // no final newline
  ASSERT_EQ(open(text), noErr);
  WindowRef window = nullptr;
  ASSERT_EQ(CreateWindowFromNib(nib, __CFStringMakeConstantString(std::string(63, 'n').c_str()), &window), noErr);
  ShowWindow(window);
  LumetraWindowInfo info = {};
  ASSERT_EQ(LumetraGetVisibleWindow(0, &info), noErr);
  EXPECT_EQ(std::string(info.title), std::string(127, 't'));
  EXPECT_EQ(info.width, 4096);
  EXPECT_EQ(info.controlCount, 32u);
  LumetraControlInfo first = {};
  ASSERT_EQ(LumetraGetWindowControl(window, 0, &first), noErr);
  EXPECT_EQ(first.id.signature, LUMETRA_FOURCC('a', ' ', '#', 'b'));
  EXPECT_EQ(first.id.id, INT32_MIN);
  EXPECT_EQ(first.frame.bottom, 4096);
}

TEST_F(NibFixture, AGoodFileGivesItsWindowsAsWritten) {
  ASSERT_EQ(open(kGoodNib), noErr);
  ASSERT_NE(nib, nullptr);
  WindowRef window = nullptr;
  ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("Main"), &window), noErr);
  ShowWindow(window);
  LumetraWindowInfo info = {};
  ASSERT_EQ(LumetraGetVisibleWindow(0, &info), noErr);
  EXPECT_EQ(std::string(info.title), "A window");
  EXPECT_EQ(info.width, 200);
  EXPECT_EQ(info.height, 100);
  ASSERT_EQ(info.controlCount, 2u);

  LumetraControlInfo box = {};
  ASSERT_EQ(LumetraGetWindowControl(window, 0, &box), noErr);
  EXPECT_EQ(box.kind, static_cast<UInt32>(kLumetraCheckBoxControl));
  EXPECT_EQ(box.id.signature, LUMETRA_FOURCC('c', 'b', 'o', 'x'));
  EXPECT_EQ(box.id.id, 3);
  EXPECT_EQ(std::string(box.title), "First");
  EXPECT_EQ(box.frame.top, 10);
  EXPECT_EQ(box.frame.left, 10);
  EXPECT_EQ(box.frame.bottom, 30);
  EXPECT_EQ(box.frame.right, 190);
  EXPECT_EQ(box.value, 0);

  LumetraControlInfo button = {};
  ASSERT_EQ(LumetraGetWindowControl(window, 1, &button), noErr);
  EXPECT_EQ(button.kind, static_cast<UInt32>(kLumetraButtonControl));
  EXPECT_EQ(button.id.signature, LUMETRA_FOURCC('b', 't', 't', 'n'));
  EXPECT_EQ(std::string(button.title), "Done");
  EXPECT_EQ(LumetraGetWindowControl(window, 2, &button), paramErr);
}

TEST_F(NibFixture, ReadingErrorsAreTheirOwnStatuses) {
  EXPECT_EQ(CreateNibReferenceWithCFBundle(ref, CFSTR("Absent"), &nib), nibFileNotFoundErr);
  EXPECT_EQ(nib, nullptr);

  std::filesystem::create_directory(bundle.root() / "Contents" / "Resources" / "Folder.nib");
  EXPECT_EQ(CreateNibReferenceWithCFBundle(ref, CFSTR("Folder"), &nib), nibFileNotFoundErr);

  // Names that would leave the Resources folder are not file names at all.
  TempBundle::write(bundle.root() / "Contents" / "Outside.nib", kGoodNib);
  EXPECT_EQ(CreateNibReferenceWithCFBundle(ref, CFSTR("../Outside"), &nib), paramErr);
  EXPECT_EQ(CreateNibReferenceWithCFBundle(ref, CFSTR(".."), &nib), paramErr);
  EXPECT_EQ(CreateNibReferenceWithCFBundle(ref, CFSTR(""), &nib), paramErr);
  EXPECT_EQ(CreateNibReferenceWithCFBundle(nullptr, CFSTR("Test"), &nib), paramErr);
  EXPECT_EQ(CreateNibReferenceWithCFBundle(ref, nullptr, &nib), paramErr);
  EXPECT_EQ(CreateNibReferenceWithCFBundle(ref, CFSTR("Test"), nullptr), paramErr);
  EXPECT_EQ(nib, nullptr);
}

TEST_F(NibFixture, AWindowNameNotInTheFileIsObjectNotFound) {
  ASSERT_EQ(open(kGoodNib), noErr);
  WindowRef window = reinterpret_cast<WindowRef>(this);
  EXPECT_EQ(CreateWindowFromNib(nib, CFSTR("main"), &window), nibObjectNotFoundErr);
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(CreateWindowFromNib(nib, nullptr, &window), paramErr);
  EXPECT_EQ(CreateWindowFromNib(nullptr, CFSTR("Main"), &window), paramErr);
  EXPECT_EQ(CreateWindowFromNib(nib, CFSTR("Main"), nullptr), paramErr);
  EXPECT_EQ(LumetraCountWindows(), 0u);
}

TEST_F(NibFixture, DisposingTheReferenceFreesItAndKeepsItsWindows) {
  long blocksBefore = LumetraLiveToolkitBlockCount();
  ASSERT_EQ(open(kGoodNib), noErr);
  DisposeNibReference(nib);
  nib = nullptr;
  EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocksBefore);

  ASSERT_EQ(open(kGoodNib), noErr);
  WindowRef window = nullptr;
  ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("Main"), &window), noErr);
  DisposeNibReference(nib);
  nib = nullptr;
  const ControlID boxID = {LUMETRA_FOURCC('c', 'b', 'o', 'x'), 3};
  ControlRef box = nullptr;
  ASSERT_EQ(GetControlByID(window, &boxID, &box), noErr);
  ShowWindow(window);
  EXPECT_EQ(LumetraClickControl(box), eventNotHandledErr);
  EXPECT_EQ(GetControlValue(box), 1);
  DisposeWindow(window);
  EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocksBefore);
}

// Every allocation on the way can fail; each failure answers memFullErr and leaks nothing.
TEST_F(NibFixture, EveryRefusedAllocationIsMemFullWithoutLeaks) {
  bundle.writeNib("Test", kGoodNib);
  long blocksBefore = LumetraLiveToolkitBlockCount();
  int failures = 0;
  for (long n = 1;; ++n) {
    LumetraFailNthAllocation(n);
    OSStatus status = CreateNibReferenceWithCFBundle(ref, CFSTR("Test"), &nib);
    LumetraFailNthAllocation(0);
    if (status == noErr) break;
    ASSERT_EQ(status, memFullErr) << "allocation " << n;
    EXPECT_EQ(nib, nullptr);
    EXPECT_EQ(LumetraLiveToolkitBlockCount(), blocksBefore) << "allocation " << n;
    ++failures;
    ASSERT_LT(n, 100);
  }
  EXPECT_GE(failures, 3);  // the file buffer, the reference, its window

  for (long n = 1;; ++n) {
    WindowRef window = nullptr;
    LumetraFailNthAllocation(n);
    OSStatus status = CreateWindowFromNib(nib, CFSTR("Main"), &window);
    LumetraFailNthAllocation(0);
    if (status == noErr) break;
    ASSERT_EQ(status, memFullErr) << "allocation " << n;
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(LumetraCountWindows(), 0u);
    ASSERT_LT(n, 100);
  }
  EXPECT_EQ(LumetraCountWindows(), 1u);
}

}  // namespace
