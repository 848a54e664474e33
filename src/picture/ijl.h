#pragma once
// The JPEG codec adapter: decodes JPEG files into a cDIBSection and encodes a cDIBSection
// into a JPEG file, and owns the program's shared bitmap WorkDib. Built on TurboJPEG.

#include "picture/cdibsection.h"

#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace glimmerby {

class MessageBoxes;

// Result codes of the adapter (TurboJPEG reports no numbers of its own).
namespace JpegCode {
inline constexpr int Ok = 0;
inline constexpr int InitFailed = -2;      // TurboJPEG handle could not be made
inline constexpr int FileUnreadable = -10; // the file cannot be opened or read whole
inline constexpr int NotJpeg = -11;        // TurboJPEG does not understand the header
inline constexpr int BadSize = -12;        // the header gives a width or height of 0
inline constexpr int TooLarge = -13;       // more pixels than a bitmap may hold
inline constexpr int Unsupported = -14;    // a component count or colour space not handled
inline constexpr int DataDamaged = -21;    // damaged data after the size was known: no box
inline constexpr int DecodeFailed = -22;   // the decoder gave up on the pixel data
inline constexpr int EncodeFailed = -30;   // the encoder refused the bitmap or quality
inline constexpr int WriteFailed = -31;    // the file could not be written whole
inline constexpr int EmptyBitmap = -32;    // nothing to save
inline constexpr int NameTaken = -33;      // the name was taken and may not be replaced
} // namespace JpegCode

class IJL {
  public:
    explicit IJL(MessageBoxes &boxes);
    ~IJL();
    IJL(const IJL &) = delete;
    IJL &operator=(const IJL &) = delete;

    // The shared bitmap, made on first use and kept for the adapter's lifetime.
    cDIBSection &WorkDib();

    // JpegRead of WorkDib and the path.
    bool LoadJpegFile(const QString &path);
    // WorkDib's Load of the path.
    bool LoadBmpFile(const QString &path);

    // Decodes the JPEG file into the bitmap, sized to the picture: 3 channels for grey and
    // colour pictures, 4 (alpha 255) for CMYK ones, upright: turned or mirrored as its
    // EXIF Orientation says, so the size may be the stored one transposed. On a failure
    // before the size is known the bitmap is empty and the box names "FAILED TO READ IMAGE
    // PARAMS"; on damaged data after it (code -21) the result is false without a box and
    // the bitmap keeps its full size and the part that decoded, upright as well.
    bool JpegRead(cDIBSection &dib, const QString &path);
    // The same for JPEG data already in memory; `name` appears in the messages.
    bool JpegReadBuffer(cDIBSection &dib, const unsigned char *data, std::size_t size,
                        const QString &name);
    // A quick, silent decode for the preview: the picture is decoded at the smallest of the
    // decoder's scales that still covers `target` (all of the compressed data is read, so
    // damage is still found), then turned upright like JpegRead's. True only when the whole
    // picture decoded; `natural` gets the upright picture's full size. Nothing is shown on a
    // failure: the caller then takes the full decode, which reports it. Safe to call from any
    // thread: it touches neither WorkDib nor the boxes.
    // The same reading the file into fileBuffer, which keeps its memory from call to call.
    static bool JpegReadForDisplay(cDIBSection &dib, const QString &path, QSize target,
                                   QSize &natural, QByteArray &fileBuffer);
    static bool JpegReadForDisplay(cDIBSection &dib, const QString &path, QSize target,
                                   QSize &natural);

    // A silent decode of JPEG data in memory for the picture pipeline. `target` is given the
    // picture's natural size and answers the size the caller needs; the picture is decoded
    // at the smallest of the decoder's scales that still covers it (an empty answer ends
    // the decode). The picture comes out upright as its EXIF Orientation says; `target` is
    // given and answers upright sizes. True only when the whole picture decoded: grey and
    // colour pictures in 3 channels, CMYK ones turned into colour in 4 (alpha 255). Nothing
    // is shown.
    // Safe to call from any thread.
    static bool JpegReadScaled(cDIBSection &dib, const unsigned char *data, std::size_t size,
                               const std::function<QSize(QSize)> &target);

    // Encodes the bitmap at the quality in percent (passed to the encoder unchanged) into
    // a three-component JPEG with 4:2:0 chroma subsampling. The file at the path is
    // replaced only once the whole picture is on disk.
    bool JpegWrite(const cDIBSection &dib, const QString &path, int quality);
    // The same, where `replace` false never replaces an entry under the name: that case
    // answers JpegCode::NameTaken without a box. Otherwise JpegCode::Ok, or the code of
    // the failure that the box named.
    int JpegWriteFile(const cDIBSection &dib, const QString &path, int quality, bool replace);

    // The bytes that bring a row of `width` pixels of `channels` bytes to a multiple of 4.
    static std::int32_t DibPadBytes(std::int32_t width, std::int32_t channels);

    // The codec failure box.
    void ReportJpegError(const QString &message, int code);

  private:
    MessageBoxes &boxes_;
    std::unique_ptr<cDIBSection> workDib_;
};

} // namespace glimmerby
