#include "picture_files.h"

#include <QBuffer>
#include <QFile>

namespace glimmerby::testing {

namespace {

void Put(QByteArray &b, quint32 v, int bytes, bool big = false) {
    for (int i = 0; i < bytes; ++i)
        b.append(char(v >> 8 * (big ? bytes - 1 - i : i)));
}

} // namespace

QByteArray MakeBmp(const QImage &source, int bits) {
    const QImage picture = source.convertToFormat(QImage::Format_RGB32);
    const int width = picture.width(), height = picture.height();
    QList<QRgb> palette;
    for (int y = 0; bits <= 8 && y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (!palette.contains(picture.pixel(x, y)))
                palette.append(picture.pixel(x, y));
    Q_ASSERT(bits > 8 || palette.size() <= (1 << bits));
    const quint32 rowBytes = (width * bits + 31) / 32 * 4, offset = 54 + 4 * palette.size();
    QByteArray b("BM");
    for (quint32 v : {offset + rowBytes * height, 0u, offset, 40u, quint32(width), quint32(height),
                      1u | quint32(bits) << 16, 0u, rowBytes * height, 2835u, 2835u,
                      quint32(palette.size()), 0u})
        Put(b, v, 4);
    for (QRgb c : palette)
        Put(b, c & 0xffffff, 4); // B, G, R, 0
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        auto *p = reinterpret_cast<uchar *>(row.data());
        for (int x = 0; x < width; ++x) {
            const QRgb c = picture.pixel(x, y);
            const int bit = x * bits;
            const quint32 v = bits != 16
                                  ? c & 0xffffff
                                  : (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3;
            if (bits <= 8)
                p[bit / 8] |= palette.indexOf(c) << (8 - bits - bit % 8);
            for (int i = 0; bits > 8 && i < bits / 8; ++i)
                p[bit / 8 + i] = uchar(v >> 8 * i);
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
    for (int pos = 2; pos + 4 <= jpeg.size() && uchar(jpeg[pos]) == 0xFF;
         pos += 2 + (uchar(jpeg[pos + 2]) << 8 | uchar(jpeg[pos + 3]))) {
        if (uchar(jpeg[pos + 1]) == marker)
            return pos;
        if (uchar(jpeg[pos + 1]) == 0xDA)
            break;
    }
    return -1;
}

QByteArray WithExifOrientation(const QByteArray &jpeg, int orientation, bool big) {
    // TIFF header, IFD0 at 8 with one SHORT entry (Orientation), no next IFD.
    QByteArray tiff(big ? "MM" : "II");
    const int fields[][2] = {{42, 2}, {8, 4},           {1, 2}, {0x0112, 2}, {3, 2},
                             {1, 4},  {orientation, 2}, {0, 2}, {0, 4}};
    for (const auto &field : fields)
        Put(tiff, quint32(field[0]), field[1], big);
    QByteArray segment("\xff\xe1", 2);
    Put(segment, quint32(8 + tiff.size()), 2, true);
    return jpeg.left(2) + segment + QByteArray("Exif\0\0", 6) + tiff + jpeg.mid(2);
}

QByteArray MakeQuadrantJpeg(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                             qRgb(255, 255, 255)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, colours[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)]);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return picture.save(&buffer, "JPEG", 95) ? buffer.data() : QByteArray();
}

QString CornerColours(const QImage &picture, int inset) {
    const int right = picture.width() - 1 - inset, bottom = picture.height() - 1 - inset;
    QString letters;
    for (QPoint p : {QPoint(inset, inset), QPoint(right, inset), QPoint(inset, bottom),
                     QPoint(right, bottom)}) {
        const QRgb c = picture.pixel(p);
        letters += QLatin1Char(
            "?BG?R??W"[(qRed(c) > 160) << 2 | (qGreen(c) > 160) << 1 | (qBlue(c) > 160)]);
    }
    return letters;
}

QString ExpectedCorners(int orientation) {
    static const char *const corners[] = {"RGBW", "RGBW", "GRWB", "WBGR", "BWRG",
                                          "RBGW", "BRWG", "WGBR", "GWRB"};
    return QString::fromLatin1(corners[orientation >= 1 && orientation <= 8 ? orientation : 0]);
}

} // namespace glimmerby::testing
