// PNG files through libpng.
#include "outputs/png_writer.h"

#include <png.h>

#include <cstdio>

namespace patpng {

bool WriteRgb(const std::string &path, int width, int height, const uint8_t *rgb, std::string *error) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        *error = "cannot write " + path;
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    const bool ok = png_image_write_to_stdio(&image, file, 0, rgb, 0, nullptr) != 0;
    if (!ok) *error = "cannot write " + path + ": " + image.message;
    png_image_free(&image);
    if (std::fclose(file) != 0 && ok) {
        *error = "cannot write " + path;
        return false;
    }
    return ok;
}

bool EncodeRgb(int width, int height, const uint8_t *rgb, std::vector<uint8_t> *png, std::string *error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // The first call measures, the second writes.
    png_alloc_size_t size = 0;
    bool ok = png_image_write_to_memory(&image, nullptr, &size, 0, rgb, 0, nullptr) != 0;
    if (ok) {
        png->resize(size);
        ok = png_image_write_to_memory(&image, png->data(), &size, 0, rgb, 0, nullptr) != 0;
        png->resize(size);
    }
    if (!ok) *error = std::string("cannot encode the PNG: ") + image.message;
    png_image_free(&image);
    return ok;
}

}  // namespace patpng
