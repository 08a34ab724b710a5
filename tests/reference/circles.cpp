// The model of circle outlines and discs: the octant walk in wide arithmetic, every mirrored
// point or scan drawn as listed, each kept only where it lies inside the image.
#include "reference.h"

namespace lumetra::ref {

namespace {

// Calls step(x, y) for every position of the walk.
template <typename Step>
void Walk(long long radius, Step step) {
  long long x = 0, y = radius, d = 3 - 2 * radius;
  while (x <= y) {
    step(x, y);
    if (d < 0) {
      d += 4 * x + 10;
    } else {
      d += 4 * (x - y) + 14;
      --y;
    }
    ++x;
  }
}

}  // namespace

void Circle(Image& image, int depth, long long h, long long v, long long radius, uint32_t value) {
  if (image.pixelSize != depth) return;
  Walk(radius, [&](long long x, long long y) {
    image.plot(h - x, v - y, value);
    if (y != 0) image.plot(h - x, v + y, value);
    if (x != 0) image.plot(h + x, v - y, value);
    if (x != 0 && y != 0) image.plot(h + x, v + y, value);
    if (x != y) image.plot(h - y, v - x, value);
    if (x != y && x != 0) image.plot(h - y, v + x, value);
    if (x != y && y != 0) image.plot(h + y, v - x, value);
    if (x != y && x != 0 && y != 0) image.plot(h + y, v + x, value);
  });
}

void CircleColor(Image& image, long long h, long long v, long long radius, RGBColor c) {
  if (image.supported()) Circle(image, image.pixelSize, h, v, radius, ValueOf(image, c));
}

void Disc(Image& image, int depth, long long h, long long v, long long radius, uint32_t value) {
  if (image.pixelSize != depth) return;
  // A scan on a row outside the image would skip all its pixels; it is skipped whole here only
  // because a large disc has hundreds of thousands of such scans.
  auto scan = [&](long long row, long long from, long long to) {
    if (row >= image.bounds.top && row < image.bounds.bottom) Scan(image, depth, row, from, to, value);
  };
  Walk(radius, [&](long long x, long long y) {
    scan(v - y, h - x, h + x);
    if (y != 0) scan(v + y, h - x, h + x);
    scan(v - x, h - y, h + y);
    if (x != 0) scan(v + x, h - y, h + y);
  });
}

void DiscColor(Image& image, long long h, long long v, long long radius, RGBColor c) {
  if (image.supported()) Disc(image, image.pixelSize, h, v, radius, ValueOf(image, c));
}

}  // namespace lumetra::ref
