// Shared by the platform's own sources; not for callers.
#ifndef LUMETRA_PLATFORM_P_H
#define LUMETRA_PLATFORM_P_H

#include "platform.h"

// Counts one allocation against the fault-injection schedule of LumetraFailNthAllocation.
// Returns false when this allocation is the one that must fail; every platform object that
// takes memory asks this before it allocates.
bool PlatformAllocationAllowed();

#endif
