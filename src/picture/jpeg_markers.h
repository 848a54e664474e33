#pragma once
// Looks at the markers in front of a JPEG's first scan.

#include <cstddef>

namespace glimmerby {

// True when an Adobe APP14 segment comes before the first scan: its CMYK is inverted.
bool JpegHasAdobeMarker(const unsigned char *data, std::size_t size);

} // namespace glimmerby
