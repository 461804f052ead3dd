// bitmapgen: makes the library's 27 bitmaps (resources/bitmaps/*.bmp) and a
// preview sheet of them.
//
//   bitmapgen write DIR      writes the .bmp files into DIR
//   bitmapgen check DIR      exit 0 iff every file in DIR equals the output
//   bitmapgen preview FILE   writes a PNG of every bitmap and of composed
//                            pictures (masks applied as the host draws them)
//   bitmapgen compose FILE N one composed picture of the sheet, three times
//                            the size
#include "artwork.h"
#include "bmp.h"
#include "outputs/png_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace {

// The preview sheet as a PNG file (libpng).
bool WritePng(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb) {
    std::string error;
    return patpng::WriteRgb(path, width, height, rgb.data(), &error);
}


using namespace bitmapgen;

std::string FileName(const std::string &dir, const std::string &name) { return dir + "/" + name + ".bmp"; }

int Write(const std::string &dir) {
    for (const NamedBitmap &bitmap : MakeBitmaps()) {
        const std::vector<uint8_t> bytes = BmpFile(bitmap.canvas);
        std::ofstream file(FileName(dir, bitmap.name), std::ios::binary);
        file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", FileName(dir, bitmap.name).c_str());
            return 1;
        }
    }
    return 0;
}

int Check(const std::string &dir) {
    int passed = 0, failed = 0;
    for (const NamedBitmap &bitmap : MakeBitmaps()) {
        std::ifstream file(FileName(dir, bitmap.name), std::ios::binary);
        const std::vector<uint8_t> stored((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (stored == BmpFile(bitmap.canvas)) {
            ++passed;
        } else {
            ++failed;
            std::printf("%s differs from the generator's output (run: bitmapgen write %s)\n",
                        FileName(dir, bitmap.name).c_str(), dir.c_str());
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

// An RGB picture for the preview.
struct Picture {
    int width, height;
    std::vector<uint8_t> rgb;
    Picture(int w, int h, uint8_t grey) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, grey) {}
    uint8_t *at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Draws `canvas` at (x, y) with a raster operation on the RGB values:
// 'c' copy, 'a' AND, 'o' OR, exactly as the host's blits combine them.
void Blit(Picture &dst, const Canvas &canvas, int x0, int y0, char op, int scale = 1) {
    const auto &table = SharedColourTable();
    for (int y = 0; y < canvas.height() * scale; ++y) {
        for (int x = 0; x < canvas.width() * scale; ++x) {
            const int dx = x0 + x, dy = y0 + y;
            if (dx < 0 || dy < 0 || dx >= dst.width || dy >= dst.height) continue;
            const Rgb c = table[canvas.at(x / scale, y / scale)];
            const uint8_t src[3] = {c.r, c.g, c.b};
            uint8_t *d = dst.at(dx, dy);
            for (int k = 0; k < 3; ++k) d[k] = op == 'c' ? src[k] : op == 'a' ? (d[k] & src[k]) : (d[k] | src[k]);
        }
    }
}

void Label(Picture &dst, int x, int y, const std::string &text) {
    Canvas glyphs(TextWidth(text), 8, kWhite);
    glyphs.Text(0, 0, text, kBlack);
    Blit(dst, glyphs, x, y, 'c');
}

// Composed pictures: the base with layers drawn through their masks.
struct Layer {
    std::string name;
    int x, y;
};
struct Composition {
    std::string title;
    std::vector<Layer> layers;
};

std::vector<Composition> Compositions() {
    std::vector<Composition> compositions = {
        {"BASE + TRAY2 + TRAY3", {{"BM_TRAY2", 0, 0}, {"BM_TRAY3", 0, 0}}},
        {"BASE + CAUTION", {{"BM_CAUTION", 0, 0}}},
        {"BASE + SERVICE", {{"BM_SERVICE", 0, 0}}},
        {"BASE + POWEROFF", {{"BM_POWEROFF", 0, 0}}},
    };
    for (int i = 0; i < kMarkerPlacementCount; ++i) {
        const MarkerPlacement &m = kMarkerPlacements[i];
        Composition c{std::string(m.name + 3) + " (" + std::to_string(m.x) + "," + std::to_string(m.y) + ")", {}};
        for (const char *unit = m.feedUnits; *unit; ++unit) c.layers.push_back({std::string("BM_TRAY") + *unit, 0, 0});
        c.layers.push_back({m.name, m.x, m.y});
        compositions.push_back(c);
    }
    return compositions;
}

// Draws composition `c` with its top left corner at (x, y).
void Compose(Picture &dst, std::map<std::string, const Canvas *> &byName, const Composition &c, int x, int y,
             int scale) {
    Blit(dst, *byName["BM_BASE"], x, y, 'c', scale);
    for (const Layer &layer : c.layers) {
        Blit(dst, *byName[layer.name + "_B"], x + layer.x * scale, y + layer.y * scale, 'a', scale);
        Blit(dst, *byName[layer.name], x + layer.x * scale, y + layer.y * scale, 'o', scale);
    }
}

int Preview(const std::string &path, int only = -1, int onlyScale = 3) {
    const std::vector<NamedBitmap> bitmaps = MakeBitmaps();
    std::map<std::string, const Canvas *> byName;
    for (const NamedBitmap &b : bitmaps) byName[b.name] = &b.canvas;
    const std::vector<Composition> compositions = Compositions();
    if (only >= 0) {
        if (only >= static_cast<int>(compositions.size())) return 2;
        Picture one(320 * onlyScale, 200 * onlyScale, 255);
        Compose(one, byName, compositions[only], 0, 0, onlyScale);
        return WritePng(path, one.width, one.height, one.rgb) ? 0 : 1;
    }

    // Sheet: composed pictures at twice the size, two per row; then every
    // bitmap as stored, four per row.
    constexpr int kScale = 2, kGap = 12, kLabel = 12;
    const int composedRows = static_cast<int>(compositions.size() + 1) / 2;
    const int bitmapRows = static_cast<int>(bitmaps.size() + 3) / 4;
    const int width = 2 * (320 * kScale + kGap) + kGap;
    const int height = composedRows * (200 * kScale + kLabel + kGap) + bitmapRows * (200 + kLabel + kGap) + kGap;
    Picture sheet(width, height, 236);

    int y = kGap;
    for (size_t i = 0; i < compositions.size(); ++i) {
        const int x = kGap + static_cast<int>(i % 2) * (320 * kScale + kGap);
        const int top = y + static_cast<int>(i / 2) * (200 * kScale + kLabel + kGap);
        Label(sheet, x, top, compositions[i].title);
        Compose(sheet, byName, compositions[i], x, top + kLabel, kScale);
    }
    y += composedRows * (200 * kScale + kLabel + kGap);
    for (size_t i = 0; i < bitmaps.size(); ++i) {
        const int x = kGap + static_cast<int>(i % 4) * (320 + kGap);
        const int top = y + static_cast<int>(i / 4) * (200 + kLabel + kGap);
        Label(sheet, x, top, bitmaps[i].name);
        Blit(sheet, bitmaps[i].canvas, x, top + kLabel, 'c');
    }
    if (!WritePng(path, sheet.width, sheet.height, sheet.rgb)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "write") == 0) return Write(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "check") == 0) return Check(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "preview") == 0) return Preview(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "compose") == 0) return Preview(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: bitmapgen write DIR | check DIR | preview FILE.png\n");
    return 2;
}
