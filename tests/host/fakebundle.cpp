// Bundles that go wrong on purpose, for the loader's tests. FAKE_KIND picks the behaviour:
//   1 no entry point, 2 starts but registers nothing, 3 refuses 'init', 4 a working
//   visualizer that answers every message with 0.
#include "hostapi.h"

#include <cstring>

#if FAKE_KIND != 1

#if FAKE_KIND == 4
namespace {

OSStatus fakeHandler(OSType, VisualMessageBlock*, void*) { return noErr; }

}  // namespace
#endif

extern "C" __attribute__((visibility("default"))) OSStatus iTunesPluginMainMachO(OSType message, PluginMessageBlock* block,
                                                                                   void*) {
  if (message != kPluginInitMessage) return message == kPluginCleanupMessage ? noErr : unimpErr;
#if FAKE_KIND == 2
  (void)block;
  return noErr;
#elif FAKE_KIND == 3
  (void)block;
  return paramErr;
#else
  HostCallBlock call{};
  call.blockMajorVersion = kHostCallBlockMajorVersion;
  call.blockMinorVersion = kHostCallBlockMinorVersion;
  call.blockSize = sizeof call;
  auto& reg = call.u.registerVisualPluginMessage;
  const char name[] = "FakeScope";
  reg.visualName[0] = sizeof name - 1;
  std::memcpy(reg.visualName + 1, name, sizeof name - 1);
  reg.handlerProc = fakeHandler;
  reg.waveformChannelCount = 2;
  reg.spectrumChannelCount = 1;
  reg.minWindowWidth = 16;
  reg.minWindowHeight = 16;
  reg.maxWindowWidth = 4096;
  reg.maxWindowHeight = 4096;
  reg.optionWord = 7;
  reg.versionRecord = NumVersion{2, 0x31, 0x60, 0};
  return block->appProc(block->appCookie, kPlayerRegisterVisualPluginMessage, &call);
#endif
}

#endif
