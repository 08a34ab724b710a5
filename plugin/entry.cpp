// The entry point and the registration. The entry point keeps nothing: the cookie and the
// callback it is given on 'init' are used for the registration call and forgotten; the handler
// gets both again with its own 'init'.
#include <cstddef>
#include <cstring>

#include "plugin_p.h"

namespace {

// Sent to the host as a length-prefixed string.
constexpr char kVisualPluginName[] = "LumetraPlugIn";
constexpr UInt32 kVisualPluginOptions = 0x28;  // bits 3 and 5
constexpr OSType kVisualPluginCreator = LUMETRA_FOURCC('h', 'o', 'o', 'k');
constexpr UInt32 kVisualPluginDataInterval = 0xFFFFFFFFu;
constexpr UInt32 kVisualPluginChannelCount = 2;
constexpr SInt16 kVisualPluginMinWindowSize = 64;
constexpr SInt16 kVisualPluginMaxWindowSize = 0x7FFF;

// Builds the registration record in a call block of its own and sends it with 'rvis'; answers
// the host's status unchanged. block is not null and is only read (cookie and callback).
OSStatus RegisterVisualPlugin(const PluginMessageBlock* block) {
  HostCallBlock callBlock;
  // The whole payload is cleared, so every byte the record does not set reaches the host as
  // zero (with 64-bit addresses that includes the padding after the header). The header is
  // left to PlayerRegisterVisualPlugin, which writes it.
  constexpr size_t kHeaderBytes = offsetof(HostCallBlock, blockSize) + sizeof callBlock.blockSize;
  std::memset(reinterpret_cast<UInt8*>(&callBlock) + kHeaderBytes, 0, sizeof callBlock - kHeaderBytes);

  VisualRegistration& record = callBlock.u.registerVisualPluginMessage;
  constexpr size_t kNameLength = sizeof kVisualPluginName - 1;
  static_assert(kNameLength < kVisualPluginNameLength, "the name and its length byte fit the field");
  record.visualName[0] = kNameLength;
  std::memcpy(&record.visualName[1], kVisualPluginName, kNameLength);
  SetNumVersion(&record.versionRecord, 1, 0, kNumVersionFinalStage, 0);
  record.optionWord = kVisualPluginOptions;
  record.creatorCode = kVisualPluginCreator;
  record.handlerProc = VisualPluginHandler;
  record.handlerRefCon = nullptr;
  record.dataInterval = kVisualPluginDataInterval;
  record.waveformChannelCount = kVisualPluginChannelCount;
  record.spectrumChannelCount = kVisualPluginChannelCount;
  record.minWindowWidth = kVisualPluginMinWindowSize;
  record.minWindowHeight = kVisualPluginMinWindowSize;
  record.maxWindowWidth = kVisualPluginMaxWindowSize;
  record.maxWindowHeight = kVisualPluginMaxWindowSize;
  record.minFullScreenDepth = 0;
  record.maxFullScreenDepth = 0;
  record.windowAlignment = 0;

  return PlayerRegisterVisualPlugin(block->appCookie, block->appProc, &callBlock);
}

}  // namespace

extern "C" {

void SetNumVersion(NumVersion* version, UInt8 majorRev, UInt8 minorAndBugRev, UInt8 stage, UInt8 nonRelRev) {
  version->majorRev = majorRev;
  version->minorAndBugRev = minorAndBugRev;
  version->stage = stage;
  version->nonRelRev = nonRelRev;
}

// 'init' registers one visualizer and answers the host's 'rvis' status; each 'init' sends one
// registration. 'clr ' answers 0, since nothing was kept. The reference value is not used.
OSStatus iTunesPluginMainMachO(OSType message, PluginMessageBlock* block, void* /*refCon*/) {
  switch (message) {
    case kPluginInitMessage:
      // A null block carries no callback to register through: a parameter error, nothing sent.
      if (!block) return paramErr;
      return RegisterVisualPlugin(block);
    case kPluginCleanupMessage:
      return noErr;
    default:
      return unimpErr;
  }
}

}  // extern "C"
