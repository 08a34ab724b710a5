// Golden images as PNG files, read and written without a PNG library, so that the golden
// tests run on every build, ILP32 included (there is no 32-bit libpng here).
//
// The writer stores 8-bit RGB rows uncompressed (deflate's stored blocks); the reader takes
// exactly that form and refuses anything else with a message, so a fixture that an image
// editor has re-saved is reported, not misread. Any PNG viewer shows the files.
#ifndef LUMETRA_TESTS_PNG_FILE_H
#define LUMETRA_TESTS_PNG_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace lumetra::test {

// Pixels row by row as 0x00RRGGBB, the renderer's 32-bit pixel format.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// Writes the image to a temporary name beside path and renames it; false and *error on failure.
bool WritePng(const std::string& path, const RgbImage& image, std::string* error);
// Reads a PNG written by WritePng; false and *error for a missing, broken or foreign file.
bool ReadPng(const std::string& path, RgbImage* image, std::string* error);

}  // namespace lumetra::test

#endif
