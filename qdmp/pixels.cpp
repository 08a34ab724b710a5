// Single-pixel access: a generic getter and setter over RGBColor, a raw getter and setter per
// depth, and a Point variant of each.
//
// Every call stands alone: it checks the map, tests the coordinate against the bounds, and
// only then forms the pixel's address, so any coordinate is safe. Nothing is cached between
// calls. The depth workers serve only maps of their own depth; on another they read 0 and
// write nothing.
#include "qdmp_p.h"

namespace {

// The pixel's address, or null when the map is not of this depth or (h, v) is outside it.
template <typename Pixel>
UInt8* PixelAt(PixMapHandle pm, SInt16 h, SInt16 v) {
  const PixMap* map = MapOfDepth<Pixel>(pm);
  if (!map) return nullptr;
  const Rect bounds = map->bounds;
  if (h < bounds.left || h >= bounds.right || v < bounds.top || v >= bounds.bottom) return nullptr;
  Ptr base = GetPixBaseAddr(pm);
  const SInt32 rowBytes = GetPixRowBytes(pm);
  if (!base) return nullptr;  // a map without pixel memory has nothing to read or write
  return PixelAddress<Pixel>(base, rowBytes, bounds, h, v);
}

template <typename Pixel>
Pixel GetPixel(PixMapHandle pm, SInt16 h, SInt16 v) {
  const UInt8* p = PixelAt<Pixel>(pm, h, v);
  return p ? LoadPixel<Pixel>(p) : 0;
}

// The value is stored unchanged; at 32 bits that includes its top byte.
template <typename Pixel>
void SetPixel(PixMapHandle pm, SInt16 h, SInt16 v, Pixel value) {
  if (UInt8* p = PixelAt<Pixel>(pm, h, v)) StorePixel<Pixel>(p, value);
}

}  // namespace

extern "C" {

UInt8 QDMP_Get_Pixel8(PixMapHandle pm, SInt16 h, SInt16 v) { return GetPixel<UInt8>(pm, h, v); }
UInt16 QDMP_Get_Pixel16(PixMapHandle pm, SInt16 h, SInt16 v) { return GetPixel<UInt16>(pm, h, v); }
UInt32 QDMP_Get_Pixel32(PixMapHandle pm, SInt16 h, SInt16 v) { return GetPixel<UInt32>(pm, h, v); }

void QDMP_Set_Pixel8(PixMapHandle pm, SInt16 h, SInt16 v, UInt8 value) { SetPixel<UInt8>(pm, h, v, value); }
void QDMP_Set_Pixel16(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 value) { SetPixel<UInt16>(pm, h, v, value); }
void QDMP_Set_Pixel32(PixMapHandle pm, SInt16 h, SInt16 v, UInt32 value) { SetPixel<UInt32>(pm, h, v, value); }

// Outside the bounds the worker reads 0, so the result is the colour of pixel value 0: at
// 8 bits the colour at table position 0, at 16 and 32 bits black.
RGBColor QDMP_Get_Pixel(PixMapHandle pm, SInt16 h, SInt16 v) {
  RGBColor result = {0, 0, 0};
  if (!pm || !*pm) return result;
  switch ((*pm)->pixelSize) {
    case 8: return FindColorByIndex(pm, QDMP_Get_Pixel8(pm, h, v));
    case 16: return Color16ToRGBColor(QDMP_Get_Pixel16(pm, h, v));
    case 32: return Color32ToRGBColor(QDMP_Get_Pixel32(pm, h, v));
    default: return result;
  }
}

// The colour is converted before the bounds test (which the worker makes), so a coordinate
// outside costs a conversion and writes nothing. At 32 bits the stored top byte is 0.
void QDMP_Set_Pixel(PixMapHandle pm, SInt16 h, SInt16 v, const RGBColor* color) {
  if (!pm || !*pm) return;
  switch ((*pm)->pixelSize) {
    case 8: QDMP_Set_Pixel8(pm, h, v, RGBColorToColor8(pm, color)); break;
    case 16: QDMP_Set_Pixel16(pm, h, v, RGBColorToColor16(color)); break;
    case 32: QDMP_Set_Pixel32(pm, h, v, RGBColorToColor32(color)); break;
    default: break;
  }
}

RGBColor QDMP_Get_PixelP(PixMapHandle pm, Point pt) { return QDMP_Get_Pixel(pm, pt.h, pt.v); }
UInt8 QDMP_Get_PixelP8(PixMapHandle pm, Point pt) { return QDMP_Get_Pixel8(pm, pt.h, pt.v); }
UInt16 QDMP_Get_PixelP16(PixMapHandle pm, Point pt) { return QDMP_Get_Pixel16(pm, pt.h, pt.v); }
UInt32 QDMP_Get_PixelP32(PixMapHandle pm, Point pt) { return QDMP_Get_Pixel32(pm, pt.h, pt.v); }

void QDMP_Set_PixelP(PixMapHandle pm, Point pt, const RGBColor* color) { QDMP_Set_Pixel(pm, pt.h, pt.v, color); }
void QDMP_Set_PixelP8(PixMapHandle pm, Point pt, UInt8 value) { QDMP_Set_Pixel8(pm, pt.h, pt.v, value); }
void QDMP_Set_PixelP16(PixMapHandle pm, Point pt, UInt16 value) { QDMP_Set_Pixel16(pm, pt.h, pt.v, value); }
void QDMP_Set_PixelP32(PixMapHandle pm, Point pt, UInt32 value) { QDMP_Set_Pixel32(pm, pt.h, pt.v, value); }

}  // extern "C"
