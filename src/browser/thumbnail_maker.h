#pragma once
// Makes one thumbnail: a picture decoded at the smallest scale that still covers the
// thumbnail (TurboJPEG's DCT scaling for JPEG), shown upright; a movie by a frame from
// about a tenth of its length. Sounds get an icon instead and are never decoded here.
// Window-free and free of shared state: workers call it side by side.

#include <QImage>
#include <QSize>
#include <QString>

namespace glimmerby {

// What a cell of the grid shows for a file, decided by its ending.
enum class CellKind { Picture, Movie, Sound, Midi, Other };
CellKind cellKindOf(const QString &path);
// Whether a thumbnail is made (and cached) for files of this kind.
inline bool isThumbnailed(CellKind kind) {
    return kind == CellKind::Picture || kind == CellKind::Movie;
}

struct MadeThumbnail {
    QImage image;  // null when the file could not be read
    QSize natural; // the picture's own size, when known
};

// The thumbnail of path fitted into longSide x longSide (never enlarged).
MadeThumbnail makeThumbnail(const QString &path, CellKind kind, int longSide);

// The size a natural size takes when fitted into longSide x longSide, never enlarged;
// each side at least 1.
QSize fittedSize(QSize natural, int longSide);

} // namespace glimmerby
