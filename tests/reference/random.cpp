// The model of the pseudo-random generator, in wide arithmetic with explicit wraps.
#include "reference.h"

namespace lumetra::ref {

namespace {

long long Signed16(long long x) {
  x &= 0xFFFF;
  return x >= 0x8000 ? x - 0x10000 : x;
}

}  // namespace

int Generator::Raw() {
  state = (state * 1103515245LL + 12345) % (1LL << 31);
  return static_cast<int>(Signed16(state >> 6));
}

int Generator::RangeSInt16(int min, int max) {
  const long long u = (Raw() + 32767LL) & 0xFFFF;
  const long long d = static_cast<long long>(max) - min;
  const long long rem = d == 0 ? u : u % (d < 0 ? -d : d);
  return static_cast<int>(Signed16(min + rem));
}

long long Generator::RangeSInt32(long long min, long long max) {
  const long long r1 = Raw(), r2 = Raw(), r3 = Raw();
  const unsigned long long mask = 0xFFFFFFFFULL;
  const unsigned long long x = ((static_cast<unsigned long long>(r1) << 16) ^ (static_cast<unsigned long long>(r2) << 8) ^
                                static_cast<unsigned long long>(r3)) & mask;
  const unsigned long long n = (static_cast<unsigned long long>(max - min) + 1) & mask;
  const unsigned long long rem = n == 0 ? x : x % n;
  long long result = static_cast<long long>((static_cast<unsigned long long>(min) + rem) & mask);
  if (result >= 1LL << 31) result -= 1LL << 32;
  if (result < min) return min;
  if (result > max) return max;
  return result;
}

}  // namespace lumetra::ref
