#pragma once
// Brings decoded pixels of any common 8-bit layout into a 3-channel bitmap of a given size:
// transparent parts laid over white, a large reduction done first by averaging whole blocks
// of pixels on all cores, then finished by the pipeline's own scaler.

#include "picture/cdibsection.h"

#include <cstddef>
#include <vector>

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

// As ReducePixels, for a picture that comes a row at a time (as a PNG decodes): the rows
// are taken into a band of one block's height, and each full band is averaged into a row
// of the reduced picture, so that the whole picture is never held.
class RowReducer {
  public:
    // The picture's size and layout, and the size wanted (its own when either is 0). False
    // when the size is not acceptable or memory is short.
    bool start(int sourceWidth, int sourceHeight, PixelLayout layout, int width, int height);
    // Where the next row of the picture goes, top row first; rowDone() once it is there.
    unsigned char *nextRow();
    void rowDone();
    // The reduced picture once every row came. False (out empty) when some did not.
    bool finish(cDIBSection &out);

  private:
    cDIBSection m_shrunk;
    std::vector<unsigned char> m_band;
    std::size_t m_rowBytes = 0;
    PixelLayout m_layout = PixelLayout::Rgb;
    int m_sourceWidth = 0, m_width = 0, m_height = 0, m_fx = 1, m_fy = 1, m_row = 0;
};

// As ReducePixels, for YCbCr planes.
bool ReducePlanes(const PlanarYCbCr &source, cDIBSection &out, int width, int height);

} // namespace glimmerby
