#include "picture/jpeg_markers.h"

#include <cstring>

namespace glimmerby {

bool JpegHasAdobeMarker(const unsigned char *data, std::size_t size) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
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
        const std::size_t length = std::size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (length < 2)
            return false;
        if (marker == 0xEE && length >= 7 && pos + 9 <= size &&
            std::memcmp(data + pos + 4, "Adobe", 5) == 0)
            return true;
        pos += 2 + length;
    }
    return false;
}

} // namespace glimmerby
