#pragma once
// Loading a picture of any of the program's kinds into a private bitmap without a word to
// the user: the picture pipeline's loader.

#include "picture/cdibsection.h"

#include <QSize>
#include <QString>
#include <functional>

namespace glimmerby {

// Loads the file by its content (DecodePictureFile: JPEG through the codec, BMP after a
// check of its headers, GIF's first frame, PNG, TIFF, WebP, HEIF and SVG through their
// libraries) into `out` as an upright 3-channel bitmap: CMYK becomes colour, transparent
// parts lie over white.
//
// `target`, when given, is told the picture's natural size and answers the size the caller
// will scale it to; the picture may then be decoded at a reduced scale that still covers
// that size. An empty answer stops the load (false).
// `natural` gets the natural size once it is known.
//
// False, with `out` empty, for a file that cannot be read, is not a picture, is damaged
// or incomplete, has a side of 0 or is bigger than a bitmap may be. Nothing is shown.
bool LoadPictureSilently(const QString &path, cDIBSection &out,
                         const std::function<QSize(QSize)> &target = {}, QSize *natural = nullptr);

} // namespace glimmerby
