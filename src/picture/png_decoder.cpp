#include "picture/png_decoder.h"

#include "picture/exif_orientation.h"
#include "picture/ijl.h"
#include "picture/pixel_reduce.h"
#include "picture/upright.h"

#include <QIODevice>

#include <png.h>

#include <csetjmp>

namespace glimmerby {

namespace {

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    QIODevice *device = nullptr;
    char message[160] = {};
};

void onError(png_structp png, png_const_charp text) {
    auto *reader = static_cast<PngReader *>(png_get_error_ptr(png));
    qstrncpy(reader->message, text ? text : "error", sizeof reader->message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {
    // A damaged ancillary chunk is passed over, as every viewer does.
}

void onRead(png_structp png, png_bytep data, size_t length) {
    auto *reader = static_cast<PngReader *>(png_get_io_ptr(png));
    if (reader->device->read(reinterpret_cast<char *>(data), qint64(length)) != qint64(length))
        png_error(png, "the file ends early");
}

// libpng reports failures by a long jump: each call into it comes back through the jump
// point set here, in frames that hold nothing to be destroyed.
bool readHeader(PngReader &r) {
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_read_info(r.png, r.info);
    return true;
}

bool askForEightBitRgb(PngReader &r) {
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_set_expand(r.png);   // a palette, grey below 8 bits and tRNS to 8-bit RGB(A)
    png_set_scale_16(r.png); // 16 bits to 8, rounded
    png_set_gray_to_rgb(r.png);
    png_read_update_info(r.png, r.info);
    return true;
}

bool readRow(PngReader &r, unsigned char *row) {
    if (setjmp(png_jmpbuf(r.png)))
        return false;
    png_read_row(r.png, row, nullptr);
    return true;
}

QString Message(const PngReader &r) {
    return QStringLiteral("libpng: ") + QString::fromLatin1(r.message);
}

} // namespace

bool DecodePngByRows(QIODevice &device, int orientation, cDIBSection &out, const SizeWish &wish,
                     QSize *natural, DecodeError &error, bool &handled) {
    handled = false;
    out.CleanUp();
    PngReader r;
    r.device = &device;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, onError, onWarning);
    if (!r.png)
        return false;
    r.info = png_create_info_struct(r.png);
    struct Release {
        PngReader &r;
        ~Release() { png_destroy_read_struct(&r.png, r.info ? &r.info : nullptr, nullptr); }
    } release{r};
    if (!r.info)
        return false;
    png_set_read_fn(r.png, &r, onRead);
    // The size is checked below against the pixel limit, not libpng's own.
    png_set_user_limits(r.png, 0x7fffffff, 0x7fffffff);
    if (!readHeader(r)) {
        handled = true;
        return error.set(JpegCode::NotJpeg, Message(r));
    }
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(r.png, r.info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    if (interlace != PNG_INTERLACE_NONE)
        return false;
    handled = true;
    if (width == 0 || height == 0)
        return error.set(JpegCode::BadSize, QStringLiteral("libpng: the picture has no size"));
    if (!cDIBSection::SizeAcceptable(width, height, 4))
        return error.set(JpegCode::TooLarge, QStringLiteral("libpng: the picture is too large"));
    const QSize stored{int(width), int(height)};
    const QSize wanted = WishedSize(wish, UprightSize(stored, orientation), natural);
    if (wanted.isEmpty())
        return error.set(JpegCode::Ok, QString());
    const QSize reduced = ReducedSize(stored, UprightSize(wanted, orientation));
    if (!askForEightBitRgb(r))
        return error.set(JpegCode::DecodeFailed, Message(r));
    const int channels = png_get_channels(r.png, r.info);
    if ((channels != 3 && channels != 4) ||
        png_get_rowbytes(r.png, r.info) != std::size_t(width) * std::size_t(channels))
        return error.set(JpegCode::Unsupported, QStringLiteral("libpng: unexpected pixels"));
    RowReducer reducer;
    if (!reducer.start(stored.width(), stored.height(),
                       channels == 4 ? PixelLayout::Rgba : PixelLayout::Rgb, reduced.width(),
                       reduced.height()))
        return error.set(JpegCode::TooLarge, QStringLiteral("libpng: out of memory"));
    for (png_uint_32 y = 0; y < height; ++y) {
        if (!readRow(r, reducer.nextRow()))
            return error.set(JpegCode::DecodeFailed, Message(r));
        reducer.rowDone();
    }
    cDIBSection decoded;
    if (!reducer.finish(decoded) || !MakeUpright(decoded, orientation))
        return error.set(JpegCode::TooLarge, QStringLiteral("libpng: out of memory"));
    out.Swap(decoded);
    return true;
}

} // namespace glimmerby
