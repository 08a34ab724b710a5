/*
 * The visual renderer: each instance's offscreen world, the audio snapshot it is drawn from,
 * and the frame pipeline that draws the scope and copies it to the host's window port.
 * Internal to the bundle; the handler is its only caller, on the host's thread.
 */
#ifndef LUMETRA_RENDER_H
#define LUMETRA_RENDER_H

#include "hostapi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One per visualizer instance, allocated zero-filled on 'init' and released on 'clr '. */
typedef struct VisualPluginState {
  void* hostCookie;
  ITAppProcPtr hostProc;
  FSSpec pluginFile;          /* written by the host during 'pspc' */
  GrafPtr destPort;           /* null while there is no window */
  Rect destRect;              /* in the destination port's coordinates */
  UInt32 destOptions;
  RenderData renderData;      /* the last snapshot */
  UInt32 renderTimeStamp;
  TrackInfoBlock trackInfo;
  StreamInfoBlock streamInfo;
  Boolean playing;
  UInt8 levelBytes[4];        /* only ever cleared */
  GWorldPtr offscreenWorld;   /* null while there is none; non-null only while destPort is */
} VisualPluginState;

/* The two settings bytes, process-wide: colour mode (initially 1) and flash mode (initially
 * 0); 0 is off, any other value on. */
extern UInt8 gColorFlag;
extern UInt8 gFlashFlag;

/* Takes a new destination port and rectangle (both null to drop the window) and makes the
 * offscreen world match; answers 0 or the platform's error. */
OSStatus ChangeVisualPort(VisualPluginState* state, GrafPtr port, const Rect* rect);
OSStatus AllocateVisualData(VisualPluginState* state, GrafPtr port, const Rect* rect);
void DeallocateVisualData(VisualPluginState* state);
/* Copies the 2050-byte snapshot in, or clears it for a null record. */
void ProcessRenderData(VisualPluginState* state, const RenderData* renderData);
void ResetRenderData(VisualPluginState* state);
/* One frame: save the graphics world, draw (unless onlyUpdate), copy to the port, restore. */
void RenderVisualPort(VisualPluginState* state, GrafPtr port, const Rect* rect, Boolean onlyUpdate);

#ifdef __cplusplus
}
#endif

#endif
