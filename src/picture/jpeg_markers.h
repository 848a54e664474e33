#pragma once
// Looks at the markers in front of a JPEG's first scan.

#include <cstddef>

namespace glimmerby {

// Finds the first segment with the marker `wanted` whose payload begins with the signature,
// in front of the first scan: start is where its payload begins (after the length field),
// length how many of its bytes the data holds. False when there is none.
bool FindJpegSegment(const unsigned char *data, std::size_t size, unsigned char wanted,
                     const char *signature, std::size_t signatureLength, std::size_t &start,
                     std::size_t &length);

// True when an Adobe APP14 segment comes before the first scan: its CMYK is inverted.
bool JpegHasAdobeMarker(const unsigned char *data, std::size_t size);

} // namespace glimmerby
