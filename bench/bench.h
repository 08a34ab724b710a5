// Shared pieces of the benchmark program: the sizes, the buffers every contender draws into,
// the bundle's drawing functions, and the figures the line benchmarks draw.
//
// Every benchmark is named "operation/contender/WIDTHxHEIGHT" and reports items per second
// (pixels, segments, circles, curves or frames, as its label says); the table in main.cpp
// pairs "ours" with each other contender of the same operation and size.
#ifndef LUMETRA_BENCH_H
#define LUMETRA_BENCH_H

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qdmp.h"  // declarations only: the functions are taken from the built bundle

namespace lumetra::bench {

struct Size {
  int width;
  int height;
  std::string name() const { return std::to_string(width) + "x" + std::to_string(height); }
};

// The sizes every primitive is measured at; the target ratios apply at kTargetSize.
inline const std::vector<Size> kSizes = {{640, 480}, {1920, 1080}, {3840, 2160}};
inline const char* const kTargetSize = "1920x1080";

// Pixel memory of one size and depth, 64-byte aligned, packed rows, with a pixel map over it
// (bounds at the origin). Released with the object.
class Buffer {
 public:
  Buffer(Size size, int depth);
  ~Buffer();
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  uint8_t* bytes() const { return bytes_; }
  uint32_t* words() const { return reinterpret_cast<uint32_t*>(bytes_); }
  int32_t rowBytes() const { return rowBytes_; }
  size_t byteCount() const { return static_cast<size_t>(rowBytes_) * size_.height; }
  Size size() const { return size_; }
  int depth() const { return depth_; }
  PixMapHandle map() const { return map_; }
  Rect bounds() const { return {0, 0, static_cast<SInt16>(size_.height), static_cast<SInt16>(size_.width)}; }
  // Fills every byte from a seeded generator (so 32-bit pixels carry random alpha).
  void randomize(uint32_t seed);

 private:
  Size size_;
  int depth_;
  int32_t rowBytes_;
  uint8_t* bytes_ = nullptr;
  PixMapHandle map_ = nullptr;
};

// A symbol of the bundle's shared object (loaded once, from LUMETRA_BUNDLE_DIR), or null when
// the bundle does not export it; throws when the bundle cannot be loaded.
void* BundleSymbol(const char* name);
// An exported function of the bundle, typed like its declaration in qdmp.h, or null.
template <typename F>
F Bundle(const char* name, F) {
  return reinterpret_cast<F>(BundleSymbol(name));
}
#define LUMETRA_BUNDLE_FN(name) ::lumetra::bench::Bundle(#name, &name)

struct Segment {
  SInt16 h0, v0, h1, v1;
};

// One snapshot of a stereo signal whose two channels are sines of different frequencies and
// phases: the X-Y figure is a Lissajous curve, as music with a steady tone draws it.
void LissajousWaveform(uint8_t channel0[512], uint8_t channel1[512]);
// The 511 segments the scope draws for that snapshot at this size, mapped exactly as the
// renderer maps them (single-precision scale, channel 1 read backwards).
std::vector<Segment> ScopeSegments(Size size);
// 511 segments between seeded random points anywhere in the frame: long lines.
std::vector<Segment> RandomSegments(Size size);

// A plain Bresenham line, written the way one writes it by hand: bounds test on every pixel,
// pixel address formed from the coordinates.
template <typename Pixel>
void HandLine(uint8_t* base, int32_t rowBytes, int width, int height, Segment s, Pixel value) {
  int x = s.h0, y = s.v0;
  const int dx = s.h1 > s.h0 ? s.h1 - s.h0 : s.h0 - s.h1;
  const int dy = -(s.v1 > s.v0 ? s.v1 - s.v0 : s.v0 - s.v1);
  const int sx = s.h0 < s.h1 ? 1 : -1, sy = s.v0 < s.v1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    if (static_cast<unsigned>(x) < static_cast<unsigned>(width) && static_cast<unsigned>(y) < static_cast<unsigned>(height))
      reinterpret_cast<Pixel*>(base + static_cast<ptrdiff_t>(y) * rowBytes)[x] = value;
    if (x == s.h1 && y == s.v1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

// Memory obtained from malloc and its relatives (and so operator new) since the program
// started, counted by the bench's own allocator hooks.
long AllocationCount();

void RegisterPrimitives();
void RegisterFrames();

}  // namespace lumetra::bench

#endif
