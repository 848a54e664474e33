// The bitmap class: its memory layout, BMP loading of every depth and drawing.

#include "picture/cdibsection.h"
#include "picture_files.h"
#include "support/recording_boxes.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace glimmerby;
using namespace glimmerby::testing;

namespace {

// 5 x 3 (odd width, so rows carry padding) with a distinct colour in each corner.
QImage Corners() {
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    image.setPixel(0, 0, qRgb(255, 0, 0)); // top left
    image.setPixel(4, 0, qRgb(0, 255, 0)); // top right
    image.setPixel(0, 2, qRgb(0, 0, 255)); // bottom left
    image.setPixel(4, 2, qRgb(0, 0, 0));   // bottom right
    return image;
}

QRgb PixelAt(const cDIBSection &dib, int x, int yFromTop) {
    const unsigned char *p = dib.TopRow(yFromTop) + x * dib.dib_channels();
    return qRgb(p[2], p[1], p[0]);
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

class TestDibSection : public QObject {
    Q_OBJECT
  private slots:
    void createLayout() {
        cDIBSection dib;
        QVERIFY(dib.Create(5, 3, 3));
        QCOMPARE(dib.BytesPerScanLine(), 16);
        QCOMPARE(dib.ImageSize(), 48);
        QCOMPARE(dib.dib_channels(), 3);
        const unsigned char *bits = dib.DIBSectionBitsPtr();
        QVERIFY(std::all_of(bits, bits + 48, [](unsigned char b) { return b == 0; }));
        QVERIFY(dib.Create(5, 3, 4));
        QCOMPARE(dib.BytesPerScanLine(), 20);
        for (int channels : {0, 1, 2}) {
            QVERIFY(dib.Create(5, 3, channels));
            QCOMPARE(dib.dib_channels(), 4);
        }
        // Rows are bottom-up: the top row of the picture is the last in memory.
        QCOMPARE(dib.TopRow(0), dib.DIBSectionBitsPtr() + 2 * 20);
    }

    void cleanUpEmpties() {
        cDIBSection dib;
        QVERIFY(dib.Create(7, 2, 3));
        dib.CleanUp();
        QCOMPARE(dib.dib_width(), 0);
        QCOMPARE(dib.dib_height(), 0);
        QCOMPARE(dib.dib_channels(), 0);
        QVERIFY(dib.DIBSectionBitsPtr() == nullptr);
        QVERIFY(dib.UprightImage().isNull());
    }

    // Stepping decodes picture after picture into the same memory, zeroed like a new one.
    void recreateReusesMemory() {
        cDIBSection dib;
        QVERIFY(dib.Create(100, 50, 3));
        std::fill(dib.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr() + dib.ImageSize(), 0xAB);
        const unsigned char *memory = dib.DIBSectionBitsPtr();
        dib.Release();
        QVERIFY(dib.IsEmpty());
        QCOMPARE(dib.dib_width(), 0);
        QVERIFY(dib.Recreate(99, 49, 3)); // smaller: the same memory
        QCOMPARE(dib.DIBSectionBitsPtr(), memory);
        QCOMPARE(dib.BytesPerScanLine(), 300);
        const unsigned char *bits = dib.DIBSectionBitsPtr();
        QVERIFY(std::all_of(bits, bits + dib.ImageSize(), [](unsigned char b) { return b == 0; }));
        QVERIFY(dib.Recreate(200, 100, 3)); // larger: new memory of the right size
        QCOMPARE(dib.ImageSize(), 60000);
        QVERIFY(dib.Recreate(10, 10, 3)); // far smaller: the large memory is not kept
        QCOMPARE(dib.ImageSize(), 320);
    }

    void refusesUnreasonableSizes() {
        cDIBSection dib;
        QVERIFY(dib.Create(4, 4, 3));
        // 65500 x 65500 would need 12 GB: refused on the numbers, and the object is empty.
        QVERIFY(!dib.Create(65500, 65500, 3));
        QCOMPARE(dib.dib_width(), 0);
        QVERIFY(!dib.Create(0, 5, 3));
        QVERIFY(!dib.Create(5, -1, 3));
        QVERIFY(
            !cDIBSection::SizeAcceptable(std::int64_t(1) << 16, (std::int64_t(1) << 12) + 1, 3));
        QVERIFY(cDIBSection::SizeAcceptable(std::int64_t(1) << 16, std::int64_t(1) << 12, 4));
    }

    void loadsEveryDepth_data() {
        QTest::addColumn<int>("bits");
        for (int bits : {1, 4, 8, 16, 24, 32})
            QTest::addRow("%d bits", bits) << bits;
    }
    void loadsEveryDepth() {
        QFETCH(int, bits);
        QImage picture = Corners();
        if (bits == 1) // two colours only
            picture.fill(qRgb(0, 0, 0)), picture.setPixel(0, 0, qRgb(255, 255, 255));
        QTemporaryDir dir;
        const QString path = dir.filePath("p.bmp");
        QVERIFY(WriteFile(path, MakeBmp(picture, bits)));
        RecordingBoxes boxes;
        cDIBSection dib;
        QVERIFY(dib.Load(path, boxes));
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(dib.dib_channels(), 3);
        QCOMPARE(dib.dib_width(), 5);
        QCOMPARE(dib.dib_height(), 3);
        const int tolerance = bits == 16 ? 8 : 0;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                QVERIFY2(Near(PixelAt(dib, x, y), picture.pixel(x, y), tolerance),
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        const unsigned char *lastRow = dib.TopRow(0);
        QCOMPARE(int(lastRow[15]), 0); // padding stays zero
    }

    void refusesBadFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = MakeBmp(Corners(), 24);
        QByteArray pastEnd = good;
        pastEnd[10] = char(0x00), pastEnd[11] = char(0x10); // pixel offset 4096
        QTest::newRow("pixel offset past the end") << pastEnd;
        QTest::newRow("pixel array cut short") << good.left(good.size() - 10);
        QTest::newRow("not a bitmap") << QByteArray("GIF89a not really");
        QTest::newRow("empty") << QByteArray();
        QByteArray huge = good; // 65500 x 65500 claimed
        huge[18] = char(0xdc), huge[19] = char(0xff), huge[22] = char(0xdc), huge[23] = char(0xff);
        QTest::newRow("huge size") << huge;
    }
    void refusesBadFiles() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.bmp");
        QVERIFY(WriteFile(path, bytes));
        RecordingBoxes boxes;
        cDIBSection dib;
        QVERIFY(dib.Create(3, 3, 3));
        QVERIFY(!dib.Load(path, boxes));
        QVERIFY(dib.IsEmpty());
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text, QStringLiteral("Can't load BMP image"));
        QCOMPARE(boxes.shown[0].title, ProgramTitle);
        QCOMPARE(boxes.shown[0].icon, BoxIcon::None);
    }

    void missingFileGivesTheBox() {
        RecordingBoxes boxes;
        cDIBSection dib;
        QVERIFY(!dib.Load(QStringLiteral("/nonexistent/none.bmp"), boxes));
        QCOMPARE(boxes.shown.size(), 1);
    }

    void paintsUprightAtOneToOne() {
        cDIBSection dib;
        QVERIFY(dib.SetFromImage(Corners(), 3));
        QImage canvas(9, 7, QImage::Format_RGB32);
        const QRgb sentinel = qRgb(1, 2, 3);
        canvas.fill(sentinel);
        {
            QPainter painter(&canvas);
            dib.PaintPicture(painter, 2, 1, -1, -1);
        }
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
                const QRgb want = inside ? Corners().pixel(x - 2, y - 1) : sentinel;
                QCOMPARE(canvas.pixel(x, y), want);
            }
    }

    void paintsAPart() {
        cDIBSection dib;
        QVERIFY(dib.SetFromImage(Corners(), 4));
        QImage canvas(2, 2, QImage::Format_RGB32);
        canvas.fill(qRgb(9, 9, 9));
        dib.PaintPicture(canvas, 0, 0, 2, 2, 3, 1); // bottom-right 2 x 2 of the picture
        QCOMPARE(canvas.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(canvas.pixel(1, 1), qRgb(0, 0, 0));
        QCOMPARE(canvas.pixel(1, 0), qRgb(255, 255, 255));
    }

    void uprightImageMatchesPicture() {
        for (int channels : {3, 4}) {
            cDIBSection dib;
            QVERIFY(dib.SetFromImage(Corners(), channels));
            const QImage back = dib.UprightImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(back, Corners());
        }
    }
};

QTEST_GUILESS_MAIN(TestDibSection)
#include "test_dibsection.moc"
