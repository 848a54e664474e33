#include "picture/heif_decoder.h"

#include "picture/hevc_decoder.h"
#include "picture/ijl.h"
#include "picture/pixel_reduce.h"

#include <libheif/heif.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

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

// The red and blue weights and the range of the decoded YCbCr, taken as libheif's own
// conversion takes them: from the colour description the codec attached to the picture,
// BT.601 at full range without one. False for a matrix not handled here (RGB stored as
// is, YCgCo, matrices derived from the primaries), which libheif converts itself.
bool MatrixOf(const heif_image *image, PlanarYCbCr &planes) {
    heif_color_profile_nclx *nclx = nullptr;
    if (heif_image_get_nclx_color_profile(image, &nclx).code != heif_error_Ok || !nclx)
        return true; // the defaults of PlanarYCbCr
    const int matrix = nclx->matrix_coefficients;
    planes.fullRange = nclx->full_range_flag != 0;
    heif_nclx_color_profile_free(nclx);
    switch (matrix) {
    case heif_matrix_coefficients_ITU_R_BT_709_5:
        planes.kr = 0.2126;
        planes.kb = 0.0722;
        return true;
    case heif_matrix_coefficients_ITU_R_BT_470_6_System_B_G:
    case heif_matrix_coefficients_ITU_R_BT_601_6:
        planes.kr = 0.299;
        planes.kb = 0.114;
        return true;
    case heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance:
        planes.kr = 0.2627;
        planes.kb = 0.0593;
        return true;
    default:
        return false;
    }
}

// The common photo, 8-bit YCbCr without transparency, decoded as the codec gives it and
// reduced before it becomes RGB: a full-size RGB copy of a 24-megapixel picture is 72 MB
// and its conversion a tenth of the decode. Null when the picture is of another sort.
const heif_image *DecodePlanes(const heif_image_handle *handle,
                               const heif_decoding_options *options, PlanarYCbCr &planes,
                               heif_error &e) {
    if (heif_image_handle_has_alpha_channel(handle) ||
        heif_image_handle_get_luma_bits_per_pixel(handle) != 8 ||
        heif_image_handle_get_chroma_bits_per_pixel(handle) != 8)
        return nullptr;
    heif_image *image = nullptr;
    e = heif_decode_image(handle, &image, heif_colorspace_YCbCr, heif_chroma_420, options);
    if (e.code != heif_error_Ok || !image)
        return nullptr;
    if (!MatrixOf(image, planes)) {
        heif_image_release(image); // rare enough to decode once more, as RGB
        return nullptr;
    }
    int yStride = 0, cbStride = 0, crStride = 0;
    planes.y = heif_image_get_plane_readonly(image, heif_channel_Y, &yStride);
    planes.cb = heif_image_get_plane_readonly(image, heif_channel_Cb, &cbStride);
    planes.cr = heif_image_get_plane_readonly(image, heif_channel_Cr, &crStride);
    planes.yStride = yStride;
    planes.cbStride = cbStride;
    planes.crStride = crStride;
    planes.width = heif_image_get_width(image, heif_channel_Y);
    planes.height = heif_image_get_height(image, heif_channel_Y);
    planes.chromaWidth = std::min(heif_image_get_width(image, heif_channel_Cb),
                                  heif_image_get_width(image, heif_channel_Cr));
    planes.chromaHeight = std::min(heif_image_get_height(image, heif_channel_Cb),
                                   heif_image_get_height(image, heif_channel_Cr));
    if (!planes.y || !planes.cb || !planes.cr || planes.width <= 0 || planes.height <= 0) {
        heif_image_release(image); // not the planes asked for: libheif's RGB instead
        return nullptr;
    }
    return image;
}

// The small copy of the picture that the file may carry (phones store one of about 320 x
// 240) when it serves wanted as well as the picture would: at least that large, of the
// same shape (one the picture was turned or cropped without is passed over) and
// transparent where the picture is. Decoding it
// is a hundredth of the work; libheif's own desktop thumbnailer uses it the same way.
const heif_image_handle *SmallCopyFor(const heif_image_handle *handle, QSize wanted) {
    const int count = heif_image_handle_get_number_of_thumbnails(handle);
    if (count <= 0)
        return nullptr;
    std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
    ids.resize(static_cast<std::size_t>(
        std::max(0, heif_image_handle_get_list_of_thumbnail_IDs(handle, ids.data(), count))));
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    const std::int64_t width = heif_image_handle_get_width(handle);
    const std::int64_t height = heif_image_handle_get_height(handle);
    const heif_image_handle *best = nullptr;
    std::int64_t bestPixels = 0;
    for (const heif_item_id id : ids) {
        heif_image_handle *small = nullptr;
        if (heif_image_handle_get_thumbnail(handle, id, &small).code != heif_error_Ok || !small)
            continue;
        const std::int64_t w = heif_image_handle_get_width(small);
        const std::int64_t h = heif_image_handle_get_height(small);
        const bool serves = w >= wanted.width() && h >= wanted.height() && w < width;
        const bool sameShape = std::abs(w * height - h * width) <= width + height;
        const bool sameParts = !alpha || heif_image_handle_has_alpha_channel(small);
        if (serves && sameShape && sameParts && (!best || w * h < bestPixels)) {
            if (best)
                heif_image_handle_release(best);
            best = small;
            bestPixels = w * h;
        } else {
            heif_image_handle_release(small);
        }
    }
    return best;
}

// Decodes one picture of the file into out, reduced towards wanted.
bool DecodeItem(const heif_image_handle *handle, QSize wanted, cDIBSection &out,
                DecodeError &error) {
    heif_error e{heif_error_Ok, heif_suberror_Unspecified, ""};
    const std::unique_ptr<heif_decoding_options, HeifFree> options(heif_decoding_options_alloc());
    if (options)
        options->convert_hdr_to_8bit = 1;
    PlanarYCbCr planes;
    // Should the codec's pixels not come as planes after all, libheif's RGB is tried.
    const std::unique_ptr<const heif_image, HeifFree> planar(
        DecodePlanes(handle, options.get(), planes, e));
    if (planar) {
        const QSize reduced = ReducedSize(QSize(planes.width, planes.height), wanted);
        if (!ReducePlanes(planes, out, reduced.width(), reduced.height()))
            return error.set(JpegCode::TooLarge, QStringLiteral("libheif: out of memory"));
        return true;
    }
    if (e.code != heif_error_Ok) // the data itself failed: it would fail as RGB all the same
        return error.set(JpegCode::DecodeFailed, Message(e));

    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    heif_image *rawImage = nullptr;
    e = heif_decode_image(handle, &rawImage, heif_colorspace_RGB,
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

bool Decode(const QByteArray &data, cDIBSection &out, const SizeWish &wish, QSize *natural,
            DecodeError &error, bool libavcodec) {
    out.CleanUp();
    const std::unique_ptr<heif_context, HeifFree> context(heif_context_alloc());
    if (!context)
        return error.set(JpegCode::InitFailed, QStringLiteral("libheif: out of memory"));
    if (libavcodec)
        UseLibavcodecForHevc(context.get());
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

    const std::unique_ptr<const heif_image_handle, HeifFree> small(
        SmallCopyFor(handle.get(), wanted));
    if (small && DecodeItem(small.get(), wanted, out, error))
        return true;
    error = DecodeError(); // a damaged small copy: the picture itself decides
    return DecodeItem(handle.get(), wanted, out, error);
}

} // namespace

bool DecodeHeif(const QByteArray &data, cDIBSection &out, const SizeWish &wish, QSize *natural,
                DecodeError &error) {
    if (Decode(data, out, wish, natural, error, true))
        return true;
    // What libavcodec refuses (a layout it gives no planes for, data it finds damaged) is
    // left to libheif's own decoder, which then gives the verdict.
    if (error.code != JpegCode::DecodeFailed)
        return false;
    error = DecodeError();
    return Decode(data, out, wish, natural, error, false);
}

} // namespace glimmerby
