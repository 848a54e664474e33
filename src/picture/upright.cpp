#include "picture/upright.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace glimmerby {

namespace {

// Where the shown pixel (x, y) comes from, counted from the stored picture's top-left
// corner: sx = x0 + x * xx + y * xy, sy = y0 + x * yx + y * yy.
struct Mapping {
    int x0, xx, xy;
    int y0, yx, yy;
};

Mapping MappingFor(int orientation, int w, int h) { // w, h: stored size
    switch (orientation) {
    case 2:
        return {w - 1, -1, 0, 0, 0, 1}; // mirrored left to right
    case 3:
        return {w - 1, -1, 0, h - 1, 0, -1}; // half turn
    case 4:
        return {0, 1, 0, h - 1, 0, -1}; // mirrored top to bottom
    case 5:
        return {0, 0, 1, 0, 1, 0}; // transposed
    case 6:
        return {0, 0, 1, h - 1, -1, 0}; // quarter turn clockwise
    case 7:
        return {w - 1, 0, -1, h - 1, -1, 0}; // transposed the other way
    case 8:
        return {w - 1, 0, -1, 0, 1, 0}; // quarter turn counter-clockwise
    default:
        return {0, 1, 0, 0, 0, 1};
    }
}

// Square tiles keep both the rows read and the rows written in the cache when the
// source is walked down its columns.
constexpr int Tile = 64;

template <int Bytes> void Remap(const cDIBSection &from, cDIBSection &to, const Mapping &m) {
    // Rows are stored bottom-up: one row down in the picture is one scan line back.
    const std::ptrdiff_t line = from.BytesPerScanLine();
    const unsigned char *top = from.TopRow(0);
    const std::ptrdiff_t stepX = std::ptrdiff_t(m.xx) * Bytes - std::ptrdiff_t(m.yx) * line;
    const std::ptrdiff_t stepY = std::ptrdiff_t(m.xy) * Bytes - std::ptrdiff_t(m.yy) * line;
    const unsigned char *origin = top + std::ptrdiff_t(m.x0) * Bytes - std::ptrdiff_t(m.y0) * line;
    const int width = to.dib_width(), height = to.dib_height();
    for (int ty = 0; ty < height; ty += Tile) {
        const int yEnd = std::min(height, ty + Tile);
        for (int tx = 0; tx < width; tx += Tile) {
            const int xEnd = std::min(width, tx + Tile);
            for (int y = ty; y < yEnd; ++y) {
                unsigned char *out = to.TopRow(y) + std::ptrdiff_t(tx) * Bytes;
                const unsigned char *in = origin + y * stepY + tx * stepX;
                for (int x = tx; x < xEnd; ++x, out += Bytes, in += stepX)
                    std::memcpy(out, in, Bytes);
            }
        }
    }
}

} // namespace

bool MakeUpright(cDIBSection &dib, int orientation) {
    if (orientation < 2 || orientation > 8 || dib.IsEmpty())
        return true;
    const int w = dib.dib_width(), h = dib.dib_height();
    const bool swap = orientation >= 5;
    cDIBSection upright;
    if (!upright.Create(swap ? h : w, swap ? w : h, dib.dib_channels()))
        return false;
    const Mapping m = MappingFor(orientation, w, h);
    if (dib.dib_channels() == 3)
        Remap<3>(dib, upright, m);
    else
        Remap<4>(dib, upright, m);
    dib.Swap(upright);
    return true;
}

} // namespace glimmerby
