// Block copies between pixel maps: rectangles and scans, plain at 8, 16 and 32 bits and
// compositing by the source's alpha at 32 bits. The source map always comes first.
//
// What a caller may rely on:
// - Nothing outside either map is read or written, whatever the rectangles and columns.
// - Widths and run lengths are formed in 32 bits, so a run of 65535 columns is as long as it
//   says; the test that the two sides are equally wide is made on the runs as given (for the
//   plain rectangle copy, on the rectangles clipped to their maps, as it always was).
// - Source and destination may overlap within one map. Rows are taken from top to bottom, and
//   each row (or scan) moves as memmove moves bytes: the result is as if the whole source row
//   had been read before any of the destination row was written. A scan copied onto its own
//   row one pixel to the right is therefore shifted, not smeared. Rows, though, are moved one
//   after the other, so a rectangle copied onto itself a row lower repeats its first row.
// - A worker on maps that are not both of its depth (32 for the compositing ones) copies
//   nothing.
#include "qdmp_p.h"

#if LUMETRA_X86
#include <immintrin.h>
#endif

namespace {

// The address of the pixel at (h, v), which the caller has found inside the map.
template <typename Pixel>
UInt8* AddressOf(PixMapHandle pm, SInt32 h, SInt32 v) {
  return PixelAddress<Pixel>(GetPixBaseAddr(pm), GetPixRowBytes(pm), (*pm)->bounds, h, v);
}

// Both handles and master pointers are set and both maps have the depth of Pixel.
template <typename Pixel>
bool BothOfDepth(PixMapHandle src, PixMapHandle dst) {
  return MapOfDepth<Pixel>(src) && MapOfDepth<Pixel>(dst);
}

// A run of columns on each side, matched pixel for pixel: source column srcStart + i goes to
// destination column dstStart + i.
struct RunPair {
  SInt32 srcStart;
  SInt32 dstStart;
  SInt32 length;
};

// Cuts the columns that lie outside either map, in pairs, so that the remaining source and
// destination columns stay matched as they were given. Answers false when nothing remains.
bool CutToBothMaps(RunPair& run, const Rect& srcBounds, const Rect& dstBounds) {
  if (run.srcStart < srcBounds.left) {
    const SInt32 cut = srcBounds.left - run.srcStart;
    run.srcStart += cut;
    run.dstStart += cut;
    run.length -= cut;
  }
  if (run.dstStart < dstBounds.left) {
    const SInt32 cut = dstBounds.left - run.dstStart;
    run.srcStart += cut;
    run.dstStart += cut;
    run.length -= cut;
  }
  run.length = std::min(run.length, static_cast<SInt32>(srcBounds.right) - run.srcStart);
  run.length = std::min(run.length, static_cast<SInt32>(dstBounds.right) - run.dstStart);
  return run.length > 0;
}

// The run from the smaller end up to, not including, the larger, in 32 bits.
void RunOf(SInt32 h1, SInt32 h2, SInt32& start, SInt32& length) {
  start = std::min(h1, h2);
  length = h1 < h2 ? h2 - h1 : h1 - h2;
}

// One source pixel over one destination pixel, weighted by the source's alpha a: each channel
// is (S * a >> 8) + (D * (255 - a) >> 8), the two products shifted apart, so an opaque full
// channel gives 254 and no channel exceeds 254 or carries. The destination's top byte is not
// read and comes out 0.
UInt32 Composite(UInt32 s, UInt32 d) {
  const UInt32 a = s >> 24;
  const UInt32 b = 255 - a;
  UInt32 out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const UInt32 sc = (s >> shift) & 0xFF;
    const UInt32 dc = (d >> shift) & 0xFF;
    out |= (((sc * a) >> 8) + ((dc * b) >> 8)) << shift;
  }
  return out;
}

void CompositePixel(const UInt8* from, UInt8* to) {
  StorePixel<UInt32>(to, Composite(LoadPixel<UInt32>(from), LoadPixel<UInt32>(to)));
}

#if LUMETRA_X86
// Four (SSE2) or eight (AVX2) pixels at a time, each channel widened to 16 bits: the products
// S * a and D * (255 - a) fit 16 bits, each is shifted right by 8 on its own and the two are
// added, exactly as the one-pixel blend does; the alpha lane is cleared at the end.
__attribute__((target("sse2"))) void CompositeSse2(const UInt8* from, UInt8* to, SInt32 count) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i full = _mm_set1_epi16(255);
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  SInt32 i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + 4 * i));
    const __m128i sLo = _mm_unpacklo_epi8(s, zero), sHi = _mm_unpackhi_epi8(s, zero);
    const __m128i dLo = _mm_unpacklo_epi8(d, zero), dHi = _mm_unpackhi_epi8(d, zero);
    const __m128i aLo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sLo, 0xFF), 0xFF);
    const __m128i aHi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sHi, 0xFF), 0xFF);
    const __m128i lo = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(sLo, aLo), 8),
                                     _mm_srli_epi16(_mm_mullo_epi16(dLo, _mm_sub_epi16(full, aLo)), 8));
    const __m128i hi = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(sHi, aHi), 8),
                                     _mm_srli_epi16(_mm_mullo_epi16(dHi, _mm_sub_epi16(full, aHi)), 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4 * i), _mm_and_si128(_mm_packus_epi16(lo, hi), colour));
  }
  for (; i < count; ++i) CompositePixel(from + 4 * i, to + 4 * i);
}

__attribute__((target("avx2"))) void CompositeAvx2(const UInt8* from, UInt8* to, SInt32 count) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full = _mm256_set1_epi16(255);
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  SInt32 i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 4 * i));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + 4 * i));
    const __m256i sLo = _mm256_unpacklo_epi8(s, zero), sHi = _mm256_unpackhi_epi8(s, zero);
    const __m256i dLo = _mm256_unpacklo_epi8(d, zero), dHi = _mm256_unpackhi_epi8(d, zero);
    const __m256i aLo = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sLo, 0xFF), 0xFF);
    const __m256i aHi = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sHi, 0xFF), 0xFF);
    const __m256i lo = _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(sLo, aLo), 8),
                                        _mm256_srli_epi16(_mm256_mullo_epi16(dLo, _mm256_sub_epi16(full, aLo)), 8));
    const __m256i hi = _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(sHi, aHi), 8),
                                        _mm256_srli_epi16(_mm256_mullo_epi16(dHi, _mm256_sub_epi16(full, aHi)), 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 4 * i), _mm256_and_si256(_mm256_packus_epi16(lo, hi), colour));
  }
  _mm256_zeroupper();
  CompositeSse2(from + 4 * i, to + 4 * i, count - i);
}
#endif

// Composites count pixels from `from` onto `to`, memmove-like: when the destination lies above
// the source in memory the pixels are taken right to left, so that no source pixel is read
// after it has been written. Runs that do not overlap (every run between two maps) take the
// vector blend of gVectorLevel, which gives the same bytes; overlapping ones stay plain.
void CompositeRow(const UInt8* from, UInt8* to, SInt32 count) {
  const uintptr_t f = reinterpret_cast<uintptr_t>(from), t = reinterpret_cast<uintptr_t>(to);
  const uintptr_t bytes = 4 * static_cast<uintptr_t>(count > 0 ? count : 0);
  if (!gPlainPaths && (t + bytes <= f || f + bytes <= t)) {
    switch (gVectorLevel) {
#if LUMETRA_X86
      case kVectorAvx2: CompositeAvx2(from, to, count); return;
      case kVectorSse2: CompositeSse2(from, to, count); return;
#endif
      default: break;
    }
  }
  if (reinterpret_cast<uintptr_t>(to) > reinterpret_cast<uintptr_t>(from)) {
    for (SInt32 i = count - 1; i >= 0; --i) CompositePixel(from + 4 * i, to + 4 * i);
  } else {
    for (SInt32 i = 0; i < count; ++i) CompositePixel(from + 4 * i, to + 4 * i);
  }
}

template <typename Pixel>
void CopyRect(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect) {
  if (!BothOfDepth<Pixel>(src, dst) || !srcRect || !dstRect) return;
  // Each rectangle is clipped to its own map; the caller's rectangles stay as they are.
  const Rect srcBounds = (*src)->bounds;
  const Rect dstBounds = (*dst)->bounds;
  Rect s = *srcRect;
  Rect d = *dstRect;
  if (!QDMP_Intersect_Rects(&s, &srcBounds, &s)) return;
  if (!QDMP_Intersect_Rects(&d, &dstBounds, &d)) return;
  // Clipping that cuts columns off one side only makes the widths differ: nothing is copied.
  const SInt32 width = static_cast<SInt32>(s.right) - s.left;
  if (width != static_cast<SInt32>(d.right) - d.left) return;
  // The first remaining rows of the two clipped rectangles are paired, even when clipping cut
  // rows off the top of one of them only.
  const SInt32 rows = std::min(static_cast<SInt32>(s.bottom) - s.top, static_cast<SInt32>(d.bottom) - d.top);
  // The byte count is held in 32 bits: a row of more than 32767 bytes is copied whole (a 16-bit
  // count would turn it into a wrong or negative one).
  const ByteCount bytes = static_cast<ByteCount>(width) * sizeof(Pixel);
  const UInt8* from = AddressOf<Pixel>(src, s.left, s.top);
  UInt8* to = AddressOf<Pixel>(dst, d.left, d.top);
  const ptrdiff_t srcStride = GetPixRowBytes(src);
  const ptrdiff_t dstStride = GetPixRowBytes(dst);
  // Whole rows of two maps without padding lie end to end in memory on both sides: unless the
  // two ranges overlap (one map, where rows must go one after the other), they are one block,
  // moved by one call at the full speed of the copy. The bytes are the same.
  const size_t total = static_cast<size_t>(rows) * bytes;
  const uintptr_t f = reinterpret_cast<uintptr_t>(from), t = reinterpret_cast<uintptr_t>(to);
  if (!gPlainPaths && srcStride == static_cast<ptrdiff_t>(bytes) && dstStride == static_cast<ptrdiff_t>(bytes) &&
      (f + total <= t || t + total <= f)) {
    MPBlockCopy(from, to, static_cast<ByteCount>(total));
    return;
  }
  for (SInt32 r = 0; r < rows; ++r) {
    MPBlockCopy(from, to, bytes);
    from += srcStride;
    to += dstStride;
  }
}

// The checks shared by the scan copies. Answers false when nothing is to be copied; otherwise
// run holds the columns to copy, cut in pairs to both maps.
template <typename Pixel>
bool PrepareScan(PixMapHandle src, PixMapHandle dst, SInt32 srcRow, SInt32 srcH1, SInt32 srcH2, SInt32 dstRow,
                 SInt32 dstH1, SInt32 dstH2, RunPair& run) {
  if (!BothOfDepth<Pixel>(src, dst)) return false;
  const Rect srcBounds = (*src)->bounds;
  const Rect dstBounds = (*dst)->bounds;
  if (srcRow < srcBounds.top || srcRow >= srcBounds.bottom) return false;
  if (dstRow < dstBounds.top || dstRow >= dstBounds.bottom) return false;
  SInt32 dstLength = 0;
  RunOf(srcH1, srcH2, run.srcStart, run.length);
  RunOf(dstH1, dstH2, run.dstStart, dstLength);
  // The lengths are compared as given, before any column is cut.
  if (run.length != dstLength) return false;
  return CutToBothMaps(run, srcBounds, dstBounds);
}

template <typename Pixel>
void CopyScan(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2, SInt16 dstRow, SInt16 dstH1,
              SInt16 dstH2) {
  RunPair run;
  if (!PrepareScan<Pixel>(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2, run)) return;
  // A plain copy moves bytes unchanged, so memmove gives the overlap behaviour promised above.
  std::memmove(AddressOf<Pixel>(dst, run.dstStart, dstRow), AddressOf<Pixel>(src, run.srcStart, srcRow),
               static_cast<size_t>(run.length) * sizeof(Pixel));
}

}  // namespace

extern "C" {

void QDMP_Copy_Rect8(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect) {
  CopyRect<UInt8>(src, dst, srcRect, dstRect);
}

void QDMP_Copy_Rect16(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect) {
  CopyRect<UInt16>(src, dst, srcRect, dstRect);
}

void QDMP_Copy_Rect32(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect) {
  CopyRect<UInt32>(src, dst, srcRect, dstRect);
}

void QDMP_Copy_Rect(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect) {
  if (!src || !*src || !dst || !*dst) return;
  if ((*src)->pixelSize != (*dst)->pixelSize) return;
  switch ((*src)->pixelSize) {
    case 8: QDMP_Copy_Rect8(src, dst, srcRect, dstRect); break;
    case 16: QDMP_Copy_Rect16(src, dst, srcRect, dstRect); break;
    case 32: QDMP_Copy_Rect32(src, dst, srcRect, dstRect); break;
    default: break;
  }
}

void QDMP_Copy_Rect32A(PixMapHandle src, PixMapHandle dst, const Rect* srcRect, const Rect* dstRect) {
  if (!BothOfDepth<UInt32>(src, dst) || !srcRect || !dstRect) return;
  const Rect srcBounds = (*src)->bounds;
  const Rect dstBounds = (*dst)->bounds;
  // Working values in 32 bits, so that moving one side's edge by the other's cut cannot wrap.
  SInt32 sTop = srcRect->top, sBottom = srcRect->bottom;
  SInt32 dTop = dstRect->top, dBottom = dstRect->bottom;
  // Rows are clipped in pairs, so that source and destination rows stay matched: a source cut
  // at its map's top moves the destination's first row down with it.
  if (sTop < srcBounds.top) {
    dTop += srcBounds.top - sTop;
    sTop = srcBounds.top;
  }
  if (dTop < dstBounds.top) {
    sTop += dstBounds.top - dTop;
    dTop = dstBounds.top;
  }
  if (sBottom > srcBounds.bottom) {
    dBottom -= sBottom - srcBounds.bottom;
    sBottom = srcBounds.bottom;
  }
  if (dBottom > dstBounds.bottom) {
    sBottom -= dBottom - dstBounds.bottom;
    dBottom = dstBounds.bottom;
  }
  // A rectangle with right < left is not empty here: its run covers the columns right to
  // left - 1. The widths are compared as given; then the columns outside either map are cut,
  // in pairs like the rows.
  RunPair run;
  SInt32 dstWidth = 0;
  RunOf(srcRect->left, srcRect->right, run.srcStart, run.length);
  RunOf(dstRect->left, dstRect->right, run.dstStart, dstWidth);
  if (run.length != dstWidth) return;
  if (!CutToBothMaps(run, srcBounds, dstBounds)) return;
  if (sTop >= sBottom || dTop >= dBottom) return;
  const UInt8* from = AddressOf<UInt32>(src, run.srcStart, sTop);
  UInt8* to = AddressOf<UInt32>(dst, run.dstStart, dTop);
  const ptrdiff_t srcStride = GetPixRowBytes(src);
  const ptrdiff_t dstStride = GetPixRowBytes(dst);
  for (; sTop < sBottom && dTop < dBottom; ++sTop, ++dTop) {
    CompositeRow(from, to, run.length);
    from += srcStride;
    to += dstStride;
  }
}

void QDMP_Copy_Scan8(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2, SInt16 dstRow,
                     SInt16 dstH1, SInt16 dstH2) {
  CopyScan<UInt8>(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2);
}

void QDMP_Copy_Scan16(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2, SInt16 dstRow,
                      SInt16 dstH1, SInt16 dstH2) {
  CopyScan<UInt16>(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2);
}

void QDMP_Copy_Scan32(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2, SInt16 dstRow,
                      SInt16 dstH1, SInt16 dstH2) {
  CopyScan<UInt32>(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2);
}

void QDMP_Copy_Scan(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2, SInt16 dstRow,
                    SInt16 dstH1, SInt16 dstH2) {
  if (!src || !*src || !dst || !*dst) return;
  if ((*src)->pixelSize != (*dst)->pixelSize) return;
  switch ((*src)->pixelSize) {
    case 8: QDMP_Copy_Scan8(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2); break;
    case 16: QDMP_Copy_Scan16(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2); break;
    case 32: QDMP_Copy_Scan32(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2); break;
    default: break;
  }
}

void QDMP_Copy_Scan32A(PixMapHandle src, PixMapHandle dst, SInt16 srcRow, SInt16 srcH1, SInt16 srcH2, SInt16 dstRow,
                       SInt16 dstH1, SInt16 dstH2) {
  RunPair run;
  if (!PrepareScan<UInt32>(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2, run)) return;
  CompositeRow(AddressOf<UInt32>(src, run.srcStart, srcRow), AddressOf<UInt32>(dst, run.dstStart, dstRow), run.length);
}

}  // extern "C"
