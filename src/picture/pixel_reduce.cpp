#include "picture/pixel_reduce.h"

#include "picture/picture_scale.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace glimmerby {

namespace {

struct Offsets {
    int r, g, b, a; // a < 0: no alpha
    int bytes;
};

constexpr Offsets OffsetsFor(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Rgb:
        return {0, 1, 2, -1, 3};
    case PixelLayout::Bgr:
        return {2, 1, 0, -1, 3};
    case PixelLayout::Rgbx:
        return {0, 1, 2, -1, 4};
    case PixelLayout::Bgrx:
        return {2, 1, 0, -1, 4};
    case PixelLayout::Rgba:
        return {0, 1, 2, 3, 4};
    case PixelLayout::Bgra:
        break;
    }
    return {2, 1, 0, 3, 4};
}

// Output rows [from, to) of a reduction by whole blocks of fx x fy source pixels.
template <PixelLayout L>
void ShrinkRows(const PixelRows &src, cDIBSection &out, int fx, int fy, int from, int to) {
    constexpr Offsets o = OffsetsFor(L);
    const int width = out.dib_width();
    const std::uint64_t count = std::uint64_t(fx) * std::uint64_t(fy);
    std::vector<std::uint64_t> sums(std::size_t(width) * 3);
    for (int y = from; y < to; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = 0; k < fy; ++k) {
            const unsigned char *p = src.top + std::ptrdiff_t(y * fy + k) * src.stride;
            std::uint64_t *s = sums.data();
            for (int x = 0; x < width; ++x, s += 3) {
                std::uint64_t r = 0, g = 0, b = 0;
                for (int i = 0; i < fx; ++i, p += o.bytes) {
                    if constexpr (o.a >= 0) {
                        // Over white: c * a + 255 * (255 - a), kept at 255 times the scale.
                        const std::uint32_t a = p[o.a], white = 255 * (255 - a);
                        r += p[o.r] * a + white;
                        g += p[o.g] * a + white;
                        b += p[o.b] * a + white;
                    } else {
                        r += p[o.r];
                        g += p[o.g];
                        b += p[o.b];
                    }
                }
                s[0] += r;
                s[1] += g;
                s[2] += b;
            }
        }
        const std::uint64_t divisor = o.a >= 0 ? count * 255 : count;
        unsigned char *d = out.TopRow(y);
        for (int i = 0; i < width * 3; i += 3) {
            d[i + 0] =
                static_cast<unsigned char>((sums[std::size_t(i) + 2] + divisor / 2) / divisor);
            d[i + 1] =
                static_cast<unsigned char>((sums[std::size_t(i) + 1] + divisor / 2) / divisor);
            d[i + 2] =
                static_cast<unsigned char>((sums[std::size_t(i) + 0] + divisor / 2) / divisor);
        }
    }
}

void ShrinkBand(const PixelRows &src, cDIBSection &out, int fx, int fy, int from, int to) {
    switch (src.layout) {
    case PixelLayout::Rgb:
        return ShrinkRows<PixelLayout::Rgb>(src, out, fx, fy, from, to);
    case PixelLayout::Bgr:
        return ShrinkRows<PixelLayout::Bgr>(src, out, fx, fy, from, to);
    case PixelLayout::Rgbx:
        return ShrinkRows<PixelLayout::Rgbx>(src, out, fx, fy, from, to);
    case PixelLayout::Bgrx:
        return ShrinkRows<PixelLayout::Bgrx>(src, out, fx, fy, from, to);
    case PixelLayout::Rgba:
        return ShrinkRows<PixelLayout::Rgba>(src, out, fx, fy, from, to);
    case PixelLayout::Bgra:
        return ShrinkRows<PixelLayout::Bgra>(src, out, fx, fy, from, to);
    }
}

} // namespace

bool ReducePixels(const PixelRows &source, cDIBSection &out, int width, int height) {
    out.CleanUp();
    if (!source.top || source.width <= 0 || source.height <= 0)
        return false;
    if (width <= 0 || height <= 0) {
        width = source.width;
        height = source.height;
    }
    // Whole blocks as large as still leave at least the wanted size; the last, small step
    // is the scaler's.
    const int fx = std::max(1, source.width / width), fy = std::max(1, source.height / height);
    cDIBSection shrunk;
    if (!shrunk.Create(source.width / fx, source.height / fy, 3))
        return false;
    const int rows = shrunk.dib_height();
    const int work = int(std::min<std::int64_t>(
        std::max(1u, std::thread::hardware_concurrency()),
        std::max<std::int64_t>(1, std::int64_t(source.width) * source.height >> 20)));
    std::vector<std::thread> helpers;
    const int band = (rows + work - 1) / work;
    for (int i = 1; i < work; ++i) {
        const int from = std::min(rows, i * band), to = std::min(rows, from + band);
        if (from < to)
            helpers.emplace_back([&, from, to] { ShrinkBand(source, shrunk, fx, fy, from, to); });
    }
    ShrinkBand(source, shrunk, fx, fy, 0, std::min(rows, band));
    for (std::thread &t : helpers)
        t.join();
    if (shrunk.dib_width() == width && shrunk.dib_height() == height) {
        out.Swap(shrunk);
        return true;
    }
    return ScalePicture(shrunk, out, width, height);
}

} // namespace glimmerby
