// What the fuzz targets build from their input bytes: pixel maps over guarded memory with the
// shapes that break drawing code (every depth from 1 to 32 bits, far origins, wrapped and
// inverted bounds, padded and minimal rows, colour tables with no entries), and coordinates
// that sit on the edges, inside, anywhere, or at the extremes of 16 bits.
//
// Everything is drawn from a FuzzedDataProvider, so an input means the same case on every run
// and libFuzzer's mutations move it gradually.
#ifndef LUMETRA_FUZZ_INPUT_H
#define LUMETRA_FUZZ_INPUT_H

#include <fuzzer/FuzzedDataProvider.h>

#include <memory>
#include <optional>
#include <string>

#include "finding.h"
#include "guarded.h"
#include "reference.h"

namespace lumetra::fuzz {

inline SInt16 Clamp16(long long x) { return static_cast<SInt16>(x < -32768 ? -32768 : x > 32767 ? 32767 : x); }

// A pixel map over guarded memory, with its colour table and (for comparisons) its model.
struct FuzzMap {
  int pixelSize = 32;
  std::optional<ref::Table> table;
  std::unique_ptr<ref::OwnedTable> ownedTable;
  std::unique_ptr<test::GuardedPixMap> map;

  PixMapHandle handle() const { return map->handle(); }
  const Rect& bounds() const { return map->bounds(); }
  bool drawable() const { return pixelSize == 8 || pixelSize == 16 || pixelSize == 32; }
  std::string describe() const {
    const Rect& b = bounds();
    return std::to_string(pixelSize) + " bits, bounds (top " + std::to_string(b.top) + ", left " +
           std::to_string(b.left) + ", bottom " + std::to_string(b.bottom) + ", right " + std::to_string(b.right) +
           "), row bytes " + std::to_string(map->rowBytes()) + ", table " +
           (table ? std::to_string(table->size()) + " entries" : std::string("none"));
  }
};

// One axis of the bounds: the start and the end, from an extent of 0 to maxExtent pixels placed
// at 0, near 0, far out (the end still fits 16 bits), anywhere (the end wraps and the bounds
// come out inverted), or inverted on purpose.
inline void Axis(FuzzedDataProvider& in, int maxExtent, SInt16* start, SInt16* end) {
  const int extent = in.ConsumeIntegralInRange(0, maxExtent);
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: *start = 0; break;
    case 1: *start = static_cast<SInt16>(in.ConsumeIntegralInRange(-200, 200)); break;
    case 2: *start = static_cast<SInt16>(in.ConsumeIntegralInRange(-32768, 32767 - extent)); break;
    case 3: *start = static_cast<SInt16>(in.ConsumeBool() ? -32768 : 32767 - extent); break;
    case 4: *start = in.ConsumeIntegral<SInt16>(); break;
    default:
      *start = static_cast<SInt16>(in.ConsumeIntegralInRange(-32768 + extent, 32767));
      *end = static_cast<SInt16>(*start - extent);
      return;
  }
  *end = static_cast<SInt16>(*start + extent);  // wraps for the "anywhere" case
}

// Depths the library draws at come most often; the others must be left alone.
inline int PixelSize(FuzzedDataProvider& in) {
  static const int kSizes[] = {8, 16, 32, 8, 16, 32, 1, 2, 4, 24, 0};
  return kSizes[in.ConsumeIntegralInRange<size_t>(0, sizeof kSizes / sizeof kSizes[0] - 1)];
}

inline std::optional<ref::Table> ColorTable(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: return std::nullopt;
    case 1: return ref::Table{};  // a table without entries
    default: {
      ref::Table entries(in.ConsumeIntegralInRange<size_t>(1, 256));
      const bool fewValues = in.ConsumeBool();  // ties between entries become common
      for (RGBColor& e : entries) {
        auto component = [&] {
          return static_cast<UInt16>(fewValues ? in.ConsumeIntegralInRange(0, 3) * 21845 : in.ConsumeIntegral<UInt16>());
        };
        e = RGBColor{component(), component(), component()};
      }
      return entries;
    }
  }
}

// A map of a fuzzed shape. pixelSize 0 asks for a fuzzed depth too. The pixels start random
// or zero.
inline FuzzMap MakeMap(FuzzedDataProvider& in, int pixelSize = 0, int maxWidth = 64, int maxHeight = 48) {
  FuzzMap m;
  m.pixelSize = pixelSize ? pixelSize : PixelSize(in);
  Rect bounds{};
  if (in.ConsumeIntegralInRange(0, 15) == 0) {
    // Wide: rows of 32768 bytes or more, so that no byte offset within a row fits 16 bits.
    const int bytesPerPixel = m.pixelSize >= 8 ? m.pixelSize / 8 : 1;
    const int width = in.ConsumeIntegralInRange(32768 / bytesPerPixel, 40000 / bytesPerPixel);
    bounds.left = static_cast<SInt16>(-width / 2 + in.ConsumeIntegralInRange(-100, 100));
    bounds.right = static_cast<SInt16>(bounds.left + width);
    bounds.top = static_cast<SInt16>(in.ConsumeIntegralInRange(-100, 100));
    bounds.bottom = static_cast<SInt16>(bounds.top + in.ConsumeIntegralInRange(1, 3));
  } else {
    Axis(in, maxWidth, &bounds.left, &bounds.right);
    Axis(in, maxHeight, &bounds.top, &bounds.bottom);
  }
  const int width = bounds.right > bounds.left ? bounds.right - bounds.left : 0;
  const int minimal = (width * m.pixelSize + 7) / 8;
  // Padding of any byte count: the library must not assume rows start on a pixel boundary.
  const int rowBytes = minimal + (in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 19) : 0);
  if (m.pixelSize == 8) m.table = ColorTable(in);
  if (m.table) m.ownedTable = std::make_unique<ref::OwnedTable>(*m.table);
  m.map = std::make_unique<test::GuardedPixMap>(m.pixelSize, bounds, rowBytes > 0 ? rowBytes : 1,
                                                m.ownedTable ? m.ownedTable->handle() : nullptr);
  if (in.ConsumeBool() && m.drawable()) {
    const UInt32 seed = in.ConsumeIntegral<UInt32>();
    UInt32 x = seed | 1;
    for (int v = bounds.top; v < bounds.bottom; ++v)
      for (int h = bounds.left; h < bounds.right; ++h) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        m.map->set(h, v, x);
      }
  }
  return m;
}

// A coordinate on the axis [lo, hi): near the edges, inside, anywhere, or at an extreme.
inline SInt16 Coordinate(FuzzedDataProvider& in, int lo, int hi) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: return Clamp16(static_cast<long long>(lo) + in.ConsumeIntegralInRange(-6, 6));
    case 1: return Clamp16(static_cast<long long>(hi) + in.ConsumeIntegralInRange(-6, 6));
    case 2: return Clamp16(hi > lo ? in.ConsumeIntegralInRange(lo, hi - 1) : lo);
    case 3: return in.ConsumeIntegral<SInt16>();
    default: {
      static const SInt16 kExtremes[] = {-32768, 32767, -32767, 32766, 0, -1};
      return kExtremes[in.ConsumeIntegralInRange(0, 5)];
    }
  }
}
inline SInt16 H(FuzzedDataProvider& in, const FuzzMap& m) { return Coordinate(in, m.bounds().left, m.bounds().right); }
inline SInt16 V(FuzzedDataProvider& in, const FuzzMap& m) { return Coordinate(in, m.bounds().top, m.bounds().bottom); }
inline Point P(FuzzedDataProvider& in, const FuzzMap& m) { return Point{V(in, m), H(in, m)}; }
// Radii up to the largest: circles far bigger than any map must clip as small ones do. Huge
// radii are the rarer ones, as a circle's walk takes time in proportion to its radius.
inline UInt16 Radius(FuzzedDataProvider& in) {
  const int kind = in.ConsumeIntegralInRange(0, 9);
  if (kind < 4) return static_cast<UInt16>(in.ConsumeIntegralInRange(0, 4));
  if (kind < 8) return static_cast<UInt16>(in.ConsumeIntegralInRange(0, 80));
  if (kind == 8) return static_cast<UInt16>(65535 - in.ConsumeIntegralInRange(0, 2));
  return in.ConsumeIntegral<UInt16>();
}

inline RGBColor Color(FuzzedDataProvider& in) {
  return RGBColor{in.ConsumeIntegral<UInt16>(), in.ConsumeIntegral<UInt16>(), in.ConsumeIntegral<UInt16>()};
}

}  // namespace lumetra::fuzz

#endif
