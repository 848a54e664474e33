#pragma once
// Test pictures written byte by byte, and a look into JPEG files.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace glimmerby::testing {

// An uncompressed bottom-up Windows BMP at 1, 4 or 8 bits (at most 2^bits colours), 16
// (5-5-5), 24 or 32 bits per pixel.
QByteArray MakeBmp(const QImage &picture, int bits);

bool WriteFile(const QString &path, const QByteArray &bytes);
QByteArray ReadFile(const QString &path);

// Offset of the first segment with this marker (0xC0 for SOF0...) before the scan, or -1.
int FindSegment(const QByteArray &jpeg, unsigned char marker);
// The JPEG with an APP1 "Exif" segment holding only IFD0's Orientation, in Motorola ("MM")
// or Intel ("II") byte order, right after its start marker.
QByteArray WithExifOrientation(const QByteArray &jpeg, int orientation, bool bigEndian);
// A w x h JPEG of four quadrants: red top left, green top right, blue bottom left, white.
QByteArray MakeQuadrantJpeg(int width, int height);
// The corners as letters R, G, B, W or ?: top left, top right, bottom left, bottom right.
QString CornerColours(const QImage &picture, int inset = 2);
// What CornerColours gives for the quadrant picture stored with this orientation.
QString ExpectedCorners(int orientation);

} // namespace glimmerby::testing
