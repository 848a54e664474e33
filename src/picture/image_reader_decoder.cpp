#include "picture/image_reader_decoder.h"

#include "picture/exif_orientation.h"
#include "picture/ijl.h"
#include "picture/pixel_reduce.h"
#include "picture/png_decoder.h"
#include "picture/upright.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>
#include <cstring>

namespace glimmerby {

namespace {

std::uint32_t Be32(const unsigned char *p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// The EXIF orientation that undoes the reader's transformation.
int OrientationOf(QImageIOHandler::Transformations t) {
    switch (int(t)) {
    case QImageIOHandler::TransformationMirror:
        return 2;
    case QImageIOHandler::TransformationRotate180:
        return 3;
    case QImageIOHandler::TransformationFlip:
        return 4;
    case QImageIOHandler::TransformationFlipAndRotate90:
        return 5;
    case QImageIOHandler::TransformationRotate90:
        return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return 7;
    case QImageIOHandler::TransformationRotate270:
        return 8;
    default:
        return 1;
    }
}

// The pixel layout of an 8-bit image, converting other formats (deep colour, grey,
// palettes, premultiplied alpha) in place first.
bool LayoutOf(QImage &image, PixelLayout &layout) {
    switch (image.format()) {
    case QImage::Format_RGB32:
        layout = PixelLayout::Bgrx;
        return true;
    case QImage::Format_ARGB32:
        layout = PixelLayout::Bgra;
        return true;
    case QImage::Format_RGB888:
        layout = PixelLayout::Rgb;
        return true;
    case QImage::Format_BGR888:
        layout = PixelLayout::Bgr;
        return true;
    case QImage::Format_RGBX8888:
        layout = PixelLayout::Rgbx;
        return true;
    case QImage::Format_RGBA8888:
        layout = PixelLayout::Rgba;
        return true;
    default:
        break;
    }
    const bool alpha = image.hasAlphaChannel();
    // Deep colour goes to 8 bits in place where Qt can, so the picture is not held twice.
    const bool deep = image.depth() > 32;
    const QImage::Format to = deep ? (alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888)
                                   : (alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.convertTo(to);
    if (image.isNull() || image.format() != to)
        return false;
    return LayoutOf(image, layout);
}

} // namespace

int PngExifOrientation(QIODevice &device) {
    // Chunks after the signature: length, type, data, CRC. Only their headers are read.
    const qint64 size = device.size();
    for (qint64 at = 8; at + 12 <= size;) {
        unsigned char head[8];
        if (!device.seek(at) || device.read(reinterpret_cast<char *>(head), 8) != 8)
            return 1;
        const qint64 length = Be32(head);
        if (length > size - at - 12)
            return 1;
        if (std::memcmp(head + 4, "eXIf", 4) == 0) {
            if (length > (qint64(1) << 20))
                return 1;
            const QByteArray block = device.read(length);
            return TiffExifOrientation(reinterpret_cast<const unsigned char *>(block.constData()),
                                       std::size_t(block.size()));
        }
        if (std::memcmp(head + 4, "IEND", 4) == 0)
            return 1;
        at += length + 12;
    }
    return 1;
}

bool DecodeWithImageReader(const QByteArray &data, const char *format, cDIBSection &out,
                           const SizeWish &wish, QSize *natural, DecodeError &error) {
    QBuffer buffer;
    buffer.setData(data); // shares the bytes
    buffer.open(QIODevice::ReadOnly);
    return DecodeWithImageReader(buffer, format, out, wish, natural, error);
}

bool DecodeWithImageReader(QIODevice &device, const char *format, cDIBSection &out,
                           const SizeWish &wish, QSize *natural, DecodeError &error) {
    out.CleanUp();
    int orientation = 1;
    if (qstrcmp(format, "png") == 0) {
        orientation = PngExifOrientation(device);
        device.seek(0);
        bool handled = false;
        const bool ok = DecodePngByRows(device, orientation, out, wish, natural, error, handled);
        if (handled)
            return ok;
        device.seek(0); // an interlaced one: Qt's reader
    }
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(format == nullptr);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false); // turned here, after any reduction: cheaper
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return error.set(JpegCode::NotJpeg, QStringLiteral("Qt: ") + reader.errorString());
    if (!cDIBSection::SizeAcceptable(stored.width(), stored.height(), 4))
        return error.set(JpegCode::TooLarge, QStringLiteral("Qt: the picture is too large"));
    if (qstrcmp(format, "png") != 0)
        orientation = OrientationOf(reader.transformation());
    const QSize wanted = WishedSize(wish, UprightSize(stored, orientation), natural);
    if (wanted.isEmpty())
        return error.set(JpegCode::Ok, QString());
    // Qt refuses pictures over 128 MB by default: a 24-megapixel picture of 16-bit
    // channels needs more. Its own size is allowed, within the pixel limit checked above.
    reader.setAllocationLimit(int((std::int64_t(stored.width()) * stored.height() * 8 >> 20) + 16));
    const QSize reduced = ReducedSize(stored, UprightSize(wanted, orientation));
    // Qt's PNG reader brings the rows down as it reads them: the whole picture is never
    // held at full size.
    QSize read = stored;
    // Not a palette PNG: Qt 6.4 reads one with partly transparent colours wrongly when it
    // scales (those colours come out opaque), and such pictures are small anyway.
    const QImage::Format stores = reader.imageFormat();
    const bool palette = stores == QImage::Format_Indexed8 || stores == QImage::Format_Mono ||
                         stores == QImage::Format_MonoLSB;
    if (qstrcmp(format, "png") == 0 && reduced != stored && !palette &&
        reader.supportsOption(QImageIOHandler::ScaledSize)) {
        reader.setScaledSize(reduced);
        read = reduced;
    }
    QImage image = reader.read();
    if (image.isNull())
        return error.set(JpegCode::DecodeFailed, QStringLiteral("Qt: ") + reader.errorString());
    if (image.size() != read)
        return error.set(JpegCode::DecodeFailed, QStringLiteral("Qt: the picture is incomplete"));
    PixelLayout layout;
    if (!LayoutOf(image, layout))
        return error.set(JpegCode::TooLarge, QStringLiteral("Qt: out of memory"));
    const PixelRows rows{image.constBits(), image.bytesPerLine(), image.width(), image.height(),
                         layout};
    cDIBSection decoded;
    if (!ReducePixels(rows, decoded, reduced.width(), reduced.height()))
        return error.set(JpegCode::TooLarge, QStringLiteral("Qt: out of memory"));
    image = QImage();
    if (!MakeUpright(decoded, orientation))
        return error.set(JpegCode::TooLarge, QStringLiteral("Qt: out of memory"));
    out.Swap(decoded);
    return true;
}

} // namespace glimmerby
