#include "picture/silent_loader.h"

#include "picture/bmp_check.h"
#include "picture/classic_decoders.h"
#include "picture/ijl.h"
#include "picture/picture_decoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cstring>
#include <gif_lib.h>

namespace glimmerby {

namespace {

std::uint32_t Le16(const QByteArray &b, qsizetype at) {
    return std::uint8_t(b[at]) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}

std::uint32_t Le32(const QByteArray &b, qsizetype at) {
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

bool Wanted(const std::function<QSize(QSize)> &target, QSize natural, QSize *out) {
    if (out)
        *out = natural;
    return !target || !target(natural).isEmpty();
}

} // namespace

// Keeps B, G, R of a 4-channel bitmap.
bool ToThreeChannels(cDIBSection &dib) {
    if (dib.dib_channels() == 3)
        return true;
    cDIBSection three;
    if (!three.Create(dib.dib_width(), dib.dib_height(), 3))
        return false;
    for (std::int32_t y = 0; y < dib.dib_height(); ++y) {
        const unsigned char *s = dib.TopRow(y);
        unsigned char *d = three.TopRow(y);
        for (std::int32_t x = 0; x < dib.dib_width(); ++x, s += 4, d += 3)
            std::memcpy(d, s, 3);
    }
    dib.Swap(three);
    return true;
}

// An uncompressed 24-bit BMP with the plain 40-byte header: its rows already are the
// bitmap's layout (B, G, R, bottom-up, padded to 4 bytes).
bool LoadPlainBmp(const QByteArray &data, cDIBSection &out, bool &handled,
                  const std::function<QSize(QSize)> &target, QSize *natural) {
    handled = false;
    if (data.size() < 54 || Le32(data, 14) != 40 || Le16(data, 28) != 24 || Le32(data, 30) != 0)
        return false;
    handled = true;
    const std::int64_t width = std::int32_t(Le32(data, 18));
    std::int64_t height = std::int32_t(Le32(data, 22));
    const bool topDown = height < 0;
    height = topDown ? -height : height;
    const std::int64_t offset = Le32(data, 10);
    if (width <= 0 || height <= 0 || !cDIBSection::SizeAcceptable(width, height, 3))
        return false;
    const std::int64_t row = (width * 3 + 3) & ~std::int64_t(3);
    if (offset < 54 || offset + row * height > data.size())
        return false;
    if (!Wanted(target, QSize(int(width), int(height)), natural))
        return false;
    if (!out.Create(std::int32_t(width), std::int32_t(height), 3))
        return false;
    const char *pixels = data.constData() + offset;
    if (!topDown) {
        std::memcpy(out.DIBSectionBitsPtr(), pixels, std::size_t(row * height));
    } else {
        for (std::int32_t y = 0; y < height; ++y)
            std::memcpy(out.TopRow(y), pixels + row * y, std::size_t(row));
    }
    return true;
}

namespace {

struct GifReader {
    const QByteArray &data;
    qsizetype at = 0;
    static int Read(GifFileType *gif, GifByteType *buffer, int length) {
        auto *self = static_cast<GifReader *>(gif->UserData);
        const qsizetype n = std::min<qsizetype>(length, self->data.size() - self->at);
        std::memcpy(buffer, self->data.constData() + self->at, std::size_t(n));
        self->at += n;
        return int(n);
    }
};

} // namespace

// GIF through giflib: the first frame on the logical screen, transparent and uncovered
// parts white.

bool LoadGif(const QByteArray &data, cDIBSection &out, const std::function<QSize(QSize)> &target,
             QSize *natural) {
    GifReader reader{data};
    int error = 0;
    GifFileType *gif = DGifOpen(&reader, &GifReader::Read, &error);
    if (!gif)
        return false;
    struct Closer {
        GifFileType *gif;
        ~Closer() {
            int e = 0;
            DGifCloseFile(gif, &e);
        }
    } closer{gif};

    const int width = gif->SWidth, height = gif->SHeight;
    if (width <= 0 || height <= 0 || !cDIBSection::SizeAcceptable(width, height, 3))
        return false;
    int transparent = -1;
    for (;;) {
        GifRecordType type{};
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == TERMINATE_RECORD_TYPE)
            return false; // no picture at all
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR)
                return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4 && (ext[1] & 1))
                transparent = ext[4];
            while (ext) {
                if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR)
                    return false;
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR)
            return false;
        break;
    }
    const GifImageDesc &desc = gif->Image;
    const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0 ||
        desc.Left + desc.Width > width || desc.Top + desc.Height > height)
        return false;
    if (!Wanted(target, QSize(width, height), natural))
        return false;
    if (!out.Create(width, height, 3))
        return false;
    for (std::int32_t y = 0; y < height; ++y)
        std::memset(out.TopRow(y), 0xff, std::size_t(width) * 3);

    // The colour of each index, white for the transparent one and for indexes past the map.
    unsigned char bgr[256][3];
    std::memset(bgr, 0xff, sizeof bgr);
    for (int i = 0; i < std::min(256, map->ColorCount); ++i) {
        if (i == transparent)
            continue;
        bgr[i][0] = map->Colors[i].Blue;
        bgr[i][1] = map->Colors[i].Green;
        bgr[i][2] = map->Colors[i].Red;
    }
    std::vector<GifPixelType> line(std::size_t(desc.Width));
    const auto putLine = [&](int y) {
        unsigned char *d = out.TopRow(desc.Top + y) + std::ptrdiff_t(desc.Left) * 3;
        for (int x = 0; x < desc.Width; ++x, d += 3)
            std::memcpy(d, bgr[line[std::size_t(x)]], 3);
    };
    if (desc.Interlace) {
        static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < desc.Height; y += step[pass]) {
                if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) {
                    out.CleanUp();
                    return false;
                }
                putLine(y);
            }
    } else {
        for (int y = 0; y < desc.Height; ++y) {
            if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) {
                out.CleanUp();
                return false;
            }
            putLine(y);
        }
    }
    return true;
}

// Any other kind through the image reader, with its memory limit set to what the picture
// needs before anything is decoded.
bool LoadOther(QByteArray data, const char *format, cDIBSection &out,
               const std::function<QSize(QSize)> &target, QSize *natural) {
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(format == nullptr);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() ||
        !cDIBSection::SizeAcceptable(size.width(), size.height(), 4))
        return false;
    if (!Wanted(target, size, natural))
        return false;
    reader.setAllocationLimit(int((std::int64_t(size.width()) * size.height() * 8 >> 20) + 16));
    QImage image = reader.read();
    if (image.isNull() || image.size() != size)
        return false;
    if (image.hasAlphaChannel()) {
        // Transparent parts over white.
        image = image.convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            return false;
        for (int y = 0; y < image.height(); ++y) {
            auto *p = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int a = qAlpha(p[x]);
                const auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
                p[x] = qRgb(over(qRed(p[x])), over(qGreen(p[x])), over(qBlue(p[x])));
            }
        }
    }
    return out.SetFromImage(image, 3);
}

bool LoadPictureSilently(const QString &path, cDIBSection &out,
                         const std::function<QSize(QSize)> &target, QSize *natural) {
    return DecodePictureFile(path, out, target, natural);
}

} // namespace glimmerby
