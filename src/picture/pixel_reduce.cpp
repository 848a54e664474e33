#include "picture/pixel_reduce.h"

#include "picture/picture_scale.h"

#include <algorithm>
#include <new>
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

// Output rows [from, to) of a reduction by whole blocks of fx x fy source pixels; src's top
// row is source row firstRow.
template <PixelLayout L>
void ShrinkRows(const PixelRows &src, cDIBSection &out, int fx, int fy, int from, int to,
                int firstRow) {
    constexpr Offsets o = OffsetsFor(L);
    const int width = out.dib_width();
    const std::uint64_t count = std::uint64_t(fx) * std::uint64_t(fy);
    std::vector<std::uint64_t> sums(std::size_t(width) * 3);
    for (int y = from; y < to; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = 0; k < fy; ++k) {
            const unsigned char *p = src.top + std::ptrdiff_t(y * fy + k - firstRow) * src.stride;
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

void ShrinkBand(const PixelRows &src, cDIBSection &out, int fx, int fy, int from, int to,
                int firstRow = 0) {
    switch (src.layout) {
    case PixelLayout::Rgb:
        return ShrinkRows<PixelLayout::Rgb>(src, out, fx, fy, from, to, firstRow);
    case PixelLayout::Bgr:
        return ShrinkRows<PixelLayout::Bgr>(src, out, fx, fy, from, to, firstRow);
    case PixelLayout::Rgbx:
        return ShrinkRows<PixelLayout::Rgbx>(src, out, fx, fy, from, to, firstRow);
    case PixelLayout::Bgrx:
        return ShrinkRows<PixelLayout::Bgrx>(src, out, fx, fy, from, to, firstRow);
    case PixelLayout::Rgba:
        return ShrinkRows<PixelLayout::Rgba>(src, out, fx, fy, from, to, firstRow);
    case PixelLayout::Bgra:
        return ShrinkRows<PixelLayout::Bgra>(src, out, fx, fy, from, to, firstRow);
    }
}

// The whole blocks a reduction averages: as large as still leave at least the wanted size.
void BlockSize(int sourceWidth, int sourceHeight, int &width, int &height, int &fx, int &fy) {
    if (width <= 0 || height <= 0) {
        width = sourceWidth;
        height = sourceHeight;
    }
    fx = std::max(1, sourceWidth / width);
    fy = std::max(1, sourceHeight / height);
}

// The last, small step of a reduction: the scaler's.
bool Finish(cDIBSection &shrunk, cDIBSection &out, int width, int height) {
    if (shrunk.dib_width() == width && shrunk.dib_height() == height) {
        out.Swap(shrunk);
        return true;
    }
    return ScalePicture(shrunk, out, width, height);
}

// Output rows [from, to) of a reduction of YCbCr planes by blocks of fx x fy: each block's
// Y, Cb and Cr averaged (a colour sample serves the 2 x 2 Y samples it covers), then the
// averages converted. The matrix is linear, so this is the average of the converted pixels
// but for values clipped at black or white.
void ShrinkPlaneRows(const PlanarYCbCr &src, cDIBSection &out, int fx, int fy, int from, int to) {
    const int width = out.dib_width();
    const double count = double(fx) * double(fy);
    // Studio range: Y 16..235 and colour 16..240 stretched to the full 0..255.
    const double ys = src.fullRange ? 1.0 : 255.0 / 219.0, cs = src.fullRange ? 1.0 : 255.0 / 224.0,
                 y0 = src.fullRange ? 0.0 : 16.0;
    const double kg = 1.0 - src.kr - src.kb;
    const double crToR = 2.0 * (1.0 - src.kr) * cs, cbToB = 2.0 * (1.0 - src.kb) * cs;
    const double cbToG = -cbToB * src.kb / kg, crToG = -crToR * src.kr / kg;
    const int lastCx = src.chromaWidth - 1, lastCy = src.chromaHeight - 1;
    std::vector<std::uint64_t> sums(std::size_t(width) * 3);
    for (int y = from; y < to; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = 0; k < fy; ++k) {
            const int sy = y * fy + k;
            const unsigned char *py = src.y + std::ptrdiff_t(sy) * src.yStride;
            const std::ptrdiff_t cy = std::min(sy >> 1, lastCy);
            const unsigned char *pb = src.cb + cy * src.cbStride;
            const unsigned char *pr = src.cr + cy * src.crStride;
            std::uint64_t *s = sums.data();
            for (int x = 0, sx = 0; x < width; ++x, s += 3) {
                std::uint32_t l = 0, b = 0, r = 0;
                for (int i = 0; i < fx; ++i, ++sx) {
                    const int cx = std::min(sx >> 1, lastCx);
                    l += py[sx];
                    b += pb[cx];
                    r += pr[cx];
                }
                s[0] += l;
                s[1] += b;
                s[2] += r;
            }
        }
        unsigned char *d = out.TopRow(y);
        const auto clip = [](double v) {
            return static_cast<unsigned char>(std::clamp(v + 0.5, 0.0, 255.0));
        };
        for (int x = 0; x < width; ++x) {
            const double l = (sums[std::size_t(x) * 3] / count - y0) * ys;
            const double b = sums[std::size_t(x) * 3 + 1] / count - 128.0;
            const double r = sums[std::size_t(x) * 3 + 2] / count - 128.0;
            d[x * 3 + 0] = clip(l + cbToB * b);
            d[x * 3 + 1] = clip(l + cbToG * b + crToG * r);
            d[x * 3 + 2] = clip(l + crToR * r);
        }
    }
}

// Reduces a sourceWidth x sourceHeight picture to width x height: `band` fills rows of a
// bitmap shrunk by whole blocks as large as still leave at least the wanted size, split
// over the cores; the last, small step is the scaler's.
template <typename Band>
bool Reduce(int sourceWidth, int sourceHeight, cDIBSection &out, int width, int height,
            const Band &band) {
    out.CleanUp();
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return false;
    int fx = 1, fy = 1;
    BlockSize(sourceWidth, sourceHeight, width, height, fx, fy);
    cDIBSection shrunk;
    if (!shrunk.Create(sourceWidth / fx, sourceHeight / fy, 3))
        return false;
    const int rows = shrunk.dib_height();
    const int work = int(std::min<std::int64_t>(
        std::max(1u, std::thread::hardware_concurrency()),
        std::max<std::int64_t>(1, std::int64_t(sourceWidth) * sourceHeight >> 20)));
    std::vector<std::thread> helpers;
    const int step = (rows + work - 1) / work;
    for (int i = 1; i < work; ++i) {
        const int from = std::min(rows, i * step), to = std::min(rows, from + step);
        if (from < to)
            helpers.emplace_back([&, from, to] { band(shrunk, fx, fy, from, to); });
    }
    band(shrunk, fx, fy, 0, std::min(rows, step));
    for (std::thread &t : helpers)
        t.join();
    return Finish(shrunk, out, width, height);
}

} // namespace

bool ReducePixels(const PixelRows &source, cDIBSection &out, int width, int height) {
    if (!source.top) {
        out.CleanUp();
        return false;
    }
    return Reduce(source.width, source.height, out, width, height,
                  [&](cDIBSection &shrunk, int fx, int fy, int from, int to) {
                      ShrinkBand(source, shrunk, fx, fy, from, to);
                  });
}

bool ReducePlanes(const PlanarYCbCr &source, cDIBSection &out, int width, int height) {
    // A colour plane short of half the size (a crop at an odd edge) repeats its last sample.
    if (!source.y || !source.cb || !source.cr || source.chromaWidth <= 0 ||
        source.chromaHeight <= 0) {
        out.CleanUp();
        return false;
    }
    return Reduce(source.width, source.height, out, width, height,
                  [&](cDIBSection &shrunk, int fx, int fy, int from, int to) {
                      ShrinkPlaneRows(source, shrunk, fx, fy, from, to);
                  });
}

bool RowReducer::start(int sourceWidth, int sourceHeight, PixelLayout layout, int width,
                       int height) {
    m_shrunk.CleanUp();
    m_band.clear();
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return false;
    BlockSize(sourceWidth, sourceHeight, width, height, m_fx, m_fy);
    m_width = width;
    m_height = height;
    m_sourceWidth = sourceWidth;
    m_layout = layout;
    m_rowBytes = std::size_t(sourceWidth) * std::size_t(OffsetsFor(layout).bytes);
    m_row = 0;
    if (!m_shrunk.Create(sourceWidth / m_fx, sourceHeight / m_fy, 3))
        return false;
    try {
        m_band.resize(m_rowBytes * std::size_t(m_fy));
    } catch (const std::bad_alloc &) {
        m_shrunk.CleanUp();
        return false;
    }
    return true;
}

unsigned char *RowReducer::nextRow() {
    // Rows below the last whole band are read into the band all the same, and not used.
    return m_band.data() + std::size_t(m_row % m_fy) * m_rowBytes;
}

void RowReducer::rowDone() {
    ++m_row;
    if (m_row % m_fy != 0)
        return;
    const int y = m_row / m_fy - 1;
    if (y >= m_shrunk.dib_height())
        return;
    const PixelRows band{m_band.data(), std::ptrdiff_t(m_rowBytes), m_sourceWidth, m_fy, m_layout};
    ShrinkBand(band, m_shrunk, m_fx, m_fy, y, y + 1, y * m_fy);
}

bool RowReducer::finish(cDIBSection &out) {
    out.CleanUp();
    if (m_shrunk.IsEmpty() || m_row / m_fy < m_shrunk.dib_height())
        return false;
    m_band = {};
    return Finish(m_shrunk, out, m_width, m_height);
}

} // namespace glimmerby
