// Where the viewer puts things: the window split into a grid of tiles, one per camera, and an
// image placed in its tile, fitted with its aspect ratio kept or at its actual size, centred.
#pragma once

#include <cstddef>

namespace quarvo::tool {

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// The grid count tiles are laid out in: as many columns as the square root of count rounded up,
// and the rows they need.
struct Grid {
    size_t columns = 1;
    size_t rows = 1;
};
Grid GridFor(size_t count);

// The tile of camera index of count in a window of that size, rows filled left to right, top to
// bottom.
Rect TileArea(size_t index, size_t count, int width, int height);

// Where an image of that size lands in the tile: fitted (as large as fits, both sides scaled
// alike) or, with actualSize, one window pixel per image pixel (then it may reach beyond the
// tile, which clips it).
Rect ImagePlacement(size_t imageWidth, size_t imageHeight, const Rect& tile, bool actualSize);

// The intersection of two rectangles (empty: w or h 0).
Rect Clip(const Rect& a, const Rect& b);

}  // namespace quarvo::tool
