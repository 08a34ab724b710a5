// Window, frame and playback messages.
#include "plugin_p.h"

OSStatus HandleWindowMessage(OSType, VisualMessageBlock*, VisualPluginState*) { return unimpErr; }
