// Feeds arbitrary bytes to the JPEG decoder as a file's contents.

#include "picture/ijl.h"
#include "quiet_boxes.h"

#include <cstdint>
#include <cstdlib>
#include <turbojpeg.h>

// Pictures the bitmap may hold but that take seconds to fill (up to 2^28 pixels) are
// left out: they only slow the search down. Their refusal beyond the limit is tested.
constexpr long MaxFuzzPixels = 1L << 22;

bool Small(const std::uint8_t *data, std::size_t size) {
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    tjDecompressHeader3(handle, data, size, &width, &height, &subsampling, &colourspace);
    tjDestroy(handle);
    return long(width) * height <= MaxFuzzPixels;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!Small(data, size))
        return -1; // not kept in the corpus
    glimmerby::QuietBoxes boxes;
    glimmerby::IJL ijl(boxes);
    glimmerby::cDIBSection &dib = ijl.WorkDib();
    ijl.JpegReadBuffer(dib, data, size, QStringLiteral("fuzz.jpg"));
    if (!dib.IsEmpty()) {
        // Touch every byte the bitmap claims to have, padding included.
        unsigned sum = 0;
        const unsigned char *p = dib.DIBSectionBitsPtr();
        for (std::int64_t i = 0; i < dib.ImageSize(); ++i)
            sum += p[i];
        if (dib.dib_channels() != 3 && dib.dib_channels() != 4)
            std::abort();
        if (sum == 1u << 31) // keeps the loop from being dropped
            std::abort();
    }
    return 0;
}
