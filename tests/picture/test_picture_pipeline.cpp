// The pixel work of the picture pipeline: exact turns, sizes, the scaling filter and the
// silent loader on real files.

#include "picture/bmp_rotate.h"
#include "picture/ijl.h"
#include "picture/picture_pipeline.h"
#include "picture/picture_scale.h"
#include "picture/silent_loader.h"
#include "picture_files.h"
#include "support/recording_boxes.h"

#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace glimmerby;
using namespace glimmerby::testing;

Q_DECLARE_METATYPE(PictureOperation)

namespace {

// Every byte of the picture distinct enough to tell each pixel and channel apart.
void Distinct(cDIBSection &dib, int w, int h, int channels) {
    dib.Create(w, h, channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * channels; ++x)
            dib.TopRow(y)[x] = static_cast<unsigned char>((y * 131 + x * 7 + 1) & 0xff);
}

QByteArray Pixel(const cDIBSection &dib, int x, int y) {
    const int c = dib.dib_channels();
    return QByteArray(reinterpret_cast<const char *>(dib.TopRow(y)) + x * c, c);
}

bool Equal(const cDIBSection &a, const cDIBSection &b) {
    return a.dib_width() == b.dib_width() && a.dib_height() == b.dib_height() &&
           a.dib_channels() == b.dib_channels() &&
           std::memcmp(a.DIBSectionBitsPtr(), b.DIBSectionBitsPtr(), size_t(a.ImageSize())) == 0;
}

bool PaddingZero(const cDIBSection &dib) {
    const int used = dib.dib_width() * dib.dib_channels();
    for (int y = 0; y < dib.dib_height(); ++y)
        for (int i = used; i < dib.BytesPerScanLine(); ++i)
            if (dib.TopRow(y)[i] != 0)
                return false;
    return true;
}

QRgb Rgb(const cDIBSection &dib, int x, int y) {
    const unsigned char *p = dib.TopRow(y) + x * dib.dib_channels();
    return qRgb(p[2], p[1], p[0]);
}

double MeanDifference(const cDIBSection &a, const cDIBSection &b) {
    double sum = 0;
    for (int y = 0; y < a.dib_height(); ++y)
        for (int x = 0; x < a.dib_width() * 3; ++x)
            sum += std::abs(int(a.TopRow(y)[x]) - int(b.TopRow(y)[x]));
    return sum / (double(a.dib_width()) * a.dib_height() * 3);
}

QImage Smooth(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) * 127 / (w + h) + 60));
    return image;
}

} // namespace

class TestPicturePipeline : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString file(const QString &name) { return dir.filePath(name); }

  private slots:
    void turns_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("channels");
        for (const QSize s : {QSize(1, 1), QSize(1, 7), QSize(7, 1), QSize(5, 3), QSize(33, 17)})
            for (int channels : {3, 4})
                QTest::addRow("%dx%d/%d", s.width(), s.height(), channels)
                    << s.width() << s.height() << channels;
    }
    void turns() {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, channels);
        cDIBSection src;
        Distinct(src, w, h, channels);
        cDIBSection left, right, half, back;
        QVERIFY(bmp_rotate(src, left, RotateLeftAngle));
        QVERIFY(bmp_rotate(src, right, RotateRightAngle));
        QVERIFY(bmp_rotate(src, half, Rotate180Angle));
        QCOMPARE(QSize(left.dib_width(), left.dib_height()), QSize(h, w));
        QCOMPARE(QSize(right.dib_width(), right.dib_height()), QSize(h, w));
        QCOMPARE(QSize(half.dib_width(), half.dib_height()), QSize(w, h));
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < h; ++x) {
                QCOMPARE(Pixel(left, x, y), Pixel(src, w - 1 - y, x));
                QCOMPARE(Pixel(right, x, y), Pixel(src, y, h - 1 - x));
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                QCOMPARE(Pixel(half, x, y), Pixel(src, w - 1 - x, h - 1 - y));
        QVERIFY(PaddingZero(left) && PaddingZero(right) && PaddingZero(half));
        QVERIFY(bmp_rotate(left, back, RotateRightAngle));
        QVERIFY(Equal(back, src));
        QVERIFY(bmp_rotate(half, back, Rotate180Angle));
        QVERIFY(Equal(back, src));
    }

    void turnLimits() {
        // A side far beyond 16-bit coordinates.
        cDIBSection wide;
        Distinct(wide, 40000, 2, 3);
        cDIBSection tall, back;
        int steps = 0;
        QVERIFY(bmp_rotate(wide, tall, RotateLeftAngle, [&] { ++steps; }));
        QCOMPARE(QSize(tall.dib_width(), tall.dib_height()), QSize(2, 40000));
        QCOMPARE(Pixel(tall, 1, 0), Pixel(wide, 39999, 1));
        QCOMPARE(Pixel(tall, 0, 39999), Pixel(wide, 0, 0));
        QVERIFY(steps >= 1 && steps <= RotateStrips);
        QVERIFY(bmp_rotate(tall, back, RotateRightAngle));
        QVERIFY(Equal(back, wide));
        // Only the three turns.
        QVERIFY(!bmp_rotate(wide, back, 0.5f));
        QVERIFY(back.IsEmpty());
        QVERIFY(bmp_rotate(wide, back, 1.5710f)); // within 1e-3
    }

    void sizes_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("modify");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("thumb") << "Thumb" << false << "640" << QSize(1600, 1200) << QSize(79, 59);
        QTest::newRow("thumb tall") << "Thumb" << false << "" << QSize(1200, 1600) << QSize(59, 79);
        QTest::newRow("thumb up") << "Thumb" << false << "" << QSize(100, 100) << QSize(79, 79);
        QTest::newRow("thumb on") << "Thumb" << true << "640" << QSize(1600, 1200)
                                  << QSize(644, 483);
        QTest::newRow("restrict") << "ModifyCopy" << false << "640" << QSize(1600, 1200)
                                  << QSize(644, 483);
        QTest::newRow("square") << "ModifyCopy" << false << "640" << QSize(500, 500)
                                << QSize(644, 644);
        QTest::newRow("empty") << "ModifyCopy" << false << "" << QSize(1600, 1200) << QSize(4, 3);
        QTest::newRow("sliver") << "Thumb" << false << "" << QSize(4000, 10) << QSize(79, 1);
        QTest::newRow("blank") << "ModifyMove" << false << " 640" << QSize(1600, 1200)
                               << QSize(644, 483);
        QTest::newRow("unit") << "ModifyMove" << false << "640px" << QSize(1600, 1200)
                              << QSize(644, 483);
        QTest::newRow("letters") << "ModifyMove" << false << "abc" << QSize(1600, 1200)
                                 << QSize(4, 3);
        QTest::newRow("negative") << "ModifyMove" << false << "-10" << QSize(1600, 1200)
                                  << QSize(0, 0);
        QTest::newRow("huge") << "ModifyMove" << false << "99999" << QSize(1600, 1200)
                              << QSize(-1, -1);
    }
    void sizes() {
        QFETCH(QString, step);
        QFETCH(bool, modify);
        QFETCH(QString, text);
        QFETCH(QSize, natural);
        QFETCH(QSize, expected);
        QCOMPARE(ResizeTarget(natural, PipelineLongSide(step, modify, text)), expected);
    }

    void operations_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("selected");
        QTest::addColumn<PictureOperation>("expected");
        QTest::newRow("convert") << "Convert" << 1 << PictureOperation::None;
        QTest::newRow("thumb 180") << "Thumb" << 3 << PictureOperation::Resize;
        QTest::newRow("none") << "ModifyCopy" << -1 << PictureOperation::None;
        QTest::newRow("restrict") << "ModifyMove" << 0 << PictureOperation::Resize;
        QTest::newRow("left") << "ModifyCopy" << 1 << PictureOperation::RotateLeft;
        QTest::newRow("right") << "ModifyMove" << 2 << PictureOperation::RotateRight;
        QTest::newRow("half") << "ModifyCopy" << 3 << PictureOperation::Rotate180;
    }
    void operations() {
        QFETCH(QString, step);
        QFETCH(int, selected);
        QFETCH(PictureOperation, expected);
        QCOMPARE(ChooseOperation(step, selected), expected);
    }

    void filter() {
        // A one-pixel checkerboard averages to an even mid-grey.
        QImage board(1600, 1200, QImage::Format_RGB32);
        for (int y = 0; y < board.height(); ++y)
            for (int x = 0; x < board.width(); ++x)
                board.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        QVERIFY(WriteFile(file("board.bmp"), MakeBmp(board, 24)));
        cDIBSection thumb;
        QCOMPARE(PreparePicture(file("board.bmp"), PictureOperation::Resize, 79, thumb),
                 PrepareOutcome::Ready);
        QCOMPARE(QSize(thumb.dib_width(), thumb.dib_height()), QSize(79, 59));
        for (int y = 0; y < 59; ++y)
            for (int x = 0; x < 79 * 3; ++x)
                QVERIFY2(std::abs(thumb.TopRow(y)[x] - 128) <= 2, qPrintable(QString::number(x)));

        // The JPEG decoded at a reduced scale agrees with the full decode scaled down.
        QImageWriter writer(file("smooth.jpg"));
        writer.setQuality(95);
        QVERIFY(writer.write(Smooth(1600, 1200)));
        cDIBSection quick, full, scaled;
        QCOMPARE(PreparePicture(file("smooth.jpg"), PictureOperation::Resize, 79, quick),
                 PrepareOutcome::Ready);
        QVERIFY(LoadPictureSilently(file("smooth.jpg"), full));
        QCOMPARE(full.dib_width(), 1600);
        QVERIFY(ScalePicture(full, scaled, 79, 59));
        QVERIFY(MeanDifference(quick, scaled) < 1.5);
        // Enlarging is bilinear: a two-pixel ramp stays a ramp.
        cDIBSection two, wide;
        two.Create(2, 1, 3);
        std::memset(two.TopRow(0), 0, 3);
        std::memset(two.TopRow(0) + 3, 200, 3);
        QVERIFY(ScalePicture(two, wide, 8, 1));
        for (int x = 1; x < 8; ++x)
            QVERIFY(wide.TopRow(0)[x * 3] >= wide.TopRow(0)[(x - 1) * 3]);
        QVERIFY(wide.TopRow(0)[0] == 0 && wide.TopRow(0)[21] == 200);
    }

    void loader_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("size");
        QImage colours(6, 4, QImage::Format_RGB32);
        colours.fill(qRgb(200, 40, 20));
        colours.setPixel(0, 0, qRgb(0, 0, 255));
        for (int bits : {8, 24, 32})
            QTest::addRow("bmp%d", bits) << "pic.bmp" << MakeBmp(colours, bits) << QSize(6, 4);
        QTest::newRow("empty") << "empty.jpg" << QByteArray() << QSize();
        QTest::newRow("text") << "text.jpg" << QByteArray("not a picture at all\n") << QSize();
        QByteArray cut = MakeBmp(colours, 24);
        cut.chop(10);
        QTest::newRow("short bmp") << "cut.bmp" << cut << QSize();
    }
    void loader() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QSize, size);
        QVERIFY(WriteFile(file(name), content));
        cDIBSection dib;
        QCOMPARE(LoadPictureSilently(file(name), dib), size.isValid());
        QCOMPARE(QSize(dib.dib_width(), dib.dib_height()), size.isValid() ? size : QSize(0, 0));
        if (size.isValid()) {
            QCOMPARE(dib.dib_channels(), 3);
            QCOMPARE(Rgb(dib, 0, 0), qRgb(0, 0, 255));
            QCOMPARE(Rgb(dib, 5, 3), qRgb(200, 40, 20));
        }
    }

    void loaderKinds() {
        // A damaged JPEG: the decode is incomplete, so nothing is handed on.
        QImageWriter writer(file("whole.jpg"));
        QVERIFY(writer.write(Smooth(64, 48)));
        QByteArray jpeg = ReadFile(file("whole.jpg"));
        QVERIFY(WriteFile(file("damaged.jpg"), jpeg.left(jpeg.size() / 2)));
        cDIBSection dib;
        QVERIFY(!LoadPictureSilently(file("damaged.jpg"), dib));
        QVERIFY(dib.IsEmpty());

        const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
        if (convert.isEmpty())
            QSKIP("ImageMagick is needed to make GIF and CMYK pictures");
        // A transparent GIF lies over white.
        QCOMPARE(QProcess::execute(convert, {"-size", "8x6", "xc:none", "-fill", "red", "-draw",
                                             "point 1,1", file("clear.gif")}),
                 0);
        QVERIFY(LoadPictureSilently(file("clear.gif"), dib));
        QCOMPARE(QSize(dib.dib_width(), dib.dib_height()), QSize(8, 6));
        QCOMPARE(Rgb(dib, 0, 0), qRgb(255, 255, 255));
        QCOMPARE(Rgb(dib, 1, 1), qRgb(255, 0, 0));
        // CMYK keeps its colour, in three channels.
        QVERIFY(Smooth(32, 32).save(file("smooth.png")));
        QCOMPARE(QProcess::execute(convert, {file("smooth.png"), "-colorspace", "CMYK", "-quality",
                                             "95", file("cmyk.jpg")}),
                 0);
        QCOMPARE(ReadFrame(ReadFile(file("cmyk.jpg"))).components, 4);
        QVERIFY(LoadPictureSilently(file("cmyk.jpg"), dib));
        QCOMPARE(dib.dib_channels(), 3);
        const QRgb expected = Smooth(32, 32).pixel(20, 10), got = Rgb(dib, 20, 10);
        QVERIFY(std::abs(qRed(expected) - qRed(got)) < 12 &&
                std::abs(qGreen(expected) - qGreen(got)) < 12 &&
                std::abs(qBlue(expected) - qBlue(got)) < 12);
    }
};

QTEST_GUILESS_MAIN(TestPicturePipeline)
#include "test_picture_pipeline.moc"
