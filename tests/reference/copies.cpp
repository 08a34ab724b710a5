// The model of the block copies and compositing, pixel by pixel.
//
// A copy pairs source pixel i of a run with destination pixel i and keeps a pair only when
// both pixels lie inside their images: that is what cutting columns in pairs means. Each row
// is read whole before any of it is written, so copies within one image move like memmove.
#include <algorithm>

#include "reference.h"

namespace lumetra::ref {

namespace {

bool Supported(int depth) { return depth == 8 || depth == 16 || depth == 32; }

// The intersection the library clips with: each edge moved inwards, compared as given.
bool Clip(Rect& r, const Rect& bounds) {
  r.top = std::max(r.top, bounds.top);
  r.bottom = std::min(r.bottom, bounds.bottom);
  r.left = std::max(r.left, bounds.left);
  r.right = std::min(r.right, bounds.right);
  return r.top < r.bottom && r.left < r.right;
}

std::vector<uint32_t> ReadRow(const Image& image, long long row, long long start, long long count) {
  std::vector<uint32_t> out;
  for (long long i = 0; i < count; ++i) out.push_back(image.at(start + i, row));
  return out;
}

// Run i of the source goes onto run i of the destination, where both are inside; blend
// decides how.
template <typename Blend>
void PairRow(const Image& src, Image& dst, long long srcRow, long long srcStart, long long dstRow, long long dstStart,
             long long count, Blend blend) {
  const std::vector<uint32_t> from = ReadRow(src, srcRow, srcStart, count);
  const std::vector<uint32_t> onto = ReadRow(dst, dstRow, dstStart, count);
  for (long long i = 0; i < count; ++i)
    if (src.inside(srcStart + i, srcRow) && dst.inside(dstStart + i, dstRow))
      dst.plot(dstStart + i, dstRow, blend(from[static_cast<size_t>(i)], onto[static_cast<size_t>(i)]));
}

uint32_t Replace(uint32_t s, uint32_t) { return s; }

template <typename Blend>
void Scan(const Image& src, Image& dst, long long srcRow, long long srcH1, long long srcH2, long long dstRow,
          long long dstH1, long long dstH2, Blend blend) {
  if (srcRow < src.bounds.top || srcRow >= src.bounds.bottom) return;
  if (dstRow < dst.bounds.top || dstRow >= dst.bounds.bottom) return;
  const long long length = srcH2 > srcH1 ? srcH2 - srcH1 : srcH1 - srcH2;
  if (length != (dstH2 > dstH1 ? dstH2 - dstH1 : dstH1 - dstH2)) return;
  PairRow(src, dst, srcRow, std::min(srcH1, srcH2), dstRow, std::min(dstH1, dstH2), length, blend);
}

}  // namespace

uint32_t Composite(uint32_t s, uint32_t d) {
  const uint32_t a = s >> 24;
  uint32_t out = 0;
  for (int channel = 0; channel < 3; ++channel) {
    const int shift = 8 * channel;
    const uint32_t sc = (s >> shift) & 0xFF;
    const uint32_t dc = (d >> shift) & 0xFF;
    out |= ((sc * a) / 256 + (dc * (255 - a)) / 256) << shift;
  }
  return out;
}

void CopyRect(const Image& src, Image& dst, int depth, Rect srcRect, Rect dstRect) {
  if (src.pixelSize != depth || dst.pixelSize != depth) return;
  if (!Clip(srcRect, src.bounds) || !Clip(dstRect, dst.bounds)) return;
  const long long width = srcRect.right - srcRect.left;
  if (width != dstRect.right - dstRect.left) return;
  const long long rows = std::min(srcRect.bottom - srcRect.top, dstRect.bottom - dstRect.top);
  for (long long i = 0; i < rows; ++i)
    PairRow(src, dst, srcRect.top + i, srcRect.left, dstRect.top + i, dstRect.left, width, Replace);
}

void CopyRectAny(const Image& src, Image& dst, Rect srcRect, Rect dstRect) {
  if (src.pixelSize == dst.pixelSize && Supported(src.pixelSize)) CopyRect(src, dst, src.pixelSize, srcRect, dstRect);
}

void CompositeRect(const Image& src, Image& dst, Rect srcRect, Rect dstRect) {
  if (src.pixelSize != 32 || dst.pixelSize != 32) return;
  // Rows are cut in pairs at each map's top and bottom.
  long long sTop = srcRect.top, sBottom = srcRect.bottom, dTop = dstRect.top, dBottom = dstRect.bottom;
  const long long cutTop = std::max({0LL, src.bounds.top - sTop, dst.bounds.top - dTop});
  sTop += cutTop;
  dTop += cutTop;
  const long long cutBottom = std::max({0LL, sBottom - src.bounds.bottom, dBottom - dst.bounds.bottom});
  sBottom -= cutBottom;
  dBottom -= cutBottom;
  const long long sWidth = srcRect.right > srcRect.left ? srcRect.right - srcRect.left : srcRect.left - srcRect.right;
  const long long dWidth = dstRect.right > dstRect.left ? dstRect.right - dstRect.left : dstRect.left - dstRect.right;
  if (sWidth != dWidth) return;
  const long long sStart = std::min(srcRect.left, srcRect.right);
  const long long dStart = std::min(dstRect.left, dstRect.right);
  for (long long i = 0; sTop + i < sBottom && dTop + i < dBottom; ++i)
    PairRow(src, dst, sTop + i, sStart, dTop + i, dStart, sWidth, Composite);
}

void CopyScan(const Image& src, Image& dst, int depth, long long srcRow, long long srcH1, long long srcH2,
              long long dstRow, long long dstH1, long long dstH2) {
  if (src.pixelSize == depth && dst.pixelSize == depth)
    Scan(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2, Replace);
}

void CopyScanAny(const Image& src, Image& dst, long long srcRow, long long srcH1, long long srcH2, long long dstRow,
                 long long dstH1, long long dstH2) {
  if (src.pixelSize == dst.pixelSize && Supported(src.pixelSize))
    CopyScan(src, dst, src.pixelSize, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2);
}

void CompositeScan(const Image& src, Image& dst, long long srcRow, long long srcH1, long long srcH2, long long dstRow,
                   long long dstH1, long long dstH2) {
  if (src.pixelSize == 32 && dst.pixelSize == 32) Scan(src, dst, srcRow, srcH1, srcH2, dstRow, dstH1, dstH2, Composite);
}

}  // namespace lumetra::ref
