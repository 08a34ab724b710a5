// A deliberately plain model of the drawing library, for comparisons against it.
//
// Written for clarity, not speed: an image is a packed array of pixel values, a drawing
// operation works on an unbounded plane and plots each of its positions, and a position is
// kept only when it lies inside the image's bounds. Every arithmetic is wide (long long), so
// nothing wraps. Each family lives in its own file (colors.cpp, drawing.cpp, ...); later
// families add their own files and declarations at the end of this header.
#ifndef LUMETRA_TESTS_REFERENCE_H
#define LUMETRA_TESTS_REFERENCE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "guarded.h"
#include "platform.h"

namespace lumetra::ref {

using Table = std::vector<RGBColor>;

// A pixel map as the model sees it. rowBytes is kept to describe the real map (the model's
// pixels are packed); table is the colour table of an 8-bit map, if it has one.
struct Image {
  int pixelSize = 32;
  Rect bounds = {0, 0, 0, 0};
  int32_t rowBytes = 0;
  std::optional<Table> table;
  std::vector<uint32_t> pixels;  // row by row, left to right

  Image(int pixelSize, Rect bounds, int32_t rowBytes = 0, std::optional<Table> table = std::nullopt);

  int width() const { return bounds.right > bounds.left ? bounds.right - bounds.left : 0; }
  int height() const { return bounds.bottom > bounds.top ? bounds.bottom - bounds.top : 0; }
  bool supported() const { return pixelSize == 8 || pixelSize == 16 || pixelSize == 32; }
  bool inside(long long h, long long v) const;
  // The pixel's value, 0 outside.
  uint32_t at(long long h, long long v) const;
  // Stores the value (cut to the depth's width) when (h, v) is inside; skips it otherwise.
  void plot(long long h, long long v, uint32_t value);
};

// ---- Bridges to real pixel maps ------------------------------------------------------------

// A platform colour table with the given entries, released with the owner.
class OwnedTable {
 public:
  explicit OwnedTable(const Table& entries);
  ~OwnedTable();
  OwnedTable(const OwnedTable&) = delete;
  OwnedTable& operator=(const OwnedTable&) = delete;
  CTabHandle handle() const { return handle_; }

 private:
  CTabHandle handle_ = nullptr;
};

// The model of a real map: same depth, bounds, row bytes, table and current pixels.
Image ModelOf(const test::GuardedPixMap& map, std::optional<Table> table = std::nullopt);
// Empty when every pixel agrees and the padding is untouched; otherwise says where they first
// differ (pixel coordinates and both values, with the neighbourhood of both images).
std::optional<std::string> FirstDifference(const test::GuardedPixMap& real, const Image& model);

// ---- Colours -------------------------------------------------------------------------------

uint32_t ToColor16(RGBColor c);
uint32_t ToColor32(RGBColor c);
RGBColor FromColor16(uint32_t pixel);
RGBColor FromColor32(uint32_t pixel);
// The position of the nearest entry, the lowest among equals; 255 without table, colour or
// entries.
uint32_t ToColor8(const std::optional<Table>& table, const RGBColor* c);
// The entry at position index modulo the table's size; black without a table or entries.
RGBColor ColorOfIndex(const std::optional<Table>& table, long long index);
// The pixel value of c at the image's depth (0 at an unsupported depth).
uint32_t ValueOf(const Image& image, RGBColor c);
// The colour of a pixel value at the image's depth (black at an unsupported depth).
RGBColor ColorOf(const Image& image, uint32_t pixel);
RGBColor Mix(RGBColor a, RGBColor b, float weight);
uint32_t Distance(RGBColor a, RGBColor b);
bool SameColor(RGBColor a, RGBColor b);

// ---- Pixels, lines, scans, filled rectangles -------------------------------------------------
// The workers take a ready value and do nothing on an image of another depth; the generic
// forms convert a colour and do nothing at an unsupported depth.

uint32_t GetPixel(const Image& image, int depth, long long h, long long v);
void SetPixel(Image& image, int depth, long long h, long long v, uint32_t value);
RGBColor GetPixelColor(const Image& image, long long h, long long v);
void SetPixelColor(Image& image, long long h, long long v, RGBColor c);

void Line(Image& image, int depth, long long h0, long long v0, long long h1, long long v1, uint32_t value);
void LineColor(Image& image, long long h0, long long v0, long long h1, long long v1, RGBColor c);
void Scan(Image& image, int depth, long long v, long long h1, long long h2, uint32_t value);
void FillRect(Image& image, int depth, long long top, long long left, long long bottom, long long right,
              uint32_t value);
void FillRectColor(Image& image, long long top, long long left, long long bottom, long long right, RGBColor c);

// ---- Circles, discs and curves ----------------------------------------------------------------
// The walk in wide arithmetic for every radius; the workers do nothing on an image of another
// depth, the generic forms convert the colour and do nothing at an unsupported depth.

void Circle(Image& image, int depth, long long h, long long v, long long radius, uint32_t value);
void CircleColor(Image& image, long long h, long long v, long long radius, RGBColor c);
void Disc(Image& image, int depth, long long h, long long v, long long radius, uint32_t value);
void DiscColor(Image& image, long long h, long long v, long long radius, RGBColor c);

struct Segment {
  long long h0, v0, h1, v1;
  bool operator==(const Segment&) const = default;
};
// The segments a curve is drawn with, in order, and the curve itself drawn with LineColor.
std::vector<Segment> CurveSegments(Point p0, Point p1, Point p2);
void Curve(Image& image, Point p0, Point p1, Point p2, RGBColor c);

// ---- Block copies, compositing, down-sampling ---------------------------------------------------
// Source first. src and dst may be the same image: each row is read whole before it is written,
// rows from top to bottom. The workers do nothing unless both images have their depth (32 for
// the compositing ones); the generic forms need equal supported depths.

void CopyRect(const Image& src, Image& dst, int depth, Rect srcRect, Rect dstRect);
void CopyRectAny(const Image& src, Image& dst, Rect srcRect, Rect dstRect);
void CompositeRect(const Image& src, Image& dst, Rect srcRect, Rect dstRect);
void CopyScan(const Image& src, Image& dst, int depth, long long srcRow, long long srcH1, long long srcH2,
              long long dstRow, long long dstH1, long long dstH2);
void CopyScanAny(const Image& src, Image& dst, long long srcRow, long long srcH1, long long srcH2, long long dstRow,
                 long long dstH1, long long dstH2);
void CompositeScan(const Image& src, Image& dst, long long srcRow, long long srcH1, long long srcH2, long long dstRow,
                   long long dstH1, long long dstH2);
// One source pixel over one destination pixel.
uint32_t Composite(uint32_t s, uint32_t d);
void DownMip(const Image& src, Image& dst);

// ---- Pseudo-random numbers ----------------------------------------------------------------------
// A generator of its own, starting where the library's starts at load.

struct Generator {
  long long state = 314159;
  int Raw();
  int RangeSInt16(int min, int max);
  long long RangeSInt32(long long min, long long max);
};

}  // namespace lumetra::ref

#endif
