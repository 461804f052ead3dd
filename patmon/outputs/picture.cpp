#include "outputs/picture.h"

#include <map>

#include "patprn/patprn.h"
#include "outputs/png_writer.h"

namespace patmon {

namespace {

// A bitmap's pixels as 24-bit top-down rows without padding.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// The device context GetDIBits needs on Windows; the library's own
// implementation elsewhere needs none.
struct ScreenDc {
#ifdef _WIN32
    HDC dc = CreateCompatibleDC(nullptr);
    ~ScreenDc() { DeleteDC(dc); }
#else
    HDC dc = nullptr;
#endif
};

bool LoadPixels(const std::string &name, HDC dc, Pixels *out) {
    HBITMAP bitmap = PatLoadBitmap(name.c_str());
    if (bitmap == nullptr) return false;
    BITMAP size{};
    bool ok = GetObjectA(bitmap, sizeof size, &size) == static_cast<int>(sizeof size) && size.bmWidth > 0 &&
              size.bmHeight > 0;
    if (ok) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = size.bmWidth;
        info.bmiHeader.biHeight = -size.bmHeight;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        const size_t stride = (static_cast<size_t>(size.bmWidth) * 3 + 3) & ~size_t{3};
        std::vector<uint8_t> rows(stride * static_cast<size_t>(size.bmHeight));
        ok = GetDIBits(dc, bitmap, 0, static_cast<UINT>(size.bmHeight), rows.data(), &info, DIB_RGB_COLORS) ==
             size.bmHeight;
        out->width = size.bmWidth;
        out->height = size.bmHeight;
        out->rgb.resize(static_cast<size_t>(size.bmWidth) * size.bmHeight * 3);
        for (int y = 0; ok && y < size.bmHeight; ++y) {
            for (int x = 0; x < size.bmWidth; ++x) {
                const uint8_t *bgr = rows.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
                uint8_t *rgb = out->rgb.data() + (static_cast<size_t>(y) * size.bmWidth + x) * 3;
                rgb[0] = bgr[2];
                rgb[1] = bgr[1];
                rgb[2] = bgr[0];
            }
        }
    }
    DeleteObject(bitmap);
    return ok;
}

uint8_t Apply(uint32_t rop, uint8_t destination, uint8_t source) {
    switch (rop) {
        case PAT_ROP_SRCAND: return destination & source;
        case PAT_ROP_SRCPAINT: return destination | source;
        default: return source;  // SRCCOPY
    }
}

void Draw(Image &image, const Pixels &pixels, const DrawStep &step) {
    for (int y = 0; y < pixels.height; ++y) {
        const int ty = step.y + y;
        if (ty < 0 || ty >= image.height) continue;
        for (int x = 0; x < pixels.width; ++x) {
            const int tx = step.x + x;
            if (tx < 0 || tx >= image.width) continue;
            uint8_t *d = image.rgb.data() + (static_cast<size_t>(ty) * image.width + tx) * 3;
            const uint8_t *s = pixels.rgb.data() + (static_cast<size_t>(y) * pixels.width + x) * 3;
            for (int c = 0; c < 3; ++c) d[c] = Apply(step.rop, d[c], s[c]);
        }
    }
}

}  // namespace

Image ComposePicture(const std::vector<DrawStep> &steps, std::vector<std::string> *missing) {
    Image image{kPictureWidth, kPictureHeight,
                std::vector<uint8_t>(static_cast<size_t>(kPictureWidth) * kPictureHeight * 3, 0xFF)};
    ScreenDc screen;
    std::map<std::string, Pixels> loaded;
    for (const DrawStep &step : steps) {
        auto found = loaded.find(step.name);
        if (found == loaded.end()) {
            Pixels pixels;
            if (!LoadPixels(step.name, screen.dc, &pixels)) {
                if (missing != nullptr) missing->push_back(step.name);
                continue;
            }
            found = loaded.emplace(step.name, std::move(pixels)).first;
        }
        Draw(image, found->second, step);
    }
    return image;
}

bool WritePng(const Image &image, const std::string &path, std::string *error) {
#ifdef PATMON_HAVE_PNG
    return patpng::WriteRgb(path, image.width, image.height, image.rgb.data(), error);
#else
    (void)image;
    (void)path;
    *error = "this build cannot write PNG files";
    return false;
#endif
}

bool EncodePng(const Image &image, std::vector<uint8_t> *png, std::string *error) {
#ifdef PATMON_HAVE_PNG
    return patpng::EncodeRgb(image.width, image.height, image.rgb.data(), png, error);
#else
    (void)image;
    (void)png;
    *error = "this build cannot write PNG files";
    return false;
#endif
}

}  // namespace patmon
