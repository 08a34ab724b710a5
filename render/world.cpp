// The offscreen world that mirrors the destination rectangle, and the audio snapshot.
#include <cstring>

#include "render_p.h"

CGrafPtr gSavePort = nullptr;
GDHandle gSaveDevice = nullptr;

namespace {

// Clears count bytes one at a time; a count of 0 or less writes nothing. The host call glue
// keeps its own, word-wise routine of the same name; each stays local to its source file.
void MemClear(void* bytes, SInt32 count) {
  auto* p = static_cast<UInt8*>(bytes);
  while (count > 0) {
    *p = 0;
    ++p;
    --count;
  }
}

}  // namespace

OSStatus ChangeVisualPort(VisualPluginState* state, GrafPtr port, const Rect* rect) {
  // A port without a rectangle cannot be compared or allocated for. Rather than read through
  // a null pointer, answer -50 and change nothing: the port, the rectangle and the world all
  // stay as they were.
  if (port && !rect) return paramErr;

  bool release;
  bool create;
  if (!port) {
    release = true;
    create = false;
  } else if (!state->destPort) {
    // No port stored means no world exists, so there is nothing to release first.
    release = false;
    create = true;
  } else {
    // All four coordinates count, the port does not: an equal rectangle on a new port keeps
    // the world and its image.
    const bool equal = EqualRect(rect, &state->destRect);
    release = !equal;
    create = !equal;
  }

  if (release) DeallocateVisualData(state);
  OSStatus status = noErr;
  if (create) status = AllocateVisualData(state, port, rect);
  state->destPort = status == noErr ? port : nullptr;
  // The rectangle is kept even when the world could not be made.
  if (rect) state->destRect = *rect;
  return status;
}

OSStatus AllocateVisualData(VisualPluginState* state, GrafPtr, const Rect* rect) {
  GetGWorld(&gSavePort, &gSaveDevice);
  Rect bounds = *rect;
  OffsetRect(&bounds, static_cast<SInt16>(-bounds.left), static_cast<SInt16>(-bounds.top));
  // The move is made in 16 bits and wraps. An inverted rectangle can come out of it as a
  // valid one of another size (top 32761, bottom -32727 becomes 0 to 48), which would give a
  // world that is not the rectangle's size; such a rectangle, like an empty one or one more
  // than 32767 wide or high, gets no world and the status the platform answers for an empty
  // rectangle.
  const bool representable = rect->top < rect->bottom && rect->left < rect->right &&
                             bounds.bottom == rect->bottom - rect->top && bounds.right == rect->right - rect->left;
  // No colour table and no device: the world is 32 bits whatever the port or the screen.
  const OSStatus status = representable
                              ? NewGWorld(&state->offscreenWorld, 32, &bounds, nullptr, nullptr, useTempMem)
                              : static_cast<OSStatus>(paramErr);
  if (status == noErr) {
    // Locked once for the world's whole life, so no frame locks or unlocks anything.
    LockPixels(GetGWorldPixMap(state->offscreenWorld));
    SetGWorld(state->offscreenWorld, nullptr);
    ForeColor(blackColor);
    PaintRect(&bounds);
  }
  SetGWorld(gSavePort, gSaveDevice);
  return status;
}

void DeallocateVisualData(VisualPluginState* state) {
  if (!state->offscreenWorld) return;
  DisposeGWorld(state->offscreenWorld);
  state->offscreenWorld = nullptr;
}

void ProcessRenderData(VisualPluginState* state, const RenderData* renderData) {
  if (renderData)
    std::memcpy(&state->renderData, renderData, sizeof(RenderData));
  else
    MemClear(&state->renderData, sizeof(RenderData));
}

void ResetRenderData(VisualPluginState* state) {
  MemClear(&state->renderData, sizeof(RenderData));
  for (UInt8& level : state->levelBytes) level = 0;
}
