#pragma once
// A look at a BMP file's headers before it is decoded: the image reader happily makes up
// the pixels of a file whose pixel array lies beyond the end of the file.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <cstdint>

namespace glimmerby {

// The picture size given by the file's BMP headers when they describe a picture of
// positive size at a supported depth and, for uncompressed pictures, the whole pixel array
// lies inside the file (for run-length coded ones, at least its start); otherwise an
// invalid size.
QSize CheckedBmpSize(const QString &fileName);
// The same for a file of `fileSize` bytes that starts with `head` (54 bytes or more).
QSize CheckedBmpSize(const QByteArray &head, std::int64_t fileSize);

} // namespace glimmerby
