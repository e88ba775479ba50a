#include "tools/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quarvo::tool {

Grid GridFor(size_t count) {
    count = std::max<size_t>(count, 1);
    const auto columns = static_cast<size_t>(std::ceil(std::sqrt(static_cast<double>(count))));
    return {columns, (count + columns - 1) / columns};
}

Rect TileArea(size_t index, size_t count, int width, int height) {
    const auto [columns, rows] = GridFor(count);
    const auto edge = [](size_t i, size_t parts, int length) { return static_cast<int>(i * length / parts); };
    const size_t column = index % columns, row = index / columns;
    const int x = edge(column, columns, width), y = edge(row, rows, height);
    return {x, y, edge(column + 1, columns, width) - x, edge(row + 1, rows, height) - y};
}

Rect ImagePlacement(size_t imageWidth, size_t imageHeight, const Rect& tile, bool actualSize) {
    int64_t w = static_cast<int64_t>(imageWidth), h = static_cast<int64_t>(imageHeight);
    if (!actualSize && w > 0 && h > 0) {
        // The side that limits the scale fills the tile; the other keeps the image's proportion.
        if (w * tile.h <= h * tile.w) {
            w = std::max<int64_t>(1, w * tile.h / h);
            h = tile.h;
        } else {
            h = std::max<int64_t>(1, h * tile.w / w);
            w = tile.w;
        }
    }
    return {tile.x + static_cast<int>((tile.w - w) / 2), tile.y + static_cast<int>((tile.h - h) / 2),
            static_cast<int>(w), static_cast<int>(h)};
}

Rect Clip(const Rect& a, const Rect& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

}  // namespace quarvo::tool
