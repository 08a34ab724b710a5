// Rectangle and point helpers, and the library state.
//
// Rectangles are never normalised: an offset, inset or failed intersection may leave one
// inverted (top > bottom or left > right), and an inverted rectangle is simply empty.
// Field arithmetic is 16-bit and wraps modulo 65536, as callers of these helpers expect.
#include <cstdlib>
#include <cstring>

#include "qdmp_p.h"

// Read once as the library loads; see qdmp_p.h. gVectorLevel is defined after gPlainPaths
// in this file, so it is set after it.
bool gPlainPaths = [] {
  const char* generic = std::getenv("LUMETRA_GENERIC");
  return generic && std::strcmp(generic, "1") == 0;
}();

int gVectorLevel = [] {
  if (gPlainPaths) return int{kVectorNone};
#if LUMETRA_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return int{kVectorAvx2};
  if (__builtin_cpu_supports("sse2")) return int{kVectorSse2};
#endif
  return int{kVectorNone};
}();

namespace {

SInt16 Wrap16(SInt32 x) { return static_cast<SInt16>(x); }  // modulo 65536

}  // namespace

extern "C" {

// The library needs no initialisation; every function works from load on, and calling this
// any number of times is harmless. It keeps no record of whether the platform's
// multiprocessing services are ready: nothing would read it, because the block copies call
// MPBlockCopy in every case, so there is no state to set up here.
SInt32 QDMP_Init(void) { return 0; }

void QDMP_Set_Rect(Rect* rect, SInt16 left, SInt16 top, SInt16 right, SInt16 bottom) {
  rect->top = top;
  rect->left = left;
  rect->bottom = bottom;
  rect->right = right;
}

void QDMP_Offset_Rect(Rect* rect, SInt16 dh, SInt16 dv) {
  rect->top = Wrap16(rect->top + dv);
  rect->left = Wrap16(rect->left + dh);
  rect->bottom = Wrap16(rect->bottom + dv);
  rect->right = Wrap16(rect->right + dh);
}

// Positive amounts shrink the rectangle, negative ones enlarge it.
void QDMP_Inset_Rect(Rect* rect, SInt16 dh, SInt16 dv) {
  rect->top = Wrap16(rect->top + dv);
  rect->left = Wrap16(rect->left + dh);
  rect->bottom = Wrap16(rect->bottom - dv);
  rect->right = Wrap16(rect->right - dh);
}

// out may be a or b: both are read whole before out is written. out receives the clipped
// rectangle even when it is empty; the result says whether it is not.
SInt32 QDMP_Intersect_Rects(const Rect* a, const Rect* b, Rect* out) {
  Rect c = *a;
  const Rect bb = *b;
  if (c.top < bb.top) c.top = bb.top;
  if (c.bottom > bb.bottom) c.bottom = bb.bottom;
  if (c.left < bb.left) c.left = bb.left;
  if (c.right > bb.right) c.right = bb.right;
  if (out) *out = c;
  return c.top < c.bottom && c.left < c.right ? 1 : 0;
}

Point QDMP_Set_Point(Point* pt, SInt16 h, SInt16 v) {
  Point p;
  p.v = v;
  p.h = h;
  if (pt) *pt = p;
  return p;
}

// Half-open: a point on the left or top edge is inside, one on the right or bottom edge is not.
SInt32 QDMP_PointInRect(Point pt, const Rect* rect) {
  if (!rect) return 0;
  if (pt.h < rect->left) return 0;
  if (pt.v < rect->top) return 0;
  if (pt.h >= rect->right) return 0;
  if (pt.v >= rect->bottom) return 0;
  return 1;
}

// The sums are formed in 32 bits, so they cannot overflow, and halved by an arithmetic shift,
// which rounds toward minus infinity (-3 halves to -2).
Point QDMP_MidPoint(Point a, Point b) {
  Point m;
  m.h = static_cast<SInt16>((static_cast<SInt32>(a.h) + b.h) >> 1);
  m.v = static_cast<SInt16>((static_cast<SInt32>(a.v) + b.v) >> 1);
  return m;
}

Point QDMP_MidPointRect(const Rect* rect) {
  Point topLeft;
  topLeft.v = rect->top;
  topLeft.h = rect->left;
  Point bottomRight;
  bottomRight.v = rect->bottom;
  bottomRight.h = rect->right;
  return QDMP_MidPoint(topLeft, bottomRight);
}

}  // extern "C"
