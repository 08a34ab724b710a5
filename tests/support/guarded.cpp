#include "guarded.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace lumetra::test {

namespace {
size_t pageSize() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
}  // namespace

GuardedBuffer::GuardedBuffer(size_t bytes, uint8_t fill) : size_(bytes) {
  const size_t page = pageSize();
  const size_t body = (bytes + page - 1) / page * page;
  mapped_ = body + 2 * page;
  void* p = mmap(nullptr, mapped_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::runtime_error("mmap failed");
  base_ = static_cast<uint8_t*>(p);
  if (body && mprotect(base_ + page, body, PROT_READ | PROT_WRITE) != 0) throw std::runtime_error("mprotect failed");
  // The data ends where the upper guard page begins; the slack below it keeps the fill too,
  // so slackUntouched() can tell a store just before the data.
  data_ = base_ + page + body - bytes;
  if (body) std::memset(base_ + page, fill, body);
  fill_ = fill;
}

bool GuardedBuffer::slackUntouched() const {
  for (uint8_t* p = base_ + pageSize(); p < data_; ++p)
    if (*p != fill_) return false;
  return true;
}

GuardedBuffer::~GuardedBuffer() {
  if (base_) munmap(base_, mapped_);
}

GuardedPixMap::GuardedPixMap(int pixelSize, Rect bounds, int32_t rowBytes, CTabHandle table)
    : pixelSize_(pixelSize), bounds_(bounds) {
  const int w = bounds.right > bounds.left ? bounds.right - bounds.left : 0;
  const int h = bounds.bottom > bounds.top ? bounds.bottom - bounds.top : 0;
  const int32_t minimal = (w * pixelSize + 7) / 8;
  rowBytes_ = rowBytes > 0 ? rowBytes : minimal;
  if (rowBytes_ < minimal) throw std::invalid_argument("row bytes below the row's width");
  // The last row needs only its pixels; the guard page follows them directly.
  const size_t bytes = h > 0 ? static_cast<size_t>(rowBytes_) * (h - 1) + static_cast<size_t>(minimal) : 0;
  buffer_ = new GuardedBuffer(bytes, kPadByte);
  base_ = buffer_->data();
  // A row's pixels take minimal bytes (fewer than w at depths below 8 bits).
  for (int v = 0; v < h; ++v) std::memset(base_ + static_cast<size_t>(rowBytes_) * v, 0, static_cast<size_t>(minimal));
  handle_ = LumetraNewPixMap(base_, static_cast<SInt16>(pixelSize), &bounds_, rowBytes_, table);
  if (!handle_) throw std::runtime_error("LumetraNewPixMap failed");
}

GuardedPixMap::~GuardedPixMap() {
  LumetraDisposePixMap(handle_);
  delete buffer_;
}

uint32_t GuardedPixMap::get(int h, int v) const {
  const uint8_t* p = base_ + static_cast<ptrdiff_t>(rowBytes_) * (v - bounds_.top) +
                     static_cast<ptrdiff_t>(h - bounds_.left) * bytesPerPixel();
  switch (pixelSize_) {
    case 8: return *p;
    case 16: { uint16_t x; std::memcpy(&x, p, 2); return x; }
    case 32: { uint32_t x; std::memcpy(&x, p, 4); return x; }
    default: return 0;
  }
}

void GuardedPixMap::set(int h, int v, uint32_t value) {
  uint8_t* p = base_ + static_cast<ptrdiff_t>(rowBytes_) * (v - bounds_.top) +
               static_cast<ptrdiff_t>(h - bounds_.left) * bytesPerPixel();
  switch (pixelSize_) {
    case 8: *p = static_cast<uint8_t>(value); break;
    case 16: { uint16_t x = static_cast<uint16_t>(value); std::memcpy(p, &x, 2); break; }
    case 32: std::memcpy(p, &value, 4); break;
    default: break;
  }
}

void GuardedPixMap::fill(uint32_t value) {
  for (int v = bounds_.top; v < bounds_.bottom; ++v)
    for (int h = bounds_.left; h < bounds_.right; ++h) set(h, v, value);
}

bool GuardedPixMap::paddingUntouched() const {
  if (!buffer_->slackUntouched()) return false;
  const int w = width() > 0 ? width() : 0;
  const size_t used = (static_cast<size_t>(w) * pixelSize_ + 7) / 8;
  for (int v = 0; v + 1 < height(); ++v)
    for (size_t i = used; i < static_cast<size_t>(rowBytes_); ++i)
      if (base_[static_cast<size_t>(rowBytes_) * v + i] != kPadByte) return false;
  return true;
}

std::vector<uint32_t> GuardedPixMap::pixels() const {
  std::vector<uint32_t> out;
  for (int v = bounds_.top; v < bounds_.bottom; ++v)
    for (int h = bounds_.left; h < bounds_.right; ++h) out.push_back(get(h, v));
  return out;
}

}  // namespace lumetra::test
