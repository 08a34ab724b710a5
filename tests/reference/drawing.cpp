// Pixel access, lines, scans and filled rectangles on the unbounded plane, one position at a
// time.
#include <algorithm>
#include <cstdlib>

#include "reference.h"

namespace lumetra::ref {

uint32_t GetPixel(const Image& image, int depth, long long h, long long v) {
  if (image.pixelSize != depth) return 0;
  return image.at(h, v);
}

void SetPixel(Image& image, int depth, long long h, long long v, uint32_t value) {
  if (image.pixelSize != depth) return;
  image.plot(h, v, value);
}

RGBColor GetPixelColor(const Image& image, long long h, long long v) {
  if (!image.supported()) return RGBColor{0, 0, 0};
  return ColorOf(image, image.at(h, v));
}

void SetPixelColor(Image& image, long long h, long long v, RGBColor c) {
  if (!image.supported()) return;
  image.plot(h, v, ValueOf(image, c));
}

// The walk: the longer axis drives (columns on a tie), the error starts at half the driving
// delta rounded down, and the other axis steps when the error exceeds the driving delta.
void Line(Image& image, int depth, long long h0, long long v0, long long h1, long long v1, uint32_t value) {
  if (image.pixelSize != depth) return;
  const long long dx = std::llabs(h1 - h0);
  const long long dy = std::llabs(v1 - v0);
  const long long sx = h1 < h0 ? -1 : 1;
  const long long sy = v1 < v0 ? -1 : 1;
  long long x = h0;
  long long y = v0;
  image.plot(x, y, value);
  if (dy > dx) {
    long long err = dy / 2;
    for (long long i = 0; i < dy; ++i) {
      y += sy;
      err += dx;
      if (err > dy) {
        err -= dy;
        x += sx;
      }
      image.plot(x, y, value);
    }
  } else {
    long long err = dx / 2;
    for (long long i = 0; i < dx; ++i) {
      x += sx;
      err += dy;
      if (err > dx) {
        err -= dx;
        y += sy;
      }
      image.plot(x, y, value);
    }
  }
}

void LineColor(Image& image, long long h0, long long v0, long long h1, long long v1, RGBColor c) {
  if (!image.supported()) return;
  Line(image, image.pixelSize, h0, v0, h1, v1, ValueOf(image, c));
}

// From the smaller end up to, not including, the larger; what lies outside is skipped. (The
// loops below visit only the columns and rows that can be inside; a position beyond them would
// be skipped by plot anyway, and visiting 40000 x 40000 of them would only cost time.)
void Scan(Image& image, int depth, long long v, long long h1, long long h2, uint32_t value) {
  if (image.pixelSize != depth) return;
  const long long from = std::max<long long>(std::min(h1, h2), image.bounds.left);
  const long long to = std::min<long long>(std::max(h1, h2), image.bounds.right);
  for (long long h = from; h < to; ++h) image.plot(h, v, value);
}

void FillRect(Image& image, int depth, long long top, long long left, long long bottom, long long right,
              uint32_t value) {
  const long long from = std::max<long long>(top, image.bounds.top);
  const long long to = std::min<long long>(bottom, image.bounds.bottom);
  for (long long v = from; v < to; ++v) Scan(image, depth, v, left, right, value);
}

void FillRectColor(Image& image, long long top, long long left, long long bottom, long long right, RGBColor c) {
  if (!image.supported()) return;
  FillRect(image, image.pixelSize, top, left, bottom, right, ValueOf(image, c));
}

}  // namespace lumetra::ref
