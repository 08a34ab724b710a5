// The colour conversions and utilities, written out the long way.
#include <cmath>

#include "reference.h"

namespace lumetra::ref {

namespace {

// Top bits of a 16-bit component.
uint32_t Top(uint32_t component, int bits) { return component / (1u << (16 - bits)); }

long long DistanceSquared(RGBColor a, RGBColor b) {
  const long long dr = static_cast<long long>(a.red) - b.red;
  const long long dg = static_cast<long long>(a.green) - b.green;
  const long long db = static_cast<long long>(a.blue) - b.blue;
  return dr * dr + dg * dg + db * db;
}

}  // namespace

uint32_t ToColor16(RGBColor c) { return Top(c.red, 5) * 1024 + Top(c.green, 5) * 32 + Top(c.blue, 5); }

uint32_t ToColor32(RGBColor c) { return Top(c.red, 8) * 65536 + Top(c.green, 8) * 256 + Top(c.blue, 8); }

RGBColor FromColor16(uint32_t pixel) {
  const uint32_t r = (pixel / 1024) % 32;
  const uint32_t g = (pixel / 32) % 32;
  const uint32_t b = pixel % 32;
  // Replication: the 5 bits again at bit 11, and nothing between.
  return RGBColor{static_cast<UInt16>(r * 2048 + r), static_cast<UInt16>(g * 2048 + g), static_cast<UInt16>(b * 2048 + b)};
}

RGBColor FromColor32(uint32_t pixel) {
  const uint32_t r = (pixel / 65536) % 256;
  const uint32_t g = (pixel / 256) % 256;
  const uint32_t b = pixel % 256;
  return RGBColor{static_cast<UInt16>(r * 256 + r), static_cast<UInt16>(g * 256 + g), static_cast<UInt16>(b * 256 + b)};
}

uint32_t ToColor8(const std::optional<Table>& table, const RGBColor* c) {
  if (!table || !c || table->empty()) return 255;
  size_t best = 0;
  for (size_t i = 1; i < table->size(); ++i)
    if (DistanceSquared(*c, (*table)[i]) < DistanceSquared(*c, (*table)[best])) best = i;
  return static_cast<uint32_t>(best % 256);
}

RGBColor ColorOfIndex(const std::optional<Table>& table, long long index) {
  if (!table || table->empty() || index < 0) return RGBColor{0, 0, 0};
  return (*table)[static_cast<size_t>(index) % table->size()];
}

uint32_t ValueOf(const Image& image, RGBColor c) {
  switch (image.pixelSize) {
    case 8: return ToColor8(image.table, &c);
    case 16: return ToColor16(c);
    case 32: return ToColor32(c);
    default: return 0;
  }
}

RGBColor ColorOf(const Image& image, uint32_t pixel) {
  switch (image.pixelSize) {
    case 8: return ColorOfIndex(image.table, pixel);
    case 16: return FromColor16(pixel);
    case 32: return FromColor32(pixel);
    default: return RGBColor{0, 0, 0};
  }
}

RGBColor Mix(RGBColor a, RGBColor b, float weight) {
  // The fractional part, each step rounded to single precision. A weight that is not finite
  // has no fractional part to speak of and leaves a.
  if (!std::isfinite(weight)) return a;
  const float whole = std::trunc(weight);
  const float f = weight - whole;
  const float g = 1.0f - f;
  auto one = [&](UInt16 ca, UInt16 cb) {
    const float pa = static_cast<float>(ca) * g;
    const float pb = static_cast<float>(cb) * f;
    const float sum = pa + pb;
    const long long truncated = static_cast<long long>(sum);
    return static_cast<UInt16>(static_cast<unsigned long long>(truncated) % 65536);
  };
  return RGBColor{one(a.red, b.red), one(a.green, b.green), one(a.blue, b.blue)};
}

uint32_t Distance(RGBColor a, RGBColor b) {
  // The integer square root by search, independent of floating point.
  const long long n = DistanceSquared(a, b);
  long long lo = 0;
  long long hi = 200000;  // above the largest root, 113509
  while (lo < hi) {
    const long long mid = (lo + hi + 1) / 2;
    if (mid * mid <= n)
      lo = mid;
    else
      hi = mid - 1;
  }
  return static_cast<uint32_t>(lo);
}

bool SameColor(RGBColor a, RGBColor b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

}  // namespace lumetra::ref
