// One frame: save the graphics world, draw, copy to the destination port, restore.
#include "render_p.h"

void RenderVisualPort(VisualPluginState* state, GrafPtr port, const Rect* rect, Boolean onlyUpdate) {
  _Erase(state, port, rect, onlyUpdate);
  _Draw(state, port, rect, onlyUpdate);
  _Filter(state, port, rect, onlyUpdate);
}

void _Erase(VisualPluginState*, GrafPtr, const Rect*, Boolean) { GetGWorld(&gSavePort, &gSaveDevice); }

void _Filter(VisualPluginState* state, GrafPtr port, const Rect* rect, Boolean) {
  Rect srcRect = *rect;
  const Rect dstRect = *rect;
  if (!port || !state->offscreenWorld) return;
  // The source is always the whole world, from (0, 0); the destination stays in the port's
  // coordinates.
  OffsetRect(&srcRect, static_cast<SInt16>(-srcRect.left), static_cast<SInt16>(-srcRect.top));
  const BitMap* srcBits = GetPortCopyBitsBitMap(state->offscreenWorld);
  const BitMap* dstBits = GetPortCopyBitsBitMap(port);
  SetGWorld(port, nullptr);
  // The port keeps these colours after the frame; they are not restored.
  ForeColor(blackColor);
  BackColor(whiteColor);
  CopyBits(srcBits, dstBits, &srcRect, &dstRect, srcCopy, nullptr);
  SetGWorld(gSavePort, gSaveDevice);
}

const BitMap* GetPortCopyBitsBitMap(CGrafPtr port) { return GetPortBitMapForCopyBits(port); }
