#pragma once
// Turns a bitmap decoded as stored into the picture as it is meant to be seen, following
// the EXIF Orientation (1 to 8): an exact remap of whole pixels (mirror, turn, transpose),
// nothing resampled.

#include "picture/cdibsection.h"

namespace glimmerby {

// Remaps the bitmap in place for the orientation; 1 and anything outside 2..8 leave it as
// it is. Orientations 5 to 8 swap its width and height. False (bitmap unchanged) only
// when the memory for the remapped copy cannot be had.
bool MakeUpright(cDIBSection &dib, int orientation);

} // namespace glimmerby
