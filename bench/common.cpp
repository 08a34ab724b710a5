// Buffers, the bundle, and the figures the line benchmarks draw.
#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <stdexcept>

#include "bench.h"

namespace lumetra::bench {

Buffer::Buffer(Size size, int depth) : size_(size), depth_(depth), rowBytes_(size.width * depth / 8) {
  bytes_ = static_cast<uint8_t*>(std::aligned_alloc(64, (byteCount() + 63) / 64 * 64));
  if (!bytes_) throw std::runtime_error("no memory for a " + size.name() + " buffer");
  std::memset(bytes_, 0, byteCount());
  const Rect b = bounds();
  map_ = LumetraNewPixMap(bytes_, static_cast<SInt16>(depth), &b, rowBytes_, nullptr);
  if (!map_) throw std::runtime_error("no pixel map for a " + size.name() + " buffer");
}

Buffer::~Buffer() {
  LumetraDisposePixMap(map_);
  std::free(bytes_);
}

void Buffer::randomize(uint32_t seed) {
  std::mt19937 random(seed);
  for (size_t i = 0; i + 4 <= byteCount(); i += 4) {
    const uint32_t r = random();
    std::memcpy(bytes_ + i, &r, 4);
  }
}

void* BundleSymbol(const char* name) {
  static void* library = [] {
    const char* dir = std::getenv("LUMETRA_BUNDLE_DIR");
    const std::string path = std::string(dir && *dir ? dir : LUMETRA_BUNDLE_DIR) + "/Contents/Linux/" +
                             LUMETRA_BUNDLE_EXECUTABLE + ".so";
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) throw std::runtime_error(std::string("cannot load the bundle: ") + dlerror());
    return handle;
  }();
  return dlsym(library, name);
}

void LissajousWaveform(uint8_t channel0[512], uint8_t channel1[512]) {
  const double step = 2.0 * std::numbers::pi / 512.0;
  for (int k = 0; k < 512; ++k) {
    channel0[k] = static_cast<uint8_t>(std::lround(127.5 + 127.0 * std::sin(step * 5.0 * k)));
    channel1[k] = static_cast<uint8_t>(std::lround(127.5 + 127.0 * std::sin(step * 4.0 * k + 0.7)));
  }
}

std::vector<Segment> ScopeSegments(Size size) {
  uint8_t c0[512], c1[512];
  LissajousWaveform(c0, c1);
  const float sh = static_cast<float>(size.width / 255.0);
  const float sv = static_cast<float>(size.height / 255.0);
  auto x = [&](int k) { return static_cast<SInt16>(static_cast<float>(c0[k]) * sh); };
  auto y = [&](int k) { return static_cast<SInt16>(static_cast<float>(c1[511 - k]) * sv); };
  std::vector<Segment> segments;
  for (int k = 1; k < 512; ++k) segments.push_back({x(k - 1), y(k - 1), x(k), y(k)});
  return segments;
}

std::vector<Segment> RandomSegments(Size size) {
  std::mt19937 random(511);
  std::uniform_int_distribution<int> h(0, size.width - 1), v(0, size.height - 1);
  std::vector<Segment> segments;
  for (int k = 0; k < 511; ++k) {
    const SInt16 h0 = SInt16(h(random)), v0 = SInt16(v(random)), h1 = SInt16(h(random)), v1 = SInt16(v(random));
    segments.push_back({h0, v0, h1, v1});
  }
  return segments;
}

}  // namespace lumetra::bench
