#include "support/stored_bitmap.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace pattest {

namespace {

uint32_t Le32(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

}  // namespace

StoredBitmap ReadStoredBitmap(const std::string &sourceDir, const std::string &name) {
    std::ifstream in(sourceDir + "/resources/bitmaps/" + name + ".bmp", std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    StoredBitmap bitmap;
    // File header (14 bytes), then the info header.
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return bitmap;
    const size_t info = 14, bits = Le32(file, 10);
    const int width = static_cast<int>(Le32(file, info + 4)), height = static_cast<int>(Le32(file, info + 8));
    const uint32_t colours = Le32(file, info + 32) != 0 ? Le32(file, info + 32) : 256;
    const size_t table = info + Le32(file, info);
    if ((file[info + 14] | file[info + 15] << 8) != 8 || Le32(file, info + 16) != 1 || width <= 0 || height <= 0 ||
        bits > file.size() || table + 4 * colours > file.size()) {
        return bitmap;
    }
    std::vector<uint8_t> index(static_cast<size_t>(width) * height, 0);
    // Run-length pairs; rows run bottom-up; a zero count starts an escape:
    // 0 end of row, 1 end of bitmap, 2 move, else that many literal indices.
    int x = 0, y = height - 1;
    for (size_t at = bits; at + 1 < file.size() && y >= 0;) {
        const uint8_t count = file[at], value = file[at + 1];
        at += 2;
        if (count != 0) {
            for (int i = 0; i < count; ++i, ++x) {
                if (x < width) index[static_cast<size_t>(y) * width + x] = value;
            }
        } else if (value == 0) {
            x = 0;
            --y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            x += file[at];
            y -= file[at + 1];
            at += 2;
        } else {
            for (int i = 0; i < value && at + i < file.size(); ++i, ++x) {
                if (x < width) index[static_cast<size_t>(y) * width + x] = file[at + i];
            }
            at += value + (value & 1);
        }
    }
    bitmap.width = width;
    bitmap.height = height;
    for (uint8_t i : index) {
        const size_t entry = table + 4u * i;
        bitmap.pixels.push_back(i < colours ? Rgb{file[entry + 2], file[entry + 1], file[entry]} : Rgb{0, 0, 0});
    }
    return bitmap;
}

}  // namespace pattest
