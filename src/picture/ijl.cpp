#include "picture/ijl.h"

#include <algorithm>

#include "app/file_ops.h"
#include "app/message_boxes.h"
#include "picture/exif_orientation.h"
#include "picture/jpeg_markers.h"
#include "picture/upright.h"

#include <QFile>
#include <cerrno>
#include <turbojpeg.h>

namespace glimmerby {

namespace {

// A TurboJPEG handle lives for one codec call only. Every call therefore starts with a
// fresh handle, which also matters after an error: a handle that failed on a header may
// keep reporting that old error on a sound file.
struct HandleCloser {
    void operator()(void *handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFree {
    void operator()(unsigned char *buffer) const { tjFree(buffer); }
};

// Files beyond this are not read into memory; no picture a bitmap can hold needs more.
constexpr qint64 MaxJpegFileBytes = qint64(1) << 30;

// Adobe's CMYK is stored inverted (0 = full ink): R = C*K/255 and so on. A CMYK picture
// without Adobe's marker holds plain ink amounts. Converts in place to B, G, R, 255.
void CmykToBgra(cDIBSection &dib, bool adobeInverted) {
    for (std::int32_t y = 0; y < dib.dib_height(); ++y) {
        unsigned char *p = dib.TopRow(y);
        for (std::int32_t x = 0; x < dib.dib_width(); ++x, p += 4) {
            unsigned c = p[0], m = p[1], yellow = p[2], k = p[3];
            if (!adobeInverted) {
                c = 255 - c;
                m = 255 - m;
                yellow = 255 - yellow;
                k = 255 - k;
            }
            p[0] = static_cast<unsigned char>((yellow * k + 127) / 255);
            p[1] = static_cast<unsigned char>((m * k + 127) / 255);
            p[2] = static_cast<unsigned char>((c * k + 127) / 255);
            p[3] = 255;
        }
    }
}

struct JpegHeader {
    int width = 0;
    int height = 0;
    int channels = 0;    // of the bitmap: 3, or 4 for CMYK pictures
    int pixelFormat = 0; // what the decoder is asked for
};

// Reads the picture's size and colour space: JpegCode::Ok, or why it cannot be decoded
// into a bitmap. Nothing is allocated before the size is known to be acceptable.
int readHeader(tjhandle handle, const unsigned char *data, unsigned long size, JpegHeader &out) {
    int subsampling = 0, colourspace = 0;
    if (size == 0 || size > static_cast<unsigned long>(MaxJpegFileBytes))
        return JpegCode::NotJpeg;
    if (tjDecompressHeader3(handle, data, size, &out.width, &out.height, &subsampling,
                            &colourspace) != 0)
        return JpegCode::NotJpeg;
    if (out.width <= 0 || out.height <= 0)
        return JpegCode::BadSize;
    if (!cDIBSection::SizeAcceptable(out.width, out.height, 4))
        return JpegCode::TooLarge;
    switch (colourspace) {
    case TJCS_GRAY:
    case TJCS_YCbCr:
    case TJCS_RGB:
        out.channels = 3;
        out.pixelFormat = TJPF_BGR;
        return JpegCode::Ok;
    case TJCS_CMYK:
    case TJCS_YCCK:
        // The decoder gives such pictures only as CMYK; they are turned into colour here.
        out.channels = 4;
        out.pixelFormat = TJPF_CMYK;
        return JpegCode::Ok;
    default:
        return JpegCode::Unsupported;
    }
}

} // namespace

IJL::IJL(MessageBoxes &boxes) : boxes_(boxes) {}

IJL::~IJL() = default;

cDIBSection &IJL::WorkDib() {
    if (!workDib_)
        workDib_ = std::make_unique<cDIBSection>();
    return *workDib_;
}

bool IJL::LoadJpegFile(const QString &path) {
    return JpegRead(WorkDib(), path);
}

bool IJL::LoadBmpFile(const QString &path) {
    return WorkDib().Load(path, boxes_);
}

std::int32_t IJL::DibPadBytes(std::int32_t width, std::int32_t channels) {
    const std::int64_t row = std::int64_t(width) * channels;
    return std::int32_t(((row + 3) & ~std::int64_t(3)) - row);
}

void IJL::ReportJpegError(const QString &message, int code) {
    // The prompt's two lines are split by "\n": a lone carriage return does not break a
    // line in a message box here.
    boxes_.show(QStringLiteral("Intel Jpg Load ERROR: \n[%1] - %2").arg(code).arg(message),
                QStringLiteral("Intel(R) JPEG Library"), BoxIcon::Exclamation);
}

bool IJL::JpegRead(cDIBSection &dib, const QString &path) {
    dib.CleanUp();
    QByteArray data;
    if (ReadRegularFile(path, MaxJpegFileBytes, data) != 0 || data.isEmpty()) {
        ReportJpegError(QStringLiteral("FAILED TO READ IMAGE PARAMS"), JpegCode::FileUnreadable);
        return false;
    }
    return JpegReadBuffer(dib, reinterpret_cast<const unsigned char *>(data.constData()),
                          std::size_t(data.size()), path);
}

bool IJL::JpegReadBuffer(cDIBSection &dib, const unsigned char *data, std::size_t size,
                         const QString &name) {
    dib.CleanUp();
    Handle handle(tjInitDecompress());
    if (!handle) {
        ReportJpegError(QStringLiteral("Failed to initialise the IJL library: "),
                        JpegCode::InitFailed);
        return false;
    }

    // Parameter pass: size and colour space, refused before anything is allocated.
    const auto paramsFailed = [&](int code) {
        ReportJpegError(QStringLiteral("FAILED TO READ IMAGE PARAMS"), code);
        return false;
    };
    JpegHeader header;
    if (const int code = readHeader(handle.get(), data, static_cast<unsigned long>(size), header))
        return paramsFailed(code);
    const int width = header.width, height = header.height;
    const int channels = header.channels, pixelFormat = header.pixelFormat;
    if (!dib.Create(width, height, channels))
        return false;

    // The bitmap's rows are bottom-up; BOTTOMUP puts the picture's top row last, so the
    // picture lands upright. Each row is decoded straight into place, padding left zero.
    // LIMITSCANS keeps a hostile progressive file from taking minutes.
    const int status = tjDecompress2(handle.get(), data, static_cast<unsigned long>(size),
                                     dib.DIBSectionBitsPtr(), width, dib.BytesPerScanLine(), height,
                                     pixelFormat, TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS);
    const bool damaged = status != 0 && tjGetErrorCode(handle.get()) == TJERR_WARNING;
    if (channels == 4 && (status == 0 || damaged))
        CmykToBgra(dib, JpegHasAdobeMarker(data, size));
    if (status == 0 || damaged)
        MakeUpright(dib, JpegExifOrientation(data, size));
    if (status == 0)
        return true;
    if (damaged)
        return false; // the part that decoded stays, without a box
    ReportJpegError(QStringLiteral("FAILED TO READ IMAGE DATA. (%1)").arg(name),
                    JpegCode::DecodeFailed);
    return false;
}

bool IJL::JpegReadForDisplay(cDIBSection &dib, const QString &path, QSize target, QSize &natural) {
    QByteArray fileBuffer;
    return JpegReadForDisplay(dib, path, target, natural, fileBuffer);
}

bool IJL::JpegReadForDisplay(cDIBSection &dib, const QString &path, QSize target, QSize &natural,
                             QByteArray &bytes) {
    dib.Release(); // its memory serves the next picture
    // Only a regular file: a FIFO or a device would block the read.
    QFile file(path);
    if (!IsRegularFile(path) || !file.open(QIODevice::ReadOnly) || file.size() <= 0 ||
        file.size() > MaxJpegFileBytes)
        return false;
    const qint64 fileSize = file.size();
    if (bytes.capacity() / 4 > fileSize)
        bytes = QByteArray(); // far too large a buffer is not held on to
    bytes.resize(fileSize);
    if (file.read(bytes.data(), fileSize) != fileSize)
        return false;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto size = static_cast<unsigned long>(bytes.size());
    Handle handle(tjInitDecompress());
    JpegHeader header;
    if (!handle || readHeader(handle.get(), data, size, header) != JpegCode::Ok)
        return false;
    const int width = header.width, height = header.height;
    const int channels = header.channels, pixelFormat = header.pixelFormat;
    // The picture is decoded as stored and turned upright afterwards: the stored picture
    // must cover the target turned the same way.
    const int orientation = JpegExifOrientation(data, size);
    natural = UprightSize(QSize(width, height), orientation);
    target = UprightSize(target, orientation);
    // The factors come largest first; take the last one that still covers the target.
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    int scaledW = width, scaledH = height;
    for (int i = 0; factors && i < count; ++i) {
        const int w = TJSCALED(width, factors[i]), h = TJSCALED(height, factors[i]);
        if (w < std::max(1, target.width()) || h < std::max(1, target.height()))
            continue;
        if (qint64(w) * h < qint64(scaledW) * scaledH) {
            scaledW = w;
            scaledH = h;
        }
    }
    if (!dib.Recreate(scaledW, scaledH, channels))
        return false;
    const int status = tjDecompress2(handle.get(), data, size, dib.DIBSectionBitsPtr(), scaledW,
                                     dib.BytesPerScanLine(), scaledH, pixelFormat,
                                     TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS);
    if (status != 0) {
        dib.CleanUp();
        return false;
    }
    if (channels == 4)
        CmykToBgra(dib, JpegHasAdobeMarker(data, size));
    if (!MakeUpright(dib, orientation)) {
        dib.CleanUp();
        return false;
    }
    return true;
}

bool IJL::JpegReadScaled(cDIBSection &dib, const unsigned char *data, std::size_t size,
                         const std::function<QSize(QSize)> &target) {
    dib.CleanUp();
    Handle handle(tjInitDecompress());
    JpegHeader header;
    if (!handle || size > std::size_t(MaxJpegFileBytes) ||
        readHeader(handle.get(), data, static_cast<unsigned long>(size), header) != JpegCode::Ok)
        return false;
    const int width = header.width, height = header.height;
    // The caller sizes the picture as it is seen; the decoder works on it as stored.
    const int orientation = JpegExifOrientation(data, size);
    QSize wanted(width, height);
    if (target) {
        wanted = UprightSize(target(UprightSize(wanted, orientation)), orientation);
        if (wanted.isEmpty())
            return false;
    }
    // The factors come largest first; take the smallest result that still covers.
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    int scaledW = width, scaledH = height;
    for (int i = 0; factors && i < count; ++i) {
        const int w = TJSCALED(width, factors[i]), h = TJSCALED(height, factors[i]);
        if (w < wanted.width() || h < wanted.height() || factors[i].num > factors[i].denom)
            continue;
        if (qint64(w) * h < qint64(scaledW) * scaledH) {
            scaledW = w;
            scaledH = h;
        }
    }
    if (!dib.Create(scaledW, scaledH, header.channels))
        return false;
    const int status = tjDecompress2(
        handle.get(), data, static_cast<unsigned long>(size), dib.DIBSectionBitsPtr(), scaledW,
        dib.BytesPerScanLine(), scaledH, header.pixelFormat, TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS);
    if (status != 0) {
        dib.CleanUp();
        return false;
    }
    if (header.channels == 4)
        CmykToBgra(dib, JpegHasAdobeMarker(data, size));
    if (!MakeUpright(dib, orientation)) {
        dib.CleanUp();
        return false;
    }
    return true;
}

bool IJL::JpegWrite(const cDIBSection &dib, const QString &path, int quality) {
    return JpegWriteFile(dib, path, quality, true) == JpegCode::Ok;
}

int IJL::JpegWriteFile(const cDIBSection &dib, const QString &path, int quality, bool replace) {
    Handle handle(tjInitCompress());
    if (!handle) {
        ReportJpegError(QStringLiteral("Failed to initialise the IJL library"),
                        JpegCode::InitFailed);
        return JpegCode::InitFailed;
    }
    const auto failed = [&](int code) {
        ReportJpegError(QStringLiteral("Failed to save to JPG"), code);
        return code;
    };
    if (dib.IsEmpty())
        return failed(JpegCode::EmptyBitmap);

    // A 4-channel bitmap is saved as an ordinary colour JPEG without its alpha bytes:
    // a four-component file would read back as CMYK everywhere else.
    const int pixelFormat = dib.dib_channels() == 3 ? TJPF_BGR : TJPF_BGRX;
    unsigned char *jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int status = tjCompress2(handle.get(), dib.DIBSectionBitsPtr(), dib.dib_width(),
                                   dib.BytesPerScanLine(), dib.dib_height(), pixelFormat, &jpeg,
                                   &jpegSize, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
    const std::unique_ptr<unsigned char, BufferFree> owned(jpeg);
    if (status != 0 || !jpeg)
        return failed(JpegCode::EncodeFailed);
    const int error = ReplaceFileContents(path, jpeg, jpegSize,
                                          replace ? ReplaceMode::Replace : ReplaceMode::NoReplace);
    if (error == EEXIST && !replace)
        return JpegCode::NameTaken;
    if (error != 0)
        return failed(JpegCode::WriteFailed);
    return JpegCode::Ok;
}

} // namespace glimmerby
