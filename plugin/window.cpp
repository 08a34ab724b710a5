// Window, frame and playback messages: they hand the host's window to the renderer and decide
// when a frame is drawn afresh and when the last image is only copied again.
#include "plugin_p.h"

namespace {

constexpr Boolean kDraw = 0;
constexpr Boolean kOnlyUpdate = 1;

// 'show' and 'swin': take the port and rectangle, and show the image the world holds.
OSStatus TakeWindow(const VisualMessageBlock* block, VisualPluginState* state) {
  const VisualPluginShowWindowMessage& message = block->u.showWindowMessage;
  state->destOptions = message.options;
  const OSStatus status = ChangeVisualPort(state, message.port, &message.drawRect);
  if (status == noErr) RenderVisualPort(state, state->destPort, &state->destRect, kOnlyUpdate);
  return status;
}

}  // namespace

OSStatus HandleWindowMessage(OSType message, VisualMessageBlock* block, VisualPluginState* state) {
  switch (message) {
    case kVisualPluginShowWindowMessage:
    case kVisualPluginSetWindowMessage:
      return TakeWindow(block, state);

    case kVisualPluginHideWindowMessage:
      // Releases the world and forgets the port; destRect, renderData and playing stay.
      ChangeVisualPort(state, nullptr, nullptr);
      state->trackInfo = TrackInfoBlock{};
      state->streamInfo = StreamInfoBlock{};
      return noErr;

    case kVisualPluginRenderMessage:
      state->renderTimeStamp = block->u.renderMessage.timeStampID;
      ProcessRenderData(state, block->u.renderMessage.renderData);
      RenderVisualPort(state, state->destPort, &state->destRect, kDraw);
      return noErr;

    case kVisualPluginUpdateMessage:
      RenderVisualPort(state, state->destPort, &state->destRect, kOnlyUpdate);
      return noErr;

    case kVisualPluginStopMessage:
    case kVisualPluginPauseMessage:
      state->playing = 0;
      ResetRenderData(state);
      RenderVisualPort(state, state->destPort, &state->destRect, kOnlyUpdate);
      return noErr;

    case kVisualPluginIdleMessage:
      // While stopped or paused every idle call draws a fresh frame from the cleared snapshot.
      if (!state->playing) RenderVisualPort(state, state->destPort, &state->destRect, kDraw);
      return noErr;

    default:
      return unimpErr;
  }
}
