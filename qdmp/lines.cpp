// Lines: a generic entry point over RGBColor, a worker per depth, and Point variants.
//
// The walk. From (hStart, vStart), with dx, dy the absolute deltas and sx, sy the signs, the
// longer axis drives (the columns when dx >= dy, so also for equal deltas and the single
// point). The error starts at half the driving delta, rounded down; every step moves one
// pixel along the driving axis, adds the other delta to the error, and when the error then
// exceeds (strictly) the driving delta, subtracts it and moves one pixel along the other axis.
// So a line stores max(dx, dy) + 1 positions from its start to its end, except that with
// dx = dy = 1 the error reaches 1 without exceeding it and the line ends at (hEnd, vStart);
// and a line and its reverse may cover different pixels. Positions outside the bounds are
// skipped; the walk goes on, so a line that leaves the map and comes back is drawn wherever it
// lies inside.
//
// Width of the arithmetic. When dx + dy stays within 32767 no delta, error term or counter of
// the walk leaves 16 bits, and this is that walk exactly. Longer lines (possible only between
// far-apart 16-bit coordinates) are walked in 32-bit and 64-bit arithmetic, so they are drawn
// as the same walk would draw them on an unbounded map instead of with wrapped deltas.
#include "qdmp_p.h"

namespace {

// One axis of a line as the walk sees it: where it starts, its direction (+1 or -1), its
// absolute delta, the half-open range of coordinates inside the bounds along it, and the
// distance in bytes of one step along it.
struct LineAxis {
  SInt32 origin;
  SInt32 step;
  SInt32 delta;
  SInt32 lo;
  SInt32 hi;
  ptrdiff_t stride;
};

// One step of the walk from the pixel at p with error err. The step along the minor axis is
// chosen by a select, not a branch: a branch on it would be mispredicted on most lines whose
// slope is not near 0 or 1.
struct WalkState {
  UInt8* p;
  SInt32 err;
};

inline void Step(WalkState& w, SInt32 bigD, SInt32 d, ptrdiff_t majorStride, ptrdiff_t minorStride) {
  const SInt32 err = w.err + d;
  UInt8* const straight = w.p + majorStride;
  UInt8* const diagonal = straight + minorStride;
  const bool minorStep = err > bigD;
  w.err = minorStep ? err - bigD : err;
  w.p = minorStep ? diagonal : straight;
}

// Stores the pixel at p (a position of the walk where its error is err, 1 <= err <= the major
// delta once the line has 2 steps or more) and the `steps` pixels after it. Each step depends
// on the one before, so a long walk is split in two halves walked side by side: the second half
// starts where the walk is after front + 1 steps, found by one division as in WalkClipped, and
// the two chains of steps overlap in the processor.
template <typename Pixel>
inline void Walk(UInt8* p, SInt64 steps, SInt32 err, const LineAxis& major, const LineAxis& minor, Pixel value) {
  const SInt32 bigD = major.delta;
  const SInt32 d = minor.delta;
  const ptrdiff_t majorStride = major.stride;
  const ptrdiff_t minorStride = minor.stride;
  WalkState a = {p, err};
  if (steps >= 16) {
    const SInt64 front = (steps - 1) >> 1;
    // After front + 1 steps the error, before any subtraction, is e; the walk has stepped k
    // times along the minor axis, the number that brings e back into 1..bigD.
    const SInt64 e = static_cast<SInt64>(err) + (front + 1) * d;
    const SInt64 k = (e - 1) / bigD;
    WalkState b = {p + (front + 1) * majorStride + k * minorStride, static_cast<SInt32>(e - k * bigD)};
    const SInt64 back = steps - front - 1;  // b's steps after its first pixel: front or front + 1
    StorePixel<Pixel>(a.p, value);
    StorePixel<Pixel>(b.p, value);
    for (SInt64 i = 0; i < front; ++i) {
      Step(a, bigD, d, majorStride, minorStride);
      Step(b, bigD, d, majorStride, minorStride);
      StorePixel<Pixel>(a.p, value);
      StorePixel<Pixel>(b.p, value);
    }
    if (back > front) {
      Step(b, bigD, d, majorStride, minorStride);
      StorePixel<Pixel>(b.p, value);
    }
    return;
  }
  StorePixel<Pixel>(a.p, value);
  for (SInt64 i = 0; i < steps; ++i) {
    Step(a, bigD, d, majorStride, minorStride);
    StorePixel<Pixel>(a.p, value);
  }
}

// The range of step counts n >= 0 for which origin + step * n lies in [lo, hi).
void StepsInside(const LineAxis& axis, SInt64* first, SInt64* last) {
  if (axis.step > 0) {
    *first = static_cast<SInt64>(axis.lo) - axis.origin;
    *last = static_cast<SInt64>(axis.hi) - 1 - axis.origin;
  } else {
    *first = static_cast<SInt64>(axis.origin) - (axis.hi - 1);
    *last = static_cast<SInt64>(axis.origin) - axis.lo;
  }
}

// The walk with every pixel clipped before it starts. After i steps along the driving axis the
// error, before any subtraction, has grown to E(i) = half + i * minorDelta; the walk has stepped
// k(i) = (E(i) - 1) / majorDelta times along the other axis (0 while E(i) is 0), and k grows
// with i. So the steps whose pixel is inside form one interval, found by dividing instead of
// walking, and the walk resumes at its first step with the error it would have there. Every
// pixel it then visits is inside, and the running address never leaves the map.
template <typename Pixel>
void WalkClipped(Ptr base, SInt32 rowBytes, const Rect& bounds, bool rowsDrive, const LineAxis& major,
                 const LineAxis& minor, Pixel value) {
  const SInt64 bigD = major.delta;
  const SInt64 d = minor.delta;
  const SInt64 half = bigD >> 1;

  SInt64 iFirst = 0;
  SInt64 iLast = 0;
  StepsInside(major, &iFirst, &iLast);
  if (iFirst < 0) iFirst = 0;
  if (iLast > bigD) iLast = bigD;

  SInt64 kFirst = 0;
  SInt64 kLast = 0;
  StepsInside(minor, &kFirst, &kLast);
  if (kLast < 0) return;  // k never goes below 0
  if (kFirst > 0) {
    // k(i) >= kFirst  <=>  half + i * d >= kFirst * bigD + 1
    if (d == 0) return;
    const SInt64 need = kFirst * bigD + 1 - half;  // positive
    const SInt64 i = (need + d - 1) / d;
    if (i > iFirst) iFirst = i;
  }
  if (d > 0) {
    // k(i) <= kLast  <=>  half + i * d <= (kLast + 1) * bigD
    const SInt64 i = ((kLast + 1) * bigD - half) / d;  // the dividend is not negative
    if (i < iLast) iLast = i;
  }
  if (iFirst > iLast) return;

  const SInt64 e = half + iFirst * d;
  const SInt64 k = e >= 1 ? (e - 1) / bigD : 0;
  const SInt32 err = static_cast<SInt32>(e - k * bigD);
  const SInt32 majorAt = major.origin + major.step * static_cast<SInt32>(iFirst);
  const SInt32 minorAt = minor.origin + minor.step * static_cast<SInt32>(k);
  UInt8* p = rowsDrive ? PixelAddress<Pixel>(base, rowBytes, bounds, minorAt, majorAt)
                       : PixelAddress<Pixel>(base, rowBytes, bounds, majorAt, minorAt);
  Walk<Pixel>(p, iLast - iFirst, err, major, minor, value);
}

// The walk step by step, each position tested against the bounds and its address formed only
// when it is inside. The plain path, and the one the clipped walk must agree with.
template <typename Pixel>
void WalkPlain(Ptr base, SInt32 rowBytes, const Rect& bounds, SInt32 x, SInt32 y, SInt32 dx, SInt32 dy, SInt32 sx,
               SInt32 sy, Pixel value) {
  auto plot = [&](SInt32 h, SInt32 v) {
    if (h >= bounds.left && h < bounds.right && v >= bounds.top && v < bounds.bottom)
      StorePixel<Pixel>(PixelAddress<Pixel>(base, rowBytes, bounds, h, v), value);
  };
  plot(x, y);
  if (dy > dx) {
    SInt32 err = dy >> 1;
    for (SInt32 i = 0; i < dy; ++i) {
      y += sy;
      err += dx;
      if (err > dy) {
        err -= dy;
        x += sx;
      }
      plot(x, y);
    }
  } else {
    SInt32 err = dx >> 1;
    for (SInt32 i = 0; i < dx; ++i) {
      x += sx;
      err += dy;
      if (err > dx) {
        err -= dx;
        y += sy;
      }
      plot(x, y);
    }
  }
}

template <typename Pixel>
void DrawLine(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd, Pixel value) {
  const PixMap* map = MapOfDepth<Pixel>(pm);
  if (!map) return;
  const Rect bounds = map->bounds;
  Ptr base = GetPixBaseAddr(pm);
  const SInt32 rowBytes = GetPixRowBytes(pm);
  // No pixel memory or no pixel inside the bounds: nothing can be stored.
  if (!base || bounds.left >= bounds.right || bounds.top >= bounds.bottom) return;

  SInt32 dx = static_cast<SInt32>(hEnd) - hStart;
  SInt32 dy = static_cast<SInt32>(vEnd) - vStart;
  SInt32 sx = 1;
  SInt32 sy = 1;
  if (dx < 0) {
    dx = -dx;
    sx = -1;
  }
  if (dy < 0) {
    dy = -dy;
    sy = -1;
  }
  if (gPlainPaths) {
    WalkPlain<Pixel>(base, rowBytes, bounds, hStart, vStart, dx, dy, sx, sy, value);
    return;
  }

  const LineAxis columns = {hStart, sx, dx, bounds.left, bounds.right, sx * static_cast<ptrdiff_t>(sizeof(Pixel))};
  const LineAxis rows = {vStart, sy, dy, bounds.top, bounds.bottom, sy * static_cast<ptrdiff_t>(rowBytes)};
  // Both ends inside: every position between them is inside too (the walk never leaves the
  // box of its two ends), so the walk runs whole with nothing to clip.
  auto inside = [&](SInt32 h, SInt32 v) {
    return h >= bounds.left && h < bounds.right && v >= bounds.top && v < bounds.bottom;
  };
  if (inside(hStart, vStart) && inside(hEnd, vEnd)) {
    UInt8* p = PixelAddress<Pixel>(base, rowBytes, bounds, hStart, vStart);
    if (dy > dx)
      Walk<Pixel>(p, dy, dy >> 1, rows, columns, value);
    else
      Walk<Pixel>(p, dx, dx >> 1, columns, rows, value);
    return;
  }
  if (dy > dx)
    WalkClipped<Pixel>(base, rowBytes, bounds, true, rows, columns, value);
  else
    WalkClipped<Pixel>(base, rowBytes, bounds, false, columns, rows, value);
}

}  // namespace

extern "C" {

void QDMP_Draw_Line8(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd, UInt8 value) {
  DrawLine<UInt8>(pm, hStart, vStart, hEnd, vEnd, value);
}
void QDMP_Draw_Line16(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd, UInt16 value) {
  DrawLine<UInt16>(pm, hStart, vStart, hEnd, vEnd, value);
}
void QDMP_Draw_Line32(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd, UInt32 value) {
  DrawLine<UInt32>(pm, hStart, vStart, hEnd, vEnd, value);
}

// The colour is converted once, then the worker of the map's depth draws.
void QDMP_Draw_Line(PixMapHandle pm, SInt16 hStart, SInt16 vStart, SInt16 hEnd, SInt16 vEnd, const RGBColor* color) {
  if (!pm || !*pm) return;
  switch ((*pm)->pixelSize) {
    case 8: QDMP_Draw_Line8(pm, hStart, vStart, hEnd, vEnd, RGBColorToColor8(pm, color)); break;
    case 16: QDMP_Draw_Line16(pm, hStart, vStart, hEnd, vEnd, RGBColorToColor16(color)); break;
    case 32: QDMP_Draw_Line32(pm, hStart, vStart, hEnd, vEnd, RGBColorToColor32(color)); break;
    default: break;
  }
}

void QDMP_Draw_LineP(PixMapHandle pm, Point start, Point end, const RGBColor* color) {
  QDMP_Draw_Line(pm, start.h, start.v, end.h, end.v, color);
}
void QDMP_Draw_LineP8(PixMapHandle pm, Point start, Point end, UInt8 value) {
  QDMP_Draw_Line8(pm, start.h, start.v, end.h, end.v, value);
}
void QDMP_Draw_LineP16(PixMapHandle pm, Point start, Point end, UInt16 value) {
  QDMP_Draw_Line16(pm, start.h, start.v, end.h, end.v, value);
}
void QDMP_Draw_LineP32(PixMapHandle pm, Point start, Point end, UInt32 value) {
  QDMP_Draw_Line32(pm, start.h, start.v, end.h, end.v, value);
}

}  // extern "C"
