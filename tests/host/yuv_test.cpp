// The colour conversion for H.264: the BT.709 values of known colours, every sample of
// random pictures (sparse like a scope and dense, odd sizes included) within one step of the
// exact equations, and nothing written outside the picture's samples.
#include "host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace lumetra;

namespace {

// Planes with room around each row, filled with a marker that no conversion writes.
struct Planes {
  static constexpr std::uint8_t kMarker = 0xA5;
  static constexpr int kPad = 7;
  Planes(int width, int height)
      : cw((width + 1) / 2), ch((height + 1) / 2), yStride(width + kPad), cStride(cw + kPad),
        y(static_cast<std::size_t>(yStride) * height + kPad, kMarker), u(static_cast<std::size_t>(cStride) * ch + kPad, kMarker),
        v(u) {}
  YuvPlanes view() { return {y.data(), u.data(), v.data(), yStride, cStride, cStride}; }
  int cw, ch, yStride, cStride;
  std::vector<std::uint8_t> y, u, v;
};

struct Exact {
  double y, u, v;
};

// The BT.709 equations in doubles, limited range; chroma from the mean of the given pixels.
Exact exact(const std::vector<std::uint32_t>& px) {
  double r = 0, g = 0, b = 0;
  for (std::uint32_t p : px) {
    r += (p >> 16) & 0xFF;
    g += (p >> 8) & 0xFF;
    b += p & 0xFF;
  }
  r /= px.size();
  g /= px.size();
  b /= px.size();
  const double kr = 0.2126, kb = 0.0722, kg = 1 - kr - kb;
  const double luma = kr * r + kg * g + kb * b;
  return {16 + 219.0 / 255.0 * luma, 128 + 224.0 / 255.0 * (b - luma) / (2 * (1 - kb)),
          128 + 224.0 / 255.0 * (r - luma) / (2 * (1 - kr))};
}

TEST(Yuv, KnownColours) {
  struct Row {
    const char* name;
    std::uint32_t pixel;
    int y, u, v;
  };
  const Row rows[] = {
      {"black", 0x000000, 16, 128, 128},   {"white", 0xFFFFFF, 235, 128, 128}, {"red", 0xFF0000, 63, 102, 240},
      {"green", 0x00FF00, 173, 42, 26},    {"blue", 0x0000FF, 32, 240, 118},   {"grey", 0x808080, 126, 128, 128},
      {"top byte is not alpha", 0xFF000000, 16, 128, 128},
  };
  for (const Row& r : rows) {
    const std::vector<std::uint32_t> pixels(4, r.pixel);
    Planes p(2, 2);
    toYuv420(pixels, 2, 2, p.view());
    EXPECT_EQ(p.y[0], r.y) << r.name;
    EXPECT_EQ(p.y[1], r.y) << r.name;
    EXPECT_EQ(p.y[p.yStride], r.y) << r.name;
    EXPECT_EQ(p.y[p.yStride + 1], r.y) << r.name;
    EXPECT_EQ(p.u[0], r.u) << r.name;
    EXPECT_EQ(p.v[0], r.v) << r.name;
  }
}

// Random pictures against the equations. Sparse ones are black but for a few pixels, so that
// black blocks, blocks with one lit pixel and the columns after the last whole block all
// occur; dense ones have no black block at all.
TEST(Yuv, RandomPicturesWithinOneStep) {
  struct Size {
    int width, height;
  };
  const Size sizes[] = {{1, 1}, {2, 1}, {1, 2}, {3, 3}, {8, 2}, {9, 2}, {17, 5}, {64, 36}, {33, 2}, {130, 7}};
  std::mt19937 random(20261211);
  for (const Size s : sizes)
    for (const bool sparse : {true, false}) {
      const int w = s.width, h = s.height;
      std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
      for (auto& px : pixels) {
        const bool lit = !sparse || random() % 23 == 0;
        px = lit ? static_cast<std::uint32_t>(random()) : (random() % 2 ? 0xFF000000u : 0u);
      }
      Planes p(w, h);
      toYuv420(pixels, w, h, p.view());
      const std::string where = std::to_string(w) + "x" + std::to_string(h) + (sparse ? " sparse" : " dense");
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const double want = exact({pixels[static_cast<std::size_t>(y) * w + x]}).y;
          ASSERT_LE(std::abs(p.y[static_cast<std::size_t>(y) * p.yStride + x] - want), 1.0) << where << " luma " << x << "," << y;
        }
      for (int cy = 0; cy < p.ch; ++cy)
        for (int cx = 0; cx < p.cw; ++cx) {
          std::vector<std::uint32_t> block;
          for (int y = 2 * cy; y < std::min(2 * cy + 2, h); ++y)
            for (int x = 2 * cx; x < std::min(2 * cx + 2, w); ++x) block.push_back(pixels[static_cast<std::size_t>(y) * w + x]);
          const Exact want = exact(block);
          const std::size_t at = static_cast<std::size_t>(cy) * p.cStride + cx;
          ASSERT_LE(std::abs(p.u[at] - want.u), 1.0) << where << " chroma " << cx << "," << cy;
          ASSERT_LE(std::abs(p.v[at] - want.v), 1.0) << where << " chroma " << cx << "," << cy;
        }
      // The padding of every row and what follows the last one keep their marker.
      for (int y = 0; y < h; ++y)
        for (int x = w; x < p.yStride; ++x) ASSERT_EQ(p.y[static_cast<std::size_t>(y) * p.yStride + x], Planes::kMarker) << where;
      for (int cy = 0; cy < p.ch; ++cy)
        for (int cx = p.cw; cx < p.cStride; ++cx) {
          ASSERT_EQ(p.u[static_cast<std::size_t>(cy) * p.cStride + cx], Planes::kMarker) << where;
          ASSERT_EQ(p.v[static_cast<std::size_t>(cy) * p.cStride + cx], Planes::kMarker) << where;
        }
      EXPECT_EQ(p.y.back(), Planes::kMarker) << where;
      EXPECT_EQ(p.u.back(), Planes::kMarker) << where;
      EXPECT_EQ(p.v.back(), Planes::kMarker) << where;
    }
}

TEST(Yuv, TooFewPixelsWriteNothing) {
  const std::vector<std::uint32_t> pixels(15, 0x00FF00);
  Planes p(4, 4);
  toYuv420(pixels, 4, 4, p.view());
  for (std::uint8_t b : p.y) ASSERT_EQ(b, Planes::kMarker);
  for (std::uint8_t b : p.u) ASSERT_EQ(b, Planes::kMarker);
}

}  // namespace
