#include "browser/thumbnail_maker.h"

#include "browser/media_kinds.h"
#include "picture/picture_scale.h"
#include "picture/silent_loader.h"
#include "playback/movie_frame.h"

#include <algorithm>
#include <cmath>

namespace glimmerby {

CellKind cellKindOf(const QString &path) {
    const QString key = endingKey(path);
    if (key == QLatin1String(".mid") || key == QLatin1String(".rmi") ||
        key == QLatin1String("midi"))
        return CellKind::Midi;
    // The large player plays these sounds too, but they have no picture to show.
    static const char *const soundsInMoviePlayer[] = {".mp3", ".wma", ".ogg", "flac",
                                                      ".m4a", "opus", ".aac"};
    for (const char *sound : soundsInMoviePlayer)
        if (key == QLatin1String(sound))
            return CellKind::Sound;
    switch (classify(path, KindPlace::ClickPreview)) {
    case MediaKind::Movie:
        return CellKind::Movie;
    case MediaKind::Sound:
        return CellKind::Sound;
    case MediaKind::Picture:
        return CellKind::Picture;
    case MediaKind::Unrecognized:
        break;
    }
    return CellKind::Other;
}

QSize fittedSize(QSize natural, int longSide) {
    if (natural.isEmpty() || longSide <= 0)
        return {};
    const int w = natural.width(), h = natural.height();
    if (w <= longSide && h <= longSide)
        return natural;
    if (w >= h)
        return {longSide, std::max(1, int(std::lround(double(h) * longSide / w)))};
    return {std::max(1, int(std::lround(double(w) * longSide / h))), longSide};
}

static MadeThumbnail pictureThumbnail(const QString &path, int longSide) {
    MadeThumbnail made;
    cDIBSection decoded;
    // The loader is told the size wanted and decodes a JPEG at the smallest DCT scale
    // that still covers it.
    const auto target = [longSide](QSize natural) { return fittedSize(natural, longSide); };
    if (!LoadPictureSilently(path, decoded, target, &made.natural))
        return made;
    const QSize size = fittedSize(QSize(decoded.dib_width(), decoded.dib_height()), longSide);
    if (size != QSize(decoded.dib_width(), decoded.dib_height())) {
        cDIBSection scaled;
        if (!ScalePicture(decoded, scaled, size.width(), size.height()))
            return made;
        decoded.Swap(scaled);
    }
    made.image = decoded.UprightImage().convertToFormat(QImage::Format_RGB32);
    return made;
}

MadeThumbnail makeThumbnail(const QString &path, CellKind kind, int longSide) {
    if (kind == CellKind::Picture)
        return pictureThumbnail(path, longSide);
    MadeThumbnail made;
    if (kind != CellKind::Movie)
        return made;
    QImage frame = MovieFrame(path, longSide);
    if (frame.isNull())
        return made;
    const QSize size = fittedSize(frame.size(), longSide);
    if (size != frame.size())
        frame = frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    made.image = frame.convertToFormat(QImage::Format_RGB32);
    return made;
}

} // namespace glimmerby
