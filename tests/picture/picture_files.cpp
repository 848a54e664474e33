#include "picture_files.h"

#include "picture/cdibsection.h"
#include "picture/ijl.h"
#include "support/recording_boxes.h"

#include <QFile>
#include <QList>
#include <QTemporaryDir>

namespace glimmerby::testing {

namespace {

void Put16(QByteArray &b, int v) {
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}

void Put32(QByteArray &b, qint64 v) {
    Put16(b, int(v & 0xffff));
    Put16(b, int((v >> 16) & 0xffff));
}

} // namespace

QByteArray MakeBmp(const QImage &source, int bits) {
    const QImage picture = source.convertToFormat(QImage::Format_RGB32);
    const int width = picture.width(), height = picture.height();
    QList<QRgb> palette;
    if (bits <= 8) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (!palette.contains(picture.pixel(x, y)))
                    palette.append(picture.pixel(x, y));
        Q_ASSERT(palette.size() <= (1 << bits));
    }
    const int rowBytes = (width * bits + 31) / 32 * 4;
    const int offset = 14 + 40 + 4 * int(palette.size());
    QByteArray b;
    b.append("BM");
    Put32(b, offset + qint64(rowBytes) * height);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, width);
    Put32(b, height);
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, 0); // uncompressed
    Put32(b, qint64(rowBytes) * height);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, palette.size());
    Put32(b, 0);
    for (QRgb c : palette) {
        b.append(char(qBlue(c)));
        b.append(char(qGreen(c)));
        b.append(char(qRed(c)));
        b.append(char(0));
    }
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            const QRgb c = picture.pixel(x, y);
            auto *p = reinterpret_cast<unsigned char *>(row.data());
            if (bits <= 8) {
                const int index = int(palette.indexOf(c));
                const int bit = x * bits;
                p[bit / 8] |= index << (8 - bits - bit % 8);
            } else if (bits == 16) {
                const int v = (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3;
                p[x * 2] = v & 0xff;
                p[x * 2 + 1] = v >> 8;
            } else {
                const int step = bits / 8;
                p[x * step] = qBlue(c);
                p[x * step + 1] = qGreen(c);
                p[x * step + 2] = qRed(c);
            }
        }
        b.append(row);
    }
    return b;
}

bool WriteFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

QByteArray ReadFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int FindSegment(const QByteArray &jpeg, unsigned char marker) {
    int pos = 2;
    while (pos + 4 <= jpeg.size() && uchar(jpeg[pos]) == 0xFF) {
        const uchar m = uchar(jpeg[pos + 1]);
        if (m == marker)
            return pos;
        if (m == 0xDA)
            return -1;
        pos += 2 + (uchar(jpeg[pos + 2]) << 8 | uchar(jpeg[pos + 3]));
    }
    return -1;
}

FrameInfo ReadFrame(const QByteArray &jpeg) {
    FrameInfo info;
    int at = -1;
    for (uchar m : {0xC0, 0xC1, 0xC2})
        if ((at = FindSegment(jpeg, m)) >= 0)
            break;
    if (at < 0 || at + 10 > jpeg.size())
        return info;
    const auto byte = [&](int i) { return int(uchar(jpeg[at + i])); };
    info.height = byte(5) << 8 | byte(6);
    info.width = byte(7) << 8 | byte(8);
    info.components = byte(9);
    for (int c = 0; c < info.components && at + 12 + 3 * c < jpeg.size(); ++c)
        info.sampling.append(byte(11 + 3 * c));
    return info;
}

namespace {

void PutOrdered16(QByteArray &b, int v, bool big) {
    const char hi = char((v >> 8) & 0xff), lo = char(v & 0xff);
    b.append(big ? hi : lo);
    b.append(big ? lo : hi);
}

void PutOrdered32(QByteArray &b, qint64 v, bool big) {
    const int hi = int((v >> 16) & 0xffff), lo = int(v & 0xffff);
    PutOrdered16(b, big ? hi : lo, big);
    PutOrdered16(b, big ? lo : hi, big);
}

} // namespace

QByteArray WithExifOrientation(const QByteArray &jpeg, int orientation, bool big) {
    QByteArray tiff(big ? "MM" : "II");
    PutOrdered16(tiff, 42, big);
    PutOrdered32(tiff, 8, big); // IFD0 right after the header
    PutOrdered16(tiff, 1, big); // one entry
    PutOrdered16(tiff, 0x0112, big);
    PutOrdered16(tiff, 3, big); // SHORT
    PutOrdered32(tiff, 1, big);
    PutOrdered16(tiff, orientation, big);
    PutOrdered16(tiff, 0, big);
    PutOrdered32(tiff, 0, big); // no next IFD
    QByteArray segment("\xff\xe1", 2);
    const int length = 2 + 6 + int(tiff.size());
    segment.append(char(length >> 8));
    segment.append(char(length & 0xff));
    segment.append("Exif\0\0", 6);
    segment.append(tiff);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray MakeQuadrantJpeg(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                             qRgb(255, 255, 255)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, colours[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)]);
    cDIBSection dib;
    RecordingBoxes boxes;
    IJL codec(boxes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("q.jpg"));
    if (!dib.SetFromImage(picture) || !codec.JpegWrite(dib, path, 95))
        return {};
    return ReadFile(path);
}

QString CornerColours(const QImage &picture, int inset) {
    const auto letter = [&](int x, int y) {
        const QRgb c = picture.pixel(x, y);
        const bool r = qRed(c) > 160, g = qGreen(c) > 160, b = qBlue(c) > 160;
        if (r && g && b)
            return QLatin1Char('W');
        if (r && !g && !b)
            return QLatin1Char('R');
        if (g && !r && !b)
            return QLatin1Char('G');
        if (b && !r && !g)
            return QLatin1Char('B');
        return QLatin1Char('?');
    };
    const int right = picture.width() - 1 - inset, bottom = picture.height() - 1 - inset;
    return QString() + letter(inset, inset) + letter(right, inset) + letter(inset, bottom) +
           letter(right, bottom);
}

QString ExpectedCorners(int orientation) {
    static const char *const corners[] = {"RGBW", "RGBW", "GRWB", "WBGR", "BWRG",
                                          "RBGW", "BRWG", "WGBR", "GWRB"};
    return QString::fromLatin1(corners[orientation >= 1 && orientation <= 8 ? orientation : 0]);
}

} // namespace glimmerby::testing
