// The library against the plain reference model (tests/reference), on fuzzed maps and calls.
//
// An input is one case: two maps of 8, 16 or 32 bits over guarded memory (far origins, wrapped
// or inverted bounds, rows wider than 32767 bytes, padded or minimal rows, colour tables with 0
// to 256 entries, random contents) and up to 16 calls of every family the model knows (pixels,
// lines, scans, filled rectangles, colours, circles and discs, curves, copies and compositing
// from the first map onto the second or within the first, down-sampling, random numbers), each
// made on the maps and on their models. The case runs twice, on the fast paths and on the plain ones; every pixel, every
// padding byte and every getter's answer must agree with the model, or the difference is a
// finding (printed with the calls that led to it, then abort).
#include <sstream>

#include "input.h"
#include "qdmp_p.h"

namespace {

using lumetra::fuzz::Color;
using lumetra::fuzz::Finding;
using lumetra::fuzz::FuzzMap;
using lumetra::fuzz::H;
using lumetra::fuzz::P;
using lumetra::fuzz::Radius;
using lumetra::fuzz::V;
namespace ref = lumetra::ref;

std::string Describe(RGBColor c) {
  return "(" + std::to_string(c.red) + ", " + std::to_string(c.green) + ", " + std::to_string(c.blue) + ")";
}

// Mostly the map's own depth; sometimes another, where the worker must do nothing.
int WorkerDepth(FuzzedDataProvider& in, const FuzzMap& m) {
  static const int kDepths[] = {8, 16, 32};
  return in.ConsumeIntegralInRange(0, 7) == 0 ? kDepths[in.ConsumeIntegralInRange(0, 2)] : m.pixelSize;
}

struct Case {
  FuzzMap map;
  ref::Image model;
  // The second map, the destination of copies and down-sampling (or the first map itself).
  FuzzMap other;
  ref::Image otherModel;
  std::ostringstream log;
  std::string problem;

  Case(FuzzMap m, FuzzMap o)
      : map(std::move(m)),
        model(ref::ModelOf(*map.map, map.table)),
        other(std::move(o)),
        otherModel(ref::ModelOf(*other.map, other.table)) {}
};

void Pixels(FuzzedDataProvider& in, Case& c) {
  const FuzzMap& m = c.map;
  const SInt16 h = H(in, m), v = V(in, m);
  const Point p = {v, h};
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: {
      const RGBColor color = Color(in);
      c.log << "QDMP_Set_Pixel(" << h << ", " << v << ", " << Describe(color) << ")\n";
      in.ConsumeBool() ? QDMP_Set_Pixel(m.handle(), h, v, &color) : QDMP_Set_PixelP(m.handle(), p, &color);
      ref::SetPixelColor(c.model, h, v, color);
      break;
    }
    case 1: {
      const int depth = WorkerDepth(in, m);
      const UInt32 value = in.ConsumeIntegral<UInt32>();
      const bool point = in.ConsumeBool();
      c.log << "QDMP_Set_Pixel" << (point ? "P" : "") << depth << "(" << h << ", " << v << ", 0x" << std::hex << value
            << std::dec << ")\n";
      switch (depth) {
        case 8: point ? QDMP_Set_PixelP8(m.handle(), p, UInt8(value)) : QDMP_Set_Pixel8(m.handle(), h, v, UInt8(value)); break;
        case 16: point ? QDMP_Set_PixelP16(m.handle(), p, UInt16(value)) : QDMP_Set_Pixel16(m.handle(), h, v, UInt16(value)); break;
        default: point ? QDMP_Set_PixelP32(m.handle(), p, value) : QDMP_Set_Pixel32(m.handle(), h, v, value); break;
      }
      ref::SetPixel(c.model, depth, h, v, value);
      break;
    }
    default: {
      const UInt32 g8 = QDMP_Get_Pixel8(m.handle(), h, v), g16 = QDMP_Get_PixelP16(m.handle(), p),
                   g32 = QDMP_Get_Pixel32(m.handle(), h, v);
      const RGBColor got = in.ConsumeBool() ? QDMP_Get_Pixel(m.handle(), h, v) : QDMP_Get_PixelP(m.handle(), p);
      const RGBColor want = ref::GetPixelColor(c.model, h, v);
      if (g8 != ref::GetPixel(c.model, 8, h, v) || g16 != ref::GetPixel(c.model, 16, h, v) ||
          g32 != ref::GetPixel(c.model, 32, h, v) || !ref::SameColor(got, want)) {
        std::ostringstream out;
        out << "getters at (" << h << ", " << v << "): 8 bits " << g8 << ", 16 bits " << g16 << ", 32 bits " << g32
            << ", colour " << Describe(got) << "; the model has colour " << Describe(want) << "\n";
        c.problem += out.str();
      }
      break;
    }
  }
}

void Lines(FuzzedDataProvider& in, Case& c) {
  const FuzzMap& m = c.map;
  const SInt16 h0 = H(in, m), v0 = V(in, m), h1 = H(in, m), v1 = V(in, m);
  const Point a = {v0, h0}, b = {v1, h1};
  const bool point = in.ConsumeBool();
  if (in.ConsumeBool()) {
    const RGBColor color = Color(in);
    c.log << "QDMP_Draw_Line" << (point ? "P" : "") << "(" << h0 << ", " << v0 << ", " << h1 << ", " << v1 << ", "
          << Describe(color) << ")\n";
    point ? QDMP_Draw_LineP(m.handle(), a, b, &color) : QDMP_Draw_Line(m.handle(), h0, v0, h1, v1, &color);
    ref::LineColor(c.model, h0, v0, h1, v1, color);
    return;
  }
  const int depth = WorkerDepth(in, m);
  const UInt32 value = in.ConsumeIntegral<UInt32>();
  c.log << "QDMP_Draw_Line" << (point ? "P" : "") << depth << "(" << h0 << ", " << v0 << ", " << h1 << ", " << v1
        << ", 0x" << std::hex << value << std::dec << ")\n";
  switch (depth) {
    case 8: point ? QDMP_Draw_LineP8(m.handle(), a, b, UInt8(value)) : QDMP_Draw_Line8(m.handle(), h0, v0, h1, v1, UInt8(value)); break;
    case 16: point ? QDMP_Draw_LineP16(m.handle(), a, b, UInt16(value)) : QDMP_Draw_Line16(m.handle(), h0, v0, h1, v1, UInt16(value)); break;
    default: point ? QDMP_Draw_LineP32(m.handle(), a, b, value) : QDMP_Draw_Line32(m.handle(), h0, v0, h1, v1, value); break;
  }
  ref::Line(c.model, depth, h0, v0, h1, v1, value);
}

void Scans(FuzzedDataProvider& in, Case& c) {
  const FuzzMap& m = c.map;
  const SInt16 v = V(in, m), h1 = H(in, m), h2 = H(in, m);
  const int depth = WorkerDepth(in, m);
  const UInt32 value = in.ConsumeIntegral<UInt32>();
  c.log << "Draw_Scan" << depth << "(" << v << ", " << h1 << ", " << h2 << ", 0x" << std::hex << value << std::dec
        << ")\n";
  switch (depth) {
    case 8: Draw_Scan8(m.handle(), v, h1, h2, UInt8(value)); break;
    case 16: Draw_Scan16(m.handle(), v, h1, h2, UInt16(value)); break;
    default: Draw_Scan32(m.handle(), v, h1, h2, value); break;
  }
  ref::Scan(c.model, depth, v, h1, h2, value);
}

void FilledRects(FuzzedDataProvider& in, Case& c) {
  const FuzzMap& m = c.map;
  const Point tl = P(in, m), br = P(in, m);
  if (in.ConsumeBool()) {
    const RGBColor color = Color(in);
    c.log << "QDMP_Fill_Rect(top " << tl.v << ", left " << tl.h << ", bottom " << br.v << ", right " << br.h << ", "
          << Describe(color) << ")\n";
    QDMP_Fill_Rect(m.handle(), tl, br, &color);
    ref::FillRectColor(c.model, tl.v, tl.h, br.v, br.h, color);
    return;
  }
  const int depth = WorkerDepth(in, m);
  const UInt32 value = in.ConsumeIntegral<UInt32>();
  c.log << "QDMP_Fill_Rect" << depth << "(top " << tl.v << ", left " << tl.h << ", bottom " << br.v << ", right "
        << br.h << ", 0x" << std::hex << value << std::dec << ")\n";
  switch (depth) {
    case 8: QDMP_Fill_Rect8(m.handle(), tl, br, UInt8(value)); break;
    case 16: QDMP_Fill_Rect16(m.handle(), tl, br, UInt16(value)); break;
    default: QDMP_Fill_Rect32(m.handle(), tl, br, value); break;
  }
  ref::FillRect(c.model, depth, tl.v, tl.h, br.v, br.h, value);
}

void Colors(FuzzedDataProvider& in, Case& c) {
  const RGBColor a = Color(in), b = Color(in);
  const float weight = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(-4.0f, 4.0f) : in.ConsumeFloatingPoint<float>();
  const RGBColor mixed = QDMP_Mix_RGBColors(a, b, weight);
  if (!ref::SameColor(mixed, ref::Mix(a, b, weight)))
    c.problem += "QDMP_Mix_RGBColors(" + Describe(a) + ", " + Describe(b) + ", " + std::to_string(weight) +
                 ") gave " + Describe(mixed) + ", the model " + Describe(ref::Mix(a, b, weight)) + "\n";
  if (QDMP_RGBColorDistance(a, b) != ref::Distance(a, b))
    c.problem += "QDMP_RGBColorDistance(" + Describe(a) + ", " + Describe(b) + ") differs from the model\n";
}

void Circles(FuzzedDataProvider& in, Case& c) {
  const FuzzMap& m = c.map;
  const SInt16 h = H(in, m), v = V(in, m);
  const Point p = {v, h};
  const UInt16 radius = Radius(in);
  const bool disc = in.ConsumeBool(), point = in.ConsumeBool();
  const char* name = disc ? "QDMP_Fill_Circle" : "QDMP_Draw_Circle";
  if (in.ConsumeBool()) {
    const RGBColor color = Color(in);
    c.log << name << (point ? "P" : "") << "(" << h << ", " << v << ", " << radius << ", " << Describe(color) << ")\n";
    if (disc)
      point ? QDMP_Fill_CircleP(m.handle(), p, radius, &color) : QDMP_Fill_Circle(m.handle(), h, v, radius, &color);
    else
      point ? QDMP_Draw_CircleP(m.handle(), p, radius, &color) : QDMP_Draw_Circle(m.handle(), h, v, radius, &color);
    disc ? ref::DiscColor(c.model, h, v, radius, color) : ref::CircleColor(c.model, h, v, radius, color);
    return;
  }
  const int depth = WorkerDepth(in, m);
  const UInt32 value = in.ConsumeIntegral<UInt32>();
  c.log << name << (point ? "P" : "") << depth << "(" << h << ", " << v << ", " << radius << ", 0x" << std::hex
        << value << std::dec << ")\n";
  PixMapHandle pm = m.handle();
  switch (depth * 2 + (disc ? 1 : 0)) {
    case 16: point ? QDMP_Draw_CircleP8(pm, p, radius, UInt8(value)) : QDMP_Draw_Circle8(pm, h, v, radius, UInt8(value)); break;
    case 17: point ? QDMP_Fill_CircleP8(pm, p, radius, UInt8(value)) : QDMP_Fill_Circle8(pm, h, v, radius, UInt8(value)); break;
    case 32: point ? QDMP_Draw_CircleP16(pm, p, radius, UInt16(value)) : QDMP_Draw_Circle16(pm, h, v, radius, UInt16(value)); break;
    case 33: point ? QDMP_Fill_CircleP16(pm, p, radius, UInt16(value)) : QDMP_Fill_Circle16(pm, h, v, radius, UInt16(value)); break;
    case 64: point ? QDMP_Draw_CircleP32(pm, p, radius, value) : QDMP_Draw_Circle32(pm, h, v, radius, value); break;
    default: point ? QDMP_Fill_CircleP32(pm, p, radius, value) : QDMP_Fill_Circle32(pm, h, v, radius, value); break;
  }
  disc ? ref::Disc(c.model, depth, h, v, radius, value) : ref::Circle(c.model, depth, h, v, radius, value);
}

void Curves(FuzzedDataProvider& in, Case& c) {
  const FuzzMap& m = c.map;
  const Point p0 = P(in, m), p1 = P(in, m), p2 = P(in, m);
  const RGBColor color = Color(in);
  c.log << "QDMP_Draw_Curve((" << p0.h << ", " << p0.v << "), (" << p1.h << ", " << p1.v << "), (" << p2.h << ", "
        << p2.v << "), " << Describe(color) << ")\n";
  QDMP_Draw_Curve(m.handle(), p0, p1, p2, &color);
  ref::Curve(c.model, p0, p1, p2, color);
}

std::string Describe(const Rect& r) {
  return "(top " + std::to_string(r.top) + ", left " + std::to_string(r.left) + ", bottom " + std::to_string(r.bottom) +
         ", right " + std::to_string(r.right) + ")";
}

// Copies, compositing and down-sampling: from the first map onto the second, or within the
// first; rectangles and runs around both maps.
void Copies(FuzzedDataProvider& in, Case& c) {
  const bool same = in.ConsumeBool();
  const FuzzMap& src = c.map;
  const FuzzMap& dst = same ? c.map : c.other;
  ref::Image& dstModel = same ? c.model : c.otherModel;
  const char* where = same ? " within the first map" : " onto the second map";
  const Rect srcRect = {V(in, src), H(in, src), V(in, src), H(in, src)};
  const Rect dstRect = {V(in, dst), H(in, dst), V(in, dst), H(in, dst)};
  const int depth = WorkerDepth(in, src);
  PixMapHandle s = src.handle(), d = dst.handle();
  switch (in.ConsumeIntegralInRange(0, 6)) {
    case 0:
      c.log << "QDMP_Copy_Rect" << where << " " << Describe(srcRect) << " to " << Describe(dstRect) << "\n";
      QDMP_Copy_Rect(s, d, &srcRect, &dstRect);
      ref::CopyRectAny(c.model, dstModel, srcRect, dstRect);
      break;
    case 1:
      c.log << "QDMP_Copy_Rect" << depth << where << " " << Describe(srcRect) << " to " << Describe(dstRect) << "\n";
      (depth == 8 ? QDMP_Copy_Rect8 : depth == 16 ? QDMP_Copy_Rect16 : QDMP_Copy_Rect32)(s, d, &srcRect, &dstRect);
      ref::CopyRect(c.model, dstModel, depth, srcRect, dstRect);
      break;
    case 2:
      c.log << "QDMP_Copy_Rect32A" << where << " " << Describe(srcRect) << " to " << Describe(dstRect) << "\n";
      QDMP_Copy_Rect32A(s, d, &srcRect, &dstRect);
      ref::CompositeRect(c.model, dstModel, srcRect, dstRect);
      break;
    case 3:
    case 4:
    case 5: {
      // A run of the source row; the destination run often of the same length.
      const SInt16 sH1 = srcRect.left, sH2 = srcRect.right, dH1 = dstRect.left;
      const SInt16 dH2 = in.ConsumeBool() ? lumetra::fuzz::Clamp16(static_cast<long long>(dH1) + sH2 - sH1) : dstRect.right;
      const int kind = in.ConsumeIntegralInRange(0, 2);
      c.log << (kind == 0 ? "QDMP_Copy_Scan" : kind == 1 ? "QDMP_Copy_Scan worker " : "QDMP_Copy_Scan32A")
            << (kind == 1 ? std::to_string(depth) : "") << where << " row " << srcRect.top << " " << sH1 << ".." << sH2
            << " to row " << dstRect.top << " " << dH1 << ".." << dH2 << "\n";
      if (kind == 0) {
        QDMP_Copy_Scan(s, d, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
        ref::CopyScanAny(c.model, dstModel, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
      } else if (kind == 1) {
        (depth == 8 ? QDMP_Copy_Scan8 : depth == 16 ? QDMP_Copy_Scan16 : QDMP_Copy_Scan32)(s, d, srcRect.top, sH1, sH2,
                                                                                          dstRect.top, dH1, dH2);
        ref::CopyScan(c.model, dstModel, depth, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
      } else {
        QDMP_Copy_Scan32A(s, d, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
        ref::CompositeScan(c.model, dstModel, srcRect.top, sH1, sH2, dstRect.top, dH1, dH2);
      }
      break;
    }
    default:
      c.log << "QDMP_DownMip32A" << where << "\n";
      QDMP_DownMip32A(s, d);
      ref::DownMip(c.model, dstModel);
      break;
  }
}

// The generator against the model's, which has followed every draw since load.
void RandomNumbers(FuzzedDataProvider& in, Case& c) {
  static ref::Generator model;
  const SInt16 min16 = in.ConsumeIntegral<SInt16>(), max16 = in.ConsumeIntegral<SInt16>();
  const SInt32 min32 = in.ConsumeIntegral<SInt32>(), max32 = in.ConsumeIntegral<SInt32>();
  const int raw = QDMP_RandomSInt16(), rawModel = model.Raw();
  const int r16 = QDMP_Random_RangeSInt16(min16, max16), r16Model = model.RangeSInt16(min16, max16);
  const long long r32 = QDMP_Random_RangeSInt32(min32, max32), r32Model = model.RangeSInt32(min32, max32);
  if (raw != rawModel || r16 != r16Model || r32 != r32Model)
    c.problem += "random numbers: QDMP_RandomSInt16 " + std::to_string(raw) + " (model " + std::to_string(rawModel) +
                 "), QDMP_Random_RangeSInt16(" + std::to_string(min16) + ", " + std::to_string(max16) + ") " +
                 std::to_string(r16) + " (model " + std::to_string(r16Model) + "), QDMP_Random_RangeSInt32(" +
                 std::to_string(min32) + ", " + std::to_string(max32) + ") " + std::to_string(r32) + " (model " +
                 std::to_string(r32Model) + ")\n";
}

void RunCase(const uint8_t* data, size_t size, bool plain) {
  gPlainPaths = plain;
  FuzzedDataProvider in(data, size);
  static const int kDepths[] = {8, 16, 32};
  FuzzMap first = lumetra::fuzz::MakeMap(in, kDepths[in.ConsumeIntegralInRange(0, 2)]);
  // The second map: mostly of the first one's depth, so that copies between them do something.
  const int otherDepth = in.ConsumeIntegralInRange(0, 3) ? first.pixelSize : kDepths[in.ConsumeIntegralInRange(0, 2)];
  Case c(std::move(first), lumetra::fuzz::MakeMap(in, otherDepth));
  c.log << "map: " << c.map.describe() << "; second map: " << c.other.describe()
        << (plain ? "; plain paths" : "; fast paths") << "\n";
  for (int calls = 0; calls < 16 && in.remaining_bytes() > 0 && c.problem.empty(); ++calls) {
    switch (in.ConsumeIntegralInRange(0, 8)) {
      case 0: Pixels(in, c); break;
      case 1: Lines(in, c); break;
      case 2: Scans(in, c); break;
      case 3: FilledRects(in, c); break;
      case 4: Colors(in, c); break;
      case 5: Circles(in, c); break;
      case 6: Curves(in, c); break;
      case 7: Copies(in, c); break;
      default: RandomNumbers(in, c); break;
    }
  }
  if (const auto diff = ref::FirstDifference(*c.map.map, c.model)) c.problem += "first map: " + *diff;
  if (const auto diff = ref::FirstDifference(*c.other.map, c.otherModel)) c.problem += "second map: " + *diff;
  if (!c.problem.empty()) Finding("the library differs from the model\n" + c.log.str() + c.problem);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool saved = gPlainPaths;
  RunCase(data, size, false);
  RunCase(data, size, true);
  gPlainPaths = saved;
  return 0;
}
