#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace bitmapgen {

const std::array<Rgb, 256> &SharedColourTable() {
    static const std::array<Rgb, 256> table = [] {
        std::array<Rgb, 256> t{};
        // The twenty static system colours, at the places the system keeps them.
        const Rgb first[10] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                               {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                               {192, 220, 192}, {166, 202, 240}};
        const Rgb last[10] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                              {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                              {0, 255, 255},   {255, 255, 255}};
        for (int i = 0; i < 10; ++i) {
            t[i] = first[i];
            t[246 + i] = last[i];
        }
        // 20 greys (the printer's plastics), then the colour cube.
        for (int i = 0; i < 20; ++i) {
            const uint8_t v = static_cast<uint8_t>(12 * (i + 1));
            t[10 + i] = {v, v, v};
        }
        int n = 30;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    t[n++] = {static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g), static_cast<uint8_t>(51 * b)};
        return t;
    }();
    return table;
}

uint8_t Colour(int r, int g, int b) {
    const auto &table = SharedColourTable();
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        const long dr = table[i].r - r, dg = table[i].g - g, db = table[i].b - b;
        const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

Canvas::Canvas(int width, int height, uint8_t fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill),
      shape_(static_cast<size_t>(width) * height, 0) {}

void Canvas::Plot(int x, int y, uint8_t colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[index(x, y)] = colour;
    shape_[index(x, y)] = 1;
}

void Canvas::FillPolygon(const std::vector<Point> &points, uint8_t colour) {
    const size_t n = points.size();
    for (int y = 0; y < height_; ++y) {
        const double cy = y + 0.5;
        std::vector<double> crossings;
        for (size_t i = 0; i < n; ++i) {
            const Point a = points[i], b = points[(i + 1) % n];
            if ((a.y <= cy && b.y > cy) || (b.y <= cy && a.y > cy)) {
                crossings.push_back(a.x + (cy - a.y) * (b.x - a.x) / (b.y - a.y));
            }
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
            const int x0 = static_cast<int>(std::ceil(crossings[i] - 0.5));
            const int x1 = static_cast<int>(std::ceil(crossings[i + 1] - 0.5));
            for (int x = x0; x < x1; ++x) Plot(x, y, colour);
        }
    }
}

void Canvas::FillRect(int x0, int y0, int x1, int y1, uint8_t colour) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Plot(x, y, colour);
}

void Canvas::FillDisc(double cx, double cy, double radius, uint8_t colour) { FillRing(cx, cy, -1, radius, colour); }

void Canvas::FillRing(double cx, double cy, double inner, double outer, uint8_t colour) {
    for (int y = static_cast<int>(cy - outer) - 1; y <= static_cast<int>(cy + outer) + 1; ++y) {
        for (int x = static_cast<int>(cx - outer) - 1; x <= static_cast<int>(cx + outer) + 1; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d <= outer && d > inner) Plot(x, y, colour);
        }
    }
}

void Canvas::Stroke(Point a, Point b, double width, uint8_t colour) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    if (length == 0) return;
    const double nx = -dy / length * width / 2, ny = dx / length * width / 2;
    FillPolygon({{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}}, colour);
}

namespace {

// Distance from a pixel centre to the edge of a rounded rectangle: negative
// inside, positive outside.
double RoundRectDistance(double px, double py, double x0, double y0, double x1, double y1, double r) {
    const double cx = std::clamp(px, x0 + r, x1 - r), cy = std::clamp(py, y0 + r, y1 - r);
    const double dx = px - cx, dy = py - cy;
    if (px >= x0 + r && px <= x1 - r) return std::max(y0 - py, py - y1);
    if (py >= y0 + r && py <= y1 - r) return std::max(x0 - px, px - x1);
    return std::hypot(dx, dy) - r;
}

}  // namespace

void Canvas::RoundRectOutline(int x0, int y0, int x1, int y1, double radius, double thickness, uint8_t colour) {
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const double d = RoundRectDistance(x + 0.5, y + 0.5, x0, y0, x1, y1, radius);
            if (d <= 0 && d > -thickness) Plot(x, y, colour);
        }
    }
}

void Canvas::FillRoundRect(int x0, int y0, int x1, int y1, double radius, uint8_t colour) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (RoundRectDistance(x + 0.5, y + 0.5, x0, y0, x1, y1, radius) <= 0) Plot(x, y, colour);
}

namespace {

// 5x7 glyphs, one string of 7 rows of 5 columns each ('#' set).
struct Glyph {
    char c;
    const char *rows;
};
constexpr Glyph kFont[] = {
    {'A', " ### #   ##   #######   ##   ##   #"}, {'B', "#### #   ##   ##### #   ##   ##### "},
    {'C', " ### #   ##    #    #    #   # ### "}, {'D', "#### #   ##   ##   ##   ##   ##### "},
    {'E', "######    #    #### #    #    #####"}, {'F', "######    #    #### #    #    #    "},
    {'G', " ### #   ##    # ####   ##   # ####"}, {'H', "#   ##   ##   #######   ##   ##   #"},
    {'I', " ###   #    #    #    #    #   ### "}, {'J', "  ###   #    #    #    # #  #  ##  "},
    {'K', "#   ##  # # #  ##   # #  #  # #   #"}, {'L', "#    #    #    #    #    #    #####"},
    {'M', "#   ### ### # ##   ##   ##   ##   #"}, {'N', "#   ###  ## # ##  ###   ##   ##   #"},
    {'O', " ### #   ##   ##   ##   ##   # ### "}, {'P', "#### #   ##   ##### #    #    #    "},
    {'Q', " ### #   ##   ##   ## # ##  #  ## #"}, {'R', "#### #   ##   ##### # #  #  # #   #"},
    {'S', " #####    #     ###     #    ##### "}, {'T', "#####  #    #    #    #    #    #  "},
    {'U', "#   ##   ##   ##   ##   ##   # ### "}, {'V', "#   ##   ##   ##   ##   # # #   #  "},
    {'W', "#   ##   ##   ## # ## # ## # # # # "}, {'X', "#   ##   # # #   #   # # #   ##   #"},
    {'Y', "#   ##   # # #   #    #    #    #  "}, {'Z', "#####    #   #   #   #   #    #####"},
    {'0', " ### #   ##  ### # ###  ##   # ### "}, {'1', "  #   ##    #    #    #    #   ### "},
    {'2', " ### #   #    #   #   #   #   #####"}, {'3', "#####   #   #     #     ##   # ### "},
    {'4', "   #   ##  # # #  # #####   #    # "}, {'5', "######    ####     #    ##   # ### "},
    {'6', "  ##  #   #    #### #   ##   # ### "}, {'7', "#####    #   #   #   #    #    #   "},
    {'8', " ### #   ##   # ### #   ##   # ### "}, {'9', " ### #   ##   # ####    #   #  ##  "},
    {'_', "                              #####"}, {'+', "       #    #  #####  #    #       "},
    {'(', "   #   #   #    #    #     #     # "}, {')', " #     #     #    #    #   #   #   "},
    {',', "                     ##    #   #   "}, {'-', "               #####               "},
    {'!', "  #    #    #    #    #         #  "}, {' ', "                                   "},
};

const char *GlyphRows(char c) {
    for (const Glyph &g : kFont)
        if (g.c == c) return g.rows;
    return kFont[sizeof kFont / sizeof kFont[0] - 1].rows;
}

}  // namespace

int TextWidth(const std::string &text, int scale) { return static_cast<int>(text.size()) * 6 * scale; }

void Canvas::Text(int x, int y, const std::string &text, uint8_t colour, int scale) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char *rows = GlyphRows(text[i]);
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 5; ++c)
                if (rows[r * 5 + c] == '#')
                    FillRect(x + (static_cast<int>(i) * 6 + c) * scale, y + r * scale,
                             x + (static_cast<int>(i) * 6 + c + 1) * scale, y + (r + 1) * scale, colour);
    }
}

void Canvas::Dither(const Canvas &where, uint8_t colour) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (where.covered(x, y) && ((x + y) & 1) == 0) Plot(x, y, colour);
}

void Canvas::Overlay(const Canvas &other) {
    for (int y = 0; y < std::min(height_, other.height_); ++y)
        for (int x = 0; x < std::min(width_, other.width_); ++x)
            if (other.covered(x, y)) Plot(x, y, other.at(x, y));
}

}  // namespace bitmapgen
