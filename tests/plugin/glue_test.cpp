// The host call glue through the loaded bundle: each Player wrapper's selector, the block it
// hands to the host (header, payload fields, zeros elsewhere, or the caller's own bytes), its
// status and its read-back, as one table; and ITCallApplication's answer to a missing callback.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "testhost.h"

namespace lumetra::test {
namespace {

constexpr bool kIlp32 = sizeof(void*) == 4;

// Where a field sits in the call block: the published offset on ILP32, so that build checks the
// literal bytes; through the struct on LP64, where addresses widen.
#define AT(published, member) (kIlp32 ? size_t{published} : offsetof(HostCallBlock, member))
// A wrapper of the loaded bundle as a typed pointer.
#define WRAPPER(host, name) (host).function<decltype(&name)>(#name)

constexpr OSStatus kHostStatus = -12345;  // an answer of the host's own, passed through
constexpr uint8_t kStale = 0xEE;

// Bytes a field must hold in the block the host receives.
struct Field {
  size_t offset;
  std::vector<uint8_t> bytes;
};
template <class T>
Field field(size_t offset, T value) {
  std::vector<uint8_t> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return {offset, bytes};
}

// What a wrapper's caller gets back through its out arguments. Filled with a value the wrapper
// must overwrite (or, with a null out address, has nowhere to write).
struct Outs {
  UInt32 dataSize = 0xDEADBEEF;
  Boolean handled = 0xEE;
};

// The host writes value (width bytes) at offset before answering; the wrapper must copy it out.
struct ReadBack {
  size_t offset;
  size_t width;
  UInt32 value;
  std::function<UInt32(const Outs&)> observed;
};

enum class BlockKind { Own, None, Caller };

struct WrapperCase {
  const char* name;
  OSType selector;
  BlockKind block;
  // Calls the wrapper with this row's arguments; callerBlock is for the Caller rows.
  std::function<OSStatus(TestHost&, Outs&, HostCallBlock* callerBlock)> call;
  std::vector<Field> payload;  // Own and None rows: every other payload byte must be zero
  bool answersStatus;
  std::optional<ReadBack> readBack;
};

// Addresses the wrappers pass on; only their values matter.
char gData[16];
const char gName[] = "prefs";
const char gURL[] = "https://example.invalid/";
const EventRecord gEvent{keyDown, 'c', 0, {0, 0}, 0};
FSSpec gFileSpec;

const WrapperCase kWrappers[] = {
    {"SetFullScreen", kPlayerSetFullScreenMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) { return WRAPPER(h, PlayerSetFullScreen)(h.cookie(), h.hostProc(), 1); },
     {field(AT(12, u.setFullScreenMessage.fullScreen), Boolean{1})}, true, std::nullopt},
    {"SetFullScreenOptions", kPlayerSetFullScreenOptionsMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       return WRAPPER(h, PlayerSetFullScreenOptions)(h.cookie(), h.hostProc(), 8, 32, 16, 1280, -720);
     },
     {field(AT(12, u.setFullScreenOptionsMessage.minBitDepth), SInt16{8}),
      field(AT(14, u.setFullScreenOptionsMessage.maxBitDepth), SInt16{32}),
      field(AT(16, u.setFullScreenOptionsMessage.preferredBitDepth), SInt16{16}),
      field(AT(18, u.setFullScreenOptionsMessage.desiredWidth), SInt16{1280}),
      field(AT(20, u.setFullScreenOptionsMessage.desiredHeight), SInt16{-720})},
     true, std::nullopt},
    {"GetPluginData", kPlayerGetPluginDataMessage, BlockKind::Own,
     [](TestHost& h, Outs& o, HostCallBlock*) {
       return WRAPPER(h, PlayerGetPluginData)(h.cookie(), h.hostProc(), gData, 0x10203040, &o.dataSize);
     },
     {field(AT(12, u.getPluginDataMessage.dataPtr), static_cast<void*>(gData)),
      field(AT(16, u.getPluginDataMessage.dataBufferSize), UInt32{0x10203040})},
     true, ReadBack{AT(20, u.getPluginDataMessage.dataSize), 4, 0x0A0B0C0D, [](const Outs& o) { return o.dataSize; }}},
    {"GetPluginData_NullOut", kPlayerGetPluginDataMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       return WRAPPER(h, PlayerGetPluginData)(h.cookie(), h.hostProc(), gData, 7, nullptr);
     },
     {field(AT(12, u.getPluginDataMessage.dataPtr), static_cast<void*>(gData)),
      field(AT(16, u.getPluginDataMessage.dataBufferSize), UInt32{7})},
     true, std::nullopt},
    {"SetPluginData", kPlayerSetPluginDataMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       return WRAPPER(h, PlayerSetPluginData)(h.cookie(), h.hostProc(), gData, 0x01020304);
     },
     {field(AT(12, u.setPluginDataMessage.dataPtr), static_cast<void*>(gData)),
      field(AT(16, u.setPluginDataMessage.dataSize), UInt32{0x01020304})},
     true, std::nullopt},
    {"GetPluginNamedData", kPlayerGetPluginNamedDataMessage, BlockKind::Own,
     [](TestHost& h, Outs& o, HostCallBlock*) {
       return WRAPPER(h, PlayerGetPluginNamedData)(h.cookie(), h.hostProc(), gName, gData, 0x11223344, &o.dataSize);
     },
     {field(AT(12, u.getPluginNamedDataMessage.dataName), static_cast<const void*>(gName)),
      field(AT(16, u.getPluginNamedDataMessage.dataPtr), static_cast<void*>(gData)),
      field(AT(20, u.getPluginNamedDataMessage.dataBufferSize), UInt32{0x11223344})},
     true,
     ReadBack{AT(24, u.getPluginNamedDataMessage.dataSize), 4, 0x55667788, [](const Outs& o) { return o.dataSize; }}},
    {"GetPluginNamedData_NullOut", kPlayerGetPluginNamedDataMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       return WRAPPER(h, PlayerGetPluginNamedData)(h.cookie(), h.hostProc(), gName, gData, 3, nullptr);
     },
     {field(AT(12, u.getPluginNamedDataMessage.dataName), static_cast<const void*>(gName)),
      field(AT(16, u.getPluginNamedDataMessage.dataPtr), static_cast<void*>(gData)),
      field(AT(20, u.getPluginNamedDataMessage.dataBufferSize), UInt32{3})},
     true, std::nullopt},
    {"SetPluginNamedData", kPlayerSetPluginNamedDataMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       return WRAPPER(h, PlayerSetPluginNamedData)(h.cookie(), h.hostProc(), gName, gData, 0x99AABBCC);
     },
     {field(AT(12, u.setPluginNamedDataMessage.dataName), static_cast<const void*>(gName)),
      field(AT(16, u.setPluginNamedDataMessage.dataPtr), static_cast<void*>(gData)),
      field(AT(20, u.setPluginNamedDataMessage.dataSize), UInt32{0x99AABBCC})},
     true, std::nullopt},
    {"Idle", kPlayerIdleMessage, BlockKind::None,
     [](TestHost& h, Outs&, HostCallBlock*) { return WRAPPER(h, PlayerIdle)(h.cookie(), h.hostProc()); }, {}, true,
     std::nullopt},
    {"ShowAbout", kPlayerShowAboutMessage, BlockKind::None,
     [](TestHost& h, Outs&, HostCallBlock*) {
       WRAPPER(h, PlayerShowAbout)(h.cookie(), h.hostProc());
       return OSStatus{noErr};
     },
     {}, false, std::nullopt},
    {"OpenURL", kPlayerOpenURLMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       WRAPPER(h, PlayerOpenURL)(h.cookie(), h.hostProc(), gURL, sizeof gURL - 1);
       return OSStatus{noErr};
     },
     {field(AT(12, u.openURLMessage.url), static_cast<const char*>(gURL)),
      field(AT(16, u.openURLMessage.length), UInt32{sizeof gURL - 1})},
     false, std::nullopt},
    {"UnregisterPlugin", kPlayerUnregisterPluginMessage, BlockKind::Caller,
     [](TestHost& h, Outs&, HostCallBlock* b) { return WRAPPER(h, PlayerUnregisterPlugin)(h.cookie(), h.hostProc(), b); },
     {}, true, std::nullopt},
    {"RegisterVisualPlugin", kPlayerRegisterVisualPluginMessage, BlockKind::Caller,
     [](TestHost& h, Outs&, HostCallBlock* b) {
       return WRAPPER(h, PlayerRegisterVisualPlugin)(h.cookie(), h.hostProc(), b);
     },
     {}, true, std::nullopt},
    {"RegisterDevicePlugin", kPlayerRegisterDevicePluginMessage, BlockKind::Caller,
     [](TestHost& h, Outs&, HostCallBlock* b) {
       return WRAPPER(h, PlayerRegisterDevicePlugin)(h.cookie(), h.hostProc(), b);
     },
     {}, true, std::nullopt},
    {"SetDeviceSerialNumber", kPlayerSetDeviceSerialNumberMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       return WRAPPER(h, PlayerSetDeviceSerialNumber)(h.cookie(), h.hostProc(), 0xCAFEF00D);
     },
     {field(AT(12, u.setDeviceSerialNumberMessage.serialNumber), UInt32{0xCAFEF00D})}, true, std::nullopt},
    {"HandleEvent", kPlayerHandleEventMessage, BlockKind::Own,
     [](TestHost& h, Outs& o, HostCallBlock*) {
       return WRAPPER(h, PlayerHandleMacOSEvent)(h.cookie(), h.hostProc(), &gEvent, &o.handled);
     },
     {field(AT(12, u.handleEventMessage.event), &gEvent)}, true,
     ReadBack{AT(16, u.handleEventMessage.handled), 1, 1, [](const Outs& o) { return UInt32{o.handled}; }}},
    {"HandleEvent_NullOut", kPlayerHandleEventMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       return WRAPPER(h, PlayerHandleMacOSEvent)(h.cookie(), h.hostProc(), &gEvent, nullptr);
     },
     {field(AT(12, u.handleEventMessage.event), &gEvent)}, true, std::nullopt},
    // The file specification is the host's to write at the address (the test host writes its
    // bundle folder when it answers 0); the wrapper copies nothing back.
    {"GetPluginFileSpec", kPlayerGetPluginFileSpecMessage, BlockKind::Own,
     [](TestHost& h, Outs&, HostCallBlock*) {
       return WRAPPER(h, PlayerGetPluginFileSpec)(h.cookie(), h.hostProc(), &gFileSpec);
     },
     {field(AT(12, u.getPluginFileSpecMessage.fileSpec), &gFileSpec)}, true, std::nullopt},
};

void PrintTo(const WrapperCase& c, std::ostream* os) { *os << c.name; }

class WrapperTest : public ::testing::TestWithParam<std::tuple<WrapperCase, OSStatus>> {
 protected:
  TestHost host_;
};

// A caller's block whose header words are stale and whose payload holds a pattern.
HostCallBlock staleBlock() {
  HostCallBlock block;
  std::memset(&block, kStale, sizeof block);
  block.blockMajorVersion = 0xDEADBEEF;
  block.blockMinorVersion = 0xFFFFFFFF;
  block.blockSize = 3;
  return block;
}

TEST_P(WrapperTest, SendsItsBlockAndPassesTheAnswerBack) {
  const auto& [c, status] = GetParam();
  host_.setStatus(c.selector, status);
  if (c.readBack) {
    host_.onCall(c.selector, [rb = *c.readBack](HostCallBlock& block) {
      std::memcpy(reinterpret_cast<uint8_t*>(&block) + rb.offset, &rb.value, rb.width);  // little-endian host
    });
  }
  Outs outs;
  HostCallBlock callerBlock = staleBlock();
  std::memset(&gFileSpec, 0, sizeof gFileSpec);

  const OSStatus answer = c.call(host_, outs, &callerBlock);

  ASSERT_EQ(host_.calls().size(), 1u);
  const HostCall& call = host_.calls()[0];
  EXPECT_EQ(call.selector, c.selector) << fourCC(call.selector);
  if (c.answersStatus) {
    EXPECT_EQ(answer, status);
  }

  // The header, on every block whatever the caller left in it.
  ASSERT_EQ(call.bytes.size(), sizeof(HostCallBlock));
  const HostCallBlock received = call.block();
  EXPECT_EQ(received.blockMajorVersion, 10u);
  EXPECT_EQ(received.blockMinorVersion, 1u);
  EXPECT_EQ(received.blockSize, sizeof(HostCallBlock));
  if (kIlp32) {
    EXPECT_EQ(received.blockSize, 124u);
  }

  constexpr size_t kHeader = 12;
  if (c.block == BlockKind::Caller) {
    // The caller's own block went to the host, header stamped, every other byte as it was.
    EXPECT_EQ(call.address, &callerBlock);
    for (size_t i = kHeader; i < call.bytes.size(); ++i) EXPECT_EQ(call.bytes[i], kStale) << "byte " << i;
    EXPECT_EQ(callerBlock.blockMajorVersion, 10u);
    EXPECT_EQ(callerBlock.blockSize, sizeof(HostCallBlock));
  } else {
    EXPECT_NE(call.address, &callerBlock);
    std::vector<uint8_t> expected(sizeof(HostCallBlock), 0);
    std::memcpy(expected.data(), call.bytes.data(), kHeader);
    for (const Field& f : c.payload) std::copy(f.bytes.begin(), f.bytes.end(), expected.begin() + f.offset);
    for (size_t i = kHeader; i < expected.size(); ++i) EXPECT_EQ(call.bytes[i], expected[i]) << "byte " << i;
    EXPECT_EQ(callerBlock.blockMajorVersion, 0xDEADBEEFu) << "the caller's block was not the wrapper's to touch";
  }

  if (c.readBack) {
    EXPECT_EQ(c.readBack->observed(outs), c.readBack->value) << "read back after status " << status;
  }
  if (c.selector == kPlayerGetPluginFileSpecMessage) {
    EXPECT_STREQ(gFileSpec.path, status == noErr ? host_.bundleDir().c_str() : "");
  }
}

INSTANTIATE_TEST_SUITE_P(Wrappers, WrapperTest,
                         ::testing::Combine(::testing::ValuesIn(kWrappers), ::testing::Values(noErr, kHostStatus)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == noErr ? "_HostAnswers0" : "_HostFails");
                         });

// A wrapper that copies back, with a host that writes nothing: the caller gets the zero the
// block was cleared to, not its own stale value.
TEST(WrapperReadBack, UnwrittenFieldsReadBackAsZero) {
  TestHost host;
  Outs outs;
  EXPECT_EQ(WRAPPER(host, PlayerGetPluginData)(host.cookie(), host.hostProc(), gData, 4, &outs.dataSize), noErr);
  EXPECT_EQ(outs.dataSize, 0u);
  EXPECT_EQ(WRAPPER(host, PlayerHandleMacOSEvent)(host.cookie(), host.hostProc(), &gEvent, &outs.handled), noErr);
  EXPECT_EQ(outs.handled, 0);
}

// Without a host callback nothing can be called: paramErr instead of a jump to address 0, and
// the read-back holds the cleared block's zero.
TEST(CallApplication, NullCallbackAnswersParamErr) {
  TestHost host;
  Outs outs;
  EXPECT_EQ(WRAPPER(host, PlayerIdle)(host.cookie(), nullptr), paramErr);
  EXPECT_EQ(WRAPPER(host, PlayerGetPluginData)(host.cookie(), nullptr, gData, 4, &outs.dataSize), paramErr);
  EXPECT_EQ(outs.dataSize, 0u);
  HostCallBlock block = staleBlock();
  EXPECT_EQ(WRAPPER(host, PlayerRegisterVisualPlugin)(host.cookie(), nullptr, &block), paramErr);
  EXPECT_TRUE(host.calls().empty());
}

}  // namespace
}  // namespace lumetra::test
