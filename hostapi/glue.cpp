// The host call glue: ITCallApplication, the one way into the host callback, and the fifteen
// Player wrappers, one per host service. A wrapper's own block lives on its stack for the
// length of the call; the host may read and write it only until the callback returns.
#include "glue_p.h"

extern "C" {

OSStatus ITCallApplication(void* appCookie, ITAppProcPtr appProc, OSType selector, HostCallBlock* block) {
  // A null callback would be a jump to address 0; answering a parameter error instead lets a
  // host that sent no callback (or a caller that lost it) learn of it. The wrappers still copy
  // out their read-back fields, which then hold the zeros of their cleared block.
  if (!appProc) return paramErr;
  HostCallBlock localBlock;
  if (!block) {
    MemClear(&localBlock, sizeof localBlock);
    block = &localBlock;
  }
  block->blockMajorVersion = kHostCallBlockMajorVersion;
  block->blockMinorVersion = kHostCallBlockMinorVersion;
  block->blockSize = sizeof(HostCallBlock);
  return appProc(appCookie, selector, block);
}

OSStatus PlayerSetFullScreen(void* appCookie, ITAppProcPtr appProc, Boolean fullScreen) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.setFullScreenMessage.fullScreen = fullScreen;
  return ITCallApplication(appCookie, appProc, kPlayerSetFullScreenMessage, &block);
}

OSStatus PlayerSetFullScreenOptions(void* appCookie, ITAppProcPtr appProc, SInt16 minBitDepth, SInt16 maxBitDepth,
                                    SInt16 preferredBitDepth, SInt16 desiredWidth, SInt16 desiredHeight) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.setFullScreenOptionsMessage.minBitDepth = minBitDepth;
  block.u.setFullScreenOptionsMessage.maxBitDepth = maxBitDepth;
  block.u.setFullScreenOptionsMessage.preferredBitDepth = preferredBitDepth;
  block.u.setFullScreenOptionsMessage.desiredWidth = desiredWidth;
  block.u.setFullScreenOptionsMessage.desiredHeight = desiredHeight;
  return ITCallApplication(appCookie, appProc, kPlayerSetFullScreenOptionsMessage, &block);
}

// The read-back is copied whatever the status: after a failed call the caller gets what the
// host left in the block, or the zero it was cleared to.
OSStatus PlayerGetPluginData(void* appCookie, ITAppProcPtr appProc, void* dataPtr, UInt32 dataBufferSize,
                             UInt32* dataSize) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.getPluginDataMessage.dataPtr = dataPtr;
  block.u.getPluginDataMessage.dataBufferSize = dataBufferSize;
  const OSStatus status = ITCallApplication(appCookie, appProc, kPlayerGetPluginDataMessage, &block);
  if (dataSize) *dataSize = block.u.getPluginDataMessage.dataSize;
  return status;
}

OSStatus PlayerSetPluginData(void* appCookie, ITAppProcPtr appProc, void* dataPtr, UInt32 dataSize) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.setPluginDataMessage.dataPtr = dataPtr;
  block.u.setPluginDataMessage.dataSize = dataSize;
  return ITCallApplication(appCookie, appProc, kPlayerSetPluginDataMessage, &block);
}

OSStatus PlayerGetPluginNamedData(void* appCookie, ITAppProcPtr appProc, const void* dataName, void* dataPtr,
                                  UInt32 dataBufferSize, UInt32* dataSize) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.getPluginNamedDataMessage.dataName = dataName;
  block.u.getPluginNamedDataMessage.dataPtr = dataPtr;
  block.u.getPluginNamedDataMessage.dataBufferSize = dataBufferSize;
  const OSStatus status = ITCallApplication(appCookie, appProc, kPlayerGetPluginNamedDataMessage, &block);
  if (dataSize) *dataSize = block.u.getPluginNamedDataMessage.dataSize;
  return status;
}

OSStatus PlayerSetPluginNamedData(void* appCookie, ITAppProcPtr appProc, const void* dataName, void* dataPtr,
                                  UInt32 dataSize) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.setPluginNamedDataMessage.dataName = dataName;
  block.u.setPluginNamedDataMessage.dataPtr = dataPtr;
  block.u.setPluginNamedDataMessage.dataSize = dataSize;
  return ITCallApplication(appCookie, appProc, kPlayerSetPluginNamedDataMessage, &block);
}

OSStatus PlayerIdle(void* appCookie, ITAppProcPtr appProc) {
  return ITCallApplication(appCookie, appProc, kPlayerIdleMessage, nullptr);
}

// The host's status is dropped: callers have no way to learn of a failure.
void PlayerShowAbout(void* appCookie, ITAppProcPtr appProc) {
  ITCallApplication(appCookie, appProc, kPlayerShowAboutMessage, nullptr);
}

// The host's status is dropped: callers have no way to learn of a failure.
void PlayerOpenURL(void* appCookie, ITAppProcPtr appProc, const char* url, UInt32 length) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.openURLMessage.url = url;
  block.u.openURLMessage.length = length;
  ITCallApplication(appCookie, appProc, kPlayerOpenURLMessage, &block);
}

// The three registration calls pass the caller's block on: the caller owns it and its payload,
// and only the header is written into it.
OSStatus PlayerUnregisterPlugin(void* appCookie, ITAppProcPtr appProc, HostCallBlock* block) {
  return ITCallApplication(appCookie, appProc, kPlayerUnregisterPluginMessage, block);
}

OSStatus PlayerRegisterVisualPlugin(void* appCookie, ITAppProcPtr appProc, HostCallBlock* block) {
  return ITCallApplication(appCookie, appProc, kPlayerRegisterVisualPluginMessage, block);
}

OSStatus PlayerRegisterDevicePlugin(void* appCookie, ITAppProcPtr appProc, HostCallBlock* block) {
  return ITCallApplication(appCookie, appProc, kPlayerRegisterDevicePluginMessage, block);
}

OSStatus PlayerSetDeviceSerialNumber(void* appCookie, ITAppProcPtr appProc, UInt32 serialNumber) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.setDeviceSerialNumberMessage.serialNumber = serialNumber;
  return ITCallApplication(appCookie, appProc, kPlayerSetDeviceSerialNumberMessage, &block);
}

OSStatus PlayerHandleMacOSEvent(void* appCookie, ITAppProcPtr appProc, const EventRecord* event, Boolean* handled) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.handleEventMessage.event = event;
  const OSStatus status = ITCallApplication(appCookie, appProc, kPlayerHandleEventMessage, &block);
  if (handled) *handled = block.u.handleEventMessage.handled;
  return status;
}

// The host writes the record at fileSpec itself; nothing is copied back here.
OSStatus PlayerGetPluginFileSpec(void* appCookie, ITAppProcPtr appProc, FSSpec* fileSpec) {
  HostCallBlock block;
  MemClear(&block, sizeof block);
  block.u.getPluginFileSpecMessage.fileSpec = fileSpec;
  return ITCallApplication(appCookie, appProc, kPlayerGetPluginFileSpecMessage, &block);
}

}  // extern "C"
