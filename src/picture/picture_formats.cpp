#include "picture/picture_formats.h"

#include <algorithm>
#include <cstring>
#include <libheif/heif.h>

namespace glimmerby {

namespace {

bool StartsWith(const QByteArray &data, const char *signature, qsizetype length, qsizetype at = 0) {
    return data.size() >= at + length && std::memcmp(data.constData() + at, signature, length) == 0;
}

// An XML document whose first element is <svg>: a byte-order mark, blanks, the XML
// declaration, comments and a DOCTYPE may come first.
bool LooksLikeSvg(const QByteArray &data) {
    const QByteArray head = data.left(4096);
    qsizetype at = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (;;) {
        while (at < head.size() && std::strchr(" \t\r\n", head[at]))
            ++at;
        if (at >= head.size() || head[at] != '<')
            return false;
        const QByteArray rest = head.mid(at);
        if (rest.startsWith("<svg") && rest.size() > 4 && std::strchr(" \t\r\n>", rest[4]))
            return true;
        const char *end = rest.startsWith("<!--") ? "-->" : ">";
        if (!(rest.startsWith("<?") || rest.startsWith("<!")))
            return false;
        const qsizetype close = head.indexOf(end, at + 2);
        if (close < 0)
            return false;
        at = close + qsizetype(std::strlen(end));
    }
}

} // namespace

PictureFormat SniffPicture(const QByteArray &data) {
    if (StartsWith(data, "\xFF\xD8\xFF", 3))
        return PictureFormat::Jpeg;
    if (StartsWith(data, "\x89PNG\r\n\x1A\n", 8))
        return PictureFormat::Png;
    if (StartsWith(data, "GIF87a", 6) || StartsWith(data, "GIF89a", 6))
        return PictureFormat::Gif;
    if (StartsWith(data, "BM", 2))
        return PictureFormat::Bmp;
    if (StartsWith(data, "RIFF", 4) && StartsWith(data, "WEBP", 4, 8))
        return PictureFormat::Webp;
    // Classic and big TIFF, either byte order.
    if (StartsWith(data, "II*\0", 4) || StartsWith(data, "MM\0*", 4) ||
        StartsWith(data, "II+\0", 4) || StartsWith(data, "MM\0+", 4))
        return PictureFormat::Tiff;
    if (StartsWith(data, "ftyp", 4, 4)) {
        // An ISO media file: a picture only when its brands name HEIF (HEIC and AVIF among
        // them); movies (MP4, MOV, 3GP) carry the same box.
        const heif_filetype_result kind =
            heif_check_filetype(reinterpret_cast<const uint8_t *>(data.constData()),
                                int(std::min<qsizetype>(data.size(), 4096)));
        if (kind == heif_filetype_yes_supported || kind == heif_filetype_yes_unsupported)
            return PictureFormat::Heif;
        return PictureFormat::Unknown;
    }
    if (LooksLikeSvg(data))
        return PictureFormat::Svg;
    return PictureFormat::Unknown;
}

QSize WishedSize(const SizeWish &wish, QSize upright, QSize *natural) {
    if (natural)
        *natural = upright;
    return wish ? wish(upright) : upright;
}

QSize ReducedSize(QSize size, QSize wanted) {
    if (wanted.width() >= size.width() || wanted.height() >= size.height())
        return size;
    return QSize(std::max(1, wanted.width()), std::max(1, wanted.height()));
}

} // namespace glimmerby
