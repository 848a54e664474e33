#include "picture/heif_decoder.h"

#include "picture/ijl.h"
#include "picture/pixel_reduce.h"

#include <libheif/heif.h>
#include <memory>
#include <thread>

namespace glimmerby {

namespace {

struct HeifFree {
    void operator()(heif_context *c) const { heif_context_free(c); }
    void operator()(const heif_image_handle *h) const { heif_image_handle_release(h); }
    void operator()(const heif_image *i) const { heif_image_release(i); }
    void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
};

QString Message(const heif_error &e) {
    return QStringLiteral("libheif: ") + QString::fromUtf8(e.message ? e.message : "error");
}

} // namespace

bool DecodeHeif(const QByteArray &data, cDIBSection &out, const SizeWish &wish, QSize *natural,
                DecodeError &error) {
    out.CleanUp();
    const std::unique_ptr<heif_context, HeifFree> context(heif_context_alloc());
    if (!context)
        return error.set(JpegCode::InitFailed, QStringLiteral("libheif: out of memory"));
    heif_error e = heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                              std::size_t(data.size()), nullptr);
    if (e.code != heif_error_Ok)
        return error.set(JpegCode::NotJpeg, Message(e));
    heif_context_set_max_decoding_threads(context.get(),
                                          int(std::max(1u, std::thread::hardware_concurrency())));
    heif_image_handle *rawHandle = nullptr;
    e = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    const std::unique_ptr<const heif_image_handle, HeifFree> handle(rawHandle);
    if (e.code != heif_error_Ok)
        return error.set(JpegCode::NotJpeg, Message(e));
    // The size as seen: libheif gives it with the file's turns already applied.
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0)
        return error.set(JpegCode::BadSize, QStringLiteral("libheif: the picture has no size"));
    if (!cDIBSection::SizeAcceptable(width, height, 4))
        return error.set(JpegCode::TooLarge, QStringLiteral("libheif: the picture is too large"));
    const QSize wanted = WishedSize(wish, QSize(width, height), natural);
    if (wanted.isEmpty())
        return error.set(JpegCode::Ok, QString());

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    const std::unique_ptr<heif_decoding_options, HeifFree> options(heif_decoding_options_alloc());
    if (options)
        options->convert_hdr_to_8bit = 1;
    heif_image *rawImage = nullptr;
    e = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          options.get());
    const std::unique_ptr<const heif_image, HeifFree> image(rawImage);
    if (e.code != heif_error_Ok || !image)
        return error.set(JpegCode::DecodeFailed, Message(e));
    int stride = 0;
    const uint8_t *plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || w <= 0 || h <= 0 ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8)
        return error.set(JpegCode::Unsupported, QStringLiteral("libheif: unexpected pixels"));
    const QSize reduced = ReducedSize(QSize(w, h), wanted);
    const PixelRows rows{plane, stride, w, h, alpha ? PixelLayout::Rgba : PixelLayout::Rgb};
    if (!ReducePixels(rows, out, reduced.width(), reduced.height()))
        return error.set(JpegCode::TooLarge, QStringLiteral("libheif: out of memory"));
    return true;
}

} // namespace glimmerby
