#include "picture/picture_decoder.h"

#include "app/file_ops.h"
#include "picture/bmp_check.h"
#include "picture/classic_decoders.h"
#include "picture/heif_decoder.h"
#include "picture/ijl.h"
#include "picture/image_reader_decoder.h"
#include "picture/picture_fitting.h"
#include "picture/picture_scale.h"
#include "picture/svg_decoder.h"
#include "picture/webp_decoder.h"

#include <QFile>
#include <QFileInfo>

#include <malloc.h>

namespace glimmerby {

namespace {

constexpr qint64 MaxFileBytes = qint64(1) << 30;

bool ReadWholeFile(const QString &path, QByteArray &bytes, DecodeError &error) {
    // Only a regular file: a FIFO or a device would block the read.
    QFile file(path);
    if (!IsRegularFile(path) || !file.open(QIODevice::ReadOnly))
        return error.set(JpegCode::FileUnreadable, QStringLiteral("The file cannot be read"));
    const qint64 size = file.size();
    if (size <= 0 || size > MaxFileBytes)
        return error.set(JpegCode::FileUnreadable, size <= 0
                                                       ? QStringLiteral("The file is empty")
                                                       : QStringLiteral("The file is too large"));
    if (bytes.capacity() / 4 > size)
        bytes = QByteArray(); // far too large a buffer is not held on to
    bytes.resize(size);
    if (file.read(bytes.data(), size) != size)
        return error.set(JpegCode::FileUnreadable, QStringLiteral("The file cannot be read"));
    return true;
}

// The first picture kinds keep their decoders; their failures have no words of their own.
bool DecodeClassic(PictureFormat format, const QByteArray &data, cDIBSection &out,
                   const SizeWish &wish, QSize *natural, DecodeError &error) {
    QSize seen;
    const auto stopped = [&] { return !seen.isEmpty() && wish && wish(seen).isEmpty(); };
    bool ok = false;
    switch (format) {
    case PictureFormat::Jpeg: {
        const auto wanted = [&](QSize n) {
            seen = n;
            return wish ? wish(n) : n;
        };
        ok = IJL::JpegReadScaled(out, reinterpret_cast<const unsigned char *>(data.constData()),
                                 std::size_t(data.size()), wanted) &&
             ToThreeChannels(out);
        break;
    }
    case PictureFormat::Bmp: {
        bool handled = false;
        ok = LoadPlainBmp(data, out, handled, wish, &seen);
        // Other depths and headers: the reader, once the headers promise a whole picture.
        if (!handled && CheckedBmpSize(data.left(54), data.size()).isValid())
            ok = LoadOther(data, "bmp", out, wish, &seen);
        break;
    }
    case PictureFormat::Gif:
        ok = LoadGif(data, out, wish, &seen);
        break;
    default:
        ok = LoadOther(data, nullptr, out, wish, &seen);
        break;
    }
    if (natural && seen.isValid())
        *natural = seen;
    if (ok)
        return true;
    out.CleanUp();
    if (stopped())
        return error.set(JpegCode::Ok, QString());
    if (!seen.isValid())
        return error.set(JpegCode::NotJpeg, QStringLiteral("No decoder takes this data"));
    return error.set(JpegCode::DecodeFailed, QStringLiteral("The picture data is damaged"));
}

} // namespace

bool DecodePictureData(const QByteArray &data, cDIBSection &out, const SizeWish &wish,
                       QSize *natural, DecodeError *error) {
    DecodeError ignored;
    DecodeError &why = error ? *error : ignored;
    why = DecodeError();
    out.CleanUp();
    bool ok = false;
    switch (const PictureFormat format = SniffPicture(data)) {
    case PictureFormat::Png:
        ok = DecodeWithImageReader(data, "png", out, wish, natural, why);
        break;
    case PictureFormat::Tiff:
        ok = DecodeWithImageReader(data, "tiff", out, wish, natural, why);
        break;
    case PictureFormat::Webp:
        ok = DecodeWebp(data, out, wish, natural, why);
        break;
    case PictureFormat::Heif:
        ok = DecodeHeif(data, out, wish, natural, why);
        break;
    case PictureFormat::Svg:
        ok = DecodeSvg(data, out, wish, natural, why);
        break;
    default:
        ok = DecodeClassic(format, data, out, wish, natural, why);
        break;
    }
    if (ok && !out.IsEmpty())
        return true;
    out.CleanUp();
    return false;
}

bool DecodePictureFile(const QString &path, cDIBSection &out, const SizeWish &wish, QSize *natural,
                       DecodeError *error, QByteArray *buffer) {
    out.CleanUp();
    DecodeError ignored;
    DecodeError &why = error ? *error : ignored;
    why = DecodeError();
    {
        // PNG and TIFF are read from the file itself: a large TIFF is not held twice.
        QFile file(path);
        if (IsRegularFile(path) && file.open(QIODevice::ReadOnly)) {
            const PictureFormat format = SniffPicture(file.peek(16));
            if (format == PictureFormat::Png || format == PictureFormat::Tiff) {
                const bool ok = DecodeWithImageReader(
                    file, format == PictureFormat::Png ? "png" : "tiff", out, wish, natural, why);
                if (!ok)
                    out.CleanUp();
                return ok && !out.IsEmpty();
            }
        }
    }
    QByteArray own;
    QByteArray &bytes = buffer ? *buffer : own;
    if (!ReadWholeFile(path, bytes, why))
        return false;
    return DecodePictureData(bytes, out, wish, natural, error);
}

QImage decodeForSize(const QString &path, int maxWidth, int maxHeight, QSize *natural) {
    if (maxWidth <= 0 || maxHeight <= 0)
        return {};
    const auto within = [&](QSize n) {
        return n.scaled(QSize(maxWidth, maxHeight).boundedTo(n), Qt::KeepAspectRatio)
            .expandedTo(QSize(1, 1));
    };
    cDIBSection dib;
    QSize seen;
    if (!DecodePictureFile(path, dib, within, &seen))
        return {};
    if (natural)
        *natural = seen;
    // A JPEG comes at the codec's nearest scale: the last step is the pipeline's scaler.
    const QSize fit = within(seen);
    if (QSize(dib.dib_width(), dib.dib_height()) != fit) {
        cDIBSection exact;
        if (!ScalePicture(dib, exact, fit.width(), fit.height()))
            return {};
        dib.Swap(exact);
    }
    return dib.UprightImage();
}

namespace {

bool ReadForDisplay(cDIBSection &dib, const QString &path, QSize area, QSize &natural,
                    QByteArray &buffer, DecodeError *error) {
    DecodeError ignored;
    DecodeError &why = error ? *error : ignored;
    why = DecodeError();
    {
        QFile file(path);
        if (!IsRegularFile(path) || !file.open(QIODevice::ReadOnly))
            return why.set(JpegCode::FileUnreadable, QStringLiteral("The file cannot be read"));
        switch (SniffPicture(file.read(4096))) {
        case PictureFormat::Jpeg:
            if (IJL::JpegReadForDisplay(dib, path, area, natural, buffer))
                return true;
            return why.set(JpegCode::DecodeFailed, QStringLiteral("The JPEG data is damaged"));
        case PictureFormat::Unknown:
            // Only the kinds told by their signature: the image reader's guesses (a TGA,
            // a WBMP) would take almost any data for a picture.
            return why.set(JpegCode::NotJpeg, QStringLiteral("No decoder takes this data"));
        default:
            break;
        }
    }
    dib.Release();
    cDIBSection decoded;
    const auto fitted = [&](QSize n) { return fittedSize(n, area); };
    if (!DecodePictureFile(path, decoded, fitted, &natural, &why, &buffer))
        return false;
    dib.Swap(decoded);
    return true;
}

} // namespace

bool ReadPictureForDisplay(cDIBSection &dib, const QString &path, QSize area, QSize &natural,
                           QByteArray &buffer, DecodeError *error) {
    const bool ok = ReadForDisplay(dib, path, area, natural, buffer, error);
    // The buffer spares a step the page faults of reading into fresh memory; for the file
    // of a large picture that is little beside its decode, and not worth holding its
    // memory while the user looks at it.
    constexpr qsizetype HeldBytes = qsizetype(8) << 20;
    if (buffer.capacity() > HeldBytes)
        buffer = QByteArray();
    // The C library keeps freed blocks in the heap of the thread that freed them, for the
    // next ones. Left there, the hundreds of megabytes of a whole-picture decode stay
    // resident beside the next one on another thread; they go back to the system now.
    if (HoldsWholePicture(path))
        malloc_trim(0);
    return ok;
}

bool HoldsWholePicture(const QString &path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("heic") || suffix == QLatin1String("heif") ||
           suffix == QLatin1String("avif") || suffix == QLatin1String("tif") ||
           suffix == QLatin1String("tiff");
}

bool DecodesOnTwoThreads(const QString &path) {
    return QFileInfo(path).suffix().compare(QLatin1String("webp"), Qt::CaseInsensitive) == 0;
}

} // namespace glimmerby
