// Decoding JPEG files into bitmaps: colour kinds, orientation, padding and bad files.

#include "picture/ijl.h"
#include "picture_files.h"
#include "support/recording_boxes.h"

#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace glimmerby;
using namespace glimmerby::testing;

namespace {

const QString ParamsBox = QStringLiteral("FAILED TO READ IMAGE PARAMS");

// Top half red with a white top-left 8 x 8 corner, bottom half blue.
QImage TwoHalves(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 255));
    for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < 8 && y < 8 ? qRgb(255, 255, 255) : qRgb(255, 0, 0));
    return image;
}

QRgb PixelAt(const cDIBSection &dib, int x, int yFromTop) {
    const unsigned char *p = dib.TopRow(yFromTop) + x * dib.dib_channels();
    return qRgb(p[2], p[1], p[0]);
}

bool Near(QRgb a, QRgb b, int tolerance = 40) {
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString BoxText(int code, const QString &message) {
    return QStringLiteral("Intel Jpg Load ERROR: \n[%1] - %2").arg(code).arg(message);
}

} // namespace

class TestIjlRead : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString SaveWithQt(const QImage &image, const QString &name, int quality = 95) {
        const QString path = dir.filePath(name);
        if (!image.save(path, "JPEG", quality))
            return {};
        return path;
    }

  private slots:
    void padBytes() {
        QCOMPARE(IJL::DibPadBytes(1, 3), 1);
        QCOMPARE(IJL::DibPadBytes(2, 3), 2);
        QCOMPARE(IJL::DibPadBytes(4, 3), 0);
        QCOMPARE(IJL::DibPadBytes(3, 4), 0);
        QCOMPARE(IJL::DibPadBytes(0x7fffffff, 3), 3); // no overflow in the product
    }

    void colourLandsUpright() {
        const QString path = SaveWithQt(TwoHalves(64, 48), "halves.jpg");
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.LoadJpegFile(path));
        const cDIBSection &dib = ijl.WorkDib();
        QCOMPARE(dib.dib_width(), 64);
        QCOMPARE(dib.dib_height(), 48);
        QCOMPARE(dib.dib_channels(), 3);
        QVERIFY(Near(PixelAt(dib, 2, 2), qRgb(255, 255, 255)));
        QVERIFY(Near(PixelAt(dib, 40, 4), qRgb(255, 0, 0)));
        QVERIFY(Near(PixelAt(dib, 2, 45), qRgb(0, 0, 255)));
        // The first bytes in memory are the bottom row: blue, in B, G, R order.
        const unsigned char *first = dib.DIBSectionBitsPtr();
        QVERIFY(first[0] > 200 && first[2] < 60);
        QVERIFY(boxes.shown.isEmpty());
    }

    void greyGivesThreeEqualBytes() {
        QImage grey(33, 9, QImage::Format_Grayscale8);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 33; ++x)
                grey.setPixel(x, y, qRgb(x * 7, x * 7, x * 7));
        const QString path = SaveWithQt(grey, "grey.jpg");
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.LoadJpegFile(path));
        const cDIBSection &dib = ijl.WorkDib();
        QCOMPARE(dib.dib_channels(), 3);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 33; ++x) {
                const unsigned char *p = dib.TopRow(y) + 3 * x;
                QVERIFY(p[0] == p[1] && p[1] == p[2]);
                QVERIFY(qAbs(p[0] - x * 7) < 12);
            }
    }

    void rowsArePadded_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("rowBytes");
        QTest::newRow("1 wide") << 1 << 4;
        QTest::newRow("2 wide") << 2 << 8;
        QTest::newRow("4 wide") << 4 << 12;
    }
    void rowsArePadded() {
        QFETCH(int, width);
        QFETCH(int, rowBytes);
        QImage image(width, 5, QImage::Format_RGB32);
        image.fill(qRgb(200, 200, 200));
        const QString path = SaveWithQt(image, QStringLiteral("w%1.jpg").arg(width));
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.LoadJpegFile(path));
        const cDIBSection &dib = ijl.WorkDib();
        QCOMPARE(dib.BytesPerScanLine(), rowBytes);
        for (int y = 0; y < 5; ++y)
            for (int i = width * 3; i < rowBytes; ++i)
                QCOMPARE(int(dib.TopRow(y)[i]), 0);
    }

    void cmykGivesColour() {
        const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
        if (convert.isEmpty())
            QSKIP("ImageMagick is needed to make a CMYK JPEG");
        const QString source = dir.filePath("halves.png");
        QVERIFY(TwoHalves(32, 32).save(source));
        const QString path = dir.filePath("cmyk.jpg");
        QCOMPARE(
            QProcess::execute(convert, {source, "-colorspace", "CMYK", "-quality", "95", path}), 0);
        QCOMPARE(ReadFrame(ReadFile(path)).components, 4);
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.LoadJpegFile(path));
        const cDIBSection &dib = ijl.WorkDib();
        QCOMPARE(dib.dib_channels(), 4);
        QCOMPARE(dib.BytesPerScanLine(), 128);
        QVERIFY(Near(PixelAt(dib, 2, 2), qRgb(255, 255, 255)));
        QVERIFY(Near(PixelAt(dib, 20, 4), qRgb(255, 0, 0)));
        QVERIFY(Near(PixelAt(dib, 5, 30), qRgb(0, 0, 255)));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                QCOMPARE(int(dib.TopRow(y)[4 * x + 3]), 255);
    }

    void notAJpeg() {
        const QString path = dir.filePath("text.jpg");
        QVERIFY(WriteFile(path, "just some words, no picture at all"));
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.WorkDib().Create(8, 8, 3));
        QVERIFY(!ijl.LoadJpegFile(path));
        QCOMPARE(ijl.WorkDib().dib_width(), 0);
        QCOMPARE(ijl.WorkDib().dib_height(), 0);
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text, BoxText(JpegCode::NotJpeg, ParamsBox));
        QCOMPARE(boxes.shown[0].title, QStringLiteral("Intel(R) JPEG Library"));
        QCOMPARE(boxes.shown[0].icon, BoxIcon::Exclamation);
        // The next, sound file decodes: nothing of the failure lingers.
        QVERIFY(ijl.LoadJpegFile(SaveWithQt(TwoHalves(16, 16), "after.jpg")));
    }

    void missingFile() {
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(!ijl.LoadJpegFile(dir.filePath("none.jpg")));
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text, BoxText(JpegCode::FileUnreadable, ParamsBox));
    }

    void truncatedKeepsDecodedPart() {
        // Noise makes the picture data, not the tables, the bulk of the file.
        QImage picture = TwoHalves(256, 256);
        for (int y = 8; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const int n = (x * 7919 + y * 104729) % 41;
                const QRgb c = picture.pixel(x, y);
                picture.setPixel(x, y, qRgb(qMax(qRed(c) - n, 0), n, qMax(qBlue(c) - n, 0)));
            }
        const QString whole = SaveWithQt(picture, "whole.jpg");
        const QByteArray bytes = ReadFile(whole);
        const QString path = dir.filePath("cut.jpg");
        QVERIFY(WriteFile(path, bytes.left(bytes.size() * 45 / 100)));
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(!ijl.LoadJpegFile(path));
        QVERIFY(boxes.shown.isEmpty());
        const cDIBSection &dib = ijl.WorkDib();
        QCOMPARE(dib.dib_width(), 256);
        QCOMPARE(dib.dib_height(), 256);
        QVERIFY(Near(PixelAt(dib, 2, 2), qRgb(255, 255, 255)));
        QVERIFY(Near(PixelAt(dib, 100, 20), qRgb(235, 20, 0)));
        // The missing lower part is filled, not blue and not left as zeros.
        QVERIFY(Near(PixelAt(dib, 100, 250), qRgb(128, 128, 128), 4));
    }

    void brokenScanShowsTheDataBox() {
        const QString whole = dir.filePath("progressive.jpg");
        QImageWriter writer(whole, "jpeg");
        writer.setProgressiveScanWrite(true);
        QVERIFY(writer.write(TwoHalves(64, 64)));
        // A later scan asks for impossible coefficients: the decoder gives up with the
        // picture's size already known.
        QByteArray bytes = ReadFile(whole);
        const int first = int(bytes.indexOf("\xff\xda"));
        const int second = int(bytes.indexOf("\xff\xda", first + 2));
        QVERIFY(first > 0 && second > first);
        const int spectral = second + 5 + 2 * uchar(bytes[second + 4]);
        bytes[spectral] = char(63), bytes[spectral + 1] = char(0);
        const QString path = dir.filePath("broken.jpg");
        QVERIFY(WriteFile(path, bytes));
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(!ijl.LoadJpegFile(path));
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text,
                 BoxText(JpegCode::DecodeFailed,
                         QStringLiteral("FAILED TO READ IMAGE DATA. (%1)").arg(path)));
        QCOMPARE(ijl.WorkDib().dib_width(), 64);
        QCOMPARE(ijl.WorkDib().dib_height(), 64);
    }

    void hugeHeaderRefused_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("code");
        QTest::newRow("65500 x 65500") << 65500 << 65500 << JpegCode::TooLarge;
        QTest::newRow("zero width") << 0 << 16 << 0;
    }
    void hugeHeaderRefused() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, code);
        QByteArray bytes = ReadFile(SaveWithQt(TwoHalves(16, 16), "small.jpg"));
        const int sof = FindSegment(bytes, 0xC0);
        QVERIFY(sof > 0);
        bytes[sof + 5] = char(height >> 8), bytes[sof + 6] = char(height & 0xff);
        bytes[sof + 7] = char(width >> 8), bytes[sof + 8] = char(width & 0xff);
        const QString path = dir.filePath("claims.jpg");
        QVERIFY(WriteFile(path, bytes));
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(!ijl.LoadJpegFile(path));
        QVERIFY(ijl.WorkDib().IsEmpty());
        QCOMPARE(boxes.shown.size(), 1);
        if (code != 0)
            QCOMPARE(boxes.shown[0].text, BoxText(code, ParamsBox));
        else
            QVERIFY(boxes.shown[0].text.endsWith(ParamsBox));
    }
};

QTEST_GUILESS_MAIN(TestIjlRead)
#include "test_ijl_read.moc"
