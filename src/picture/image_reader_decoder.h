#pragma once
// PNG and TIFF pictures (and anything else Qt's image readers take): the first page,
// upright as the file says (a TIFF's Orientation tag, a PNG's eXIf chunk, which Qt does not
// read), deep colour taken down to 8 bits. PNGs go to libpng by rows (png_decoder.h), all
// but interlaced ones; the rest to QImageReader.

#include "picture/cdibsection.h"
#include "picture/picture_formats.h"

class QIODevice;

namespace glimmerby {

// `format` names Qt's reader ("png", "tiff"); null lets the reader tell by the content.
// Decodes into a 3-channel bitmap, transparent parts over white. See DecodePictureData.
bool DecodeWithImageReader(const QByteArray &data, const char *format, cDIBSection &out,
                           const SizeWish &wish, QSize *natural, DecodeError &error);
// The same reading from a device (a file, so that a large one is not held in memory as well).
bool DecodeWithImageReader(QIODevice &device, const char *format, cDIBSection &out,
                           const SizeWish &wish, QSize *natural, DecodeError &error);

// The EXIF Orientation in the eXIf chunk of the PNG on the device: 1 when there is none.
int PngExifOrientation(QIODevice &device);

} // namespace glimmerby
