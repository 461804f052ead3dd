#include "artwork.h"

#include <cmath>

namespace bitmapgen {
namespace {

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 200;

// The printer is drawn in an oblique view from the front left: the front
// face is seen square on, and depth runs up and to the left, so the left
// side and the top show. Depth(x, y, t) is the point of the front plane
// (x, y) moved t of the way to the back.
constexpr double kDepthX = -32, kDepthY = -28;
Point Depth(double x, double y, double t) { return {x + kDepthX * t, y + kDepthY * t}; }

// The body's front face; everything else hangs off it. The parts land
// where the status picture puts their markers: output tray around
// (124,25)-(209,57), top cover (109,28)-(216,62), front cover
// (106,63)-(226,125), bypass tray (113,69)-(207,127), tray 1
// (114,112)-(210,148), left cover (75,72)-(108,120), right-hand area
// (200,53)-(235,80).
constexpr int kFrontLeft = 108, kFrontRight = 226, kFrontTop = 62, kBodyBottom = 146;
// Each optional feed unit adds this much below the body (tray 2, then 3).
constexpr int kFeedUnitHeight = 22;

struct Palette {
    uint8_t top = Colour(232, 232, 232);
    uint8_t front = Colour(214, 214, 214);
    uint8_t side = Colour(172, 172, 172);
    uint8_t drawer = Colour(200, 200, 200);
    uint8_t seam = Colour(132, 132, 132);
    uint8_t edge = Colour(72, 72, 72);
    uint8_t recess = Colour(60, 60, 60);
    uint8_t deep = Colour(36, 36, 36);
    uint8_t tray = Colour(150, 150, 150);
    uint8_t paper = kWhite;
    uint8_t print = Colour(180, 180, 180);
    uint8_t shadow = Colour(204, 204, 204);
    uint8_t panel = Colour(84, 84, 84);
    uint8_t display = Colour(166, 202, 240);
    uint8_t led = Colour(0, 255, 0);
    uint8_t cyan = Colour(0, 204, 255);
    uint8_t magenta = Colour(255, 0, 204);
    uint8_t yellow = Colour(255, 255, 0);
    uint8_t black = Colour(24, 24, 24);
    uint8_t marker = Colour(255, 0, 0);
    uint8_t markerLight = Colour(255, 255, 0);
};
const Palette &Colours() {
    static const Palette p;
    return p;
}

void Outline(Canvas &c, const std::vector<Point> &points, uint8_t colour, double width = 1.1) {
    for (size_t i = 0; i < points.size(); ++i) c.Stroke(points[i], points[(i + 1) % points.size()], width, colour);
}

// Rectangle outline one pixel wide, on [x0, x1) x [y0, y1).
void Frame(Canvas &c, int x0, int y0, int x1, int y1, uint8_t colour) {
    c.FillRect(x0, y0, x1, y0 + 1, colour);
    c.FillRect(x0, y1 - 1, x1, y1, colour);
    c.FillRect(x0, y0, x0 + 1, y1, colour);
    c.FillRect(x1 - 1, y0, x1, y1, colour);
}

// A paper cassette seen from the front: frame, grip, paper-level window,
// and an optional number label.
void Drawer(Canvas &c, int x0, int y0, int x1, int y1, const std::string &label) {
    const Palette &p = Colours();
    c.FillRect(x0, y0, x1, y1, p.drawer);
    Frame(c, x0, y0, x1, y1, p.edge);
    c.FillRect(x0 + 1, y0 + 1, x1 - 1, y0 + 2, p.top);  // highlight along the top
    const int mid = (x0 + x1) / 2;
    c.FillRoundRect(mid - 16, y0 + 3, mid + 16, y0 + 8, 2, p.recess);
    c.FillRect(mid - 15, y0 + 8, mid + 15, y0 + 9, p.top);
    // Paper-level window with three bars.
    c.FillRect(x1 - 14, y0 + 4, x1 - 6, y1 - 4, p.deep);
    for (int y = y0 + 6; y < y1 - 5; y += 3) c.FillRect(x1 - 13, y, x1 - 7, y + 1, p.paper);
    if (!label.empty()) c.Text(x0 + 6, (y0 + y1) / 2 - 3, label, p.edge);
}

// The shadow the printer casts on the floor under its front and left.
void FloorShadow(Canvas &c, double bottom) {
    // It stays within the outline a feed unit covers, so that a unit
    // stacked underneath hides it completely.
    c.FillPolygon({Depth(kFrontLeft, bottom, 1.0), {kFrontLeft, bottom}, {kFrontRight, bottom},
                   {kFrontRight, bottom + 5}, {kFrontLeft, bottom + 5}, Depth(kFrontLeft, bottom + 5, 1.0)},
                  Colours().shadow);
}

// The box of one storey of the printer between y0 and y1 at the front:
// left side, front face and their edges (the top is drawn by the body).
void Storey(Canvas &c, double y0, double y1) {
    const Palette &p = Colours();
    const std::vector<Point> side = {{kFrontLeft, y0}, Depth(kFrontLeft, y0, 1), Depth(kFrontLeft, y1, 1),
                                     {kFrontLeft, y1}};
    c.FillPolygon(side, p.side);
    c.FillRect(kFrontLeft, static_cast<int>(y0), kFrontRight, static_cast<int>(y1), p.front);
    Outline(c, side, p.edge);
    Outline(c, {{kFrontLeft, y0}, {kFrontRight - 0.5, y0}, {kFrontRight - 0.5, y1 - 0.5}, {kFrontLeft, y1 - 0.5}},
            p.edge);
}

// The printer body without floor or background.
Canvas Body() {
    const Palette &p = Colours();
    Canvas c(kPictureWidth, kPictureHeight);
    Storey(c, kFrontTop, kBodyBottom);

    // Top face, with the hinged top cover's seam near the back.
    const std::vector<Point> top = {{kFrontLeft, kFrontTop}, {kFrontRight, kFrontTop},
                                    Depth(kFrontRight, kFrontTop, 1), Depth(kFrontLeft, kFrontTop, 1)};
    c.FillPolygon(top, p.top);
    Outline(c, top, p.edge);
    c.Stroke(Depth(kFrontLeft, kFrontTop, 0.9), Depth(kFrontRight, kFrontTop, 0.9), 1.1, p.seam);

    // Output tray: a recess in the top with printed sheets in it, paper
    // coming out of the slot at its back.
    const double x0 = 150, x1 = 214, t0 = 0.3, t1 = 0.92;
    const std::vector<Point> recess = {Depth(x0, kFrontTop, t0), Depth(x1, kFrontTop, t0),
                                       Depth(x1, kFrontTop, t1), Depth(x0, kFrontTop, t1)};
    c.FillPolygon(recess, p.tray);
    Outline(c, recess, p.edge);
    c.Stroke(Depth(x0 + 2, kFrontTop, t1 - 0.03), Depth(x1 - 2, kFrontTop, t1 - 0.03), 2, p.deep);
    const std::vector<Point> sheet = {Depth(x0 + 7, kFrontTop, t0 + 0.08), Depth(x1 - 7, kFrontTop, t0 + 0.08),
                                      Depth(x1 - 7, kFrontTop, t1 - 0.08), Depth(x0 + 7, kFrontTop, t1 - 0.08)};
    c.FillPolygon(sheet, p.paper);
    Outline(c, sheet, p.seam, 1.0);
    for (double t = t0 + 0.16; t < t1 - 0.12; t += 0.08) {
        c.Stroke(Depth(x0 + 13, kFrontTop, t), Depth(x1 - 16, kFrontTop, t), 1.0, p.print);
    }

    // Front cover over the upper front, with the bypass tray folded into
    // it and a grip along its top.
    Frame(c, 110, 65, 224, 118, p.seam);
    c.FillRect(111, 66, 223, 67, p.top);
    c.FillRect(122, 75, 198, 112, p.drawer);
    Frame(c, 122, 75, 198, 112, p.edge);
    c.FillRoundRect(148, 77, 172, 82, 2, p.recess);
    c.FillRect(149, 82, 171, 83, p.top);
    c.FillRect(123, 108, 197, 111, p.front);

    // Operation panel: a console on the top right corner (the right-hand
    // area), with display, keys and the ready lamp, and the four toner
    // colours underneath.
    c.FillPolygon({{202, 61}, {229, 61}, Depth(229, 61, 0.25), Depth(202, 61, 0.25)}, p.seam);
    Outline(c, {{202, 61}, {229, 61}, Depth(229, 61, 0.25), Depth(202, 61, 0.25)}, p.edge);
    c.FillRect(202, 61, 230, 79, p.panel);
    Frame(c, 202, 61, 230, 79, p.edge);
    c.FillRect(205, 64, 219, 70, p.display);
    c.FillRect(207, 66, 215, 67, p.edge);
    c.FillDisc(224, 66.5, 1.7, p.led);
    for (int k = 0; k < 4; ++k) c.FillRect(205 + 6 * k, 73, 209 + 6 * k, 76, p.top);
    const uint8_t toners[4] = {p.cyan, p.magenta, p.yellow, p.black};
    for (int k = 0; k < 4; ++k) c.FillRect(205 + 5 * k, 84, 209 + 5 * k, 88, toners[k]);

    // Tray 1 cassette and the power switch beside it.
    Drawer(c, 114, 120, 210, 143, "1");
    c.FillDisc(218, 131, 4.5, p.edge);
    c.FillDisc(218, 131, 3.2, p.front);
    c.FillRect(218, 128, 219, 132, p.edge);
    c.FillRect(108, 143, 226, 146, p.seam);

    // Left cover: a door in the left side, with its grip, and the vents
    // above it.
    const std::vector<Point> door = {Depth(kFrontLeft, 94, 0.12), Depth(kFrontLeft, 94, 0.88),
                                     Depth(kFrontLeft, 124, 0.88), Depth(kFrontLeft, 124, 0.12)};
    c.FillPolygon(door, Colours().side);
    Outline(c, door, p.edge);
    c.Stroke(Depth(kFrontLeft, 104, 0.2), Depth(kFrontLeft, 114, 0.2), 2.0, p.recess);
    for (int y = 70; y <= 84; y += 4) c.Stroke(Depth(kFrontLeft, y, 0.3), Depth(kFrontLeft, y, 0.75), 1.2, p.recess);
    return c;
}

// One optional feed unit under the body (number 2 or 3), with the floor
// shadow under itself.
Canvas FeedUnit(int number) {
    Canvas c(kPictureWidth, kPictureHeight);
    const double y0 = kBodyBottom + (number - 2) * kFeedUnitHeight, y1 = y0 + kFeedUnitHeight;
    FloorShadow(c, y1);
    Storey(c, y0, y1);
    Drawer(c, 114, static_cast<int>(y0) + 2, 210, static_cast<int>(y1) - 4, std::to_string(number));
    return c;
}

// Attention marker: a bright frame around the part, as large as the marker.
Canvas Marker(int width, int height) {
    Canvas c(width, height);
    c.RoundRectOutline(0, 0, width, height, 7, 3, Colours().marker);
    c.RoundRectOutline(3, 3, width - 3, height - 3, 4, 1, Colours().markerLight);
    return c;
}

// Caution sign at the top left: the yellow warning triangle.
Canvas Caution() {
    Canvas c(kPictureWidth, kPictureHeight);
    const double cx = 40, top = 10, bottom = 66, half = 32;
    c.FillPolygon({{cx, top}, {cx + half, bottom}, {cx - half, bottom}}, Colours().black);
    c.FillPolygon({{cx, top + 9}, {cx + half - 8, bottom - 4}, {cx - half + 8, bottom - 4}}, Colours().yellow);
    c.FillRoundRect(static_cast<int>(cx) - 3, 28, static_cast<int>(cx) + 3, 49, 2, Colours().black);
    c.FillDisc(cx, 55.5, 3.2, Colours().black);
    return c;
}

// Service sign at the top right: a spanner on a blue disc.
Canvas Service() {
    Canvas c(kPictureWidth, kPictureHeight);
    const double cx = 282, cy = 38, r = 28;
    const uint8_t blue = Colour(0, 102, 204);
    c.FillDisc(cx, cy, r, kWhite);
    c.FillDisc(cx, cy, r - 2, blue);
    // Handle from lower left to upper right, open jaw at the upper end.
    const Point a{cx - 14, cy + 14}, b{cx + 8, cy - 8};
    c.Stroke(a, b, 7, kWhite);
    c.FillDisc(a.x, a.y, 4.5, kWhite);
    c.FillDisc(b.x + 3, b.y - 3, 10, kWhite);
    c.Stroke({b.x + 3, b.y - 3}, {b.x + 9.5, b.y - 9.5}, 7, blue);
    c.FillDisc(a.x, a.y, 1.8, blue);
    return c;
}

// Power-off sign: the body greyed out and the power symbol over it.
Canvas PowerOff(const Canvas &body) {
    Canvas c(kPictureWidth, kPictureHeight);
    c.Dither(body, Colour(72, 72, 72));
    const double cx = 167, cy = 96;
    c.FillDisc(cx, cy, 27, kWhite);
    c.FillDisc(cx, cy, 25, Colour(204, 0, 0));
    // The power symbol: a ring open at the top with a bar through the gap.
    for (int y = static_cast<int>(cy) - 20; y <= cy + 20; ++y) {
        for (int x = static_cast<int>(cx) - 20; x <= cx + 20; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double d = std::hypot(dx, dy);
            const bool gap = dy < 0 && std::fabs(dx) < -dy * 0.75;
            if (d >= 11 && d <= 16 && !gap) c.Plot(x, y, kWhite);
        }
    }
    c.FillRoundRect(static_cast<int>(cx) - 2, static_cast<int>(cy) - 20, static_cast<int>(cx) + 3,
                    static_cast<int>(cy) + 1, 2, kWhite);
    return c;
}

// Mask of an image: black where the image shows, white elsewhere.
Canvas MaskOf(const Canvas &image) {
    Canvas mask(image.width(), image.height(), kWhite);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.covered(x, y)) mask.Plot(x, y, kBlack);
    return mask;
}

// The opaque body picture: white background, floor shadow, printer.
Canvas Base(const Canvas &body) {
    Canvas c(kPictureWidth, kPictureHeight, kWhite);
    FloorShadow(c, kBodyBottom);
    c.Overlay(body);
    return c;
}

struct MarkerSize {
    int width, height;
};
constexpr MarkerSize kMarkerSizes[8] = {{96, 32}, {94, 58}, {120, 62}, {85, 32},
                                        {33, 48}, {107, 34}, {35, 27}, {96, 36}};

}  // namespace

const MarkerPlacement kMarkerPlacements[] = {
    {"BM_POINT_1", 114, 138, "2"},  {"BM_POINT_1", 114, 160, "23"}, {"BM_POINT_2", 113, 69, ""},
    {"BM_POINT_3", 106, 63, ""},    {"BM_POINT_4", 124, 25, ""},    {"BM_POINT_5", 75, 72, ""},
    {"BM_POINT_6", 109, 28, ""},    {"BM_POINT_7", 200, 53, ""},    {"BM_POINT_8", 114, 112, ""},
};
const int kMarkerPlacementCount = sizeof kMarkerPlacements / sizeof kMarkerPlacements[0];

std::vector<NamedBitmap> MakeBitmaps() {
    const Canvas body = Body();
    std::vector<NamedBitmap> out;
    auto add = [&out](const std::string &name, const Canvas &image) {
        out.push_back({name, image});
        out.push_back({name + "_B", MaskOf(image)});
    };
    out.push_back({"BM_BASE", Base(body)});
    add("BM_CAUTION", Caution());
    add("BM_SERVICE", Service());
    add("BM_POWEROFF", PowerOff(body));
    add("BM_TRAY2", FeedUnit(2));
    add("BM_TRAY3", FeedUnit(3));
    for (int n = 1; n <= 8; ++n) {
        add("BM_POINT_" + std::to_string(n), Marker(kMarkerSizes[n - 1].width, kMarkerSizes[n - 1].height));
    }
    return out;
}

}  // namespace bitmapgen
