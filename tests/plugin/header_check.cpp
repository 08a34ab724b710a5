// The host records' headers as a C++ compiler sees them.
#include "platform.h"
#include "hostapi.h"
#include "render.h"

size_t LumetraHeaderCheckCxx() { return sizeof(HostCallBlock) + sizeof(VisualPluginState) + sizeof(Rect); }
