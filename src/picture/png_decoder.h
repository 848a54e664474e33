#pragma once
// PNG pictures through libpng, brought down to the size wanted a few rows at a time as they
// are read: a 24-megapixel screenshot is never held whole, and no row is converted twice.

#include "picture/cdibsection.h"
#include "picture/picture_formats.h"

class QIODevice;

namespace glimmerby {

// Decodes the PNG on the device (read from its start) into a 3-channel bitmap, upright by
// `orientation` (EXIF values), transparent parts over white, deep colour taken down to 8
// bits. `handled` is false for a PNG left to another reader (interlaced ones, whose rows
// come in seven passes), and then nothing else is told; otherwise as DecodePictureData.
bool DecodePngByRows(QIODevice &device, int orientation, cDIBSection &out, const SizeWish &wish,
                     QSize *natural, DecodeError &error, bool &handled);

} // namespace glimmerby
