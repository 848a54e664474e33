#pragma once
// The EXIF Orientation of a JPEG file (tag 0x0112 in IFD0 of the APP1 "Exif" segment):
// how the stored pixels must be turned or mirrored to be seen as the camera meant.

#include <QSize>
#include <cstddef>

namespace glimmerby {

// 1 to 8 as the tag says; 1 (as stored) when the file has no Exif segment before its first
// scan or the tag is missing, malformed or out of range.
int JpegExifOrientation(const unsigned char *data, std::size_t size);
// The same for an Exif block as PNG's eXIf chunk and WebP's EXIF chunk hold it: a TIFF
// header and its directories, with or without "Exif\0\0" in front.
int TiffExifOrientation(const unsigned char *data, std::size_t size);

// Orientations 5 to 8 swap width and height.
inline bool OrientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}
inline QSize UprightSize(QSize stored, int orientation) {
    return OrientationSwapsSides(orientation) ? stored.transposed() : stored;
}

} // namespace glimmerby
