#pragma once
// Where a picture of a given natural size goes in the preview area.

#include <QRect>

namespace glimmerby {

// Small pictures (both sides under 200) keep their size; larger landscape pictures are
// fitted to the width of the area, portrait and square ones to its height. The result
// is centred between x = 140 and the right edge.
QRect fitPicture(int pictureWidth, int pictureHeight, int scaleWidth, int scaleHeight);

} // namespace glimmerby
