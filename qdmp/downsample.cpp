// 2:1 down-sampling of a 32-bit pixel map: each 2 x 2 block of source pixels becomes one
// destination pixel, every byte (alpha included) the rounded-down average of the four.
#include "qdmp_p.h"

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
    const UInt8* upper = srcRow;
    const UInt8* lower = srcRow + srcStride;
    UInt8* out = dstRow;
    for (SInt32 i = 0; i < cols; ++i) {
      StorePixel<UInt32>(out, Average4(LoadPixel<UInt32>(upper), LoadPixel<UInt32>(upper + 4), LoadPixel<UInt32>(lower),
                                       LoadPixel<UInt32>(lower + 4)));
      upper += 8;
      lower += 8;
      out += 4;
    }
    srcRow += 2 * srcStride;
    dstRow += dstStride;
  }
}

}  // extern "C"
