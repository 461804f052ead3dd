// Writing 24-bit RGB images as PNG files (libpng), for patmon and the
// bitmap generator's preview sheet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace patpng {

// `rgb`: height rows of width pixels, top row first, 3 bytes a pixel.
bool WriteRgb(const std::string &path, int width, int height, const uint8_t *rgb, std::string *error);
// The same PNG into memory (for serving it over HTTP).
bool EncodeRgb(int width, int height, const uint8_t *rgb, std::vector<uint8_t> *png, std::string *error);

}  // namespace patpng
