// The colour conversion for the H.264 encoder: 0x00RRGGBB words to BT.709 YUV 4:2:0 in the
// limited range (luma 16-235, chroma 16-240).
//
// A visualizer's picture is mostly black, so the conversion looks at a block of 8x2 pixels
// first: all black, it is stored as black (luma 16, chroma 128) without arithmetic, which
// brings a typical scope frame down to about the cost of writing it. Other blocks go through
// the equations in 16-bit fixed point. Both give the same samples for black.
#include "host.h"

#include <cstring>

namespace lumetra {

namespace {

// The BT.709 weights, scaled to the limited range and to 16 fractional bits.
constexpr double kKr = 0.2126, kKb = 0.0722, kKg = 1.0 - kKr - kKb;
constexpr double kLuma = 219.0 / 255.0, kChroma = 224.0 / 255.0;
constexpr int fixed(double x) { return static_cast<int>(x * 65536.0 + (x < 0 ? -0.5 : 0.5)); }
constexpr int kYR = fixed(kLuma * kKr), kYG = fixed(kLuma * kKg), kYB = fixed(kLuma * kKb);
constexpr int kUR = fixed(-kChroma * kKr / (2 * (1 - kKb))), kUG = fixed(-kChroma * kKg / (2 * (1 - kKb))),
              kUB = fixed(kChroma * 0.5);
constexpr int kVR = fixed(kChroma * 0.5), kVG = fixed(-kChroma * kKg / (2 * (1 - kKr))),
              kVB = fixed(-kChroma * kKb / (2 * (1 - kKr)));

inline int red(std::uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int green(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int blue(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

inline std::uint8_t luma(std::uint32_t p) {
  return static_cast<std::uint8_t>((kYR * red(p) + kYG * green(p) + kYB * blue(p) + (16 << 16) + (1 << 15)) >> 16);
}

// r, g, b: the sums over a 2x2 block (pixels at an edge counted twice or four times).
// Arithmetic shifts of negative sums round towards minus infinity, so the half added
// before the shift rounds to nearest either way.
inline std::uint8_t chroma(int cr, int cg, int cb, int r, int g, int b) {
  return static_cast<std::uint8_t>((cr * r + cg * g + cb * b + (128 << 18) + (1 << 17)) >> 18);
}

// Columns [from, to) of one pair of rows (b may be the same row as a, at an odd bottom).
void convertPair(const std::uint32_t* a, const std::uint32_t* b, int from, int to, std::uint8_t* ya, std::uint8_t* yb,
                 std::uint8_t* u, std::uint8_t* v, bool twoRows) {
  for (int x = from; x < to; x += 2) {
    const bool two = x + 1 < to;
    const std::uint32_t p0 = a[x], p1 = two ? a[x + 1] : p0, q0 = b[x], q1 = two ? b[x + 1] : q0;
    ya[x] = luma(p0);
    if (two) ya[x + 1] = luma(p1);
    if (twoRows) {
      yb[x] = luma(q0);
      if (two) yb[x + 1] = luma(q1);
    }
    const int r = red(p0) + red(p1) + red(q0) + red(q1);
    const int g = green(p0) + green(p1) + green(q0) + green(q1);
    const int bl = blue(p0) + blue(p1) + blue(q0) + blue(q1);
    u[x / 2] = chroma(kUR, kUG, kUB, r, g, bl);
    v[x / 2] = chroma(kVR, kVG, kVB, r, g, bl);
  }
}

}  // namespace

void toYuv420(std::span<const std::uint32_t> pixels, int width, int height, const YuvPlanes& out) {
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    return;
  constexpr int kBlock = 8;  // columns of the black test; even, so blocks keep chroma pairs
  for (int y = 0; y < height; y += 2) {
    const bool twoRows = y + 1 < height;
    const std::uint32_t* a = pixels.data() + static_cast<std::size_t>(y) * width;
    const std::uint32_t* b = twoRows ? a + width : a;
    std::uint8_t* ya = out.y + static_cast<std::ptrdiff_t>(y) * out.yStride;
    std::uint8_t* yb = twoRows ? ya + out.yStride : ya;
    std::uint8_t* u = out.u + static_cast<std::ptrdiff_t>(y / 2) * out.uStride;
    std::uint8_t* v = out.v + static_cast<std::ptrdiff_t>(y / 2) * out.vStride;
    int x = 0;
    for (; x + kBlock <= width; x += kBlock) {
      std::uint32_t any = 0;
      for (int i = 0; i < kBlock; ++i) any |= a[x + i] | b[x + i];
      if ((any & 0x00FFFFFF) == 0) {
        std::memset(ya + x, 16, kBlock);
        if (twoRows) std::memset(yb + x, 16, kBlock);
        std::memset(u + x / 2, 128, kBlock / 2);
        std::memset(v + x / 2, 128, kBlock / 2);
      } else {
        convertPair(a, b, x, x + kBlock, ya, yb, u, v, twoRows);
      }
    }
    convertPair(a, b, x, width, ya, yb, u, v, twoRows);
  }
}

}  // namespace lumetra
