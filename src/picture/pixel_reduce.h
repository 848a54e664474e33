#pragma once
// Brings decoded pixels of any common 8-bit layout into a 3-channel bitmap of a given size:
// transparent parts laid over white, a large reduction done first by averaging whole blocks
// of pixels on all cores, then finished by the pipeline's own scaler.

#include "picture/cdibsection.h"

#include <cstddef>

namespace glimmerby {

// Byte order of one pixel; "x" is a byte that is not used, "a" straight (not
// premultiplied) alpha.
enum class PixelLayout { Rgb, Bgr, Rgbx, Bgrx, Rgba, Bgra };

struct PixelRows {
    const unsigned char *top = nullptr; // the picture's top row
    std::ptrdiff_t stride = 0;          // bytes from one row to the one below (may be < 0)
    int width = 0;
    int height = 0;
    PixelLayout layout = PixelLayout::Rgb;
};

// The picture scaled to width x height (its own size when either is 0). False, with `out`
// empty, when the size is not acceptable or memory is short.
bool ReducePixels(const PixelRows &source, cDIBSection &out, int width = 0, int height = 0);

// 8-bit YCbCr in three planes, the colour planes at half the width and height (4:2:0), as
// video codecs give it. Reducing before converting to RGB spares the full-size RGB copy.
struct PlanarYCbCr {
    const unsigned char *y = nullptr, *cb = nullptr, *cr = nullptr;
    std::ptrdiff_t yStride = 0, cbStride = 0, crStride = 0;
    int width = 0, height = 0;             // of the Y plane
    int chromaWidth = 0, chromaHeight = 0; // of the Cb and Cr planes
    double kr = 0.299, kb = 0.114;         // the matrix's red and blue weights
    bool fullRange = true;                 // 0..255 rather than 16..235 (240 for colour)
};

// As ReducePixels, for YCbCr planes.
bool ReducePlanes(const PlanarYCbCr &source, cDIBSection &out, int width, int height);

} // namespace glimmerby
