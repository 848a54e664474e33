#pragma once
// Test pictures written byte by byte, and a look into the JPEG files the codec writes.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace glimmerby::testing {

// A Windows BMP (BITMAPINFOHEADER, uncompressed, bottom-up) of the picture at 1, 4, 8,
// 16 (5-5-5), 24 or 32 bits per pixel. For 1 to 8 bits the picture may hold at most
// 2^bits colours.
QByteArray MakeBmp(const QImage &picture, int bits);

bool WriteFile(const QString &path, const QByteArray &bytes);
QByteArray ReadFile(const QString &path);

// Offset of the first segment with this marker (0xC0 for SOF0...) or -1.
int FindSegment(const QByteArray &jpeg, unsigned char marker);
// Component count and the sampling byte (horizontal << 4 | vertical) of each component,
// from the first SOF0/SOF1/SOF2 segment.
struct FrameInfo {
    int width = 0, height = 0, components = 0;
    QList<int> sampling;
};
FrameInfo ReadFrame(const QByteArray &jpeg);

// An APP1 "Exif" segment whose IFD0 holds only the Orientation tag, in Intel ("II") or
// Motorola ("MM") byte order, put right after the JPEG's start marker.
QByteArray WithExifOrientation(const QByteArray &jpeg, int orientation, bool bigEndian);

// A w x h JPEG stored with four solid quadrants: red top left, green top right, blue
// bottom left, white bottom right.
QByteArray MakeQuadrantJpeg(int width, int height);
// The colours seen at the four corners of an upright picture, as letters R, G, B, W (and
// ? for anything else), in the order top left, top right, bottom left, bottom right.
QString CornerColours(const QImage &picture, int inset = 2);
// What CornerColours gives for the quadrant picture stored with this orientation.
QString ExpectedCorners(int orientation);

} // namespace glimmerby::testing
