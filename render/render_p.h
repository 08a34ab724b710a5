// The renderer's stages and shared state, seen by its own sources only.
#ifndef LUMETRA_RENDER_P_H
#define LUMETRA_RENDER_P_H

#include "render.h"

// The graphics world that was current before the renderer switched to its own: written by
// AllocateVisualData and _Erase, made current again by AllocateVisualData and _Filter.
// Meaningful only between a save and its restore within one call from the host.
extern CGrafPtr gSavePort;
extern GDHandle gSaveDevice;

// The three stages of a frame, always run in this order with the same four arguments.
// _Erase saves the current graphics world; _Draw paints the scope into the offscreen world
// (unless onlyUpdate) and leaves that world current when it gets that far; _Filter copies the
// whole world onto *rect of the port and restores the saved graphics world.
void _Erase(VisualPluginState* state, GrafPtr port, const Rect* rect, Boolean onlyUpdate);
void _Draw(VisualPluginState* state, GrafPtr port, const Rect* rect, Boolean onlyUpdate);
void _Filter(VisualPluginState* state, GrafPtr port, const Rect* rect, Boolean onlyUpdate);

// The port's bit map as CopyBits takes it.
const BitMap* GetPortCopyBitsBitMap(CGrafPtr port);

// The fill colour of a frame: black whatever the value. A null colour is left alone.
void LengthToColorRGB(SInt32 value, RGBColor* color);
// The flash-mode colour of a level byte: the colour ramp in colour mode, grey otherwise.
// A null colour is left alone.
void UInt8ToColorRGB(UInt8 value, RGBColor* color);

#endif
