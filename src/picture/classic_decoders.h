#pragma once
// The decoders of the program's first picture kinds besides JPEG: BMP, GIF and whatever
// else Qt's image reader takes, each into a 3-channel bitmap. Used by DecodePictureData.

#include "picture/cdibsection.h"

#include <QByteArray>
#include <QSize>
#include <functional>

namespace glimmerby {

// Keeps B, G, R of a 4-channel bitmap.
bool ToThreeChannels(cDIBSection &dib);

// An uncompressed 24-bit BMP with the plain 40-byte header, copied as it is. `handled` is
// false for any other BMP, which the reader then takes.
bool LoadPlainBmp(const QByteArray &data, cDIBSection &out, bool &handled,
                  const std::function<QSize(QSize)> &target, QSize *natural);

// GIF through giflib: the first frame, transparent and uncovered parts white.
bool LoadGif(const QByteArray &data, cDIBSection &out, const std::function<QSize(QSize)> &target,
             QSize *natural);

// Through the image reader (`format` null: told by the content), at full size.
bool LoadOther(QByteArray data, const char *format, cDIBSection &out,
               const std::function<QSize(QSize)> &target, QSize *natural);

} // namespace glimmerby
