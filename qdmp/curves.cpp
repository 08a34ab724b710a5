// Quadratic curves, drawn as chains of straight segments by midpoint subdivision.
//
// The curve is split at its middle (de Casteljau at one half, in integer midpoints that round
// toward minus infinity) until a piece is at most 10 pixels long, and each small piece is drawn
// as the two legs of its control polygon with QDMP_Draw_Line. The curve checks nothing itself:
// every segment converts the colour and clips as a line does, so a bad handle or depth only
// means that no segment draws. Each level halves the legs, so the recursion is at most 15
// calls deep for points anywhere in the 16-bit range; nothing is allocated.
#include "curves_p.h"

UInt32 distance_squared(Point a, Point b) {
  const SInt32 dh = static_cast<SInt16>(a.h - b.h);
  const SInt32 dv = static_cast<SInt16>(a.v - b.v);
  return static_cast<UInt32>(dh * dh) + static_cast<UInt32>(dv * dv);
}

namespace {

// A piece is split while the distance tested is more than 10 pixels; exactly 10 is drawn.
constexpr UInt32 kSplitSquared = 100;

void DrawLeg(PixMapHandle pm, Point from, Point to, const RGBColor* color) {
  QDMP_Draw_Line(pm, from.h, from.v, to.h, to.v, color);
}

}  // namespace

extern "C" {

void QDMP_Draw_Curve(PixMapHandle pm, Point p0, Point p1, Point p2, const RGBColor* color) {
  const Point m01 = QDMP_MidPoint(p0, p1);
  const Point m12 = QDMP_MidPoint(p1, p2);
  const Point mid = QDMP_MidPoint(m01, m12);
  // The first half tests its own two ends; the second half tests mid against this call's
  // control point p1, not against p2. So a curve and its reverse may be cut differently.
  if (distance_squared(p0, mid) > kSplitSquared) {
    QDMP_Draw_Curve(pm, p0, m01, mid, color);
  } else {
    DrawLeg(pm, p0, m01, color);
    DrawLeg(pm, m01, mid, color);
  }
  if (distance_squared(mid, p1) > kSplitSquared) {
    QDMP_Draw_Curve(pm, mid, m12, p2, color);
  } else {
    DrawLeg(pm, mid, m12, color);
    DrawLeg(pm, m12, p2, color);
  }
}

}  // extern "C"
