#include "picture/cdibsection.h"

#include "app/message_boxes.h"
#include "picture/bmp_check.h"

#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace glimmerby {

namespace {

QImage::Format MemoryFormat(std::int32_t channels) {
    // 32-bit pixels are B, G, R, A in memory, which is QImage's 0xAARRGGBB on a
    // little-endian machine. Alpha is not drawn, as a block transfer would not either.
    return channels == 3 ? QImage::Format_BGR888 : QImage::Format_RGB32;
}

} // namespace

std::int32_t cDIBSection::ScanLineBytes(std::int32_t width, std::int32_t channels) {
    if (width <= 0)
        return 0;
    const std::int64_t bytes =
        (std::int64_t(width) * (channels == 3 ? 3 : 4) + 3) & ~std::int64_t(3);
    return bytes > std::numeric_limits<std::int32_t>::max() ? 0 : std::int32_t(bytes);
}

bool cDIBSection::SizeAcceptable(std::int64_t width, std::int64_t height, std::int32_t channels) {
    if (width <= 0 || height <= 0 || width > std::numeric_limits<std::int32_t>::max() ||
        height > std::numeric_limits<std::int32_t>::max())
        return false;
    if (width * height > MaxPixels)
        return false;
    const std::int64_t row = ScanLineBytes(std::int32_t(width), channels);
    return row > 0 && std::uint64_t(row * height) <= std::numeric_limits<std::size_t>::max();
}

bool cDIBSection::Create(std::int32_t width, std::int32_t height, std::int32_t channels) {
    CleanUp();
    if (!SizeAcceptable(width, height, channels))
        return false;
    const std::int32_t stored = channels == 3 ? 3 : 4;
    const std::size_t size = std::size_t(ScanLineBytes(width, stored)) * std::size_t(height);
    // Zero-filled: the row padding must never carry stale bytes into a file.
    bits_.reset(new (std::nothrow) unsigned char[size]());
    if (!bits_)
        return false;
    capacity_ = size;
    width_ = width;
    height_ = height;
    channels_ = stored;
    return true;
}

void cDIBSection::Release() {
    if (bits_) {
        spare_ = std::move(bits_);
        spareCapacity_ = capacity_;
    }
    capacity_ = 0;
    width_ = 0;
    height_ = 0;
    channels_ = 0;
}

bool cDIBSection::Recreate(std::int32_t width, std::int32_t height, std::int32_t channels) {
    Release();
    if (!SizeAcceptable(width, height, channels))
        return false;
    const std::int32_t stored = channels == 3 ? 3 : 4;
    const std::size_t size = std::size_t(ScanLineBytes(width, stored)) * std::size_t(height);
    // Memory more than four times too large goes back rather than being held on to.
    if (!spare_ || spareCapacity_ < size || spareCapacity_ / 4 > size)
        return Create(width, height, channels);
    bits_ = std::move(spare_);
    capacity_ = spareCapacity_;
    spareCapacity_ = 0;
    std::memset(bits_.get(), 0, size); // the row padding must be zero, as in Create
    width_ = width;
    height_ = height;
    channels_ = stored;
    return true;
}

bool cDIBSection::Load(const QString &fileName, MessageBoxes &boxes) {
    CleanUp();
    const auto refuse = [&] {
        boxes.show(QStringLiteral("Can't load BMP image"), ProgramTitle, BoxIcon::None);
        return false;
    };
    // The image reader fills pixels the file does not hold (a pixel offset past the end,
    // a short pixel array) with whatever memory held: check the headers first.
    const QSize expected = CheckedBmpSize(fileName);
    if (!expected.isValid())
        return refuse();

    QImageReader reader(fileName, "bmp");
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (size != expected || !SizeAcceptable(size.width(), size.height(), 4))
        return refuse();
    // Room for the decoded picture at 32 bits per pixel, the reader's own working size.
    reader.setAllocationLimit(int((std::int64_t(size.width()) * size.height() * 4 >> 20) + 16));
    const QImage image = reader.read();
    if (image.isNull())
        return refuse();
    // Only memory can fail from here on; like the other allocation failures, no box.
    return SetFromImage(image, 3);
}

bool cDIBSection::SetFromImage(const QImage &image, std::int32_t channels) {
    CleanUp();
    if (image.isNull())
        return false;
    const std::int32_t stored = channels == 3 ? 3 : 4;
    const QImage::Format format =
        stored == 3 ? QImage::Format_BGR888 : QImage::Format_ARGB32; // keeps alpha
    if (!Create(image.width(), image.height(), stored))
        return false;
    const std::size_t rowBytes = std::size_t(width_) * std::size_t(channels_);
    if (image.format() == format) {
        for (std::int32_t y = 0; y < height_; ++y)
            std::memcpy(TopRow(y), image.constScanLine(y), rowBytes);
        return true;
    }
    // Converted a strip at a time, so a big picture is not held a third time at once.
    const std::int32_t stripRows = std::max<std::int32_t>(1, (4 << 20) / BytesPerScanLine());
    for (std::int32_t top = 0; top < height_; top += stripRows) {
        const std::int32_t rows = std::min(stripRows, height_ - top);
        const QImage strip = image.copy(0, top, width_, rows).convertToFormat(format);
        if (strip.isNull()) {
            CleanUp();
            return false;
        }
        for (std::int32_t y = 0; y < rows; ++y)
            std::memcpy(TopRow(top + y), strip.constScanLine(y), rowBytes);
    }
    return true;
}

unsigned char *cDIBSection::TopRow(std::int32_t y) {
    return bits_.get() + std::size_t(height_ - 1 - y) * std::size_t(BytesPerScanLine());
}

const unsigned char *cDIBSection::TopRow(std::int32_t y) const {
    return bits_.get() + std::size_t(height_ - 1 - y) * std::size_t(BytesPerScanLine());
}

void cDIBSection::PaintPicture(QPainter &painter, int x, int y, int width, int height, int srcX,
                               int srcY) const {
    if (IsEmpty())
        return;
    const QRect wanted(srcX, srcY, width < 0 ? width_ : width, height < 0 ? height_ : height);
    const QRect src = wanted & QRect(0, 0, width_, height_);
    if (src.isEmpty())
        return;
    // The rows are stored bottom-up: draw the memory rows that hold the wanted part
    // through a vertical mirror instead of copying them upright first.
    const QRect memoryRect(src.x(), height_ - src.y() - src.height(), src.width(), src.height());
    const int left = x + (src.x() - srcX);
    const int top = y + (src.y() - srcY);
    painter.save();
    painter.translate(left, top + src.height());
    painter.scale(1, -1);
    painter.drawImage(QPoint(0, 0), MemoryView(), memoryRect);
    painter.restore();
}

void cDIBSection::PaintPicture(QPaintDevice &device, int x, int y, int width, int height, int srcX,
                               int srcY) const {
    QPainter painter(&device);
    PaintPicture(painter, x, y, width, height, srcX, srcY);
}

QImage cDIBSection::MemoryView() const {
    if (IsEmpty())
        return {};
    return QImage(bits_.get(), width_, height_, BytesPerScanLine(), MemoryFormat(channels_));
}

QImage cDIBSection::UprightImage() const {
    if (IsEmpty())
        return {};
    QImage out(width_, height_, MemoryFormat(channels_));
    if (out.isNull())
        return {};
    const std::size_t rowBytes = std::size_t(width_) * std::size_t(channels_);
    for (std::int32_t y = 0; y < height_; ++y) {
        std::memcpy(out.scanLine(y), TopRow(y), rowBytes);
        if (channels_ == 4) {
            // Format_RGB32 wants an opaque alpha byte.
            auto *pixel = reinterpret_cast<QRgb *>(out.scanLine(y));
            for (std::int32_t i = 0; i < width_; ++i)
                pixel[i] |= 0xff000000u;
        }
    }
    return out;
}

void cDIBSection::CleanUp() {
    bits_.reset();
    capacity_ = 0;
    spare_.reset();
    spareCapacity_ = 0;
    width_ = 0;
    height_ = 0;
    channels_ = 0;
}

} // namespace glimmerby
