// The handler's branches, split by concern. Private to plugin/.
#ifndef LUMETRA_PLUGIN_P_H
#define LUMETRA_PLUGIN_P_H

#include "render.h"

// The registered handler (handler.cpp): every visual message of the host comes through it.
// Not exported; the host learns its address from the registration that entry.cpp sends.
extern "C" OSStatus VisualPluginHandler(OSType message, VisualMessageBlock* block, void* refCon);

// The window and frame messages: 'show', 'swin', 'hide', 'vrnd', 'vupd', 'vstp', 'vpau',
// 'null'. The handler has checked that state is not null and, for the messages that read
// it, that block is not null.
OSStatus HandleWindowMessage(OSType message, VisualMessageBlock* block, VisualPluginState* state);

// 'cnfg': shows the settings window; always answers 0.
OSStatus ShowSettings();
// 'vevt': the key toggles; answers 0 or -4. block is not null.
OSStatus HandleKeyEvent(const VisualMessageBlock* block);

#endif
