// The library against the plain reference model (tests/reference), on fuzzed maps and calls.
//
// An input is one case: a map of 8, 16 or 32 bits over guarded memory (far origins, wrapped or
// inverted bounds, padded or minimal rows, colour tables with 0 to 256 entries, random
// contents) and up to 16 calls of the families the model knows, each made on the map and on
// its model. The case runs twice, on the fast paths and on the plain ones; every pixel, every
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
  std::ostringstream log;
  std::string problem;

  explicit Case(FuzzMap m) : map(std::move(m)), model(ref::ModelOf(*map.map, map.table)) {}
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

void RunCase(const uint8_t* data, size_t size, bool plain) {
  gPlainPaths = plain;
  FuzzedDataProvider in(data, size);
  static const int kDepths[] = {8, 16, 32};
  Case c(lumetra::fuzz::MakeMap(in, kDepths[in.ConsumeIntegralInRange(0, 2)]));
  c.log << "map: " << c.map.describe() << (plain ? ", plain paths" : ", fast paths") << "\n";
  for (int calls = 0; calls < 16 && in.remaining_bytes() > 0 && c.problem.empty(); ++calls) {
    switch (in.ConsumeIntegralInRange(0, 4)) {
      case 0: Pixels(in, c); break;
      case 1: Lines(in, c); break;
      case 2: Scans(in, c); break;
      case 3: FilledRects(in, c); break;
      default: Colors(in, c); break;
    }
  }
  if (const auto diff = ref::FirstDifference(*c.map.map, c.model)) c.problem += *diff;
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
