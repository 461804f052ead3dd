#include "bmp.h"

namespace bitmapgen {
namespace {

void Put16(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t> &out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Length of the run of equal pixels starting at `x`, at most 255.
int RunLength(const std::vector<uint8_t> &row, int x) {
    int n = 1;
    while (x + n < static_cast<int>(row.size()) && n < 255 && row[x + n] == row[x]) ++n;
    return n;
}

void EncodeRow(const std::vector<uint8_t> &row, std::vector<uint8_t> &out) {
    const int width = static_cast<int>(row.size());
    int x = 0;
    while (x < width) {
        const int run = RunLength(row, x);
        if (run >= 3) {
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(row[x]);
            x += run;
            continue;
        }
        // Literal pixels up to the next run of three or more.
        int end = x;
        while (end < width && end - x < 255 && RunLength(row, end) < 3) ++end;
        const int count = end - x;
        if (count >= 3) {
            out.push_back(0);
            out.push_back(static_cast<uint8_t>(count));
            out.insert(out.end(), row.begin() + x, row.begin() + end);
            if (count & 1) out.push_back(0);
        } else {
            // Absolute mode needs at least three pixels: short stretches are
            // runs of one.
            for (int i = x; i < end; ++i) {
                out.push_back(1);
                out.push_back(row[i]);
            }
        }
        x = end;
    }
}

}  // namespace

std::vector<uint8_t> EncodeRle8(const Canvas &canvas) {
    std::vector<uint8_t> out;
    for (int y = canvas.height() - 1; y >= 0; --y) {
        std::vector<uint8_t> row(canvas.pixels().begin() + static_cast<long>(y) * canvas.width(),
                                 canvas.pixels().begin() + static_cast<long>(y + 1) * canvas.width());
        EncodeRow(row, out);
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0);  // end of bitmap after the top row, else end of line
    }
    return out;
}

std::vector<uint8_t> BmpFile(const Canvas &canvas) {
    const std::vector<uint8_t> pixels = EncodeRle8(canvas);
    constexpr uint32_t kHeaders = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    Put32(out, kHeaders + static_cast<uint32_t>(pixels.size()));
    Put32(out, 0);
    Put32(out, kHeaders);
    // BITMAPINFOHEADER: bottom-up, 8 bits, BI_RLE8 (1)
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(canvas.width()));
    Put32(out, static_cast<uint32_t>(canvas.height()));
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 1);
    Put32(out, static_cast<uint32_t>(pixels.size()));
    Put32(out, 2835);  // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 256);
    Put32(out, 0);
    for (const Rgb &c : SharedColourTable()) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

}  // namespace bitmapgen
