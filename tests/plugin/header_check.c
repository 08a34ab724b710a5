/* The host records' headers as a C compiler sees them. */
#include "platform.h"
#include "hostapi.h"
#include "render.h"

/* Touches a record of each header, so that the file is not an empty unit. */
size_t LumetraHeaderCheckC(void) { return sizeof(HostCallBlock) + sizeof(VisualPluginState) + sizeof(Rect); }
