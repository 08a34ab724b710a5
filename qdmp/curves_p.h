// The curves' private helper, declared for the library's tests. Not exported.
#ifndef LUMETRA_CURVES_P_H
#define LUMETRA_CURVES_P_H

#include "qdmp.h"

// The squared distance of two points, each difference cut to 16 bits first (so it wraps
// modulo 65536: -32768 and 32767 are 1 apart). At most 2 * 32768 * 32768, which fits unsigned.
UInt32 distance_squared(Point a, Point b);

#endif
