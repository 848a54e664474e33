#include "picture/bmp_rotate.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace glimmerby {

namespace {

// Source address of destination pixel (x, y) is origin + x * stepX + y * stepY.
struct Walk {
    const unsigned char *origin;
    std::ptrdiff_t stepX;
    std::ptrdiff_t stepY;
};

// Square tiles keep both the reads and the writes within a few cache lines.
constexpr std::int32_t Tile = 64;

template <int Bytes>
void CopyRows(const Walk &walk, cDIBSection &dst, std::int32_t top, std::int32_t bottom) {
    const std::int32_t width = dst.dib_width();
    for (std::int32_t ty = top; ty < bottom; ty += Tile) {
        const std::int32_t ty2 = std::min(bottom, ty + Tile);
        for (std::int32_t tx = 0; tx < width; tx += Tile) {
            const std::int32_t tx2 = std::min(width, tx + Tile);
            for (std::int32_t y = ty; y < ty2; ++y) {
                unsigned char *d = dst.TopRow(y) + std::ptrdiff_t(tx) * Bytes;
                const unsigned char *s =
                    walk.origin + std::ptrdiff_t(tx) * walk.stepX + std::ptrdiff_t(y) * walk.stepY;
                for (std::int32_t x = tx; x < tx2; ++x, d += Bytes, s += walk.stepX)
                    std::memcpy(d, s, Bytes);
            }
        }
    }
}

bool Near(float angle, float wanted) {
    return std::fabs(angle - wanted) < 1e-3f;
}

} // namespace

bool bmp_rotate(const cDIBSection &source, cDIBSection &destination, float angle,
                const std::function<void()> &step) {
    destination.CleanUp();
    if (source.IsEmpty())
        return false;
    const std::int32_t w = source.dib_width(), h = source.dib_height();
    const std::int32_t bytes = source.dib_channels();
    // Rows are stored bottom-up: one row further down the picture is one stride back.
    const std::ptrdiff_t down = -std::ptrdiff_t(source.BytesPerScanLine());
    const unsigned char *top = source.TopRow(0);
    const unsigned char *bottom = source.TopRow(h - 1);
    const std::ptrdiff_t last = std::ptrdiff_t(w - 1) * bytes;

    Walk walk{};
    bool quarter = true;
    if (Near(angle, RotateLeftAngle)) {
        walk = {top + last, down, -bytes}; // src(W-1-y, x)
    } else if (Near(angle, RotateRightAngle)) {
        walk = {bottom, -down, bytes}; // src(y, H-1-x)
    } else if (Near(angle, Rotate180Angle)) {
        walk = {bottom + last, -bytes, -down}; // src(W-1-x, H-1-y)
        quarter = false;
    } else {
        return false;
    }
    if (!destination.Create(quarter ? h : w, quarter ? w : h, bytes))
        return false;

    const std::int32_t rows = destination.dib_height();
    const std::int32_t strip = (rows + RotateStrips - 1) / RotateStrips;
    for (std::int32_t y = 0; y < rows; y += strip) {
        const std::int32_t end = std::min(rows, y + strip);
        if (bytes == 3)
            CopyRows<3>(walk, destination, y, end);
        else
            CopyRows<4>(walk, destination, y, end);
        if (step)
            step();
    }
    return true;
}

} // namespace glimmerby
