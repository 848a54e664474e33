#include "picture/jpeg_markers.h"

#include <algorithm>
#include <cstring>

namespace glimmerby {

bool FindJpegSegment(const unsigned char *data, std::size_t size, unsigned char wanted,
                     const char *signature, std::size_t signatureLength, std::size_t &start,
                     std::size_t &length) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    std::size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF)
            return false;
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            return false;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            pos += 2;
            continue;
        }
        const std::size_t segment = std::size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (segment < 2)
            return false;
        if (marker == wanted && segment >= 2 + signatureLength &&
            pos + 4 + signatureLength <= size &&
            std::memcmp(data + pos + 4, signature, signatureLength) == 0) {
            start = pos + 4;
            // A segment cut short by the end of the data gives what is there.
            length = std::min(segment - 2, size - start);
            return true;
        }
        pos += 2 + segment;
    }
    return false;
}

bool JpegHasAdobeMarker(const unsigned char *data, std::size_t size) {
    std::size_t start = 0, length = 0;
    return FindJpegSegment(data, size, 0xEE, "Adobe", 5, start, length);
}

} // namespace glimmerby
