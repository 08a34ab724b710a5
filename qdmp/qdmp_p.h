// The library's private helpers: the colour conversions and the scans. Not exported.
#ifndef LUMETRA_QDMP_P_H
#define LUMETRA_QDMP_P_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qdmp.h"

// Colour to pixel value. RGBColorToColor8 answers the nearest entry of the map's colour table
// (255 without a table or for a null colour); the others take a valid colour.
UInt8 RGBColorToColor8(PixMapHandle pm, const RGBColor* color);
UInt16 RGBColorToColor16(const RGBColor* color);
UInt32 RGBColorToColor32(const RGBColor* color);

// Pixel value to colour, widening by bit replication.
RGBColor Color16ToRGBColor(UInt32 pixel);
RGBColor Color32ToRGBColor(UInt32 pixel);
RGBColor FindColorByIndex(PixMapHandle pm, SInt16 index);

// A run of pixels on row v from the smaller of h1, h2 up to, not including, the larger.
// Rows outside the bounds are dropped, columns outside are cut; a map of another depth is left
// alone.
void Draw_Scan8(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt8 value);
void Draw_Scan16(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt16 value);
void Draw_Scan32(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt32 value);

// ---- Shared by the per-depth workers --------------------------------------------------
//
// Each family has one implementation, a template over the pixel type (UInt8, UInt16, UInt32);
// the exported names are thin instantiations of it.

// Plain paths. When the environment holds LUMETRA_GENERIC=1 as the library loads, every worker
// takes its plain path: lines walk step by step and test each pixel against the bounds instead
// of being clipped before the walk, runs are stored a pixel at a time, circle outlines go
// through the pixel worker point by point, and composites and down-sampling work a pixel at a
// time. Both paths store exactly the same pixels; the flag exists so that tests can check the
// fast paths against the plain ones (tests linked with the library may also set it directly).
extern bool gPlainPaths;

// The widest vector instructions the fast paths may use, found once as the library loads: AVX2
// where the processor has it, SSE2 otherwise (every x86-64 processor, and the 32-bit build,
// which is compiled for SSE2), none elsewhere or under LUMETRA_GENERIC=1. The kernels (runs,
// composites, down-sampled rows) switch on it once per run, a branch that always goes the same
// way, so callers never see which variant ran. Tests may lower it to check a narrower variant
// against the others; raising it above what the processor has is not allowed.
enum { kVectorNone = 0, kVectorSse2 = 1, kVectorAvx2 = 2 };
extern int gVectorLevel;
#if defined(__x86_64__) || defined(__i386__)
#define LUMETRA_X86 1
#else
#define LUMETRA_X86 0
#endif

// Stores n bytes from p on, repeating the 4 bytes of pattern (in memory order, the first byte
// at p): a run of pixels of 1, 2 or 4 bytes whose first pixel starts at p, every pixel value
// replicated to 4 bytes. Picks the vector variant of gVectorLevel. (runs.cpp)
void FillBytes(UInt8* p, size_t n, UInt32 pattern);
// Fills longer than this take a loop of vector stores rather than the string store or memset,
// which some processors run at the memory's speed once a run outgrows a core's cache.
inline constexpr size_t kStringStoreUpTo = size_t{2} << 20;

// The 4-byte pattern of a run of one pixel value.
template <typename Pixel>
inline UInt32 RunPattern(Pixel value) {
  if constexpr (sizeof(Pixel) == 1) return 0x01010101u * value;
  if constexpr (sizeof(Pixel) == 2) return 0x00010001u * value;
  return value;
}

// The checks every worker makes before it touches memory: the handle, its master pointer, and
// that the map's pixel size is the worker's depth. A worker handed a map of another depth does
// nothing, because it would otherwise step through the rows with the wrong pixel width and
// store past their ends. Returns the record, or null when the worker must do nothing.
template <typename Pixel>
inline const PixMap* MapOfDepth(PixMapHandle pm) {
  if (!pm || !*pm || (*pm)->pixelSize != static_cast<SInt16>(8 * sizeof(Pixel))) return nullptr;
  return *pm;
}

// The address of the pixel at (h, v). Callers form it only for pixels inside the bounds, so the
// offset always lies within the map's memory; it is formed in the width of an address, which
// holds the signed 32-bit offset of every pixel that exists.
template <typename Pixel>
inline UInt8* PixelAddress(Ptr base, SInt32 rowBytes, const Rect& bounds, SInt32 h, SInt32 v) {
  return reinterpret_cast<UInt8*>(base) + static_cast<ptrdiff_t>(rowBytes) * (v - bounds.top) +
         static_cast<ptrdiff_t>(h - bounds.left) * static_cast<ptrdiff_t>(sizeof(Pixel));
}

// Pixels are read and written as whole words in the machine's byte order. memcpy lets the
// compiler emit one plain load or store, and stays correct when a caller's row bytes leave a
// row at an address that is not a multiple of the pixel width.
template <typename Pixel>
inline Pixel LoadPixel(const UInt8* p) {
  Pixel value;
  std::memcpy(&value, p, sizeof(Pixel));
  return value;
}

template <typename Pixel>
inline void StorePixel(UInt8* p, Pixel value) {
  std::memcpy(p, &value, sizeof(Pixel));
}

// n consecutive pixels from p on, left to right. The fast path is the vector fill of
// runs.cpp; the plain path stores one pixel at a time.
template <typename Pixel>
inline void StoreRun(UInt8* p, SInt32 n, Pixel value) {
  if (!gPlainPaths) {
    FillBytes(p, static_cast<size_t>(n) * sizeof(Pixel), RunPattern<Pixel>(value));
    return;
  }
  for (SInt32 i = 0; i < n; ++i) StorePixel<Pixel>(p + static_cast<ptrdiff_t>(i) * sizeof(Pixel), value);
}

#endif
