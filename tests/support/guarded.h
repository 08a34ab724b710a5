// Memory between guard pages, and pixel maps over it, so that a stray store crashes the test.
#ifndef LUMETRA_TESTS_GUARDED_H
#define LUMETRA_TESTS_GUARDED_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform.h"

namespace lumetra::test {

// bytes of read-write memory whose end touches an inaccessible page (and whose start follows
// one), so that any access past either end faults. The bytes start filled with a pattern.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(size_t bytes, uint8_t fill = 0xA5);
  ~GuardedBuffer();
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  // The bytes of the mapping below data() still hold the fill.
  bool slackUntouched() const;

 private:
  uint8_t* base_ = nullptr;  // the whole mapping, guard pages included
  size_t mapped_ = 0;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  uint8_t fill_ = 0;
};

// A pixel map of the given depth and bounds over guarded memory. rowBytes defaults to the
// minimal row; a larger value leaves padding at each row's end, filled with kPadByte, which
// UntouchedOutside() checks. The last row ends exactly at the guard page.
class GuardedPixMap {
 public:
  static constexpr uint8_t kPadByte = 0x5A;

  GuardedPixMap(int pixelSize, Rect bounds, int32_t rowBytes = 0, CTabHandle table = nullptr);
  ~GuardedPixMap();
  GuardedPixMap(const GuardedPixMap&) = delete;
  GuardedPixMap& operator=(const GuardedPixMap&) = delete;

  PixMapHandle handle() const { return handle_; }
  int width() const { return bounds_.right - bounds_.left; }
  int height() const { return bounds_.bottom - bounds_.top; }
  int bytesPerPixel() const { return pixelSize_ / 8; }
  int32_t rowBytes() const { return rowBytes_; }
  const Rect& bounds() const { return bounds_; }
  uint8_t* base() const { return base_; }

  // The pixel at (h, v) in bounds coordinates, as a value of the map's depth.
  uint32_t get(int h, int v) const;
  void set(int h, int v, uint32_t value);
  // Sets every pixel to value.
  void fill(uint32_t value);
  // Every padding byte, and every byte before the first row, still holds kPadByte.
  bool paddingUntouched() const;
  // All pixels, row by row, as values of the map's depth.
  std::vector<uint32_t> pixels() const;

 private:
  int pixelSize_;
  Rect bounds_;
  int32_t rowBytes_;
  GuardedBuffer* buffer_ = nullptr;
  uint8_t* base_ = nullptr;
  PixMapHandle handle_ = nullptr;
};

}  // namespace lumetra::test

#endif
