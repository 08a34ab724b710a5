// The model of curves: the subdivision at one half, recorded as a list of segments.
#include "reference.h"

namespace lumetra::ref {

namespace {

Point Middle(Point a, Point b) {
  // Sums of two 16-bit values, halved toward minus infinity.
  auto half = [](long long s) { return static_cast<SInt16>(s >= 0 ? s / 2 : -((-s + 1) / 2)); };
  return Point{half(static_cast<long long>(a.v) + b.v), half(static_cast<long long>(a.h) + b.h)};
}

// Each difference wraps to 16 bits before it is squared.
unsigned long long SquaredDistance(Point a, Point b) {
  auto wrap = [](long long d) { return static_cast<long long>(static_cast<SInt16>(static_cast<uint16_t>(d & 0xFFFF))); };
  const long long dh = wrap(static_cast<long long>(a.h) - b.h);
  const long long dv = wrap(static_cast<long long>(a.v) - b.v);
  return static_cast<unsigned long long>(dh * dh + dv * dv);
}

void Subdivide(Point p0, Point p1, Point p2, std::vector<Segment>& out) {
  const Point m01 = Middle(p0, p1);
  const Point m12 = Middle(p1, p2);
  const Point mid = Middle(m01, m12);
  auto segment = [&](Point a, Point b) { out.push_back(Segment{a.h, a.v, b.h, b.v}); };
  if (SquaredDistance(p0, mid) > 100) {
    Subdivide(p0, m01, mid, out);
  } else {
    segment(p0, m01);
    segment(m01, mid);
  }
  if (SquaredDistance(mid, p1) > 100) {
    Subdivide(mid, m12, p2, out);
  } else {
    segment(mid, m12);
    segment(m12, p2);
  }
}

}  // namespace

std::vector<Segment> CurveSegments(Point p0, Point p1, Point p2) {
  std::vector<Segment> out;
  Subdivide(p0, p1, p2, out);
  return out;
}

void Curve(Image& image, Point p0, Point p1, Point p2, RGBColor c) {
  for (const Segment& s : CurveSegments(p0, p1, p2)) LineColor(image, s.h0, s.v0, s.h1, s.v1, c);
}

}  // namespace lumetra::ref
