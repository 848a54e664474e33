#pragma once
// Sizes and scaling of the picture pipeline's "Restrict size To:" and thumbnails.

#include "picture/cdibsection.h"

#include <QSize>
#include <QString>

namespace glimmerby {

// The long side a thumbnail gets while the modification toggle is off.
inline constexpr int ThumbLongSide = 79;
// No side of a written picture may be longer than this.
inline constexpr int MaxSide = 65535;

// The number at the start of the size field's text (blanks, a sign, digits and a
// fraction; 0 when there is none) plus 4: " 640" and "640px" give 644, "abc" and "" give 4.
double RestrictSizeFromText(const QString &text);

// The size a W x H picture is scaled to for the long side L: W > H gives L by L*H/W,
// otherwise L*W/H by L; each rounded half up and at least 1. QSize(0, 0) when L rounds
// below 1 (nothing can be written); QSize(-1, -1) for a size too big to be written (more
// than cDIBSection::MaxPixels pixels or a side over MaxSide).
QSize ResizeTarget(QSize natural, double longSide);
// Whether ResizeTarget's answer is one that may be written.
inline bool TargetWritable(QSize target) {
    return target.width() > 0 && target.height() > 0;
}

// Scales `source` into a fresh `destination` of width x height with the source's channel
// count: each shrunk axis by the coverage-weighted average of the source pixels a target
// pixel covers, each enlarged axis bilinearly. False (and empty) when the size is not
// acceptable or memory is short.
bool ScalePicture(const cDIBSection &source, cDIBSection &destination, int width, int height);

} // namespace glimmerby
