#pragma once
// The one way into every picture kind the program reads. The content decides how a file is
// decoded, never its name: JPEG through the codec, BMP and GIF as before, PNG and TIFF
// through Qt's readers, WebP through libwebp, HEIC, HEIF and AVIF through libheif, SVG
// through Qt SVG. Every decoder gives a 3-channel bitmap, upright as the file says, with
// transparent parts over white, and decodes at a reduced scale where its format allows.
// Nothing here shows anything, and everything is safe on any thread.

#include "picture/cdibsection.h"
#include "picture/picture_formats.h"

#include <QImage>
#include <QString>

namespace glimmerby {

// Decodes picture data. `wish`, when given, is told the natural (upright) size and answers
// the size the caller will show or scale the picture to: a raster picture then comes out
// no larger than needed to cover it, never larger than natural (a JPEG at the codec's
// nearest scale, other kinds at exactly that size), an SVG drawn at exactly that size. An
// empty answer ends the decode (false, error code 0). `natural` gets the natural size once
// it is known. False, `out` empty and `error` saying why, for data that no decoder takes,
// that is damaged or incomplete, of a side of 0, or over the bitmap's pixel limit.
bool DecodePictureData(const QByteArray &data, cDIBSection &out, const SizeWish &wish = {},
                       QSize *natural = nullptr, DecodeError *error = nullptr);

// The same for a regular file of at most 1 GiB, read into `buffer` when given (its memory
// is kept from call to call).
bool DecodePictureFile(const QString &path, cDIBSection &out, const SizeWish &wish = {},
                       QSize *natural = nullptr, DecodeError *error = nullptr,
                       QByteArray *buffer = nullptr);

// A picture file fitted within maxWidth x maxHeight (keeping its proportions, never
// enlarged), upright, over white; a null image when it cannot be read. `natural` gets
// the picture's own size.
QImage decodeForSize(const QString &path, int maxWidth, int maxHeight, QSize *natural = nullptr);

// The preview's decode of a file of any picture kind for a preview area of `area` (the
// client area less 150 across and 65 down): a JPEG as IJL::JpegReadForDisplay gives it,
// any other kind at the size the preview fits it to. Data whose signature names no kind
// is refused. `natural` gets the picture's size.
bool ReadPictureForDisplay(cDIBSection &dib, const QString &path, QSize area, QSize &natural,
                           QByteArray &buffer, DecodeError *error = nullptr);

// Whether decoding a picture of this name holds the whole picture at full size, many times
// what is shown (HEIF, AVIF, TIFF), by its ending.
bool HoldsWholePicture(const QString &path);

// Whether decoding a picture of this name keeps a second core busy by itself (libwebp
// filters on a thread of its own), by its ending.
bool DecodesOnTwoThreads(const QString &path);

} // namespace glimmerby
