#pragma once
// Where a picture of a given natural size goes in the preview area.

#include <QRect>
#include <QSize>

namespace glimmerby {

// Small pictures (both sides under 200) keep their size; larger landscape pictures are
// fitted to the width of the area, portrait and square ones to its height. The result
// is centred between x = 140 and the right edge.
QRect fitPicture(int pictureWidth, int pictureHeight, int scaleWidth, int scaleHeight);

// The size fitPicture gives a picture of `natural` size when the area for large pictures is
// `area` (the client area less 150 across and 65 down), at least 1 x 1: the size a picture
// is decoded or drawn at for the preview.
QSize fittedSize(QSize natural, QSize area);

} // namespace glimmerby
