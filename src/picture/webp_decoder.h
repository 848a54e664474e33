#pragma once
// WebP pictures through libwebp: decoded straight at the size asked for, upright as the
// EXIF chunk says; of an animation, its first frame.

#include "picture/cdibsection.h"
#include "picture/picture_formats.h"

namespace glimmerby {

// Decodes into a 3-channel bitmap, transparent parts over white. See DecodePictureData.
bool DecodeWebp(const QByteArray &data, cDIBSection &out, const SizeWish &wish, QSize *natural,
                DecodeError &error);

} // namespace glimmerby
