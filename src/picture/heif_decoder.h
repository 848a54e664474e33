#pragma once
// HEIC, HEIF and AVIF pictures through libheif: the primary picture, turned and mirrored as
// the file says, deep colour taken down to 8 bits.

#include "picture/cdibsection.h"
#include "picture/picture_formats.h"

namespace glimmerby {

// Decodes into a 3-channel bitmap, transparent parts over white. See DecodePictureData.
bool DecodeHeif(const QByteArray &data, cDIBSection &out, const SizeWish &wish, QSize *natural,
                DecodeError &error);

} // namespace glimmerby
