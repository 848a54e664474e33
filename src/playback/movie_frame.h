#pragma once
// One frame of a movie, for its thumbnail: taken by libffmpegthumbnailer (which demuxes
// and decodes with FFmpeg) at about a tenth of the movie's length, with no video output.
// Window-free; each call is independent, so workers may call it side by side.

#include <QImage>
#include <QString>

namespace glimmerby {

// The frame fitted into longSide x longSide (aspect kept), or a null image when the file
// cannot be read as a movie.
QImage MovieFrame(const QString &path, int longSide);

} // namespace glimmerby
