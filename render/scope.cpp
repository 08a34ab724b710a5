// Scope drawing and the settings bytes it reads.
#include "render.h"

UInt8 gColorFlag = 1;
UInt8 gFlashFlag = 0;
