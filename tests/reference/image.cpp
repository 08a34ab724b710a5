// The model's image, and the bridges between it and real pixel maps.
#include <sstream>
#include <stdexcept>

#include "reference.h"

namespace lumetra::ref {

Image::Image(int pixelSize_, Rect bounds_, int32_t rowBytes_, std::optional<Table> table_)
    : pixelSize(pixelSize_), bounds(bounds_), rowBytes(rowBytes_), table(std::move(table_)) {
  pixels.assign(static_cast<size_t>(width()) * height(), 0);
}

bool Image::inside(long long h, long long v) const {
  return h >= bounds.left && h < bounds.right && v >= bounds.top && v < bounds.bottom;
}

uint32_t Image::at(long long h, long long v) const {
  if (!inside(h, v)) return 0;
  return pixels[static_cast<size_t>((v - bounds.top) * width() + (h - bounds.left))];
}

void Image::plot(long long h, long long v, uint32_t value) {
  if (!inside(h, v)) return;
  if (pixelSize == 8) value &= 0xFF;
  if (pixelSize == 16) value &= 0xFFFF;
  pixels[static_cast<size_t>((v - bounds.top) * width() + (h - bounds.left))] = value;
}

OwnedTable::OwnedTable(const Table& entries) {
  handle_ = LumetraNewColorTable(static_cast<SInt16>(entries.size()));
  if (!handle_) throw std::runtime_error("LumetraNewColorTable failed");
  for (size_t i = 0; i < entries.size(); ++i) (*handle_)->ctTable[i].rgb = entries[i];
}

OwnedTable::~OwnedTable() { LumetraDisposeColorTable(handle_); }

Image ModelOf(const test::GuardedPixMap& map, std::optional<Table> table) {
  const Rect b = map.bounds();
  Image image(map.bytesPerPixel() * 8, b, map.rowBytes(), std::move(table));
  if (image.supported()) image.pixels = map.pixels();
  return image;
}

namespace {

// The pixels around (h, v) of the real map and of the model, side by side.
std::string Neighbourhood(const test::GuardedPixMap& real, const Image& model, int h, int v) {
  std::ostringstream out;
  out << std::hex;
  for (int y = v - 2; y <= v + 2; ++y) {
    std::ostringstream left;
    std::ostringstream right;
    left << std::hex;
    right << std::hex;
    for (int x = h - 3; x <= h + 3; ++x) {
      if (!model.inside(x, y)) {
        left << "      . ";
        right << "      . ";
        continue;
      }
      left.width(7);
      left << real.get(x, y) << (x == h && y == v ? '*' : ' ');
      right.width(7);
      right << model.at(x, y) << (x == h && y == v ? '*' : ' ');
    }
    out << "  library " << left.str() << "  | model " << right.str() << "\n";
  }
  return out.str();
}

}  // namespace

std::optional<std::string> FirstDifference(const test::GuardedPixMap& real, const Image& model) {
  for (int v = model.bounds.top; v < model.bounds.bottom; ++v) {
    for (int h = model.bounds.left; h < model.bounds.right; ++h) {
      if (real.get(h, v) == model.at(h, v)) continue;
      std::ostringstream out;
      out << "first differing pixel (" << h << ", " << v << "): library 0x" << std::hex << real.get(h, v)
          << ", model 0x" << model.at(h, v) << "\n"
          << Neighbourhood(real, model, h, v);
      return out.str();
    }
  }
  if (!real.paddingUntouched()) return std::string("a byte outside the pixels (row padding or before the map) was changed");
  return std::nullopt;
}

}  // namespace lumetra::ref
