// The model of 2:1 down-sampling: each destination byte from the four source bytes of its
// block, counted from each image's first pixel, halved pair by pair.
#include <algorithm>

#include "reference.h"

namespace lumetra::ref {

void DownMip(const Image& src, Image& dst) {
  if (src.pixelSize != 32 || dst.pixelSize != 32) return;
  const long long cols = std::min<long long>(src.width() / 2, dst.width());
  const long long rows = std::min<long long>(src.height() / 2, dst.height());
  for (long long j = 0; j < rows; ++j)
    for (long long i = 0; i < cols; ++i) {
      auto source = [&](long long di, long long dj) {
        return src.at(src.bounds.left + 2 * i + di, src.bounds.top + 2 * j + dj);
      };
      uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        auto byte = [&](uint32_t p) { return (p >> shift) & 0xFF; };
        const uint32_t upper = byte(source(0, 0)) / 2 + byte(source(1, 0)) / 2;
        const uint32_t lower = byte(source(0, 1)) / 2 + byte(source(1, 1)) / 2;
        out |= (upper / 2 + lower / 2) << shift;
      }
      dst.plot(dst.bounds.left + i, dst.bounds.top + j, out);
    }
}

}  // namespace lumetra::ref
