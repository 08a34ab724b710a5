// The glue's own block clearing. Private to hostapi/: glue.cpp is its one user in the bundle,
// and the glue's unit test includes it to check the clearing directly. It is static inline, so
// every file that includes it keeps a file-local copy and the bundle exports nothing for it.
#ifndef LUMETRA_HOSTAPI_GLUE_P_H
#define LUMETRA_HOSTAPI_GLUE_P_H

#include <stdint.h>

#include "hostapi.h"

// Clears count bytes at p; a count of 0 or less clears nothing. Counts above 16 clear single
// bytes up to the first address that is a multiple of 4, then whole 32-bit words while more
// than 3 bytes remain, then the tail bytewise; counts of 16 and less are cleared bytewise.
// Differs from the renderer's MemClear, which is bytewise throughout.
static inline void MemClear(void* p, SInt32 count) {
  // The words are stored through a type that may alias anything, since the cleared memory is
  // usually a record of other field types.
  typedef UInt32 __attribute__((may_alias)) ClearWord;
  UInt8* bytes = static_cast<UInt8*>(p);
  if (count > 16) {
    while ((reinterpret_cast<uintptr_t>(bytes) & 3) != 0) {
      *bytes++ = 0;
      --count;
    }
    ClearWord* words = reinterpret_cast<ClearWord*>(bytes);
    while (count > 3) {
      *words++ = 0;
      count -= 4;
    }
    bytes = reinterpret_cast<UInt8*>(words);
  }
  // One byte for each time the count, decreased by one, stays at 0 or above; written with the
  // test first so that no count (down to the most negative) is ever decremented past its range.
  for (; count > 0; --count) *bytes++ = 0;
}

#endif
