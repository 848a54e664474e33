#pragma once
// The program's one bitmap: uncompressed pixels in memory of its own that the codec
// decodes into, encodes from and the preview paints.
//
// Layout of the pixel memory (everything that touches the pixels relies on it):
//  - 3 channels: 24 bits per pixel, bytes B, G, R; any other channel count: 32 bits per
//    pixel, bytes B, G, R, A.
//  - Rows run bottom-up: the first row in memory is the bottom row of the picture.
//  - Every row is padded with zero bytes to a multiple of 4 bytes (BytesPerScanLine).

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <utility>

class QPainter;
class QPaintDevice;

namespace glimmerby {

class MessageBoxes;

class cDIBSection {
  public:
    // Bigger pictures are refused before anything is allocated: 2^28 pixels is already a
    // gigabyte of 32-bit pixels.
    static constexpr std::int64_t MaxPixels = std::int64_t(1) << 28;

    cDIBSection() = default;
    cDIBSection(const cDIBSection &) = delete;
    cDIBSection &operator=(const cDIBSection &) = delete;
    ~cDIBSection() = default;
    // Exchanges the pictures of two bitmaps without copying pixels.
    void Swap(cDIBSection &other) noexcept {
        std::swap(bits_, other.bits_);
        std::swap(capacity_, other.capacity_);
        std::swap(width_, other.width_);
        std::swap(height_, other.height_);
        std::swap(channels_, other.channels_);
    }

    // Rows of `width` pixels at 3 bytes (channels == 3) or 4 bytes (anything else).
    // Pure arithmetic; 0 for widths that do not give a row of at most 2^31 - 1 bytes.
    static std::int32_t ScanLineBytes(std::int32_t width, std::int32_t channels);
    // Whether Create would accept the size (positive, at most MaxPixels, addressable).
    static bool SizeAcceptable(std::int64_t width, std::int64_t height, std::int32_t channels);

    // A zero-filled bitmap of that size. Always empties the object first; false (and
    // empty) when the size is not acceptable or the memory cannot be had.
    bool Create(std::int32_t width, std::int32_t height, std::int32_t channels);
    // Create for pictures decoded one after another: the memory the bitmap holds (or gave
    // up in Release) serves again when it is large enough and not far too large, so that
    // stepping through pictures does not allocate a new bitmap for every one.
    bool Recreate(std::int32_t width, std::int32_t height, std::int32_t channels);
    // Empties the bitmap (0 x 0, no channels) but keeps its memory for the next Recreate.
    void Release();
    // Loads a BMP file of any depth into a fresh 3-channel bitmap. On a file that is not
    // a readable, complete BMP the box "Can't load BMP image" is shown and false returned.
    bool Load(const QString &fileName, MessageBoxes &boxes);
    // Takes over a picture (shown upright in `image`) into a fresh bitmap of 3 or 4
    // channels. False (and empty) for a null image or one too big.
    bool SetFromImage(const QImage &image, std::int32_t channels = 3);

    std::int32_t BytesPerScanLine() const { return ScanLineBytes(width_, channels_); }
    std::int32_t dib_width() const { return width_; }
    std::int32_t dib_height() const { return height_; }
    std::int32_t dib_channels() const { return channels_; }
    std::int64_t ImageSize() const { return std::int64_t(BytesPerScanLine()) * height_; }
    unsigned char *DIBSectionBitsPtr() { return bits_.get(); }
    const unsigned char *DIBSectionBitsPtr() const { return bits_.get(); }
    bool IsEmpty() const { return !bits_; }

    // Address of the picture row `y` counted from the top (rows are stored bottom-up).
    unsigned char *TopRow(std::int32_t y);
    const unsigned char *TopRow(std::int32_t y) const;

    // Draws the part of the bitmap starting at (srcX, srcY), counted from the picture's
    // top-left corner, at 1:1 with its top-left corner at (x, y). A negative width or
    // height stands for the bitmap's own. Draws straight from the pixel memory.
    void PaintPicture(QPainter &painter, int x, int y, int width = -1, int height = -1,
                      int srcX = 0, int srcY = 0) const;
    void PaintPicture(QPaintDevice &device, int x, int y, int width = -1, int height = -1,
                      int srcX = 0, int srcY = 0) const;

    // The pixel memory as an image in memory order (bottom row first), sharing the
    // memory: valid only while the bitmap is neither changed nor cleaned up.
    QImage MemoryView() const;
    // An upright copy of the picture (Format_BGR888 for 3 channels, Format_RGB32 for 4);
    // a null image when the bitmap is empty.
    QImage UprightImage() const;

    // Frees the pixels (and any memory kept for reuse); the bitmap reads 0 x 0 with 0
    // channels afterwards.
    void CleanUp();

  private:
    std::unique_ptr<unsigned char[]> bits_;
    std::size_t capacity_ = 0;               // bytes at bits_
    std::unique_ptr<unsigned char[]> spare_; // memory kept by Release for Recreate
    std::size_t spareCapacity_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t channels_ = 0;
};

} // namespace glimmerby
