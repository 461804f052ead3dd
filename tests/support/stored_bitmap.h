// The committed bitmap files read back without the library: an
// independent decoding of their 8-bit run-length data, so that tests can
// check what the library and its hosts draw against the files themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pattest {

struct Rgb {
    uint8_t red, green, blue;
    bool operator==(const Rgb &other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

struct StoredBitmap {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // top row first
    Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
};

// Reads resources/bitmaps/<name>.bmp of the source tree; an empty bitmap
// (width 0) when the file is missing or not an 8-bit RLE bitmap.
StoredBitmap ReadStoredBitmap(const std::string &sourceDir, const std::string &name);

}  // namespace pattest
