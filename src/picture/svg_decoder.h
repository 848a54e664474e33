#pragma once
// SVG pictures through Qt SVG: drawn at the size asked for, on white.

#include "picture/cdibsection.h"
#include "picture/picture_formats.h"

namespace glimmerby {

// Draws the drawing's natural size (its width and height, else its view box) scaled to
// what `wish` answers, also larger than natural. See DecodePictureData.
bool DecodeSvg(const QByteArray &data, cDIBSection &out, const SizeWish &wish, QSize *natural,
               DecodeError &error);

} // namespace glimmerby
