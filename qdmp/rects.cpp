// Horizontal scans (private; filled rectangles and filled discs are made of them) and the
// filled-rectangle family.
//
// A scan covers row v from the smaller of h1 and h2 up to, not including, the larger. A row
// outside the bounds is dropped whole. Columns outside the bounds are cut off: the run is
// clipped to the columns inside, so a rectangle or disc that crosses the left or right edge of
// the map shows the part that lies inside and nothing is ever stored past a row's end.
//
// Lengths and widths are formed in 32 bits. In 16 bits a run from column -20000 to 20000 would
// have a length of 40000, which wraps to a negative number and would fill the wrong columns;
// in 32 bits it fills every column of the map between the two ends.
#include "qdmp_p.h"

namespace {

// The columns [first, last) of the run between h1 and h2 that lie inside the bounds; false
// when none do.
bool ClipColumns(const Rect& bounds, SInt16 h1, SInt16 h2, SInt32* first, SInt32* last) {
  SInt32 start = h1;
  SInt32 n = static_cast<SInt32>(h2) - h1;
  if (n < 0) {
    start = h2;
    n = -n;
  }
  *first = start > bounds.left ? start : bounds.left;
  *last = start + n < bounds.right ? start + n : bounds.right;
  return *first < *last;
}

template <typename Pixel>
void DrawScan(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, Pixel value) {
  const PixMap* map = MapOfDepth<Pixel>(pm);
  if (!map) return;
  const Rect bounds = map->bounds;
  if (v < bounds.top || v >= bounds.bottom) return;
  SInt32 first = 0;
  SInt32 last = 0;
  if (!ClipColumns(bounds, h1, h2, &first, &last)) return;
  Ptr base = GetPixBaseAddr(pm);
  if (!base) return;
  StoreRun<Pixel>(PixelAddress<Pixel>(base, GetPixRowBytes(pm), bounds, first, v), last - first, value);
}

// The rows top to bottom - 1 and the columns min(left, right) to max(left, right) - 1: the
// bottom and right edges are not drawn, as for a Rect, and top > bottom draws nothing. This
// stores exactly what a scan per row would (rows outside the bounds dropped, columns cut),
// with the rows and columns clipped once instead of for every row.
template <typename Pixel>
void FillRect(PixMapHandle pm, Point topLeft, Point bottomRight, Pixel value) {
  const PixMap* map = MapOfDepth<Pixel>(pm);
  if (!map) return;
  const Rect bounds = map->bounds;
  if (gPlainPaths) {
    for (SInt32 v = topLeft.v; v < bottomRight.v; ++v)
      DrawScan<Pixel>(pm, static_cast<SInt16>(v), topLeft.h, bottomRight.h, value);
    return;
  }
  const SInt32 top = topLeft.v > bounds.top ? topLeft.v : bounds.top;
  const SInt32 bottom = bottomRight.v < bounds.bottom ? bottomRight.v : bounds.bottom;
  if (top >= bottom) return;
  SInt32 first = 0;
  SInt32 last = 0;
  if (!ClipColumns(bounds, topLeft.h, bottomRight.h, &first, &last)) return;
  Ptr base = GetPixBaseAddr(pm);
  if (!base) return;
  const SInt32 rowBytes = GetPixRowBytes(pm);
  UInt8* row = PixelAddress<Pixel>(base, rowBytes, bounds, first, top);
  // Rows that cover the map's whole width without padding between them are one run in
  // memory: filled as one, the fill keeps its full speed across the row ends.
  const SInt32 width = static_cast<SInt32>(bounds.right) - bounds.left;
  if (first == bounds.left && last == bounds.right &&
      static_cast<SInt64>(rowBytes) == static_cast<SInt64>(width) * static_cast<SInt64>(sizeof(Pixel))) {
    FillBytes(row, static_cast<size_t>(rowBytes) * static_cast<size_t>(bottom - top), RunPattern<Pixel>(value));
    return;
  }
  for (SInt32 v = top;; ++v) {
    StoreRun<Pixel>(row, last - first, value);
    if (v + 1 == bottom) break;  // the address of a row past the last is never formed
    row += rowBytes;
  }
}

}  // namespace

void Draw_Scan8(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt8 value) { DrawScan<UInt8>(pm, v, h1, h2, value); }
void Draw_Scan16(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt16 value) {
  DrawScan<UInt16>(pm, v, h1, h2, value);
}
void Draw_Scan32(PixMapHandle pm, SInt16 v, SInt16 h1, SInt16 h2, UInt32 value) {
  DrawScan<UInt32>(pm, v, h1, h2, value);
}

extern "C" {

void QDMP_Fill_Rect8(PixMapHandle pm, Point topLeft, Point bottomRight, UInt8 value) {
  FillRect<UInt8>(pm, topLeft, bottomRight, value);
}
void QDMP_Fill_Rect16(PixMapHandle pm, Point topLeft, Point bottomRight, UInt16 value) {
  FillRect<UInt16>(pm, topLeft, bottomRight, value);
}
void QDMP_Fill_Rect32(PixMapHandle pm, Point topLeft, Point bottomRight, UInt32 value) {
  FillRect<UInt32>(pm, topLeft, bottomRight, value);
}

// The colour is converted once, then the worker of the map's depth fills.
void QDMP_Fill_Rect(PixMapHandle pm, Point topLeft, Point bottomRight, const RGBColor* color) {
  if (!pm || !*pm) return;
  switch ((*pm)->pixelSize) {
    case 8: QDMP_Fill_Rect8(pm, topLeft, bottomRight, RGBColorToColor8(pm, color)); break;
    case 16: QDMP_Fill_Rect16(pm, topLeft, bottomRight, RGBColorToColor16(color)); break;
    case 32: QDMP_Fill_Rect32(pm, topLeft, bottomRight, RGBColorToColor32(color)); break;
    default: break;
  }
}

}  // extern "C"
