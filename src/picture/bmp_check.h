#pragma once
// A look at a BMP file's headers before it is decoded: the image reader happily makes up
// the pixels of a file whose pixel array lies beyond the end of the file.

#include <QString>

namespace glimmerby {

// True when the file starts with BMP headers that describe a picture of positive size at
// a supported depth and, for uncompressed pictures, the whole pixel array lies inside the
// file (for run-length coded ones, at least its start).
bool BmpFileLooksComplete(const QString &fileName);

} // namespace glimmerby
