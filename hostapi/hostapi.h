/*
 * The host records, the message codes and the calls into the host.
 *
 * The host and the plug-in talk through three calls, each taking a 32-bit code or cookie,
 * a record address and a reference value, and answering a 32-bit status:
 *   - the entry point iTunesPluginMainMachO (host to plug-in: 'init', 'clr ');
 *   - the registered handler (host to plug-in: every visual message);
 *   - the host callback (plug-in to host), reached only through ITCallApplication.
 *
 * Widening rule. Record offsets are those of a host with 32-bit addresses. The records are
 * declared here once, fields in their order and widths, and compiled as they stand:
 *   - on an ILP32 build every address is 32 bits and the records have exactly the published
 *     offsets and sizes (pinned by static_asserts below);
 *   - on an LP64 build every address field (pointers, callbacks, cookies, reference values)
 *     widens to 64 bits with its natural 8-byte alignment, and every other field keeps its
 *     width. The offsets then follow from C's layout rules; HostCallBlock's blockSize carries
 *     the widened block's own size (sizeof(HostCallBlock)).
 * Code that reads a record uses the struct fields (or offsetof), never literal offsets, so it
 * is right on both builds.
 *
 * Ownership: every record passed to a call belongs to the caller and is valid only for the
 * length of that call.
 */
#ifndef LUMETRA_HOSTAPI_H
#define LUMETRA_HOSTAPI_H

#include "platform.h"

#ifdef __cplusplus
extern "C" {
#endif

#define LUMETRA_EXPORT __attribute__((visibility("default")))

/* ---- Message codes and selectors (first character in the most significant byte) ------ */

enum {
  /* To the entry point and to the handler. */
  kPluginInitMessage = LUMETRA_FOURCC('i', 'n', 'i', 't'),
  kPluginCleanupMessage = LUMETRA_FOURCC('c', 'l', 'r', ' '),
  /* To the handler. */
  kVisualPluginPlayMessage = LUMETRA_FOURCC('v', 'p', 'l', 'y'),
  kVisualPluginChangeTrackMessage = LUMETRA_FOURCC('c', 't', 'r', 'k'),
  kVisualPluginStopMessage = LUMETRA_FOURCC('v', 's', 't', 'p'),
  kVisualPluginPauseMessage = LUMETRA_FOURCC('v', 'p', 'a', 'u'),
  kVisualPluginUnpauseMessage = LUMETRA_FOURCC('v', 'u', 'n', 'p'),
  kVisualPluginEnableMessage = LUMETRA_FOURCC('v', 'o', 'n', ' '),
  kVisualPluginDisableMessage = LUMETRA_FOURCC('v', 'o', 'f', 'f'),
  kVisualPluginSetPositionMessage = LUMETRA_FOURCC('s', 'e', 't', 'p'),
  kVisualPluginShowWindowMessage = LUMETRA_FOURCC('s', 'h', 'o', 'w'),
  kVisualPluginSetWindowMessage = LUMETRA_FOURCC('s', 'w', 'i', 'n'),
  kVisualPluginHideWindowMessage = LUMETRA_FOURCC('h', 'i', 'd', 'e'),
  kVisualPluginRenderMessage = LUMETRA_FOURCC('v', 'r', 'n', 'd'),
  kVisualPluginUpdateMessage = LUMETRA_FOURCC('v', 'u', 'p', 'd'),
  kVisualPluginIdleMessage = LUMETRA_FOURCC('n', 'u', 'l', 'l'),
  kVisualPluginConfigureMessage = LUMETRA_FOURCC('c', 'n', 'f', 'g'),
  kVisualPluginEventMessage = LUMETRA_FOURCC('v', 'e', 'v', 't'),
  /* Host-call selectors. */
  kPlayerSetFullScreenMessage = LUMETRA_FOURCC('s', 'f', 'u', 'l'),
  kPlayerSetFullScreenOptionsMessage = LUMETRA_FOURCC('s', 'f', 'o', 'p'),
  kPlayerGetPluginDataMessage = LUMETRA_FOURCC('g', 'p', 'r', 'f'),
  kPlayerSetPluginDataMessage = LUMETRA_FOURCC('s', 'p', 'r', 'f'),
  kPlayerGetPluginNamedDataMessage = LUMETRA_FOURCC('g', 'n', 'p', 'r'),
  kPlayerSetPluginNamedDataMessage = LUMETRA_FOURCC('s', 'n', 'p', 'r'),
  kPlayerIdleMessage = LUMETRA_FOURCC('i', 'd', 'l', 'e'),
  kPlayerShowAboutMessage = LUMETRA_FOURCC('a', 'b', 'o', 'u'),
  kPlayerOpenURLMessage = LUMETRA_FOURCC('u', 'r', 'l', ' '),
  kPlayerUnregisterPluginMessage = LUMETRA_FOURCC('u', 'n', 'r', 'g'),
  kPlayerRegisterVisualPluginMessage = LUMETRA_FOURCC('r', 'v', 'i', 's'),
  kPlayerRegisterDevicePluginMessage = LUMETRA_FOURCC('r', 'd', 'e', 'v'),
  kPlayerSetDeviceSerialNumberMessage = LUMETRA_FOURCC('d', 'v', 's', 'n'),
  kPlayerHandleEventMessage = LUMETRA_FOURCC('e', 'v', 'n', 't'),
  kPlayerGetPluginFileSpecMessage = LUMETRA_FOURCC('p', 's', 'p', 'c')
};

/* ---- Small records ------------------------------------------------------------------- */

/* The platform's four-byte version: major, minor, release stage, non-release revision. */
typedef struct NumVersion {
  UInt8 majorRev;
  UInt8 minorAndBugRev;
  UInt8 stage;
  UInt8 nonRelRev;
} NumVersion;

enum { kNumVersionFinalStage = 0x80 };

/* The host's audio snapshot, copied whole (2050 bytes on every build). */
enum { kVisualNumWaveformEntries = 512, kVisualNumSpectrumEntries = 512, kVisualMaxDataChannels = 2 };
typedef struct RenderData {
  UInt8 numWaveformChannels;
  UInt8 waveformData[kVisualMaxDataChannels][kVisualNumWaveformEntries];
  UInt8 numSpectrumChannels;
  UInt8 spectrumData[kVisualMaxDataChannels][kVisualNumSpectrumEntries];
} RenderData;

/* Track and stream information: host records the plug-in copies whole and never reads. */
typedef struct TrackInfoBlock {
  UInt8 bytes[2112];
} TrackInfoBlock;
typedef struct StreamInfoBlock {
  UInt8 bytes[772];
} StreamInfoBlock;

/* The platform's event record. It really is packed: the 32-bit message sits at offset 2. */
#pragma pack(push, 2)
typedef struct EventRecord {
  UInt16 what;     /* kind: 3 key down, 4 key up, 5 auto-key */
  UInt32 message;  /* for key events the low 8 bits are the character code */
  UInt32 when;
  Point where;
  UInt16 modifiers;
} EventRecord;
#pragma pack(pop)

enum { keyDown = 3, keyUp = 4, autoKey = 5, charCodeMask = 0xFF };

/* ---- The host callback and the handler ----------------------------------------------- */

struct HostCallBlock;
struct VisualMessageBlock;

/* The host callback: cookie, selector, call block; answers the host's status. */
typedef OSStatus (*ITAppProcPtr)(void* appCookie, OSType selector, struct HostCallBlock* block);
/* The registered handler: message code, message block, reference value. */
typedef OSStatus (*VisualPluginProcPtr)(OSType message, struct VisualMessageBlock* block, void* refCon);

/* ---- The entry point's message block ------------------------------------------------- */

/* Only appCookie and appProc are read, on 'init'; nothing is written. */
typedef struct PluginMessageBlock {
  UInt32 messageMajorVersion;
  UInt32 messageMinorVersion;
  void* appCookie;     /* 8: opaque, passed back to the host callback unchanged */
  ITAppProcPtr appProc; /* 12: the host callback */
} PluginMessageBlock;

/* ---- The handler's message block ----------------------------------------------------- */

typedef struct VisualPluginInitMessage {
  UInt32 messageMajorVersion;
  UInt32 messageMinorVersion;
  NumVersion appVersion;
  void* appCookie;      /* 12: read */
  ITAppProcPtr appProc; /* 16: read */
  UInt32 options;
  void* refCon;         /* 24: the new instance record's address, written */
} VisualPluginInitMessage;

typedef struct VisualPluginShowWindowMessage {
  GrafPtr port;         /* 0: the destination port */
  Rect drawRect;        /* 4 to 11 */
  UInt32 options;       /* 12 */
} VisualPluginShowWindowMessage;

typedef struct VisualPluginRenderMessage {
  const RenderData* renderData; /* 0: may be null */
  UInt32 timeStampID;           /* 4 */
} VisualPluginRenderMessage;

typedef struct VisualPluginPlayMessage {
  const TrackInfoBlock* trackInfo;   /* 0: may be null */
  const StreamInfoBlock* streamInfo; /* 4: may be null */
} VisualPluginPlayMessage;

typedef struct VisualPluginEventMessage {
  const EventRecord* event;  /* 0: the platform's event record */
} VisualPluginEventMessage;

/* What the handler reads or writes depends on the message; the block is one of these. */
typedef struct VisualMessageBlock {
  union {
    VisualPluginInitMessage initMessage;
    VisualPluginShowWindowMessage showWindowMessage;
    VisualPluginShowWindowMessage setWindowMessage;
    VisualPluginRenderMessage renderMessage;
    VisualPluginPlayMessage playMessage;
    VisualPluginPlayMessage changeTrackMessage;
    VisualPluginEventMessage eventMessage;
  } u;
} VisualMessageBlock;

/* ---- The host call block and its payloads -------------------------------------------- */

enum { kVisualPluginNameLength = 64 };

/* The payload of 'rvis'. */
typedef struct VisualRegistration {
  UInt8 visualName[kVisualPluginNameLength]; /* length byte, then the characters */
  UInt32 optionWord;
  OSType creatorCode;
  NumVersion versionRecord;
  VisualPluginProcPtr handlerProc;
  void* handlerRefCon;
  UInt32 dataInterval;
  UInt32 waveformChannelCount;
  UInt32 spectrumChannelCount;
  SInt16 minWindowWidth;
  SInt16 minWindowHeight;
  SInt16 maxWindowWidth;
  SInt16 maxWindowHeight;
  SInt16 minFullScreenDepth;
  SInt16 maxFullScreenDepth;
  UInt16 windowAlignment;
  UInt16 reserved;
} VisualRegistration;

typedef struct SetFullScreenPayload { UInt8 fullScreen; } SetFullScreenPayload;
typedef struct SetFullScreenOptionsPayload {
  SInt16 minBitDepth;
  SInt16 maxBitDepth;
  SInt16 preferredBitDepth;
  SInt16 desiredWidth;
  SInt16 desiredHeight;
} SetFullScreenOptionsPayload;
typedef struct GetPluginDataPayload {
  void* dataPtr;
  UInt32 dataBufferSize;
  UInt32 dataSize;       /* read back */
} GetPluginDataPayload;
typedef struct SetPluginDataPayload {
  void* dataPtr;
  UInt32 dataSize;
} SetPluginDataPayload;
typedef struct GetPluginNamedDataPayload {
  const void* dataName;
  void* dataPtr;
  UInt32 dataBufferSize;
  UInt32 dataSize;       /* read back */
} GetPluginNamedDataPayload;
typedef struct SetPluginNamedDataPayload {
  const void* dataName;
  void* dataPtr;
  UInt32 dataSize;
} SetPluginNamedDataPayload;
typedef struct OpenURLPayload {
  const char* url;
  UInt32 length;
} OpenURLPayload;
typedef struct SetDeviceSerialNumberPayload { UInt32 serialNumber; } SetDeviceSerialNumberPayload;
typedef struct HandleEventPayload {
  const EventRecord* event;
  UInt8 handled;         /* read back */
} HandleEventPayload;
typedef struct GetFileSpecPayload { FSSpec* fileSpec; } GetFileSpecPayload;

enum { kHostCallBlockMajorVersion = 10, kHostCallBlockMinorVersion = 1 };

/* 124 bytes with 32-bit addresses: a 12-byte header, then 112 bytes of payload. */
typedef struct HostCallBlock {
  UInt32 blockMajorVersion;
  UInt32 blockMinorVersion;
  UInt32 blockSize;
  union {
    UInt8 bytes[112];
    VisualRegistration registerVisualPluginMessage;
    SetFullScreenPayload setFullScreenMessage;
    SetFullScreenOptionsPayload setFullScreenOptionsMessage;
    GetPluginDataPayload getPluginDataMessage;
    SetPluginDataPayload setPluginDataMessage;
    GetPluginNamedDataPayload getPluginNamedDataMessage;
    SetPluginNamedDataPayload setPluginNamedDataMessage;
    OpenURLPayload openURLMessage;
    SetDeviceSerialNumberPayload setDeviceSerialNumberMessage;
    HandleEventPayload handleEventMessage;
    GetFileSpecPayload getPluginFileSpecMessage;
  } u;
} HostCallBlock;

/* ---- The published layout, pinned on ILP32 -------------------------------------------- */

/* With 32-bit addresses every record must have exactly the host's offsets and sizes; a field
 * added, moved or widened by mistake stops the build here. LP64 layouts follow the widening
 * rule above and are not pinned. */
#if UINTPTR_MAX == 0xFFFFFFFFu

#ifdef __cplusplus
#define LUMETRA_PIN(expr, what) static_assert(expr, what)
#else
#define LUMETRA_PIN(expr, what) _Static_assert(expr, what)
#endif
#define LUMETRA_PIN_OFFSET(type, member, offset) \
  LUMETRA_PIN(offsetof(type, member) == (offset), #type "." #member " sits at " #offset)
#define LUMETRA_PIN_SIZE(type, size) LUMETRA_PIN(sizeof(type) == (size), #type " is " #size " bytes")

LUMETRA_PIN_SIZE(NumVersion, 4);
LUMETRA_PIN_OFFSET(NumVersion, majorRev, 0);
LUMETRA_PIN_OFFSET(NumVersion, minorAndBugRev, 1);
LUMETRA_PIN_OFFSET(NumVersion, stage, 2);
LUMETRA_PIN_OFFSET(NumVersion, nonRelRev, 3);

LUMETRA_PIN_SIZE(EventRecord, 16);
LUMETRA_PIN_OFFSET(EventRecord, what, 0);
LUMETRA_PIN_OFFSET(EventRecord, message, 2);
LUMETRA_PIN_OFFSET(EventRecord, when, 6);
LUMETRA_PIN_OFFSET(EventRecord, where, 10);
LUMETRA_PIN_OFFSET(EventRecord, modifiers, 14);

LUMETRA_PIN_SIZE(RenderData, 2050);
LUMETRA_PIN_OFFSET(RenderData, numWaveformChannels, 0);
LUMETRA_PIN_OFFSET(RenderData, waveformData[0], 1);
LUMETRA_PIN_OFFSET(RenderData, waveformData[1], 513);
LUMETRA_PIN_OFFSET(RenderData, numSpectrumChannels, 1025);
LUMETRA_PIN_OFFSET(RenderData, spectrumData[0], 1026);
LUMETRA_PIN_OFFSET(RenderData, spectrumData[1], 1538);

LUMETRA_PIN_SIZE(TrackInfoBlock, 2112);
LUMETRA_PIN_SIZE(StreamInfoBlock, 772);

LUMETRA_PIN_OFFSET(PluginMessageBlock, appCookie, 8);
LUMETRA_PIN_OFFSET(PluginMessageBlock, appProc, 12);

LUMETRA_PIN_OFFSET(VisualMessageBlock, u.initMessage.appCookie, 12);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.initMessage.appProc, 16);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.initMessage.refCon, 24);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.showWindowMessage.port, 0);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.showWindowMessage.drawRect, 4);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.showWindowMessage.options, 12);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.setWindowMessage.port, 0);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.setWindowMessage.drawRect, 4);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.setWindowMessage.options, 12);
LUMETRA_PIN_SIZE(Rect, 8);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.renderMessage.renderData, 0);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.renderMessage.timeStampID, 4);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.playMessage.trackInfo, 0);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.playMessage.streamInfo, 4);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.changeTrackMessage.trackInfo, 0);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.changeTrackMessage.streamInfo, 4);
LUMETRA_PIN_OFFSET(VisualMessageBlock, u.eventMessage.event, 0);

LUMETRA_PIN_SIZE(HostCallBlock, 124);
LUMETRA_PIN_OFFSET(HostCallBlock, blockMajorVersion, 0);
LUMETRA_PIN_OFFSET(HostCallBlock, blockMinorVersion, 4);
LUMETRA_PIN_OFFSET(HostCallBlock, blockSize, 8);
LUMETRA_PIN_OFFSET(HostCallBlock, u, 12);

LUMETRA_PIN_SIZE(VisualRegistration, 112);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.visualName, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.optionWord, 76);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.creatorCode, 80);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.versionRecord, 84);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.handlerProc, 88);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.handlerRefCon, 92);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.dataInterval, 96);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.waveformChannelCount, 100);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.spectrumChannelCount, 104);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.minWindowWidth, 108);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.minWindowHeight, 110);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.maxWindowWidth, 112);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.maxWindowHeight, 114);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.minFullScreenDepth, 116);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.maxFullScreenDepth, 118);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.windowAlignment, 120);
LUMETRA_PIN_OFFSET(HostCallBlock, u.registerVisualPluginMessage.reserved, 122);

LUMETRA_PIN_OFFSET(HostCallBlock, u.setFullScreenMessage.fullScreen, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setFullScreenOptionsMessage.minBitDepth, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setFullScreenOptionsMessage.maxBitDepth, 14);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setFullScreenOptionsMessage.preferredBitDepth, 16);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setFullScreenOptionsMessage.desiredWidth, 18);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setFullScreenOptionsMessage.desiredHeight, 20);
LUMETRA_PIN_OFFSET(HostCallBlock, u.getPluginDataMessage.dataPtr, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.getPluginDataMessage.dataBufferSize, 16);
LUMETRA_PIN_OFFSET(HostCallBlock, u.getPluginDataMessage.dataSize, 20);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setPluginDataMessage.dataPtr, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setPluginDataMessage.dataSize, 16);
LUMETRA_PIN_OFFSET(HostCallBlock, u.getPluginNamedDataMessage.dataName, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.getPluginNamedDataMessage.dataPtr, 16);
LUMETRA_PIN_OFFSET(HostCallBlock, u.getPluginNamedDataMessage.dataBufferSize, 20);
LUMETRA_PIN_OFFSET(HostCallBlock, u.getPluginNamedDataMessage.dataSize, 24);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setPluginNamedDataMessage.dataName, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setPluginNamedDataMessage.dataPtr, 16);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setPluginNamedDataMessage.dataSize, 20);
LUMETRA_PIN_OFFSET(HostCallBlock, u.openURLMessage.url, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.openURLMessage.length, 16);
LUMETRA_PIN_OFFSET(HostCallBlock, u.setDeviceSerialNumberMessage.serialNumber, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.handleEventMessage.event, 12);
LUMETRA_PIN_OFFSET(HostCallBlock, u.handleEventMessage.handled, 16);
LUMETRA_PIN_OFFSET(HostCallBlock, u.getPluginFileSpecMessage.fileSpec, 12);

#undef LUMETRA_PIN_SIZE
#undef LUMETRA_PIN_OFFSET
#undef LUMETRA_PIN

#endif /* UINTPTR_MAX == 0xFFFFFFFFu */

/* ---- Calls into the host ------------------------------------------------------------- */

/* Stamps the header (10, 1, the block's size) on block and calls appProc(appCookie, selector,
 * block). A null block is replaced by a cleared one of its own; a caller's block is not
 * cleared. Answers the callback's status unchanged, or paramErr without calling anything when
 * appProc is null. Internal to the bundle: not exported. */
OSStatus ITCallApplication(void* appCookie, ITAppProcPtr appProc, OSType selector, HostCallBlock* block);

/* The wrappers: each clears its own block (or passes none), stores its arguments, calls the
 * host and copies out what the host wrote back, whether the call succeeded or not. */
LUMETRA_EXPORT OSStatus PlayerSetFullScreen(void* appCookie, ITAppProcPtr appProc, Boolean fullScreen);
LUMETRA_EXPORT OSStatus PlayerSetFullScreenOptions(void* appCookie, ITAppProcPtr appProc, SInt16 minBitDepth,
                                                   SInt16 maxBitDepth, SInt16 preferredBitDepth,
                                                   SInt16 desiredWidth, SInt16 desiredHeight);
LUMETRA_EXPORT OSStatus PlayerGetPluginData(void* appCookie, ITAppProcPtr appProc, void* dataPtr,
                                            UInt32 dataBufferSize, UInt32* dataSize);
LUMETRA_EXPORT OSStatus PlayerSetPluginData(void* appCookie, ITAppProcPtr appProc, void* dataPtr, UInt32 dataSize);
LUMETRA_EXPORT OSStatus PlayerGetPluginNamedData(void* appCookie, ITAppProcPtr appProc, const void* dataName,
                                                 void* dataPtr, UInt32 dataBufferSize, UInt32* dataSize);
LUMETRA_EXPORT OSStatus PlayerSetPluginNamedData(void* appCookie, ITAppProcPtr appProc, const void* dataName,
                                                 void* dataPtr, UInt32 dataSize);
LUMETRA_EXPORT OSStatus PlayerIdle(void* appCookie, ITAppProcPtr appProc);
LUMETRA_EXPORT void PlayerShowAbout(void* appCookie, ITAppProcPtr appProc);
LUMETRA_EXPORT void PlayerOpenURL(void* appCookie, ITAppProcPtr appProc, const char* url, UInt32 length);
LUMETRA_EXPORT OSStatus PlayerUnregisterPlugin(void* appCookie, ITAppProcPtr appProc, HostCallBlock* block);
LUMETRA_EXPORT OSStatus PlayerRegisterVisualPlugin(void* appCookie, ITAppProcPtr appProc, HostCallBlock* block);
LUMETRA_EXPORT OSStatus PlayerRegisterDevicePlugin(void* appCookie, ITAppProcPtr appProc, HostCallBlock* block);
LUMETRA_EXPORT OSStatus PlayerSetDeviceSerialNumber(void* appCookie, ITAppProcPtr appProc, UInt32 serialNumber);
// Hands the host an event record ('evnt'). Its exported name is the one plug-ins are built
// against, so it keeps it.
LUMETRA_EXPORT OSStatus PlayerHandleMacOSEvent(void* appCookie, ITAppProcPtr appProc, const EventRecord* event,
                                               Boolean* handled);
LUMETRA_EXPORT OSStatus PlayerGetPluginFileSpec(void* appCookie, ITAppProcPtr appProc, FSSpec* fileSpec);

/* ---- The plug-in's exports ----------------------------------------------------------- */

/* The entry point: 'init' registers the visualizer, 'clr ' answers 0, anything else -4. */
LUMETRA_EXPORT OSStatus iTunesPluginMainMachO(OSType message, PluginMessageBlock* block, void* refCon);
/* Stores the four values into the version's bytes 0 to 3 in argument order. */
LUMETRA_EXPORT void SetNumVersion(NumVersion* version, UInt8 majorRev, UInt8 minorAndBugRev, UInt8 stage,
                                  UInt8 nonRelRev);

#ifdef __cplusplus
}
#endif

#endif
