// The library's pseudo-random numbers: a linear congruential generator with a fixed sequence.
//
// The sequence starts from the same state at every load and nothing seeds it, so a caller may
// rely on the same numbers in the same order in every run. The state is read and written
// without a lock; callers on more than one thread must take turns.
#include "qdmp.h"

namespace {

// The generator's state, 314159 at load; after every draw it lies in [0, 2^31 - 1]. Only
// QDMP_RandomSInt16 touches it.
SInt32 state = 314159;

}  // namespace

extern "C" {

SInt16 QDMP_RandomSInt16(void) {
  // The product and the sum wrap modulo 2^32 (unsigned, so the wrap is defined), then the top
  // bit is cleared: the state advances modulo 2^31.
  const UInt32 next = static_cast<UInt32>(state) * 1103515245u + 12345u;
  state = static_cast<SInt32>(next & 0x7FFFFFFFu);
  // Bits 6 to 21 of the new state, as a signed 16-bit value.
  return static_cast<SInt16>(static_cast<UInt16>(static_cast<UInt32>(state) >> 6));
}

SInt16 QDMP_Random_RangeSInt16(SInt16 min, SInt16 max) {
  // u runs from 0 to 65535 and the divisor is formed in 32 bits, so neither wraps; the
  // remainder truncates toward zero and so is never negative, also for max < min.
  const SInt32 u = static_cast<UInt16>(QDMP_RandomSInt16() + 32767);
  const SInt32 d = static_cast<SInt32>(max) - static_cast<SInt32>(min);
  // With min = max the divisor is 0: the result is then min + u (cut to 16 bits), without a
  // division that would fault.
  const SInt32 rem = d != 0 ? u % d : u;
  return static_cast<SInt16>(static_cast<UInt16>(min + rem));
}

SInt32 QDMP_Random_RangeSInt32(SInt32 min, SInt32 max) {
  // Three draws, in this order, each widened with its sign: a negative r2 or r3 also sets the
  // high bits of its term.
  const SInt32 r1 = QDMP_RandomSInt16();
  const SInt32 r2 = QDMP_RandomSInt16();
  const SInt32 r3 = QDMP_RandomSInt16();
  const UInt32 x = (static_cast<UInt32>(r1) << 16) ^ (static_cast<UInt32>(r2) << 8) ^ static_cast<UInt32>(r3);
  // The span and the sum wrap in 32 bits; the remainder is taken unsigned. A span of 0 (the
  // full 32-bit range) keeps x as it is.
  const UInt32 n = static_cast<UInt32>(max) - static_cast<UInt32>(min) + 1u;
  const UInt32 rem = n != 0 ? x % n : x;
  SInt32 result = static_cast<SInt32>(static_cast<UInt32>(min) + rem);
  // For max >= min the sum already lies within [min, max]; the clamp decides only for max < min.
  if (result < min)
    result = min;
  else if (result > max)
    result = max;
  return result;
}

}  // extern "C"
