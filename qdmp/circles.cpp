// Circle outlines and filled discs of a whole-number radius around a centre pixel, at 8, 16
// and 32 bits per pixel.
//
// Both walk one octant with an integer decision value and mirror each step eight ways. The
// walk is held in 32 bits: up to a radius of 8344 that is exactly the 16-bit walk (no value of
// it leaves the 16-bit range there), and above it, up to 65535, it keeps drawing a correct
// circle where the 16-bit one would overflow or, from 32768 on, see a negative radius. The
// mirrored coordinates are formed in 32 bits too: a point beyond the 16-bit range is simply
// outside the map, never wrapped back onto it.
//
// A caller may rely on: nothing outside the map is stored; an outline stores each of its
// pixels once; a worker on a map of another depth draws nothing.
#include "qdmp_p.h"

namespace {

bool Inside(const Rect& b, SInt32 h, SInt32 v) { return h >= b.left && h < b.right && v >= b.top && v < b.bottom; }

bool In16Bits(SInt32 h, SInt32 v) { return h >= -32768 && h <= 32767 && v >= -32768 && v <= 32767; }

// Outline. On the plain path (gPlainPaths) each point of the 16-bit range goes through the
// pixel-access worker of the depth, which clips it. The fast path stores the same pixels
// straight into the map: when the circle's box (centre +- radius) lies inside the bounds,
// every point does, and it is stored at the centre's address plus its offset with no test;
// otherwise each point is tested against the bounds here and stored only when inside, so a
// huge circle around a small map costs a walk of additions and comparisons, not hundreds of
// thousands of calls.
template <typename Pixel, void (*kSetPixel)(PixMapHandle, SInt16, SInt16, Pixel)>
void DrawCircle(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, Pixel value) {
  if (!MapOfDepth<Pixel>(pm)) return;
  const Rect b = (*pm)->bounds;
  Ptr base = gPlainPaths ? nullptr : GetPixBaseAddr(pm);
  if (!gPlainPaths && !base) return;  // no pixel memory: the pixel worker would store nothing
  const SInt32 rowBytes = GetPixRowBytes(pm);
  const SInt32 r = radius;
  const bool whole = !gPlainPaths && h - r >= b.left && h + r < b.right && v - r >= b.top && v + r < b.bottom;
  UInt8* const centre = whole ? PixelAddress<Pixel>(base, rowBytes, b, h, v) : nullptr;
  const ptrdiff_t row = rowBytes, column = static_cast<ptrdiff_t>(sizeof(Pixel));
  auto plot = [&](SInt32 dh, SInt32 dv) {
    const SInt32 ph = h + dh, pv = v + dv;
    if (whole)
      StorePixel<Pixel>(centre + dv * row + dh * column, value);
    else if (gPlainPaths ? In16Bits(ph, pv) : Inside(b, ph, pv))
      gPlainPaths ? kSetPixel(pm, static_cast<SInt16>(ph), static_cast<SInt16>(pv), value)
                  : StorePixel<Pixel>(PixelAddress<Pixel>(base, rowBytes, b, ph, pv), value);
  };
  SInt32 x = 0, y = radius, d = 3 - 2 * static_cast<SInt32>(radius);
  while (x <= y) {
    // The conditions keep a pixel from being stored twice where an offset is 0 or x = y.
    plot(-x, -y);
    if (y != 0) plot(-x, y);
    if (x != 0) plot(x, -y);
    if (x != 0 && y != 0) plot(x, y);
    if (x != y) {
      plot(-y, -x);
      if (x != 0) plot(-y, x);
      if (y != 0) plot(y, -x);
      if (x != 0 && y != 0) plot(y, x);
    }
    ++x;
    // The test is on d before the update; d = 0 takes the second branch.
    if (d < 0) {
      d += 4 * x + 6;
    } else {
      d += 4 * (x - y) + 10;
      --y;
    }
  }
}

// Disc. Each row is a scan from h - w to h + w - 1 (one pixel narrower on the right, as the
// scans end before their larger end) for the largest half-width w the walk reaches on it.
template <typename Pixel, void (*kDrawScan)(PixMapHandle, SInt16, SInt16, SInt16, Pixel)>
void FillCircle(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, Pixel value) {
  if (!MapOfDepth<Pixel>(pm)) return;
  const Rect b = (*pm)->bounds;
  // Rows off the map are dropped whole and columns cut to it here, in 32 bits, so the scan
  // only ever sees coordinates inside the map.
  auto scan = [&](SInt32 row, SInt32 from, SInt32 to) {
    if (row < b.top || row >= b.bottom) return;
    const SInt32 left = std::max<SInt32>(from, b.left);
    const SInt32 right = std::min<SInt32>(to, b.right);
    if (left < right) kDrawScan(pm, static_cast<SInt16>(row), static_cast<SInt16>(left), static_cast<SInt16>(right), value);
  };
  SInt32 x = 0, y = radius, d = 3 - 2 * static_cast<SInt32>(radius);
  while (x <= y) {
    // The rows v - y and v + y keep their y for many steps while x grows, near the top and
    // bottom of a large disc; each later scan covers the earlier ones, so only the widest, the
    // last before y changes or the walk ends, is drawn. The pixels are the same; the plain
    // path (gPlainPaths) draws every scan.
    if (gPlainPaths || d >= 0 || x + 1 > y) {
      scan(v - y, h - x, h + x);
      if (y != 0) scan(v + y, h - x, h + x);
    }
    scan(v - x, h - y, h + y);
    if (x != 0) scan(v + x, h - y, h + y);
    ++x;
    if (d < 0) {
      d += 4 * x + 6;
    } else {
      d += 4 * (x - y) + 10;
      --y;
    }
  }
}

}  // namespace

extern "C" {

void QDMP_Draw_Circle8(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt8 value) {
  DrawCircle<UInt8, QDMP_Set_Pixel8>(pm, h, v, radius, value);
}

void QDMP_Draw_Circle16(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt16 value) {
  DrawCircle<UInt16, QDMP_Set_Pixel16>(pm, h, v, radius, value);
}

void QDMP_Draw_Circle32(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt32 value) {
  DrawCircle<UInt32, QDMP_Set_Pixel32>(pm, h, v, radius, value);
}

void QDMP_Draw_Circle(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, const RGBColor* color) {
  if (!pm || !*pm) return;
  switch ((*pm)->pixelSize) {
    case 8: QDMP_Draw_Circle8(pm, h, v, radius, RGBColorToColor8(pm, color)); break;
    case 16: QDMP_Draw_Circle16(pm, h, v, radius, RGBColorToColor16(color)); break;
    case 32: QDMP_Draw_Circle32(pm, h, v, radius, RGBColorToColor32(color)); break;
    default: break;
  }
}

void QDMP_Draw_CircleP(PixMapHandle pm, Point center, UInt16 radius, const RGBColor* color) {
  QDMP_Draw_Circle(pm, center.h, center.v, radius, color);
}

void QDMP_Draw_CircleP8(PixMapHandle pm, Point center, UInt16 radius, UInt8 value) {
  QDMP_Draw_Circle8(pm, center.h, center.v, radius, value);
}

void QDMP_Draw_CircleP16(PixMapHandle pm, Point center, UInt16 radius, UInt16 value) {
  QDMP_Draw_Circle16(pm, center.h, center.v, radius, value);
}

void QDMP_Draw_CircleP32(PixMapHandle pm, Point center, UInt16 radius, UInt32 value) {
  QDMP_Draw_Circle32(pm, center.h, center.v, radius, value);
}

void QDMP_Fill_Circle8(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt8 value) {
  FillCircle<UInt8, Draw_Scan8>(pm, h, v, radius, value);
}

void QDMP_Fill_Circle16(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt16 value) {
  FillCircle<UInt16, Draw_Scan16>(pm, h, v, radius, value);
}

void QDMP_Fill_Circle32(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, UInt32 value) {
  FillCircle<UInt32, Draw_Scan32>(pm, h, v, radius, value);
}

void QDMP_Fill_Circle(PixMapHandle pm, SInt16 h, SInt16 v, UInt16 radius, const RGBColor* color) {
  if (!pm || !*pm) return;
  switch ((*pm)->pixelSize) {
    case 8: QDMP_Fill_Circle8(pm, h, v, radius, RGBColorToColor8(pm, color)); break;
    case 16: QDMP_Fill_Circle16(pm, h, v, radius, RGBColorToColor16(color)); break;
    case 32: QDMP_Fill_Circle32(pm, h, v, radius, RGBColorToColor32(color)); break;
    default: break;
  }
}

void QDMP_Fill_CircleP(PixMapHandle pm, Point center, UInt16 radius, const RGBColor* color) {
  QDMP_Fill_Circle(pm, center.h, center.v, radius, color);
}

void QDMP_Fill_CircleP8(PixMapHandle pm, Point center, UInt16 radius, UInt8 value) {
  QDMP_Fill_Circle8(pm, center.h, center.v, radius, value);
}

void QDMP_Fill_CircleP16(PixMapHandle pm, Point center, UInt16 radius, UInt16 value) {
  QDMP_Fill_Circle16(pm, center.h, center.v, radius, value);
}

void QDMP_Fill_CircleP32(PixMapHandle pm, Point center, UInt16 radius, UInt32 value) {
  QDMP_Fill_Circle32(pm, center.h, center.v, radius, value);
}

}  // extern "C"
