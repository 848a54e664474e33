// Feeds arbitrary bytes to the JPEG decoder as a file's contents.

#include "picture/ijl.h"
#include "quiet_boxes.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
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
