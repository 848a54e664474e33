#pragma once
// What a picture file holds, told by its first bytes rather than by its name, and what the
// decoders of the picture kinds share: the size the caller asks for and why a decode failed.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>

namespace glimmerby {

enum class PictureFormat { Unknown, Jpeg, Bmp, Gif, Png, Webp, Tiff, Heif, Svg };

// The format of picture data by its signature (an SVG by its first element).
PictureFormat SniffPicture(const QByteArray &data);

// Told the picture's natural size (as it is seen, upright), answers the size the caller
// will show or scale it to; an empty answer stops the decode.
using SizeWish = std::function<QSize(QSize)>;

// Why a picture did not decode: one of the codec's codes and the decoder's own words.
struct DecodeError {
    int code = 0;
    QString message;
    bool set(int c, const QString &m) {
        code = c;
        message = m;
        return false;
    }
};

// The size a decoder aims at: what `wish` answers for the upright natural size, or the
// natural size itself without a wish. `natural` is told the natural size first.
QSize WishedSize(const SizeWish &wish, QSize upright, QSize *natural);

// `wanted` as far as a raster picture of `size` serves it: never larger than the picture.
QSize ReducedSize(QSize size, QSize wanted);

} // namespace glimmerby
