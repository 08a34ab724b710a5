// The entry point through the loaded bundle: the registration record that reaches the host on
// 'init', and the answers to every other code.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "testhost.h"

namespace lumetra::test {
namespace {

constexpr bool kIlp32 = sizeof(void*) == 4;
// The published block offset on ILP32 (so that build checks the literal bytes), the struct's
// own on LP64.
#define AT(published, member) (kIlp32 ? size_t{published} : offsetof(HostCallBlock, u.registerVisualPluginMessage.member))

struct RegistrationField {
  const char* name;
  size_t offset;
  size_t width;
  UInt64 value;
};

// Every value of the registration record but the name and the handler's address, at its offset.
const RegistrationField kRegistration[] = {
    {"optionWord", AT(76, optionWord), 4, 0x28},
    {"creatorCode", AT(80, creatorCode), 4, 0x686F6F6B},  // 'hook'
    {"versionMajor", AT(84, versionRecord), 1, 1},
    {"versionMinor", AT(84, versionRecord) + 1, 1, 0},
    {"versionStage", AT(84, versionRecord) + 2, 1, 0x80},
    {"versionNonRelease", AT(84, versionRecord) + 3, 1, 0},
    {"handlerRefCon", AT(92, handlerRefCon), sizeof(void*), 0},
    {"dataInterval", AT(96, dataInterval), 4, 0xFFFFFFFF},
    {"waveformChannelCount", AT(100, waveformChannelCount), 4, 2},
    {"spectrumChannelCount", AT(104, spectrumChannelCount), 4, 2},
    {"minWindowWidth", AT(108, minWindowWidth), 2, 64},
    {"minWindowHeight", AT(110, minWindowHeight), 2, 64},
    {"maxWindowWidth", AT(112, maxWindowWidth), 2, 0x7FFF},
    {"maxWindowHeight", AT(114, maxWindowHeight), 2, 0x7FFF},
    {"minFullScreenDepth", AT(116, minFullScreenDepth), 2, 0},
    {"maxFullScreenDepth", AT(118, maxFullScreenDepth), 2, 0},
    {"windowAlignment", AT(120, windowAlignment), 2, 0},
    {"reserved", AT(122, reserved), 2, 0},
};

UInt64 readAt(const std::vector<uint8_t>& bytes, size_t offset, size_t width) {
  UInt64 value = 0;
  std::memcpy(&value, bytes.data() + offset, width);  // little-endian host
  return value;
}

std::vector<uint8_t> registrationBytes(TestHost& host) {
  const auto calls = host.callsFor(kPlayerRegisterVisualPluginMessage);
  if (calls.size() != 1) {
    ADD_FAILURE() << calls.size() << " registrations";
    return std::vector<uint8_t>(sizeof(HostCallBlock));
  }
  return calls[0].bytes;
}

TEST(Registration, EveryValueSitsAtItsOffset) {
  TestHost host;
  ASSERT_EQ(host.registerPlugin(), noErr);
  const std::vector<uint8_t> bytes = registrationBytes(host);
  ASSERT_EQ(bytes.size(), sizeof(HostCallBlock));

  EXPECT_EQ(readAt(bytes, 0, 4), 10u);
  EXPECT_EQ(readAt(bytes, 4, 4), 1u);
  EXPECT_EQ(readAt(bytes, 8, 4), sizeof(HostCallBlock));
  if (kIlp32) {
    EXPECT_EQ(readAt(bytes, 8, 4), 124u);
  }

  const size_t name = AT(12, visualName);
  EXPECT_EQ(bytes[name], 13);
  EXPECT_EQ(std::string(bytes.begin() + name + 1, bytes.begin() + name + 14), "LumetraPlugIn");
  for (size_t i = name + 14; i < name + 64; ++i) EXPECT_EQ(bytes[i], 0) << "name byte " << i;

  for (const auto& f : kRegistration) EXPECT_EQ(readAt(bytes, f.offset, f.width), f.value) << f.name;

  // The handler is a function of the bundle's, and the host can reach the plug-in through it.
  VisualPluginProcPtr handler = nullptr;
  std::memcpy(&handler, bytes.data() + AT(88, handlerProc), sizeof handler);
  ASSERT_NE(handler, nullptr);
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(handler), &info), 0);
  EXPECT_EQ(std::string(info.dli_fname), host.executablePath());
  EXPECT_EQ(handler, host.handler());
  EXPECT_EQ(handler(LUMETRA_FOURCC('x', 'y', 'z', 'w'), nullptr, nullptr), unimpErr);

  // No byte outside the fields above is set: with 32-bit addresses that is bytes 26-75 and
  // 122-123; with 64-bit ones the alignment padding too.
  std::vector<bool> covered(bytes.size(), false);
  auto cover = [&](size_t offset, size_t width) { std::fill_n(covered.begin() + offset, width, true); };
  cover(0, 12);
  cover(name, 14);
  cover(AT(88, handlerProc), sizeof(void*));
  for (const auto& f : kRegistration) {
    if (f.value != 0) cover(f.offset, f.width);
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (!covered[i]) {
      EXPECT_EQ(bytes[i], 0) << "byte " << i;
    }
  }
}

// What reached the host came from the entry's block: the cookie and the callback at offsets 8
// and 12, and nothing is written into that block.
TEST(EntryPoint, InitReadsTheCookieAndCallbackAndWritesNothing) {
  TestHost host;
  std::vector<uint8_t> block(256, 0x5C);
  auto* message = reinterpret_cast<PluginMessageBlock*>(block.data());
  message->appCookie = host.cookie();
  message->appProc = host.hostProc();
  if (kIlp32) {
    void* cookie = nullptr;
    std::memcpy(&cookie, block.data() + 8, 4);
    ASSERT_EQ(cookie, host.cookie());
  }
  const std::vector<uint8_t> before = block;

  EXPECT_EQ(host.callEntry(kPluginInitMessage, message), noErr);

  EXPECT_EQ(host.callsFor(kPlayerRegisterVisualPluginMessage).size(), 1u);
  EXPECT_EQ(block, before);
}

struct EntryCase {
  const char* name;
  OSType message;
  bool nullBlock;
  OSStatus expected;
};

// Codes other than 'init' send nothing; so does 'init' without a block.
const EntryCase kEntryCases[] = {
    {"CleanupWithoutInit", kPluginCleanupMessage, false, noErr},
    {"CleanupNullBlock", kPluginCleanupMessage, true, noErr},
    {"VisualRenderCode", kVisualPluginRenderMessage, false, unimpErr},
    {"UpperCaseInit", LUMETRA_FOURCC('I', 'N', 'I', 'T'), false, unimpErr},
    {"InitWithoutTheSpace", LUMETRA_FOURCC('c', 'l', 'r', 0), false, unimpErr},
    {"Zero", 0, false, unimpErr},
    {"InitNullBlock", kPluginInitMessage, true, paramErr},
};

class EntryCodeTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryCodeTest, AnswersAndSendsNothing) {
  const EntryCase& c = GetParam();
  TestHost host;
  PluginMessageBlock block{};
  block.appCookie = host.cookie();
  block.appProc = host.hostProc();
  const PluginMessageBlock before = block;
  EXPECT_EQ(host.callEntry(c.message, c.nullBlock ? nullptr : &block), c.expected);
  EXPECT_TRUE(host.calls().empty());
  EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, EntryCodeTest, ::testing::ValuesIn(kEntryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EntryPoint, EachInitSendsOneRegistration) {
  TestHost host;
  ASSERT_EQ(host.registerPlugin(), noErr);
  ASSERT_EQ(host.registerPlugin(), noErr);
  const auto calls = host.callsFor(kPlayerRegisterVisualPluginMessage);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(host.calls().size(), 2u);
  EXPECT_EQ(calls[0].bytes, calls[1].bytes);
}

TEST(EntryPoint, InitAnswersTheRegistrationStatus) {
  TestHost host;
  host.setStatus(kPlayerRegisterVisualPluginMessage, -2020);
  EXPECT_EQ(host.registerPlugin(), -2020);
  EXPECT_EQ(host.callsFor(kPlayerRegisterVisualPluginMessage).size(), 1u);
}

// A block without a callback: the registration cannot be sent and the call says so.
TEST(EntryPoint, InitWithoutACallbackAnswersParamErr) {
  TestHost host;
  PluginMessageBlock block{};
  block.appCookie = host.cookie();
  EXPECT_EQ(host.callEntry(kPluginInitMessage, &block), paramErr);
  EXPECT_TRUE(host.calls().empty());
}

TEST(EntryPoint, SetNumVersionStoresTheBytesInOrder) {
  TestHost host;
  NumVersion version{0xAA, 0xBB, 0xCC, 0xDD};
  host.function<decltype(&SetNumVersion)>("SetNumVersion")(&version, 1, 2, 0x80, 4);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&version);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 2);
  EXPECT_EQ(bytes[2], 0x80);
  EXPECT_EQ(bytes[3], 4);
}

}  // namespace
}  // namespace lumetra::test
