// Shared by the toolkit's sources (toolkit.cpp, nib.cpp); not for callers.
#ifndef LUMETRA_TOOLKIT_P_H
#define LUMETRA_TOOLKIT_P_H

#include <cstddef>

#include "platform_p.h"

// Zero-filled toolkit memory: asks PlatformAllocationAllowed first, and is counted by
// LumetraLiveToolkitBlockCount until ToolkitRelease (which ignores null).
void* ToolkitAllocate(size_t bytes);
void ToolkitRelease(void* block);

// Limits of the interface file format; the format itself is described in platform.h.
enum {
  kNibNameMax = 63,
  kNibTitleMax = 127,
  kNibMaxWindows = 16,
  kNibMaxControls = 32,
  kNibWindowSizeMax = 4096,
  kNibFileMax = 65536
};

struct NibControl {
  UInt32 kind;  // kLumetraCheckBoxControl or kLumetraButtonControl
  ControlID id;
  char title[kNibTitleMax + 1];
  Rect frame;
};

struct NibWindow {
  NibWindow* next;  // file order
  char name[kNibNameMax + 1];
  char title[kNibTitleMax + 1];
  SInt16 width;
  SInt16 height;
  ItemCount controlCount;
  NibControl controls[kNibMaxControls];
};

// What an IBNibRef points to: the file's window descriptions, checked and complete.
struct LumetraNib {
  NibWindow* windows;
};

// Parses length bytes of interface file text. Returns noErr with *out set, nibMalformedErr
// or memFullErr with *out null and nothing left allocated.
OSStatus ParseNib(const char* text, size_t length, LumetraNib** out);
// Frees a parsed file; null is ignored.
void FreeNib(LumetraNib* nib);

#endif
