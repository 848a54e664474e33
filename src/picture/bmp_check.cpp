#include "picture/bmp_check.h"

#include "app/file_ops.h"

#include <QFile>
#include <cstdint>

namespace glimmerby {

namespace {

std::uint32_t U16(const QByteArray &b, int at) {
    return std::uint8_t(b[at]) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}

std::uint32_t U32(const QByteArray &b, int at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

} // namespace

QSize CheckedBmpSize(const QString &fileName) {
    QFile file(fileName);
    if (!IsRegularFile(fileName) || !file.open(QIODevice::ReadOnly))
        return {};
    const std::int64_t fileSize = file.size();
    return CheckedBmpSize(file.read(54), fileSize);
}

QSize CheckedBmpSize(const QByteArray &head, std::int64_t fileSize) {
    if (head.size() < 26 || head[0] != 'B' || head[1] != 'M')
        return {};
    const std::int64_t offset = U32(head, 10);
    const std::uint32_t headerSize = U32(head, 14);

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    if (headerSize == 12) { // OS/2 core header
        width = U16(head, 18);
        height = U16(head, 20);
        bits = U16(head, 24);
    } else if (headerSize >= 16 && head.size() >= 30) {
        width = std::int32_t(U32(head, 18));
        height = std::int32_t(U32(head, 22));
        bits = U16(head, 28);
        compression = head.size() >= 34 ? U32(head, 30) : 0;
    } else {
        return {};
    }
    if (height < 0)
        height = -height; // a top-down picture
    if (width <= 0 || height <= 0 || width > 0x7fffffff || height > 0x7fffffff)
        return {};
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return {};
    if (offset < 14 + std::int64_t(headerSize) || offset >= fileSize)
        return {};
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    const QSize size{int(width), int(height)};
    if (!uncompressed)
        return size;
    const std::int64_t rowBytes = (width * bits + 31) / 32 * 4;
    return offset + rowBytes * height <= fileSize ? size : QSize();
}

} // namespace glimmerby
