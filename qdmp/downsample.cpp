// 2:1 down-sampling of a 32-bit pixel map: each 2 x 2 block of source pixels becomes one
// destination pixel, every byte (alpha included) the rounded-down average of the four.
#include "qdmp_p.h"

#if LUMETRA_X86
#include <immintrin.h>
#endif

namespace {

// Each byte halved, rounded down, within its own byte: clearing every byte's lowest bit before
// the shift keeps it from falling into the byte below.
UInt32 Half(UInt32 x) { return (x & 0xFEFEFEFEu) >> 1; }

// The horizontal pairs are halved and summed first, then the two row sums. No partial sum
// exceeds 254 in any byte, so the word additions never carry between bytes; the result is at
// most 2 below the exact mean of each byte.
UInt32 Average4(UInt32 p00, UInt32 p01, UInt32 p10, UInt32 p11) {
  const UInt32 upper = Half(p00) + Half(p01);
  const UInt32 lower = Half(p10) + Half(p11);
  return Half(upper) + Half(lower);
}

// One destination row from the source rows upper and lower, a pixel at a time.
void DownRowPlain(const UInt8* upper, const UInt8* lower, UInt8* out, SInt32 cols) {
  for (SInt32 i = 0; i < cols; ++i) {
    StorePixel<UInt32>(out, Average4(LoadPixel<UInt32>(upper), LoadPixel<UInt32>(upper + 4), LoadPixel<UInt32>(lower),
                                     LoadPixel<UInt32>(lower + 4)));
    upper += 8;
    lower += 8;
    out += 4;
  }
}

#if LUMETRA_X86
// Four (SSE2) or eight (AVX2) destination pixels at a time from two source rows: the words are
// halved with the same shift and mask, the even and odd source columns are separated by a
// shuffle and summed, and the two row sums halved and summed, exactly as Average4 does.
__attribute__((target("sse2"))) inline __m128i HalfSse2(__m128i x) {
  return _mm_and_si128(_mm_srli_epi32(x, 1), _mm_set1_epi32(0x7F7F7F7F));
}

__attribute__((target("sse2"))) inline __m128i PairSumSse2(const UInt8* row) {
  const __m128 a = _mm_castsi128_ps(HalfSse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row))));
  const __m128 b = _mm_castsi128_ps(HalfSse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16))));
  return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                       _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
}

__attribute__((target("sse2"))) void DownRowSse2(const UInt8* upper, const UInt8* lower, UInt8* out, SInt32 cols) {
  SInt32 i = 0;
  for (; i + 4 <= cols; i += 4) {
    const __m128i sum = _mm_add_epi32(HalfSse2(PairSumSse2(upper + 8 * i)), HalfSse2(PairSumSse2(lower + 8 * i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), sum);
  }
  DownRowPlain(upper + 8 * i, lower + 8 * i, out + 4 * i, cols - i);
}

__attribute__((target("avx2"))) inline __m256i HalfAvx2(__m256i x) {
  return _mm256_and_si256(_mm256_srli_epi32(x, 1), _mm256_set1_epi32(0x7F7F7F7F));
}

// The sums come out with their 64-bit quarters in the order 0, 2, 1, 3 (the shuffle works
// within 128-bit halves); the caller puts them back in order once, after the last sum.
__attribute__((target("avx2"))) inline __m256i PairSumAvx2(const UInt8* row) {
  const __m256 a = _mm256_castsi256_ps(HalfAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row))));
  const __m256 b = _mm256_castsi256_ps(HalfAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 32))));
  return _mm256_add_epi32(_mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                          _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
}

__attribute__((target("avx2"))) void DownRowAvx2(const UInt8* upper, const UInt8* lower, UInt8* out, SInt32 cols) {
  SInt32 i = 0;
  for (; i + 8 <= cols; i += 8) {
    const __m256i sum = _mm256_add_epi32(HalfAvx2(PairSumAvx2(upper + 8 * i)), HalfAvx2(PairSumAvx2(lower + 8 * i)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), _mm256_permute4x64_epi64(sum, _MM_SHUFFLE(3, 1, 2, 0)));
  }
  _mm256_zeroupper();
  DownRowSse2(upper + 8 * i, lower + 8 * i, out + 4 * i, cols - i);
}
#endif

bool Overlap(const UInt8* a, size_t aBytes, const UInt8* b, size_t bBytes) {
  const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  return x < y + bBytes && y < x + aBytes;
}

// The vector rows give the same bytes as the plain one; they are taken when the destination row
// shares no memory with the two source rows (a map averaged into itself stays plain, so it
// changes exactly as the pixel-by-pixel walk changes it).
void DownRow(const UInt8* upper, const UInt8* lower, UInt8* out, SInt32 cols) {
  const size_t in = 8 * static_cast<size_t>(cols), made = 4 * static_cast<size_t>(cols);
  if (!gPlainPaths && !Overlap(out, made, upper, in) && !Overlap(out, made, lower, in)) {
    switch (gVectorLevel) {
#if LUMETRA_X86
      case kVectorAvx2: DownRowAvx2(upper, lower, out, cols); return;
      case kVectorSse2: DownRowSse2(upper, lower, out, cols); return;
#endif
      default: break;
    }
  }
  DownRowPlain(upper, lower, out, cols);
}

}  // namespace

extern "C" {

void QDMP_DownMip32A(PixMapHandle src, PixMapHandle dst) {
  // Only 32-bit maps can be averaged word by word; maps of any other depth are left alone.
  if (!MapOfDepth<UInt32>(src) || !MapOfDepth<UInt32>(dst)) return;

  // The work comes from the source's size. Whatever its origin, the walk starts at its first
  // pixel (the base address). An odd last column or row has no partner and is left out.
  const Rect sb = (*src)->bounds;
  const Rect db = (*dst)->bounds;
  const SInt32 halfW = (static_cast<SInt32>(sb.right) - sb.left) / 2;
  const SInt32 halfH = (static_cast<SInt32>(sb.bottom) - sb.top) / 2;
  // The destination's bounds give its size only: it is written from its first pixel onwards,
  // and no further than it reaches.
  const SInt32 cols = std::min(halfW, static_cast<SInt32>(db.right) - db.left);
  const SInt32 rows = std::min(halfH, static_cast<SInt32>(db.bottom) - db.top);
  if (cols <= 0 || rows <= 0) return;

  const UInt8* srcRow = reinterpret_cast<const UInt8*>(GetPixBaseAddr(src));
  UInt8* dstRow = reinterpret_cast<UInt8*>(GetPixBaseAddr(dst));
  const ptrdiff_t srcStride = GetPixRowBytes(src);
  const ptrdiff_t dstStride = GetPixRowBytes(dst);
  for (SInt32 j = 0; j < rows; ++j) {
    DownRow(srcRow, srcRow + srcStride, dstRow, cols);
    srcRow += 2 * srcStride;
    dstRow += dstStride;
  }
}

}  // extern "C"
