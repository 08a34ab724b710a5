#include "png_file.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace lumetra::test {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kStoredBlockMax = 65535;

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t GetBE32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBE32(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBE32(out, Crc32(body.data(), body.size()));
}

}  // namespace

bool WritePng(const std::string& path, const RgbImage& image, std::string* error) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
    *error = "image has no pixels or the wrong number of them";
    return false;
  }
  std::vector<uint8_t> raw;  // a filter byte (0, none) before each row of RGB triples
  for (int v = 0; v < image.height; ++v) {
    raw.push_back(0);
    for (int h = 0; h < image.width; ++h) {
      const uint32_t p = image.pixels[static_cast<size_t>(v) * image.width + h];
      raw.push_back(static_cast<uint8_t>(p >> 16));
      raw.push_back(static_cast<uint8_t>(p >> 8));
      raw.push_back(static_cast<uint8_t>(p));
    }
  }
  std::vector<uint8_t> zlib = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || at == 0;) {
    const size_t n = std::min(kStoredBlockMax, raw.size() - at);
    const bool last = at + n == raw.size();
    zlib.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00: stored
    zlib.push_back(static_cast<uint8_t>(n));
    zlib.push_back(static_cast<uint8_t>(n >> 8));
    zlib.push_back(static_cast<uint8_t>(~n));
    zlib.push_back(static_cast<uint8_t>(~n >> 8));
    zlib.insert(zlib.end(), raw.begin() + static_cast<ptrdiff_t>(at), raw.begin() + static_cast<ptrdiff_t>(at + n));
    at += n;
    if (last) break;
  }
  PutBE32(zlib, Adler32(raw));

  std::vector<uint8_t> header;
  PutBE32(header, static_cast<uint32_t>(image.width));
  PutBE32(header, static_cast<uint32_t>(image.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, not interlaced
  std::vector<uint8_t> file(kSignature, kSignature + 8);
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", zlib);
  PutChunk(file, "IEND", {});

  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) {
      *error = "cannot write " + temporary;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = "cannot rename " + temporary + " to " + path;
    return false;
  }
  return true;
}

bool ReadPng(const std::string& path, RgbImage* image, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto fail = [&](const std::string& what) {
    *error = path + ": " + what;
    return false;
  };
  if (file.size() < 8 || !std::equal(kSignature, kSignature + 8, file.begin())) return fail("not a PNG file");

  uint32_t width = 0, height = 0;
  std::vector<uint8_t> zlib;
  bool ended = false;
  for (size_t at = 8; !ended;) {
    if (file.size() - at < 12) return fail("truncated chunk");
    const uint32_t length = GetBE32(&file[at]);
    if (length > file.size() - at - 12) return fail("truncated chunk");
    const uint8_t* type = &file[at + 4];
    const uint8_t* data = type + 4;
    if (Crc32(type, length + 4) != GetBE32(data + length)) return fail("chunk checksum mismatch");
    const std::string name(type, type + 4);
    if (name == "IHDR") {
      if (length != 13) return fail("bad header");
      width = GetBE32(data);
      height = GetBE32(data + 4);
      if (data[8] != 8 || data[9] != 2 || data[10] != 0 || data[11] != 0 || data[12] != 0)
        return fail("only 8-bit RGB without interlacing is read");
      if (width == 0 || height == 0 || width > 65535 || height > 65535) return fail("bad size");
    } else if (name == "IDAT") {
      zlib.insert(zlib.end(), data, data + length);
    } else if (name == "IEND") {
      ended = true;
    }
    at += 12 + length;
  }
  if (width == 0) return fail("no header");

  // The zlib stream: a header without a preset dictionary, stored blocks, the Adler-32.
  if (zlib.size() < 6 || (zlib[0] & 0x0F) != 8 || (zlib[0] * 256 + zlib[1]) % 31 != 0 || (zlib[1] & 0x20))
    return fail("bad zlib header");
  std::vector<uint8_t> raw;
  size_t at = 2;
  for (bool last = false; !last;) {
    if (zlib.size() - at < 5) return fail("truncated image data");
    last = zlib[at] & 1;
    if ((zlib[at] >> 1) != 0)
      return fail("compressed image data; only stored blocks are read (regenerate the fixture)");
    const size_t n = zlib[at + 1] | zlib[at + 2] << 8;
    const size_t check = zlib[at + 3] | zlib[at + 4] << 8;
    if ((n ^ 0xFFFF) != check) return fail("bad stored block length");
    at += 5;
    if (zlib.size() - at < n) return fail("truncated image data");
    raw.insert(raw.end(), zlib.begin() + static_cast<ptrdiff_t>(at), zlib.begin() + static_cast<ptrdiff_t>(at + n));
    at += n;
  }
  if (zlib.size() - at < 4 || GetBE32(&zlib[at]) != Adler32(raw)) return fail("image data checksum mismatch");

  const size_t stride = 1 + size_t{width} * 3;
  if (raw.size() != stride * height) return fail("image data of the wrong size");
  image->width = static_cast<int>(width);
  image->height = static_cast<int>(height);
  image->pixels.clear();
  for (uint32_t v = 0; v < height; ++v) {
    const uint8_t* row = &raw[v * stride];
    if (row[0] != 0) return fail("filtered rows are not read");
    for (uint32_t h = 0; h < width; ++h) {
      const uint8_t* p = row + 1 + 3 * h;
      image->pixels.push_back(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
    }
  }
  return true;
}

}  // namespace lumetra::test
