// The library's 27 bitmaps: the printer body, its optional feed units, the
// attention markers and the caution, service and power-off signs, each
// image with the mask the picture draws it through.
#pragma once

#include "canvas.h"

#include <string>
#include <vector>

namespace bitmapgen {

struct NamedBitmap {
    std::string name;  // resource name, e.g. "BM_POINT_3_B"
    Canvas canvas;
};

// All 27 bitmaps in resource order. Masks ("_B") are black where their
// image shows and white elsewhere; images are black outside their shape,
// so that the mask drawn with SRCAND and then the image with SRCPAINT
// leave the background untouched outside the shape.
std::vector<NamedBitmap> MakeBitmaps();

// Where the status picture places each marker over the 320 x 200 picture,
// for the preview's composed pictures.
struct MarkerPlacement {
    const char *name;
    int x, y;
    const char *feedUnits;  // "", "2" or "23": feed units drawn beneath
};
extern const MarkerPlacement kMarkerPlacements[];
extern const int kMarkerPlacementCount;

}  // namespace bitmapgen
