// The status picture as a Windows host draws it: each draw step's bitmap,
// loaded from the library, put onto one 320 x 200 surface at its place
// with its raster operation, in list order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "poll/poll.h"

namespace patmon {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first, 3 bytes a pixel
};

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 200;

// Composes the picture on a white surface. A bitmap that does not load
// is left out and named in `missing`.
Image ComposePicture(const std::vector<DrawStep> &steps, std::vector<std::string> *missing = nullptr);

// Writes the image as a PNG file (libpng); false with `error` set on failure.
bool WritePng(const Image &image, const std::string &path, std::string *error);
// The image as PNG bytes in memory; false with `error` set on failure.
bool EncodePng(const Image &image, std::vector<uint8_t> *png, std::string *error);

}  // namespace patmon
