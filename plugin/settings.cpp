// Settings: the settings window and the key toggles.
#include "plugin_p.h"

OSStatus ShowSettings() { return unimpErr; }
OSStatus HandleKeyEvent(const VisualMessageBlock*) { return unimpErr; }
