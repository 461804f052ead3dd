// A minimal PNG writer for the preview sheet: 8-bit RGB, no interlace.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bitmapgen {

// Writes `rgb` (width x height x 3 bytes, top row first) as a PNG file;
// false when the file cannot be written.
bool WritePng(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb);

}  // namespace bitmapgen
