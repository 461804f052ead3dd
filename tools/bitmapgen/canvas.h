// An 8-bit picture in the shared colour table, with a coverage map that
// records which pixels the artwork painted (the shape a mask is made from).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace bitmapgen {

struct Rgb {
    uint8_t r, g, b;
};

// The shared 256-entry colour table: the ten first and ten last entries are
// the twenty static system colours, the 236 between them a grey ramp and a
// 6x6x6 colour cube.
const std::array<Rgb, 256> &SharedColourTable();
// The index of the table entry nearest to (r, g, b); ties go to the lower
// index, so the choice is deterministic.
uint8_t Colour(int r, int g, int b);

inline constexpr uint8_t kBlack = 0;    // system black
inline constexpr uint8_t kWhite = 255;  // system white

struct Point {
    double x, y;
};

class Canvas {
public:
    Canvas(int width, int height, uint8_t fill = kBlack);

    int width() const { return width_; }
    int height() const { return height_; }
    uint8_t at(int x, int y) const { return pixels_[index(x, y)]; }
    bool covered(int x, int y) const { return shape_[index(x, y)] != 0; }
    const std::vector<uint8_t> &pixels() const { return pixels_; }

    // Paints one pixel (clipped) and marks it as part of the shape.
    void Plot(int x, int y, uint8_t colour);
    // Fills every pixel whose centre lies inside the polygon (even-odd).
    void FillPolygon(const std::vector<Point> &points, uint8_t colour);
    // Fills [x0, x1) x [y0, y1).
    void FillRect(int x0, int y0, int x1, int y1, uint8_t colour);
    // Pixels whose centre lies within `radius` of (cx, cy).
    void FillDisc(double cx, double cy, double radius, uint8_t colour);
    // Pixels between the two radii.
    void FillRing(double cx, double cy, double inner, double outer, uint8_t colour);
    // A straight stroke of the given width between two points.
    void Stroke(Point a, Point b, double width, uint8_t colour);
    // A rectangle outline with rounded corners, `thickness` pixels inward
    // from [x0, x1) x [y0, y1).
    void RoundRectOutline(int x0, int y0, int x1, int y1, double radius, double thickness, uint8_t colour);
    void FillRoundRect(int x0, int y0, int x1, int y1, double radius, uint8_t colour);
    // Text in the built-in 5x7 capitals, digits and '_': each glyph cell is
    // 6 x 8 pixels at `scale`.
    void Text(int x, int y, const std::string &text, uint8_t colour, int scale = 1);
    // Paints `colour` on every other pixel (checkerboard) of the pixels that
    // `where` covers.
    void Dither(const Canvas &where, uint8_t colour);
    // Draws `other` over this canvas where `other` is covered.
    void Overlay(const Canvas &other);

private:
    size_t index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }
    int width_, height_;
    std::vector<uint8_t> pixels_;
    std::vector<uint8_t> shape_;
};

// Width in pixels of `text` in the 5x7 font at `scale`.
int TextWidth(const std::string &text, int scale = 1);

}  // namespace bitmapgen
