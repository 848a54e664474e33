#include "picture/webp_decoder.h"

#include "picture/exif_orientation.h"
#include "picture/ijl.h"
#include "picture/pixel_reduce.h"
#include "picture/upright.h"

#include <cstring>
#include <memory>
#include <webp/decode.h>
#include <webp/demux.h>

namespace glimmerby {

namespace {

struct DemuxDelete {
    void operator()(WebPDemuxer *demux) const { WebPDemuxDelete(demux); }
};

QString StatusText(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return QStringLiteral("WebP: out of memory");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return QStringLiteral("WebP: unsupported feature");
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return QStringLiteral("WebP: the picture data ends too early");
    default:
        return QStringLiteral("WebP: the picture data is damaged");
    }
}

int OrientationOf(WebPDemuxer *demux) {
    if (!(WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & EXIF_FLAG))
        return 1;
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux, "EXIF", 1, &chunk))
        return 1;
    const int orientation = TiffExifOrientation(chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return orientation;
}

} // namespace

bool DecodeWebp(const QByteArray &data, cDIBSection &out, const SizeWish &wish, QSize *natural,
                DecodeError &error) {
    out.CleanUp();
    const WebPData whole{reinterpret_cast<const uint8_t *>(data.constData()),
                         std::size_t(data.size())};
    const std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemux(&whole));
    if (!demux)
        return error.set(JpegCode::NotJpeg, QStringLiteral("WebP: not a complete WebP file"));
    const int width = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    const int height = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    if (width <= 0 || height <= 0)
        return error.set(JpegCode::BadSize, QStringLiteral("WebP: the picture has no size"));
    if (!cDIBSection::SizeAcceptable(width, height, 4))
        return error.set(JpegCode::TooLarge, QStringLiteral("WebP: the picture is too large"));
    const int orientation = OrientationOf(demux.get());
    const QSize wanted = WishedSize(wish, UprightSize(QSize(width, height), orientation), natural);
    if (wanted.isEmpty())
        return error.set(JpegCode::Ok, QString());

    // The first frame; a still picture is its own one frame.
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame))
        return error.set(JpegCode::NotJpeg, QStringLiteral("WebP: the file holds no picture"));
    struct FrameRelease {
        WebPIterator *frame;
        ~FrameRelease() { WebPDemuxReleaseIterator(frame); }
    } release{&frame};

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return error.set(JpegCode::InitFailed, QStringLiteral("WebP: decoder version mismatch"));
    const uint8_t *bytes = frame.fragment.bytes;
    const std::size_t size = frame.fragment.size;
    if (const VP8StatusCode status = WebPGetFeatures(bytes, size, &config.input))
        return error.set(JpegCode::NotJpeg, StatusText(status));
    // A frame that fills the canvas (every still picture) is scaled while it is decoded;
    // a smaller first frame of an animation is decoded whole and laid on white.
    const bool fills = frame.x_offset == 0 && frame.y_offset == 0 && frame.width == width &&
                       frame.height == height;
    const QSize stored = fills ? ReducedSize(QSize(width, height), UprightSize(wanted, orientation))
                               : QSize(frame.width, frame.height);
    const bool alpha = config.input.has_alpha;
    cDIBSection decoded;
    if (!decoded.Create(stored.width(), stored.height(), alpha ? 4 : 3))
        return error.set(JpegCode::TooLarge, QStringLiteral("WebP: out of memory"));
    if (stored != QSize(frame.width, frame.height)) {
        config.options.use_scaling = 1;
        config.options.scaled_width = stored.width();
        config.options.scaled_height = stored.height();
    }
    config.options.use_threads = 1;
    config.options.flip = 1; // the bitmap's rows run bottom-up
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = decoded.DIBSectionBitsPtr();
    config.output.u.RGBA.stride = decoded.BytesPerScanLine();
    config.output.u.RGBA.size = std::size_t(decoded.ImageSize());
    const VP8StatusCode status = WebPDecode(bytes, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        return error.set(JpegCode::DecodeFailed, StatusText(status));

    if (alpha || !fills) {
        cDIBSection flat;
        const PixelRows rows{decoded.TopRow(0), -std::ptrdiff_t(decoded.BytesPerScanLine()),
                             decoded.dib_width(), decoded.dib_height(),
                             alpha ? PixelLayout::Bgra : PixelLayout::Bgr};
        if (!ReducePixels(rows, flat))
            return error.set(JpegCode::TooLarge, QStringLiteral("WebP: out of memory"));
        decoded.Swap(flat);
    }
    if (!fills) {
        cDIBSection canvas;
        if (!canvas.Create(width, height, 3))
            return error.set(JpegCode::TooLarge, QStringLiteral("WebP: out of memory"));
        for (int y = 0; y < height; ++y)
            std::memset(canvas.TopRow(y), 0xff, std::size_t(width) * 3);
        for (int y = 0; y < frame.height && frame.y_offset + y < height; ++y)
            std::memcpy(canvas.TopRow(frame.y_offset + y) + std::ptrdiff_t(frame.x_offset) * 3,
                        decoded.TopRow(y),
                        std::size_t(std::min(frame.width, width - frame.x_offset)) * 3);
        const QSize reduced = ReducedSize(QSize(width, height), UprightSize(wanted, orientation));
        if (reduced != QSize(width, height)) {
            const PixelRows rows{canvas.TopRow(0), -std::ptrdiff_t(canvas.BytesPerScanLine()),
                                 width, height, PixelLayout::Bgr};
            if (!ReducePixels(rows, decoded, reduced.width(), reduced.height()))
                return error.set(JpegCode::TooLarge, QStringLiteral("WebP: out of memory"));
        } else {
            decoded.Swap(canvas);
        }
    }
    if (!MakeUpright(decoded, orientation))
        return error.set(JpegCode::TooLarge, QStringLiteral("WebP: out of memory"));
    out.Swap(decoded);
    return true;
}

} // namespace glimmerby
