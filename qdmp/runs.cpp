// Runs of one pixel value: the store behind every scan, filled rectangle and disc row.
//
// A run of n pixels of width 1, 2 or 4 bytes is a byte stream that repeats every 4 bytes, so
// one fill serves every depth: it is given the 4 bytes that start the run and stores them over
// and over. The vector variants store 32 (AVX2) or 16 (SSE2) bytes at a time at addresses
// aligned to the vector, with one unaligned store at each end; where a store starts k bytes
// into the run its pattern is the run's pattern turned by k bytes, so every byte gets the
// value it would get from pixel-by-pixel stores. Stores at the ends may overlap the others;
// they write the same bytes. Nothing is written outside [p, p + n).
#include "qdmp_p.h"

#if LUMETRA_X86
#include <immintrin.h>
#endif

namespace {

void FillPlainBytes(UInt8* p, size_t n, UInt32 pattern) {
  UInt8 bytes[4];
  std::memcpy(bytes, &pattern, 4);
  size_t i = 0;
  for (; i + 4 <= n; i += 4) std::memcpy(p + i, bytes, 4);
  for (; i < n; ++i) p[i] = bytes[i & 3];
}

#if LUMETRA_X86
// The pattern of a store that starts `offset` bytes into the run. x86 keeps the first byte of
// a word lowest, so turning the bytes is a rotation to the right.
inline UInt32 PatternAt(UInt32 pattern, uintptr_t offset) {
  const unsigned k = static_cast<unsigned>(offset & 3) * 8;
  return k ? (pattern >> k) | (pattern << (32 - k)) : pattern;
}

// Long runs go to the processor's string store, which fills whole cache lines without reading
// them first and so outruns a loop of vector stores (memset does the same). It starts at the
// first 64-byte boundary after p and stops at the last whole word before end; the caller has
// stored the bytes before it and stores the bytes after it.
//
// Past the size of a core's own cache the string store (and memset, which then streams past
// the caches) can fall to the memory's speed on some processors (AMD's Zen: half of what a
// loop of vector stores into the shared cache reaches on a 1920x1080 frame), so runs longer
// than kStringStoreUpTo take the vector loop.
constexpr size_t kStringStoreFrom = 4096;

inline void StringStore(UInt8* p, UInt8* end, UInt32 pattern) {
  UInt8* q = reinterpret_cast<UInt8*>((reinterpret_cast<uintptr_t>(p) + 63) & ~uintptr_t{63});
  const UInt32 at = PatternAt(pattern, static_cast<uintptr_t>(q - p));
  void* d = q;
#if defined(__x86_64__)
  size_t words = static_cast<size_t>(end - q) / 8;
  const UInt64 wide = (static_cast<UInt64>(at) << 32) | at;
  asm volatile("rep stosq" : "+D"(d), "+c"(words) : "a"(wide) : "memory");
#else
  size_t words = static_cast<size_t>(end - q) / 4;
  asm volatile("rep stosl" : "+D"(d), "+c"(words) : "a"(at) : "memory");
#endif
}

__attribute__((target("sse2"))) void FillSse2(UInt8* p, size_t n, UInt32 pattern) {
  if (n < 16) return FillPlainBytes(p, n, pattern);
  UInt8* const end = p + n;
  UInt8* last = end - 16;
  const __m128i first = _mm_set1_epi32(static_cast<int>(pattern));
  const __m128i tail = _mm_set1_epi32(static_cast<int>(PatternAt(pattern, static_cast<uintptr_t>(last - p))));
  if (n >= kStringStoreFrom && n <= kStringStoreUpTo) {
    for (int i = 0; i < 4; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * i), first);
    StringStore(p, end, pattern);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last), tail);
    return;
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), first);
  UInt8* q = reinterpret_cast<UInt8*>((reinterpret_cast<uintptr_t>(p) + 16) & ~uintptr_t{15});
  const __m128i v = _mm_set1_epi32(static_cast<int>(PatternAt(pattern, static_cast<uintptr_t>(q - p))));
  for (; q + 64 <= end; q += 64) {
    _mm_store_si128(reinterpret_cast<__m128i*>(q), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 16), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 32), v);
    _mm_store_si128(reinterpret_cast<__m128i*>(q + 48), v);
  }
  for (; q + 16 <= end; q += 16) _mm_store_si128(reinterpret_cast<__m128i*>(q), v);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(last), tail);
}

__attribute__((target("avx2"))) void FillAvx2(UInt8* p, size_t n, UInt32 pattern) {
  if (n < 32) return FillSse2(p, n, pattern);
  UInt8* const end = p + n;
  UInt8* last = end - 32;
  const __m256i first = _mm256_set1_epi32(static_cast<int>(pattern));
  const __m256i tail = _mm256_set1_epi32(static_cast<int>(PatternAt(pattern, static_cast<uintptr_t>(last - p))));
  if (n >= kStringStoreFrom && n <= kStringStoreUpTo) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), first);
    StringStore(p, end, pattern);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(last), tail);
    _mm256_zeroupper();
    return;
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), first);
  UInt8* q = reinterpret_cast<UInt8*>((reinterpret_cast<uintptr_t>(p) + 32) & ~uintptr_t{31});
  const __m256i v = _mm256_set1_epi32(static_cast<int>(PatternAt(pattern, static_cast<uintptr_t>(q - p))));
  for (; q + 128 <= end; q += 128) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(q), v);
    _mm256_store_si256(reinterpret_cast<__m256i*>(q + 32), v);
    _mm256_store_si256(reinterpret_cast<__m256i*>(q + 64), v);
    _mm256_store_si256(reinterpret_cast<__m256i*>(q + 96), v);
  }
  for (; q + 32 <= end; q += 32) _mm256_store_si256(reinterpret_cast<__m256i*>(q), v);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(last), tail);
  _mm256_zeroupper();
}
#endif

}  // namespace

void FillBytes(UInt8* p, size_t n, UInt32 pattern) {
  // The same byte throughout (black, white, any 8-bit value): memset is the fastest fill there
  // is, up to the size where the vector loop overtakes it (see kStringStoreUpTo).
  const bool vectors = LUMETRA_X86 && gVectorLevel >= kVectorSse2;  // the loops below
  if (pattern == (pattern & 0xFF) * 0x01010101u && (n <= kStringStoreUpTo || !vectors)) {
    std::memset(p, static_cast<int>(pattern & 0xFF), n);
    return;
  }
  switch (gVectorLevel) {
#if LUMETRA_X86
    case kVectorAvx2: FillAvx2(p, n, pattern); return;
    case kVectorSse2: FillSse2(p, n, pattern); return;
#endif
    default: FillPlainBytes(p, n, pattern); return;
  }
}
