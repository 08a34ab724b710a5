// The handler: instance life ('init', 'clr '), the dispatch of every visual message, and the
// track, stream and playback notices. The instance record is allocated here on 'init' and
// released here on 'clr '; nothing else allocates or frees it.
//
// Bad input. The host always passes the record it got back from 'init' as the reference value,
// and a block with every message that carries data; a call that breaks this is answered
// without touching anything:
//   - a message that reads its block ('init', 'show', 'swin', 'vrnd', 'vply', 'ctrk', 'vevt')
//     sent with a null block answers paramErr;
//   - every message that works on the instance sent with a null reference value answers
//     paramErr. Those that never touch it ('von ', 'voff', 'setp', and the settings messages
//     'cnfg' and 'vevt', which work on process-wide state) do what they always do;
//   - 'clr ' with a null reference value answers 0 and frees nothing;
//   - codes not handled here answer unimpErr, whatever the block and reference value.
#include <cstring>

#include "plugin_p.h"

namespace {

// Allocates the zero-filled record, keeps the host's cookie and callback, asks the host for the
// plug-in's file specification and hands the record to the host at offset 24, whatever the
// host answered. Answers memFullErr (nothing allocated, nothing written) or the 'pspc' status.
OSStatus InitInstance(VisualMessageBlock* block) {
  VisualPluginState* state = reinterpret_cast<VisualPluginState*>(NewPtrClear(sizeof(VisualPluginState)));
  if (!state) return memFullErr;
  state->hostCookie = block->u.initMessage.appCookie;
  state->hostProc = block->u.initMessage.appProc;
  const OSStatus status = PlayerGetPluginFileSpec(state->hostCookie, state->hostProc, &state->pluginFile);
  block->u.initMessage.refCon = state;
  return status;
}

// Copies the host's track and stream information; a null address clears the copy.
void CopyTrackInfo(VisualPluginState* state, const VisualPluginPlayMessage& message) {
  if (message.trackInfo) {
    BlockMoveData(message.trackInfo, &state->trackInfo, sizeof state->trackInfo);
  } else {
    std::memset(&state->trackInfo, 0, sizeof state->trackInfo);
  }
  if (message.streamInfo) {
    BlockMoveData(message.streamInfo, &state->streamInfo, sizeof state->streamInfo);
  } else {
    std::memset(&state->streamInfo, 0, sizeof state->streamInfo);
  }
}

}  // namespace

extern "C" OSStatus VisualPluginHandler(OSType message, VisualMessageBlock* block, void* refCon) {
  VisualPluginState* state = static_cast<VisualPluginState*>(refCon);

  switch (message) {
    case kPluginInitMessage:
      if (!block) return paramErr;
      return InitInstance(block);

    case kPluginCleanupMessage:
      if (state) {
        // A host may end an instance without a 'hide' first. The record is the last thing
        // that knows the offscreen world, so the world goes with it rather than leak.
        DeallocateVisualData(state);
        DisposePtr(reinterpret_cast<Ptr>(state));
      }
      return noErr;

    case kVisualPluginPlayMessage:
    case kVisualPluginChangeTrackMessage:
      if (!state || !block) return paramErr;
      CopyTrackInfo(state, block->u.playMessage);
      if (message == kVisualPluginPlayMessage) state->playing = true;
      return noErr;

    case kVisualPluginUnpauseMessage:
      if (!state) return paramErr;
      state->playing = true;
      return noErr;

    case kVisualPluginEnableMessage:
    case kVisualPluginDisableMessage:
    case kVisualPluginSetPositionMessage:
      return noErr;

    case kVisualPluginShowWindowMessage:
    case kVisualPluginSetWindowMessage:
    case kVisualPluginRenderMessage:
      if (!state || !block) return paramErr;
      return HandleWindowMessage(message, block, state);

    case kVisualPluginHideWindowMessage:
    case kVisualPluginUpdateMessage:
    case kVisualPluginStopMessage:
    case kVisualPluginPauseMessage:
    case kVisualPluginIdleMessage:
      if (!state) return paramErr;
      return HandleWindowMessage(message, block, state);

    case kVisualPluginConfigureMessage:
      return ShowSettings();

    case kVisualPluginEventMessage:
      if (!block) return paramErr;
      return HandleKeyEvent(block);

    default:
      return unimpErr;
  }
}
