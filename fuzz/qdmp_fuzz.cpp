// Every QDMP_ family on fuzzed pixel maps with fuzzed arguments.
//
// An input builds two maps over guarded memory (any depth from 0 to 32 bits, far origins,
// wrapped or inverted bounds, padded or minimal rows, colour tables with 0 to 256 entries) and
// then makes up to 64 calls, each picked by one byte: every generic entry point, every worker
// (also on maps of another depth), every point variant, the geometry and colour helpers, and
// the two-map copies and down-sampling in both directions. What must hold whatever the input:
//   - nothing is touched outside a map's pixels (the guard pages fault; padding, and the
//     bytes before the first row, keep their fill);
//   - a map of a depth the library does not draw at is left exactly as it was, and its
//     getters answer 0 and black;
//   - the geometry helpers keep their documented relations (an intersection lies inside both
//     rectangles and is reported non-empty exactly when it is; a midpoint lies between).
// The values drawn are the reference target's business (reference_fuzz.cpp).
#include <cstring>
#include <limits>
#include <vector>

#include "input.h"
#include "qdmp.h"

namespace {

using lumetra::fuzz::Color;
using lumetra::fuzz::Finding;
using lumetra::fuzz::FuzzMap;
using lumetra::fuzz::H;
using lumetra::fuzz::P;
using lumetra::fuzz::Radius;
using lumetra::fuzz::V;

// The bytes a map's rows cover, padding included.
std::vector<UInt8> Bytes(const FuzzMap& m) {
  const int w = m.map->width() > 0 ? m.map->width() : 0;
  const int h = m.map->height() > 0 ? m.map->height() : 0;
  if (h == 0) return {};
  const size_t lastRow = (static_cast<size_t>(w) * m.pixelSize + 7) / 8;
  const size_t n = static_cast<size_t>(m.map->rowBytes()) * (h - 1) + lastRow;
  return std::vector<UInt8>(m.map->base(), m.map->base() + n);
}

bool InRect(Point p, const Rect& r) { return r.left <= p.h && p.h < r.right && r.top <= p.v && p.v < r.bottom; }
bool Empty(const Rect& r) { return r.top >= r.bottom || r.left >= r.right; }

Rect AnyRect(FuzzedDataProvider& in, const FuzzMap& m) {
  return Rect{V(in, m), H(in, m), V(in, m), H(in, m)};
}

void Geometry(FuzzedDataProvider& in, const FuzzMap& m) {
  const Rect a = AnyRect(in, m);
  const Rect b = AnyRect(in, m);
  Rect out{};
  const SInt32 overlap = QDMP_Intersect_Rects(&a, &b, &out);
  if (overlap != (Empty(out) ? 0 : 1)) Finding("QDMP_Intersect_Rects reported an overlap that its result does not have");
  const Point p = P(in, m);
  const bool inBoth = QDMP_PointInRect(p, &a) && QDMP_PointInRect(p, &b);
  if (QDMP_PointInRect(p, &out) != (inBoth ? 1 : 0)) Finding("QDMP_Intersect_Rects is not the common part of both");
  if (QDMP_PointInRect(p, nullptr) != 0) Finding("QDMP_PointInRect found a point in a null rectangle");
  if (QDMP_PointInRect(p, &a) != (InRect(p, a) ? 1 : 0)) Finding("QDMP_PointInRect disagrees with the half-open rule");
  Rect self = a;
  QDMP_Intersect_Rects(&self, &b, &self);  // out may be one of the inputs
  if (std::memcmp(&self, &out, sizeof out) != 0) Finding("QDMP_Intersect_Rects into its own input differs");
  QDMP_Intersect_Rects(&a, &b, nullptr);

  const Point q = P(in, m);
  const Point mid = QDMP_MidPoint(p, q);
  auto between = [](int x, int lo, int hi) { return (lo <= x && x <= hi) || (hi <= x && x <= lo); };
  if (!between(mid.h, p.h, q.h) || !between(mid.v, p.v, q.v)) Finding("QDMP_MidPoint left the segment");
  const Point midRect = QDMP_MidPointRect(&a);
  if (!between(midRect.h, a.left, a.right) || !between(midRect.v, a.top, a.bottom))
    Finding("QDMP_MidPointRect left the rectangle");

  Rect r = a;
  const SInt16 dh = in.ConsumeIntegral<SInt16>(), dv = in.ConsumeIntegral<SInt16>();
  QDMP_Offset_Rect(&r, dh, dv);
  QDMP_Inset_Rect(&r, dh, dv);
  QDMP_Set_Rect(&r, a.left, a.top, a.right, a.bottom);
  if (std::memcmp(&r, &a, sizeof r) != 0) Finding("QDMP_Set_Rect did not store its fields");
  Point s = QDMP_Set_Point(nullptr, p.h, p.v);
  QDMP_Set_Point(&s, q.h, q.v);
  if (s.h != q.h || s.v != q.v) Finding("QDMP_Set_Point did not store its point");
  if (QDMP_Init() != 0) Finding("QDMP_Init answered non-zero");
}

void Colors(FuzzedDataProvider& in) {
  const RGBColor a = Color(in), b = Color(in);
  float weight = 0;
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: weight = in.ConsumeFloatingPointInRange(-2.0f, 2.0f); break;
    case 1: weight = in.ConsumeFloatingPoint<float>(); break;  // also infinities
    case 2: weight = std::numeric_limits<float>::quiet_NaN(); break;
    default: weight = in.ConsumeProbability<float>(); break;
  }
  QDMP_Mix_RGBColors(a, b, weight);
  if (QDMP_RGBColorDistance(a, a) != 0) Finding("QDMP_RGBColorDistance of a colour to itself is not 0");
  if (QDMP_RGBColorDistance(a, b) != QDMP_RGBColorDistance(b, a)) Finding("QDMP_RGBColorDistance is not symmetric");
}

// The ranged draws stay in their documented ranges.
void Random(FuzzedDataProvider& in) {
  QDMP_RandomSInt16();
  const SInt16 min16 = in.ConsumeIntegral<SInt16>(), max16 = in.ConsumeIntegral<SInt16>();
  const SInt16 r16 = QDMP_Random_RangeSInt16(min16, max16);
  if (max16 > min16 && (r16 < min16 || r16 >= max16)) Finding("QDMP_Random_RangeSInt16 left [min, max)");
  const SInt32 min32 = in.ConsumeIntegral<SInt32>(), max32 = in.ConsumeIntegral<SInt32>();
  const SInt32 r32 = QDMP_Random_RangeSInt32(min32, max32);
  if (max32 >= min32 && (r32 < min32 || r32 > max32)) Finding("QDMP_Random_RangeSInt32 left [min, max]");
  if (max32 < min32 && r32 != min32 && r32 != max32) Finding("QDMP_Random_RangeSInt32 with max < min gave neither");
}

// Getters on a map the library does not draw at, or outside a map's bounds, answer their empty
// values; anything else must at least not fault.
void Getters(FuzzedDataProvider& in, const FuzzMap& m) {
  const SInt16 h = H(in, m), v = V(in, m);
  const Point p = {v, h};
  const UInt32 g8 = QDMP_Get_Pixel8(m.handle(), h, v), g16 = QDMP_Get_Pixel16(m.handle(), h, v),
               g32 = QDMP_Get_Pixel32(m.handle(), h, v);
  const RGBColor c = QDMP_Get_Pixel(m.handle(), h, v);
  if (g8 != QDMP_Get_PixelP8(m.handle(), p) || g16 != QDMP_Get_PixelP16(m.handle(), p) ||
      g32 != QDMP_Get_PixelP32(m.handle(), p))
    Finding("a point getter differs from its twin");
  const RGBColor cp = QDMP_Get_PixelP(m.handle(), p);
  if (std::memcmp(&c, &cp, sizeof c) != 0) Finding("QDMP_Get_PixelP differs from QDMP_Get_Pixel");
  const bool inside = InRect(p, m.bounds());
  if ((m.pixelSize != 8 || !inside) && g8 != 0) Finding("QDMP_Get_Pixel8 read a pixel it must not");
  if ((m.pixelSize != 16 || !inside) && g16 != 0) Finding("QDMP_Get_Pixel16 read a pixel it must not");
  if ((m.pixelSize != 32 || !inside) && g32 != 0) Finding("QDMP_Get_Pixel32 read a pixel it must not");
  if (!m.drawable() && (c.red || c.green || c.blue)) Finding("QDMP_Get_Pixel on an unsupported depth is not black");
}

void Call(FuzzedDataProvider& in, const FuzzMap& m, const FuzzMap& other) {
  PixMapHandle pm = m.handle();
  const RGBColor c = Color(in);
  const UInt32 x = in.ConsumeIntegral<UInt32>();
  switch (in.ConsumeIntegralInRange(0, 21)) {
    case 0: QDMP_Set_Pixel(pm, H(in, m), V(in, m), &c); break;
    case 1: QDMP_Set_PixelP(pm, P(in, m), &c); break;
    case 2: {
      const SInt16 h = H(in, m), v = V(in, m);
      QDMP_Set_Pixel8(pm, h, v, UInt8(x));
      QDMP_Set_Pixel16(pm, h, v, UInt16(x));
      QDMP_Set_Pixel32(pm, h, v, x);
      break;
    }
    case 3: {
      const Point p = P(in, m);
      QDMP_Set_PixelP8(pm, p, UInt8(x));
      QDMP_Set_PixelP16(pm, p, UInt16(x));
      QDMP_Set_PixelP32(pm, p, x);
      break;
    }
    case 4: Getters(in, m); break;
    case 5: QDMP_Draw_Line(pm, H(in, m), V(in, m), H(in, m), V(in, m), &c); break;
    case 6: QDMP_Draw_LineP(pm, P(in, m), P(in, m), &c); break;
    case 7: {
      const SInt16 h0 = H(in, m), v0 = V(in, m), h1 = H(in, m), v1 = V(in, m);
      QDMP_Draw_Line8(pm, h0, v0, h1, v1, UInt8(x));
      QDMP_Draw_Line16(pm, h0, v0, h1, v1, UInt16(x));
      QDMP_Draw_Line32(pm, h0, v0, h1, v1, x);
      break;
    }
    case 8: {
      const Point a = P(in, m), b = P(in, m);
      QDMP_Draw_LineP8(pm, a, b, UInt8(x));
      QDMP_Draw_LineP16(pm, a, b, UInt16(x));
      QDMP_Draw_LineP32(pm, a, b, x);
      break;
    }
    case 9: QDMP_Fill_Rect(pm, P(in, m), P(in, m), &c); break;
    case 10: {
      const Point a = P(in, m), b = P(in, m);
      QDMP_Fill_Rect8(pm, a, b, UInt8(x));
      QDMP_Fill_Rect16(pm, a, b, UInt16(x));
      QDMP_Fill_Rect32(pm, a, b, x);
      break;
    }
    case 11: Geometry(in, m); break;
    case 12: Colors(in); break;
    case 13: {
      const UInt16 radius = Radius(in);
      in.ConsumeBool() ? QDMP_Draw_Circle(pm, H(in, m), V(in, m), radius, &c) : QDMP_Draw_CircleP(pm, P(in, m), radius, &c);
      break;
    }
    case 14: {
      const SInt16 h = H(in, m), v = V(in, m);
      const UInt16 radius = Radius(in);
      QDMP_Draw_Circle8(pm, h, v, radius, UInt8(x));
      QDMP_Draw_Circle16(pm, h, v, radius, UInt16(x));
      QDMP_Draw_Circle32(pm, h, v, radius, x);
      const Point p = {v, h};
      QDMP_Draw_CircleP8(pm, p, radius, UInt8(x));
      QDMP_Draw_CircleP16(pm, p, radius, UInt16(x));
      QDMP_Draw_CircleP32(pm, p, radius, x);
      break;
    }
    case 15: {
      const UInt16 radius = Radius(in);
      in.ConsumeBool() ? QDMP_Fill_Circle(pm, H(in, m), V(in, m), radius, &c) : QDMP_Fill_CircleP(pm, P(in, m), radius, &c);
      break;
    }
    case 16: {
      const SInt16 h = H(in, m), v = V(in, m);
      const UInt16 radius = Radius(in);
      QDMP_Fill_Circle8(pm, h, v, radius, UInt8(x));
      QDMP_Fill_Circle16(pm, h, v, radius, UInt16(x));
      QDMP_Fill_Circle32(pm, h, v, radius, x);
      const Point p = {v, h};
      QDMP_Fill_CircleP8(pm, p, radius, UInt8(x));
      QDMP_Fill_CircleP16(pm, p, radius, UInt16(x));
      QDMP_Fill_CircleP32(pm, p, radius, x);
      break;
    }
    case 17: QDMP_Draw_Curve(pm, P(in, m), P(in, m), P(in, m), &c); break;
    case 18: {
      // Onto the other map or within this one; rectangles around either map, or null.
      const FuzzMap& dst = in.ConsumeBool() ? other : m;
      const Rect srcRect = AnyRect(in, m), dstRect = AnyRect(in, dst);
      const Rect* s = in.ConsumeIntegralInRange(0, 15) ? &srcRect : nullptr;
      const Rect* d = in.ConsumeIntegralInRange(0, 15) ? &dstRect : nullptr;
      switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: QDMP_Copy_Rect(pm, dst.handle(), s, d); break;
        case 1: QDMP_Copy_Rect8(pm, dst.handle(), s, d); break;
        case 2: QDMP_Copy_Rect16(pm, dst.handle(), s, d); break;
        case 3: QDMP_Copy_Rect32(pm, dst.handle(), s, d); break;
        default: QDMP_Copy_Rect32A(pm, dst.handle(), s, d); break;
      }
      break;
    }
    case 19: {
      const FuzzMap& dst = in.ConsumeBool() ? other : m;
      const SInt16 sRow = V(in, m), sH1 = H(in, m), sH2 = H(in, m);
      const SInt16 dRow = V(in, dst), dH1 = H(in, dst), dH2 = H(in, dst);
      switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: QDMP_Copy_Scan(pm, dst.handle(), sRow, sH1, sH2, dRow, dH1, dH2); break;
        case 1: QDMP_Copy_Scan8(pm, dst.handle(), sRow, sH1, sH2, dRow, dH1, dH2); break;
        case 2: QDMP_Copy_Scan16(pm, dst.handle(), sRow, sH1, sH2, dRow, dH1, dH2); break;
        case 3: QDMP_Copy_Scan32(pm, dst.handle(), sRow, sH1, sH2, dRow, dH1, dH2); break;
        default: QDMP_Copy_Scan32A(pm, dst.handle(), sRow, sH1, sH2, dRow, dH1, dH2); break;
      }
      break;
    }
    case 20: QDMP_DownMip32A(pm, in.ConsumeBool() ? other.handle() : pm); break;
    default: Random(in); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FuzzMap a = lumetra::fuzz::MakeMap(in);
  // The second map: often of the first one's depth, so that copies between them do something.
  FuzzMap b = lumetra::fuzz::MakeMap(in, in.ConsumeBool() ? a.pixelSize : 0);
  const std::vector<UInt8> beforeA = a.drawable() ? std::vector<UInt8>() : Bytes(a);
  const std::vector<UInt8> beforeB = b.drawable() ? std::vector<UInt8>() : Bytes(b);

  for (int calls = 0; calls < 64 && in.remaining_bytes() > 0; ++calls) {
    if (in.ConsumeBool())
      Call(in, a, b);
    else
      Call(in, b, a);
  }

  for (const FuzzMap* m : {&a, &b}) {
    if (!m->map->paddingUntouched()) Finding("a store landed outside the pixels of a map of " + m->describe());
  }
  if (!a.drawable() && Bytes(a) != beforeA) Finding("a map of an unsupported depth was changed: " + a.describe());
  if (!b.drawable() && Bytes(b) != beforeB) Finding("a map of an unsupported depth was changed: " + b.describe());
  return 0;
}
