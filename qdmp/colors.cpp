// Conversions between RGBColor and pixel values, and the two exported colour utilities.
//
// To a pixel value: keep the top 5 (16 bits) or 8 (32 bits) bits of each component, or the
// nearest colour-table position (8 bits). Back to a colour: widen by bit replication, so a
// 5-bit 31 becomes 63519 (not 65535) and an 8-bit 255 becomes 65535.
#include <cmath>

#include "qdmp_p.h"

namespace {

// The table behind a pixel map, or null when it has none.
const ColorTable* TableOf(PixMapHandle pm) {
  if (!pm || !*pm) return nullptr;
  CTabHandle table = (*pm)->pmTable;
  if (!table || !*table) return nullptr;
  return *table;
}

SInt64 Square(SInt64 x) { return x * x; }

// The sum of the squared component differences, formed exactly: it reaches 12,884,508,675
// for black against white, more than 32 bits hold.
SInt64 DistanceSquared(const RGBColor& a, const RGBColor& b) {
  return Square(static_cast<SInt32>(a.red) - b.red) + Square(static_cast<SInt32>(a.green) - b.green) +
         Square(static_cast<SInt32>(a.blue) - b.blue);
}

}  // namespace

UInt16 RGBColorToColor16(const RGBColor* color) {
  return static_cast<UInt16>(((color->red >> 11) << 10) | ((color->green >> 11) << 5) | (color->blue >> 11));
}

UInt32 RGBColorToColor32(const RGBColor* color) {
  return (static_cast<UInt32>(color->red >> 8) << 16) | (static_cast<UInt32>(color->green >> 8) << 8) |
         static_cast<UInt32>(color->blue >> 8);
}

// Bit 15 is ignored.
RGBColor Color16ToRGBColor(UInt32 pixel) {
  RGBColor c;
  c.red = static_cast<UInt16>(((pixel >> 10) & 0x1F) * 2049);
  c.green = static_cast<UInt16>(((pixel >> 5) & 0x1F) * 2049);
  c.blue = static_cast<UInt16>((pixel & 0x1F) * 2049);
  return c;
}

// The top byte is ignored.
RGBColor Color32ToRGBColor(UInt32 pixel) {
  RGBColor c;
  c.red = static_cast<UInt16>(((pixel >> 16) & 0xFF) * 257);
  c.green = static_cast<UInt16>(((pixel >> 8) & 0xFF) * 257);
  c.blue = static_cast<UInt16>((pixel & 0xFF) * 257);
  return c;
}

// The colour at position index modulo the number of entries, so a value past the table's end
// continues from its start. Black without a table. A table without entries, or a negative
// index (the library passes only 0 to 255), also gives black: there is no entry to read, and
// reading one would reach outside the table.
RGBColor FindColorByIndex(PixMapHandle pm, SInt16 index) {
  RGBColor result = {0, 0, 0};
  const ColorTable* table = TableOf(pm);
  if (!table) return result;
  const SInt32 count = static_cast<SInt32>(table->ctSize) + 1;
  if (count <= 0 || index < 0) return result;
  return table->ctTable[index % count].rgb;
}

// The position of the nearest entry of the map's colour table (never the entry's index value).
// Among entries at equal distance the lowest position wins. 255 when there is no table, no
// colour or no entry. The table is scanned afresh on every call.
UInt8 RGBColorToColor8(PixMapHandle pm, const RGBColor* color) {
  const ColorTable* table = TableOf(pm);
  if (!table || !color || table->ctSize < 0) return 255;
  const RGBColor target = *color;
  SInt32 best = 0;
  SInt64 bestDistance = DistanceSquared(target, table->ctTable[0].rgb);
  for (SInt32 i = 1; i <= table->ctSize; ++i) {
    const SInt64 d = DistanceSquared(target, table->ctTable[i].rgb);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return static_cast<UInt8>(best);
}

extern "C" {

// Blends a toward b by the fractional part of weight; the integer part has no effect. Every
// step is rounded to single precision in the order written (the ILP32 build does its float
// arithmetic in SSE registers for that reason), so results are the same on every build.
// A weight that is not a number, or too large for its integer part to fit in 32 bits (such a
// float has no fractional part anyway), is taken as a fraction of 0 and gives a: converting it
// to an integer would otherwise be undefined and give an arbitrary colour.
RGBColor QDMP_Mix_RGBColors(RGBColor a, RGBColor b, float weight) {
  float f = 0.0f;
  if (std::fabs(weight) < 2147483648.0f) {
    const SInt32 whole = static_cast<SInt32>(weight);
    f = weight - static_cast<float>(whole);
  }
  const float g = 1.0f - f;
  auto mix = [f, g](UInt16 ca, UInt16 cb) {
    const float pa = static_cast<float>(ca) * g;
    const float pb = static_cast<float>(cb) * f;
    const float sum = pa + pb;
    return static_cast<UInt16>(static_cast<SInt32>(sum));  // its low 16 bits
  };
  RGBColor result;
  result.red = mix(a.red, b.red);
  result.green = mix(a.green, b.green);
  result.blue = mix(a.blue, b.blue);
  return result;
}

// The Euclidean distance, truncated; 113509 for black against white.
UInt32 QDMP_RGBColorDistance(RGBColor a, RGBColor b) {
  return static_cast<UInt32>(std::sqrt(static_cast<double>(DistanceSquared(a, b))));
}

}  // extern "C"
