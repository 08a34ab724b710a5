// The handler through the loaded bundle: instance life, track and stream copies, the notices
// that only set or keep state, and the answers to bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "render.h"
#include "testhost.h"

namespace lumetra::test {
namespace {

constexpr bool kIlp32 = sizeof(void*) == 4;

std::vector<uint8_t> bytesOf(const VisualPluginState* state) {
  const auto* p = reinterpret_cast<const uint8_t*>(state);
  return {p, p + sizeof *state};
}

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

// ---- 'init' and 'clr ' ----------------------------------------------------------------------

TEST_F(HandlerTest, InitKeepsTheHostAndItsFileSpecAndLeavesTheRestZero) {
  EXPECT_EQ(state()->hostCookie, host_.cookie());
  EXPECT_EQ(state()->hostProc, host_.hostProc());
  EXPECT_STREQ(state()->pluginFile.path, host_.bundleDir().c_str());
  EXPECT_EQ(LumetraLivePtrCount(), startPtrs_ + 1);
  const std::vector<uint8_t> bytes = bytesOf(state());
  for (size_t i = offsetof(VisualPluginState, destPort); i < bytes.size(); ++i) {
    ASSERT_EQ(bytes[i], 0) << "byte " << i << " of the new record";
  }
}

// The file specification is asked for with the host's own cookie and callback, and lands in the
// record.
TEST(HandlerInit, AsksTheHostForTheFileSpecOfTheRecord) {
  TestHost host;
  ASSERT_EQ(host.initInstance(), noErr);
  const auto calls = host.callsFor(kPlayerGetPluginFileSpecMessage);
  ASSERT_EQ(calls.size(), 1u);
  auto* state = static_cast<VisualPluginState*>(host.refCon());
  EXPECT_EQ(calls[0].block().u.getPluginFileSpecMessage.fileSpec, &state->pluginFile);
}

// The block's offset 24 (through the struct) gets the record; nothing else in it is written.
TEST(HandlerInit, WritesOnlyTheRecordAddress) {
  TestHost host;
  ASSERT_EQ(host.registerPlugin(), noErr);
  VisualMessageBlock block;
  std::memset(&block, 0x3C, sizeof block);
  block.u.initMessage.appCookie = host.cookie();
  block.u.initMessage.appProc = host.hostProc();
  VisualMessageBlock expected = block;

  ASSERT_EQ(host.sendWithRefCon(kPluginInitMessage, &block, nullptr), noErr);

  void* record = block.u.initMessage.refCon;
  ASSERT_NE(record, nullptr);
  if (kIlp32) {
    void* at24 = nullptr;
    std::memcpy(&at24, reinterpret_cast<uint8_t*>(&block) + 24, 4);
    EXPECT_EQ(at24, record);
  }
  expected.u.initMessage.refCon = record;
  EXPECT_EQ(std::memcmp(&block, &expected, sizeof block), 0);
  EXPECT_EQ(host.sendWithRefCon(kPluginCleanupMessage, nullptr, record), noErr);
}

TEST(HandlerInit, NoMemoryAnswersMemFullAndWritesNothing) {
  TestHost host;
  ASSERT_EQ(host.registerPlugin(), noErr);
  host.clearCalls();
  const long before = LumetraLivePtrCount();
  VisualMessageBlock block{};
  block.u.initMessage.appCookie = host.cookie();
  block.u.initMessage.appProc = host.hostProc();
  void* const untouched = reinterpret_cast<void*>(uintptr_t{0x5A5A5A5A});
  block.u.initMessage.refCon = untouched;

  LumetraFailNthAllocation(1);
  EXPECT_EQ(host.sendWithRefCon(kPluginInitMessage, &block, nullptr), memFullErr);
  LumetraFailNthAllocation(0);

  EXPECT_EQ(block.u.initMessage.refCon, untouched);
  EXPECT_EQ(LumetraLivePtrCount(), before);
  EXPECT_TRUE(host.calls().empty()) << "no 'pspc' without a record";
}

// A failing 'pspc' is the answer to 'init'; the record exists all the same and reaches the host.
TEST(HandlerInit, FileSpecFailureIsTheAnswerAndTheRecordStillArrives) {
  TestHost host;
  const long before = LumetraLivePtrCount();
  host.setStatus(kPlayerGetPluginFileSpecMessage, -43);
  EXPECT_EQ(host.initInstance(), -43);
  ASSERT_NE(host.refCon(), nullptr);
  EXPECT_EQ(LumetraLivePtrCount(), before + 1);
  auto* state = static_cast<VisualPluginState*>(host.refCon());
  EXPECT_EQ(state->hostCookie, host.cookie());
  EXPECT_STREQ(state->pluginFile.path, "");
  EXPECT_EQ(host.cleanupInstance(), noErr);
  EXPECT_EQ(LumetraLivePtrCount(), before);
}

TEST(HandlerInit, NullBlockAnswersParamErrAndAllocatesNothing) {
  TestHost host;
  ASSERT_EQ(host.registerPlugin(), noErr);
  host.clearCalls();
  const long before = LumetraLivePtrCount();
  EXPECT_EQ(host.sendWithRefCon(kPluginInitMessage, nullptr, nullptr), paramErr);
  EXPECT_EQ(LumetraLivePtrCount(), before);
  EXPECT_TRUE(host.calls().empty());
}

TEST(HandlerCleanup, InitThenCleanupLeavesNoBlock) {
  TestHost host;
  const long before = LumetraLivePtrCount();
  ASSERT_EQ(host.initInstance(), noErr);
  EXPECT_EQ(LumetraLivePtrCount(), before + 1);
  EXPECT_EQ(host.cleanupInstance(), noErr);
  EXPECT_EQ(LumetraLivePtrCount(), before);
}

TEST_F(HandlerTest, CleanupWithNullRefConAnswers0AndFreesNothing) {
  const long before = LumetraLivePtrCount();
  VisualMessageBlock block{};
  EXPECT_EQ(host_.sendWithRefCon(kPluginCleanupMessage, &block, nullptr), noErr);
  EXPECT_EQ(host_.sendWithRefCon(kPluginCleanupMessage, nullptr, nullptr), noErr);
  EXPECT_EQ(LumetraLivePtrCount(), before);
}

// ---- 'vply' and 'ctrk' ----------------------------------------------------------------------

struct TrackCase {
  const char* name;
  OSType message;
  bool withTrack;
  bool withStream;
  Boolean playingBefore;
  Boolean playingAfter;
};

const TrackCase kTrackCases[] = {
    {"Play_Both", kVisualPluginPlayMessage, true, true, 0, 1},
    {"Play_TrackOnly", kVisualPluginPlayMessage, true, false, 0, 1},
    {"Play_StreamOnly", kVisualPluginPlayMessage, false, true, 0, 1},
    {"Play_Neither", kVisualPluginPlayMessage, false, false, 0, 1},
    {"ChangeTrack_Both_Stopped", kVisualPluginChangeTrackMessage, true, true, 0, 0},
    {"ChangeTrack_Both_Playing", kVisualPluginChangeTrackMessage, true, true, 1, 1},
    {"ChangeTrack_TrackOnly", kVisualPluginChangeTrackMessage, true, false, 1, 1},
    {"ChangeTrack_Neither_Stopped", kVisualPluginChangeTrackMessage, false, false, 0, 0},
    {"ChangeTrack_Neither_Playing", kVisualPluginChangeTrackMessage, false, false, 1, 1},
};

class TrackTest : public HandlerTest, public ::testing::WithParamInterface<TrackCase> {};

// The copies start out stale, so that a copy that should be cleared but is left shows.
TEST_P(TrackTest, CopiesOrClearsTheInformation) {
  const TrackCase& c = GetParam();
  VisualPluginState* s = state();
  std::memset(&s->trackInfo, 0x77, sizeof s->trackInfo);
  std::memset(&s->streamInfo, 0x77, sizeof s->streamInfo);
  s->playing = c.playingBefore;
  TrackInfoBlock track;
  for (size_t i = 0; i < sizeof track.bytes; ++i) track.bytes[i] = static_cast<UInt8>(i * 7 + 1);
  StreamInfoBlock stream;
  for (size_t i = 0; i < sizeof stream.bytes; ++i) stream.bytes[i] = static_cast<UInt8>(i * 13 + 5);
  std::vector<uint8_t> expected = bytesOf(s);
  auto* expectedState = reinterpret_cast<VisualPluginState*>(expected.data());
  std::memcpy(&expectedState->trackInfo, c.withTrack ? track.bytes : TrackInfoBlock{}.bytes, sizeof track);
  std::memcpy(&expectedState->streamInfo, c.withStream ? stream.bytes : StreamInfoBlock{}.bytes, sizeof stream);
  expectedState->playing = c.playingAfter;

  VisualMessageBlock block{};
  block.u.playMessage.trackInfo = c.withTrack ? &track : nullptr;
  block.u.playMessage.streamInfo = c.withStream ? &stream : nullptr;
  EXPECT_EQ(host_.send(c.message, &block), noErr);

  const std::vector<uint8_t> after = bytesOf(s);
  for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after[i], expected[i]) << "record byte " << i;
  EXPECT_TRUE(host_.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Messages, TrackTest, ::testing::ValuesIn(kTrackCases),
                         [](const auto& info) { return std::string(info.param.name); });

// On ILP32 the two addresses are read at offsets 0 and 4 of the block.
TEST_F(HandlerTest, PlayReadsTheAddressesAtTheirOffsets) {
  if (!kIlp32) GTEST_SKIP() << "the literal offsets hold with 32-bit addresses";
  TrackInfoBlock track{};
  track.bytes[0] = 0x42;
  StreamInfoBlock stream{};
  stream.bytes[771] = 0x24;
  std::vector<uint8_t> raw(64, 0);
  const TrackInfoBlock* trackAddress = &track;
  const StreamInfoBlock* streamAddress = &stream;
  std::memcpy(raw.data() + 0, &trackAddress, 4);
  std::memcpy(raw.data() + 4, &streamAddress, 4);
  EXPECT_EQ(host_.send(kVisualPluginPlayMessage, reinterpret_cast<VisualMessageBlock*>(raw.data())), noErr);
  EXPECT_EQ(state()->trackInfo.bytes[0], 0x42);
  EXPECT_EQ(state()->streamInfo.bytes[771], 0x24);
}

// ---- Notices that set or keep state --------------------------------------------------------

struct NoticeCase {
  const char* name;
  OSType message;
  bool setsPlaying;
};

const NoticeCase kNotices[] = {
    {"Unpause", kVisualPluginUnpauseMessage, true},
    {"Enable", kVisualPluginEnableMessage, false},
    {"Disable", kVisualPluginDisableMessage, false},
    {"SetPosition", kVisualPluginSetPositionMessage, false},
};

class NoticeTest : public HandlerTest, public ::testing::WithParamInterface<NoticeCase> {};

// Nothing but `playing` may change, and nothing is asked of the host (nothing drawn).
TEST_P(NoticeTest, AnswersZeroAndChangesOnlyWhatItShould) {
  const NoticeCase& c = GetParam();
  std::memset(&state()->trackInfo, 0x19, sizeof state()->trackInfo);
  std::vector<uint8_t> expected = bytesOf(state());
  if (c.setsPlaying) reinterpret_cast<VisualPluginState*>(expected.data())->playing = 1;
  VisualMessageBlock block{};
  std::memset(&block, 0x6B, sizeof block);
  const VisualMessageBlock blockBefore = block;

  EXPECT_EQ(host_.send(c.message, &block), noErr);

  EXPECT_EQ(bytesOf(state()), expected);
  EXPECT_EQ(std::memcmp(&block, &blockBefore, sizeof block), 0);
  EXPECT_TRUE(host_.calls().empty());
  // The notices read no block, so they need none.
  EXPECT_EQ(host_.send(c.message, nullptr), noErr);
}

INSTANTIATE_TEST_SUITE_P(Messages, NoticeTest, ::testing::ValuesIn(kNotices),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Bad input ------------------------------------------------------------------------------

struct CodeCase {
  const char* name;
  OSType message;
};

const CodeCase kUnknownCodes[] = {
    {"xyzw", LUMETRA_FOURCC('x', 'y', 'z', 'w')},
    {"UpperCaseInit", LUMETRA_FOURCC('I', 'N', 'I', 'T')},
    {"UpperCasePlay", LUMETRA_FOURCC('V', 'P', 'L', 'Y')},
    {"EnableWithoutTheSpace", LUMETRA_FOURCC('v', 'o', 'n', 0)},
    {"CleanupOneByteOff", LUMETRA_FOURCC('c', 'l', 'r', '!')},
    {"HostCallSelector", kPlayerRegisterVisualPluginMessage},
    {"Zero", 0},
    {"AllBits", 0xFFFFFFFFu},
};

class UnknownCodeTest : public HandlerTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(UnknownCodeTest, AnswersMinus4AndChangesNothing) {
  const CodeCase& c = GetParam();
  const std::vector<uint8_t> before = bytesOf(state());
  const long ptrs = LumetraLivePtrCount();
  VisualMessageBlock block{};
  std::memset(&block, 0x6B, sizeof block);
  const VisualMessageBlock blockBefore = block;

  EXPECT_EQ(host_.send(c.message, &block), unimpErr);
  EXPECT_EQ(host_.send(c.message, nullptr), unimpErr);
  EXPECT_EQ(host_.sendWithRefCon(c.message, nullptr, nullptr), unimpErr);

  EXPECT_EQ(bytesOf(state()), before);
  EXPECT_EQ(std::memcmp(&block, &blockBefore, sizeof block), 0);
  EXPECT_EQ(LumetraLivePtrCount(), ptrs);
  EXPECT_TRUE(host_.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, UnknownCodeTest, ::testing::ValuesIn(kUnknownCodes),
                         [](const auto& info) { return std::string(info.param.name); });

// Messages that read their block, sent without one.
const CodeCase kBlockReaders[] = {
    {"show", kVisualPluginShowWindowMessage}, {"swin", kVisualPluginSetWindowMessage},
    {"vrnd", kVisualPluginRenderMessage},     {"vply", kVisualPluginPlayMessage},
    {"ctrk", kVisualPluginChangeTrackMessage}, {"vevt", kVisualPluginEventMessage},
};

class NullBlockTest : public HandlerTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(NullBlockTest, AnswersParamErrAndChangesNothing) {
  std::memset(&state()->trackInfo, 0x19, sizeof state()->trackInfo);
  const std::vector<uint8_t> before = bytesOf(state());
  const long ptrs = LumetraLivePtrCount();
  EXPECT_EQ(host_.send(GetParam().message, nullptr), paramErr);
  EXPECT_EQ(bytesOf(state()), before);
  EXPECT_EQ(LumetraLivePtrCount(), ptrs);
  EXPECT_TRUE(host_.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Messages, NullBlockTest, ::testing::ValuesIn(kBlockReaders),
                         [](const auto& info) { return std::string(info.param.name); });

// Every message that works on the instance, sent with a null reference value (with a block).
const CodeCase kInstanceMessages[] = {
    {"vply", kVisualPluginPlayMessage},      {"ctrk", kVisualPluginChangeTrackMessage},
    {"vunp", kVisualPluginUnpauseMessage},
    {"show", kVisualPluginShowWindowMessage}, {"swin", kVisualPluginSetWindowMessage},
    {"hide", kVisualPluginHideWindowMessage}, {"vrnd", kVisualPluginRenderMessage},
    {"vupd", kVisualPluginUpdateMessage},    {"vstp", kVisualPluginStopMessage},
    {"vpau", kVisualPluginPauseMessage},     {"null", kVisualPluginIdleMessage},
};

class NullRefConTest : public HandlerTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(NullRefConTest, AnswersParamErr) {
  const long ptrs = LumetraLivePtrCount();
  TrackInfoBlock track{};
  VisualMessageBlock block{};
  block.u.playMessage.trackInfo = &track;  // a block every one of them could read
  const VisualMessageBlock blockBefore = block;
  EXPECT_EQ(host_.sendWithRefCon(GetParam().message, &block, nullptr), paramErr);
  EXPECT_EQ(host_.sendWithRefCon(GetParam().message, nullptr, nullptr), paramErr);
  EXPECT_EQ(std::memcmp(&block, &blockBefore, sizeof block), 0);
  EXPECT_EQ(LumetraLivePtrCount(), ptrs);
  EXPECT_TRUE(host_.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Messages, NullRefConTest, ::testing::ValuesIn(kInstanceMessages),
                         [](const auto& info) { return std::string(info.param.name); });

// The notices that never touch the instance answer as always, whatever the reference value.
TEST_F(HandlerTest, NoticesWithoutInstanceAnswerZero) {
  for (OSType message : {kVisualPluginEnableMessage, kVisualPluginDisableMessage, kVisualPluginSetPositionMessage}) {
    VisualMessageBlock block{};
    EXPECT_EQ(host_.sendWithRefCon(message, &block, nullptr), noErr);
    EXPECT_EQ(host_.sendWithRefCon(message, nullptr, nullptr), noErr);
  }
  EXPECT_TRUE(host_.calls().empty());
}

}  // namespace
}  // namespace lumetra::test
