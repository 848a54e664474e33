#include "picture/hevc_decoder.h"

#include "picture/cdibsection.h"

#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace glimmerby {

namespace {

// libheif hands over the stream as NAL units, each after a 4-byte big-endian length; the
// decoder takes them after start codes.
struct Decoder {
    std::vector<std::uint8_t> annexB;
};

heif_error Ok() {
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

heif_error Failed(const char *message) {
    return {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, message};
}

const char *PluginName() {
    return "libavcodec HEVC";
}

int Supports(heif_compression_format format) {
    return format == heif_compression_HEVC ? 200 : 0; // above libde265's 100
}

heif_error NewDecoder(void **decoder) {
    *decoder = new (std::nothrow) Decoder;
    return *decoder ? Ok() : Failed("out of memory");
}

void FreeDecoder(void *decoder) {
    delete static_cast<Decoder *>(decoder);
}

heif_error PushData(void *decoder, const void *data, std::size_t size) {
    auto &stream = static_cast<Decoder *>(decoder)->annexB;
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    static const std::uint8_t startCode[] = {0, 0, 0, 1};
    for (std::size_t at = 0; at < size;) {
        if (size - at < 4)
            return Failed("a NAL unit's length is cut short");
        const std::size_t length = std::size_t(bytes[at]) << 24 | std::size_t(bytes[at + 1]) << 16 |
                                   std::size_t(bytes[at + 2]) << 8 | bytes[at + 3];
        at += 4;
        if (length > size - at)
            return Failed("a NAL unit runs past its data");
        stream.insert(stream.end(), startCode, startCode + 4);
        stream.insert(stream.end(), bytes + at, bytes + at + length);
        at += length;
    }
    return Ok();
}

struct AvFree {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
    void operator()(AVFrame *f) const { av_frame_free(&f); }
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};

std::unique_ptr<AVFrame, AvFree> DecodeFrame(std::vector<std::uint8_t> &stream) {
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_HEVC);
    if (!codec)
        return {};
    std::unique_ptr<AVCodecContext, AvFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVPacket, AvFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, AvFree> frame(av_frame_alloc());
    if (!context || !packet || !frame)
        return {};
    context->thread_count = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    context->thread_type = FF_THREAD_SLICE;   // one picture: only its wavefronts run side by side
    context->err_recognition = AV_EF_EXPLODE; // damaged data fails rather than being concealed
    context->max_pixels = cDIBSection::MaxPixels;
    context->log_level_offset = AV_LOG_DEBUG - AV_LOG_ERROR; // a failure is reported by libheif
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return {};
    const std::size_t size = stream.size();
    stream.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    packet->data = stream.data();
    packet->size = int(std::min<std::size_t>(size, INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE));
    if (avcodec_send_packet(context.get(), packet.get()) < 0 ||
        avcodec_send_packet(context.get(), nullptr) < 0 ||
        avcodec_receive_frame(context.get(), frame.get()) < 0 || frame->decode_error_flags != 0)
        return {};
    return frame;
}

// The frame's samples in a heif_image of the same layout; null for a layout libheif has no
// place for.
heif_image *ToHeifImage(const AVFrame &frame) {
    const AVPixFmtDescriptor *layout = av_pix_fmt_desc_get(AVPixelFormat(frame.format));
    if (!layout || frame.width <= 0 || frame.height <= 0 ||
        (layout->flags & (AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_RGB |
                          AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_ALPHA)))
        return nullptr;
    const int planes = layout->nb_components;
    const int depth = layout->comp[0].depth;
    if ((planes != 1 && planes != 3) || depth < 8 || depth > 16)
        return nullptr;
    for (int i = 0; i < planes; ++i)
        if (layout->comp[i].depth != depth || layout->comp[i].plane != i)
            return nullptr;
    heif_chroma chroma = heif_chroma_monochrome;
    if (planes == 3) {
        if (layout->log2_chroma_w == 0 && layout->log2_chroma_h == 0)
            chroma = heif_chroma_444;
        else if (layout->log2_chroma_w == 1 && layout->log2_chroma_h == 0)
            chroma = heif_chroma_422;
        else if (layout->log2_chroma_w == 1 && layout->log2_chroma_h == 1)
            chroma = heif_chroma_420;
        else
            return nullptr;
    }
    heif_image *image = nullptr;
    if (heif_image_create(frame.width, frame.height,
                          planes == 1 ? heif_colorspace_monochrome : heif_colorspace_YCbCr, chroma,
                          &image)
            .code != heif_error_Ok)
        return nullptr;
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const int sampleBytes = depth > 8 ? 2 : 1;
    for (int i = 0; i < planes; ++i) {
        const int shiftW = i == 0 ? 0 : layout->log2_chroma_w;
        const int shiftH = i == 0 ? 0 : layout->log2_chroma_h;
        const int width = -((-frame.width) >> shiftW), height = -((-frame.height) >> shiftH);
        int stride = 0;
        std::uint8_t *to = nullptr;
        if (heif_image_add_plane(image, channels[i], width, height, depth).code == heif_error_Ok)
            to = heif_image_get_plane(image, channels[i], &stride);
        if (!to) {
            heif_image_release(image);
            return nullptr;
        }
        const std::uint8_t *from = frame.data[i];
        for (int y = 0; y < height; ++y)
            std::memcpy(to + std::ptrdiff_t(y) * stride,
                        from + std::ptrdiff_t(y) * frame.linesize[i],
                        std::size_t(width) * sampleBytes);
    }
    // No colour description is attached, as libheif's own HEVC decoding attaches none: the
    // colours stay those every other program on this system shows.
    return image;
}

heif_error DecodeImage(void *decoder, heif_image **out) {
    *out = nullptr;
    auto &stream = static_cast<Decoder *>(decoder)->annexB;
    std::unique_ptr<AVFrame, AvFree> frame = DecodeFrame(stream);
    std::vector<std::uint8_t>().swap(stream); // the compressed data is not held beside the copy
    if (!frame)
        return {heif_error_Decoder_plugin_error, heif_suberror_Unspecified,
                "the HEVC data cannot be decoded"};
    *out = ToHeifImage(*frame);
    return *out ? Ok() : Failed("the HEVC picture's layout is not supported");
}

void SetStrictDecoding(void *, int) {}

const heif_decoder_plugin Plugin = {
    3,
    PluginName,
    nullptr,
    nullptr,
    Supports,
    NewDecoder,
    FreeDecoder,
    PushData,
    DecodeImage,
    SetStrictDecoding,
    "glimmerby-libavcodec",
};

} // namespace

void UseLibavcodecForHevc(heif_context *context) {
    heif_register_decoder(context, &Plugin);
}

} // namespace glimmerby
