// The picture core: the bitmap, BMP and JPEG files in and out, EXIF orientation, the fuzz
// corpus, the pipeline's turns, sizes and scaling, the decode-ahead worker, and the
// decoders of today's kinds (PNG, WebP, TIFF, HEIF, AVIF, SVG) read by content.

#include "picture/bmp_rotate.h"
#include "picture/decode_ahead.h"
#include "picture/exif_orientation.h"
#include "picture/hevc_decoder.h"
#include "picture/ijl.h"
#include "picture/picture_decoder.h"
#include "picture/picture_pipeline.h"
#include "picture/picture_scale.h"
#include "picture/silent_loader.h"
#include "picture_files.h"
#include "support/recording_boxes.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <libheif/heif.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace glimmerby;
using namespace glimmerby::testing;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR "/");

// 5 x 3 (rows carry padding), white with red, green, blue and black corners.
QImage Corners() {
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 0, qRgb(255, 0, 0)), image.setPixel(4, 0, qRgb(0, 255, 0));
    image.setPixel(0, 2, qRgb(0, 0, 255)), image.setPixel(4, 2, qRgb(0, 0, 0));
    return image;
}

// A white 8 x 8 top-left corner, red above the middle and blue below, with noise if asked.
QImage Halves(int w, int h, bool noise = false) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int n = noise && y >= 8 ? (x * 7919 + y * 104729) % 41 : 0;
            image.setPixel(x, y,
                           x < 8 && y < 8 ? qRgb(255, 255, 255)
                           : y < h / 2    ? qRgb(255 - n, n, 0)
                                          : qRgb(0, n, 255 - n));
        }
    return image;
}

QByteArray Jpeg(const QImage &image, bool progressive = false) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image) ? buffer.data() : QByteArray();
}

// Mean (or largest) difference per channel; 1e9 when the sizes differ.
double Difference(const QImage &a, const QImage &b, bool largest = false) {
    if (a.size() != b.size())
        return 1e9;
    double sum = 0, most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += std::abs(d), most = std::max(most, double(std::abs(d)));
        }
    return largest ? most : sum / (3.0 * a.width() * a.height());
}

// One row a sample, the column "name" holding its file name.
void SampleRows(std::initializer_list<const char *> names) {
    QTest::addColumn<QString>("name");
    for (const char *name : names)
        QTest::newRow(name) << QString(name);
}

// A sample as libheif itself decodes it (its HEVC through libavcodec when asked); null when
// that fails.
std::shared_ptr<heif_image> LibheifDecoded(const QString &path, heif_colorspace space,
                                           heif_chroma chroma, bool libavcodec = false) {
    heif_context *context = heif_context_alloc();
    if (libavcodec)
        UseLibavcodecForHevc(context);
    heif_image_handle *handle = nullptr;
    heif_image *image = nullptr;
    if (heif_context_read_from_file(context, qPrintable(path), nullptr).code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok)
        heif_decode_image(handle, &image, space, chroma, nullptr);
    heif_image_handle_release(handle);
    heif_context_free(context);
    return std::shared_ptr<heif_image>(image, [](heif_image *i) {
        if (i)
            heif_image_release(i);
    });
}

// Every byte distinct enough to tell each pixel and channel apart.
void Distinct(cDIBSection &dib, int w, int h, int channels) {
    dib.Create(w, h, channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * channels; ++x)
            dib.TopRow(y)[x] = uchar((y * 131 + x * 7 + 1) & 0xff);
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
    for (int y = 0; y < dib.dib_height(); ++y)
        for (int i = dib.dib_width() * dib.dib_channels(); i < dib.BytesPerScanLine(); ++i)
            if (dib.TopRow(y)[i] != 0)
                return false;
    return true;
}

int Orientation(const QByteArray &jpeg) {
    return JpegExifOrientation(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
}

QString JpegBox(int code, const QString &message) {
    return QStringLiteral("Intel Jpg Load ERROR: \n[%1] - %2").arg(code).arg(message);
}

} // namespace

class TestPicture : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString file(const QString &name) { return dir.filePath(name); }

  private slots:
    void bitmapMemory() {
        cDIBSection dib;
        QVERIFY(dib.Create(5, 3, 3) && dib.BytesPerScanLine() == 16);
        QCOMPARE(dib.TopRow(0), dib.DIBSectionBitsPtr() + 2 * 16); // bottom-up
        QVERIFY(!dib.Create(65500, 65500, 3));                     // 12 GB: refused, and empty
        QVERIFY(dib.IsEmpty() && !dib.Create(0, 5, 3));
        // Stepping decodes picture after picture into the same memory, zeroed like new.
        QVERIFY(dib.Create(100, 50, 3));
        std::fill_n(dib.DIBSectionBitsPtr(), dib.ImageSize(), 0xAB);
        const uchar *memory = dib.DIBSectionBitsPtr();
        dib.Release();
        QVERIFY(dib.IsEmpty() && dib.Recreate(99, 49, 3));
        QCOMPARE(dib.DIBSectionBitsPtr(), memory);
        QVERIFY(std::all_of(memory, memory + dib.ImageSize(), [](uchar b) { return b == 0; }));
        for (int channels : {3, 4}) {
            QVERIFY(dib.SetFromImage(Corners(), channels));
            QImage canvas(2, 2, QImage::Format_RGB32);
            dib.PaintPicture(canvas, 0, 0, 2, 2, 3, 1); // the bottom-right 2 x 2
            QCOMPARE(canvas, Corners().copy(3, 1, 2, 2));
        }
    }

    void readFiles_data() {
        QTest::addColumn<QByteArray>("bytes"); // null: no file; rows named "bmp..." are BMP
        QTest::addColumn<QImage>("picture");   // what is read, or of the size kept
        QTest::addColumn<QString>("box");      // the one box shown, if any
        QTest::addColumn<bool>("ok");
        const auto row = [](const QByteArray &tag, const QByteArray &bytes, const QImage &picture,
                            const QString &box = {}, bool ok = true) {
            QTest::newRow(tag.constData()) << bytes << picture << box << (ok && box.isEmpty());
        };
        const QImage mono = Corners()
                                .convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)
                                .convertToFormat(QImage::Format_RGB32);
        for (int bits : {1, 4, 8, 16, 24, 32})
            row("bmp " + QByteArray::number(bits), MakeBmp(bits == 1 ? mono : Corners(), bits),
                bits == 1 ? mono : Corners());
        QByteArray good = MakeBmp(Corners(), 24), pastEnd = good, huge = good;
        pastEnd[10] = char(0x00), pastEnd[11] = char(0x10);                 // pixel offset 4096
        huge[18] = huge[22] = char(0xdc), huge[19] = huge[23] = char(0xff); // 65500 x 65500
        int n = 0; // past the end, huge, cut short, not a bitmap, empty, missing
        for (const QByteArray &bad : {pastEnd, huge, good.left(good.size() - 10),
                                      QByteArray("GIF89a"), QByteArray(""), QByteArray()})
            row("bmp bad " + QByteArray::number(++n), bad, QImage(), "Can't load BMP image");
        QImage grey(33, 9, QImage::Format_Grayscale8);
        for (int x = 0; x < 33; ++x)
            for (int y = 0; y < 9; ++y)
                grey.setPixel(x, y, qRgb(x * 7, x * 7, x * 7));
        row("colour", Jpeg(Halves(64, 48)), Halves(64, 48));
        row("grey", Jpeg(grey), grey);
        for (int width : {1, 2, 4}) { // rows padded
            QImage flat(width, 5, QImage::Format_RGB32);
            flat.fill(qRgb(200, 150, 100));
            row("wide " + QByteArray::number(width), Jpeg(flat), flat);
        }
        QVERIFY(Halves(32, 32).save(file("halves.png")));
        QProcess::execute(
            QStandardPaths::findExecutable("convert"),
            {file("halves.png"), "-colorspace", "CMYK", "-quality", "95", file("cmyk.jpg")});
        row("cmyk", ReadFile(file("cmyk.jpg")), Halves(32, 32));
        const QString params = QStringLiteral("FAILED TO READ IMAGE PARAMS");
        QByteArray large = Jpeg(Halves(16, 16)), zero = large; // claiming another size
        const int sof = FindSegment(large, 0xC0);
        large[sof + 5] = large[sof + 7] = char(0xff), zero[sof + 7] = zero[sof + 8] = 0;
        row("not a jpeg", "just some words", QImage(), JpegBox(JpegCode::NotJpeg, params));
        row("missing", QByteArray(), QImage(), JpegBox(JpegCode::FileUnreadable, params));
        row("huge", large, QImage(), JpegBox(JpegCode::TooLarge, params));
        row("zero width", zero, QImage(), JpegBox(JpegCode::NotJpeg, params));
        // A later scan asks for impossible coefficients, with the size already known.
        QByteArray broken = Jpeg(Halves(64, 64), true);
        const int second = int(broken.indexOf("\xff\xda", broken.indexOf("\xff\xda") + 2));
        const int spectral = second + 5 + 2 * uchar(broken[second + 4]);
        broken[spectral] = char(63), broken[spectral + 1] = char(0);
        row("broken scan", broken, Halves(64, 64),
            JpegBox(JpegCode::DecodeFailed, "FAILED TO READ IMAGE DATA. ($path)"));
        const QByteArray whole = Jpeg(Halves(256, 256, true));
        row("cut", whole.left(whole.size() * 45 / 100), Halves(256, 256), QString(), false);
    }
    void readFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QImage, picture);
        QFETCH(QString, box);
        QFETCH(bool, ok);
        if (ok && bytes.isEmpty())
            QSKIP("ImageMagick is needed to make a CMYK JPEG");
        const bool bmp = QByteArray(QTest::currentDataTag()).startsWith("bmp");
        const QString path = file(bmp ? "p.bmp" : "p.jpg");
        QFile::remove(path);
        QVERIFY(bytes.isNull() || WriteFile(path, bytes));
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.WorkDib().Create(8, 8, 3));
        QCOMPARE(bmp ? ijl.LoadBmpFile(path) : ijl.LoadJpegFile(path), ok);
        QCOMPARE(boxes.texts(),
                 box.isEmpty() ? QStringList() : QStringList{box.replace("$path", path)});
        for (const ShownBox &b : boxes.shown)
            QVERIFY(bmp ? b.title == ProgramTitle && b.icon == BoxIcon::None
                        : b.title == "Intel(R) JPEG Library" && b.icon == BoxIcon::Exclamation);
        const cDIBSection &dib = ijl.WorkDib();
        const QImage got = dib.UprightImage();
        QCOMPARE(got.size(), picture.size());
        QVERIFY(PaddingZero(dib));
        cDIBSection silent; // the pipeline's own loader, without boxes
        QCOMPARE(LoadPictureSilently(path, silent), ok);
        if (!ok) {
            if (box.isEmpty()) { // a cut file keeps the decoded part, the rest grey
                const QColor top = got.pixelColor(2, 2), bottom = got.pixelColor(100, 250);
                QVERIFY(top.lightness() > 215);
                QVERIFY(std::abs(bottom.red() - 128) <= 4 && std::abs(bottom.blue() - 128) <= 4);
            }
            QVERIFY(WriteFile(path, Jpeg(Halves(16, 16))) && ijl.LoadJpegFile(path)); // no trace
            return;
        }
        const int tolerance = bmp ? (bytes.mid(28, 1) == "\x10" ? 8 : 0) : 8;
        const auto close = [&](const QImage &image) {
            return bmp ? Difference(image, picture, true) <= tolerance
                       : Difference(image, picture) < tolerance;
        };
        QVERIFY(close(got) && close(silent.UprightImage()) && silent.dib_channels() == 3);
        QCOMPARE(dib.dib_channels(), QTest::currentDataTag() == QLatin1String("cmyk") ? 4 : 3);
        for (qint64 i = 3; dib.dib_channels() == 4 && i < dib.ImageSize(); i += 4)
            QCOMPARE(dib.DIBSectionBitsPtr()[i], uchar(255)); // opaque
        QVERIFY(picture.format() != QImage::Format_Grayscale8 || got.isGrayscale());
    }

    // What is written is an ordinary colour JPEG; a failed write leaves the old file whole.
    void jpegWrites() {
        const QTemporaryDir local;
        const QString path = local.filePath("photo.jpg");
        const QByteArray path8 = QFile::encodeName(path);
        const QImage picture = Halves(400, 300, true);
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(!ijl.JpegWrite(ijl.WorkDib(), path, 90)); // nothing to save
        QVERIFY(ijl.WorkDib().SetFromImage(picture, 4));
        QVERIFY(!ijl.JpegWrite(ijl.WorkDib(), local.filePath("gone/photo.jpg"), 90));
        QVERIFY(WriteFile(path, "old") && ::chmod(path8, 0640) == 0);
        rlimit old{}, full{4096, RLIM_INFINITY}; // a full disk: far smaller than the file
        getrlimit(RLIMIT_FSIZE, &old), full.rlim_max = old.rlim_max;
        std::signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &full);
        const bool written = ijl.JpegWrite(ijl.WorkDib(), path, 90);
        setrlimit(RLIMIT_FSIZE, &old), std::signal(SIGXFSZ, SIG_DFL);
        QVERIFY(!written);
        QCOMPARE(ReadFile(path), QByteArray("old"));
        QCOMPARE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"photo.jpg"});
        const QString failed = QStringLiteral("Failed to save to JPG");
        QCOMPARE(boxes.texts(), (QStringList{JpegBox(JpegCode::EmptyBitmap, failed),
                                             JpegBox(JpegCode::WriteFailed, failed),
                                             JpegBox(JpegCode::WriteFailed, failed)}));
        QVERIFY(ijl.JpegWrite(ijl.WorkDib(), path, 90)); // a replaced file keeps its mode
        struct stat st {};
        QVERIFY(::stat(path8, &st) == 0 && (st.st_mode & 0777) == 0640);
        const QByteArray bytes = ReadFile(path);
        const int sof = FindSegment(bytes, 0xC0);
        QVERIFY(sof > 0 && bytes[sof + 9] == 3); // three components, 4:2:0
        QCOMPARE(QList<int>({bytes[sof + 11], bytes[sof + 14], bytes[sof + 17]}),
                 QList<int>({0x22, 0x11, 0x11}));
        QVERIFY(Difference(QImage(path), picture) < 8); // another decoder agrees
        QVERIFY(ijl.LoadJpegFile(path) && boxes.shown.size() == 3);
        QVERIFY(Difference(ijl.WorkDib().UprightImage(), picture) < 8);
    }

    void exifOrientation_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("bigEndian");
        QTest::addColumn<bool>("reduced");
        for (int o = 1; o <= 8; ++o)
            for (bool big : {false, true})
                for (bool reduced : {false, true})
                    QTest::addRow("%d %s %s", o, big ? "MM" : "II", reduced ? "reduced" : "whole")
                        << o << big << reduced;
    }
    void exifOrientation() {
        QFETCH(int, orientation);
        QFETCH(bool, bigEndian);
        QFETCH(bool, reduced);
        const QByteArray jpeg =
            WithExifOrientation(MakeQuadrantJpeg(96, 64), orientation, bigEndian);
        QCOMPARE(Orientation(jpeg), orientation);
        QVERIFY(WriteFile(file("o.jpg"), jpeg));
        const QSize upright = orientation >= 5 ? QSize(64, 96) : QSize(96, 64);
        cDIBSection dib;
        QSize natural = upright;
        RecordingBoxes boxes;
        QVERIFY(reduced ? IJL::JpegReadForDisplay(dib, file("o.jpg"), QSize(24, 30), natural)
                        : IJL(boxes).JpegRead(dib, file("o.jpg")));
        QCOMPARE(natural, upright);
        const QSize got(dib.dib_width(), dib.dib_height());
        if (reduced) // at least the target, turned like the picture, less than whole
            QVERIFY(got.width() >= 24 && got.height() >= 30 && got.width() < upright.width());
        QCOMPARE(got, reduced ? upright.scaled(got, Qt::KeepAspectRatio) : upright);
        QCOMPARE(CornerColours(dib.UprightImage()), ExpectedCorners(orientation));
    }

    // Saved fuzzer inputs through both readers end in a whole picture or an empty bitmap;
    // hostile Exif segments ("exif-oN-...") give orientation N.
    void fuzzCorpus_data() {
        QTest::addColumn<QString>("path");
        for (const char *target : {"jpeg_read", "dib_load"}) {
            const QDir corpus(QStringLiteral(GLIMMERBY_SOURCE_DIR "/fuzz/corpus/") + target);
            const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
            QVERIFY(names.size() >= 8);
            for (const QString &name : names)
                QTest::addRow("%s/%s", target, qPrintable(name)) << corpus.filePath(name);
        }
    }
    void fuzzCorpus() {
        QFETCH(QString, path);
        RecordingBoxes boxes;
        IJL ijl(boxes);
        const bool bmp = path.contains("/dib_load/");
        const bool loaded = bmp ? ijl.LoadBmpFile(path) : ijl.LoadJpegFile(path);
        QVERIFY(loaded ? boxes.shown.isEmpty()
                       : boxes.shown.size() == 1 || (!bmp && boxes.shown.isEmpty()));
        const cDIBSection &dib = ijl.WorkDib();
        QCOMPARE(dib.UprightImage().size(), QSize(dib.dib_width(), dib.dib_height()));
        QVERIFY(dib.IsEmpty() || dib.dib_channels() == 3 || (!bmp && dib.dib_channels() == 4));
        const QString name = QFileInfo(path).fileName();
        if (name.startsWith("exif-o"))
            QCOMPARE(Orientation(ReadFile(path)), name.mid(6, 1).toInt());
    }

    void turns_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("channels");
        for (const QSize s : {QSize(1, 1), QSize(1, 7), QSize(7, 1), QSize(5, 3), QSize(33, 17),
                              QSize(40000, 2)}) // a side beyond 16-bit coordinates
            for (int channels : {3, 4})
                QTest::addRow("%dx%d/%d", s.width(), s.height(), channels) << s << channels;
    }
    void turns() {
        QFETCH(QSize, size);
        QFETCH(int, channels);
        const int w = size.width(), h = size.height();
        cDIBSection src, left, right, half, back;
        Distinct(src, w, h, channels);
        int steps = 0;
        QVERIFY(bmp_rotate(src, left, 1.5710f, [&] { ++steps; })); // within 1e-3 of the left turn
        QVERIFY(steps <= RotateStrips);
        QVERIFY(bmp_rotate(src, right, RotateRightAngle));
        QVERIFY(bmp_rotate(src, half, Rotate180Angle));
        QCOMPARE(QSize(left.dib_width(), left.dib_height()), size.transposed());
        QCOMPARE(QSize(right.dib_width(), right.dib_height()), size.transposed());
        QCOMPARE(QSize(half.dib_width(), half.dib_height()), size);
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < h; ++x) {
                QCOMPARE(Pixel(left, x, y), Pixel(src, w - 1 - y, x));
                QCOMPARE(Pixel(right, x, y), Pixel(src, y, h - 1 - x));
                QCOMPARE(Pixel(half, y, x), Pixel(src, w - 1 - y, h - 1 - x));
            }
        QVERIFY(PaddingZero(left) && PaddingZero(right) && PaddingZero(half));
        QVERIFY(bmp_rotate(left, back, RotateRightAngle) && Equal(back, src));
        QVERIFY(bmp_rotate(half, back, Rotate180Angle) && Equal(back, src));
        QVERIFY(!bmp_rotate(src, back, 0.5f) && back.IsEmpty()); // only the three turns
    }

    void sizes_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("modify");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QSize>("expected"); // 0 x 0: nothing to write, -1 x -1: too large
        const QSize wide(1600, 1200);
        QTest::newRow("thumb") << "Thumb" << false << "640" << wide << QSize(79, 59);
        QTest::newRow("thumb tall") << "Thumb" << false << "" << QSize(1200, 1600) << QSize(59, 79);
        QTest::newRow("thumb up") << "Thumb" << false << "" << QSize(50, 50) << QSize(79, 79);
        QTest::newRow("thumb on") << "Thumb" << true << "640" << wide << QSize(644, 483);
        QTest::newRow("square") << "ModifyCopy" << false << "640" << QSize(500, 500)
                                << QSize(644, 644);
        QTest::newRow("empty") << "ModifyCopy" << false << "" << wide << QSize(4, 3);
        QTest::newRow("sliver") << "Thumb" << false << "" << QSize(4000, 10) << QSize(79, 1);
        QTest::newRow("blank") << "ModifyMove" << false << " 640" << wide << QSize(644, 483);
        QTest::newRow("unit") << "ModifyMove" << false << "640px" << wide << QSize(644, 483);
        QTest::newRow("letters") << "ModifyMove" << false << "abc" << wide << QSize(4, 3);
        QTest::newRow("negative") << "ModifyMove" << false << "-10" << wide << QSize(0, 0);
        QTest::newRow("huge") << "ModifyMove" << false << "99999" << wide << QSize(-1, -1);
    }
    void sizes() {
        QFETCH(QString, step);
        QFETCH(bool, modify);
        QFETCH(QString, text);
        QFETCH(QSize, natural);
        QFETCH(QSize, expected);
        QCOMPARE(ResizeTarget(natural, PipelineLongSide(step, modify, text)), expected);
    }

    void scaling() {
        QImage board(1600, 1200, QImage::Format_RGB32), grey(79, 59, QImage::Format_RGB32);
        for (int y = 0; y < board.height(); ++y) // one-pixel checkerboard: even mid-grey
            for (int x = 0; x < board.width(); ++x)
                board.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        grey.fill(qRgb(128, 128, 128));
        QVERIFY(WriteFile(file("board.bmp"), MakeBmp(board, 24)));
        cDIBSection thumb, quick, full, scaled, two, wide;
        QCOMPARE(PreparePicture(file("board.bmp"), PictureOperation::Resize, 79, thumb),
                 PrepareOutcome::Ready);
        QVERIFY(Difference(thumb.UprightImage(), grey, true) <= 2);
        // A JPEG decoded at a reduced scale agrees with the full decode scaled down.
        QVERIFY(WriteFile(file("smooth.jpg"), Jpeg(Halves(1600, 1200, true))));
        QCOMPARE(PreparePicture(file("smooth.jpg"), PictureOperation::Resize, 79, quick),
                 PrepareOutcome::Ready);
        QVERIFY(LoadPictureSilently(file("smooth.jpg"), full) && full.dib_width() == 1600);
        QVERIFY(ScalePicture(full, scaled, 79, 59));
        QVERIFY(Difference(quick.UprightImage(), scaled.UprightImage()) < 1.5);
        two.Create(2, 1, 3); // enlarging is bilinear: in between, not a copy of either end
        std::memset(two.TopRow(0) + 3, 200, 3);
        QVERIFY(ScalePicture(two, wide, 8, 1) && wide.TopRow(0)[0] == 0);
        const uchar *ramp = wide.TopRow(0);
        QVERIFY(ramp[9] > 20 && ramp[12] > ramp[9] && ramp[12] < 180 && ramp[21] == 200);
        QCOMPARE(ChooseOperation("ModifyCopy", -1), PictureOperation::None); // no option: as is
    }

    void transparentGifLiesOverWhite() {
        QCOMPARE(QProcess::execute(QStandardPaths::findExecutable("convert"),
                                   {"-size", "4x4", "xc:none", "-fill", "red", "-draw", "point 0,0",
                                    file("clear.gif")}),
                 0);
        cDIBSection dib;
        QVERIFY(LoadPictureSilently(file("clear.gif"), dib) && dib.dib_channels() == 3);
        const QImage got = dib.UprightImage();
        QVERIFY(got.pixel(0, 0) == qRgb(255, 0, 0) && got.pixel(3, 3) == qRgb(255, 255, 255));
    }

    // Each of today's kinds read by its content at its size, upright as the file says, over
    // white; and at a reduced size, exactly what was asked for. The turned ones are the phone
    // photo, stored lying on its side, as the JPEG path shows it.
    void todayKinds_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<int>("turn"); // against the phone photo shown upright; -1: not it
        for (const char *row :
             {"turned.png 300x400 0", "turned.webp 300x400 0", "turned.tif 300x400 0",
              "turned.heic 300x400 0", "still.heif 400x300 -90", "full.heif 400x300 -90",
              "odd.heic 399x299 -1", "plain.avif 400x300 -90", "deep.tiff 320x200 -1",
              "clear.png 240x180 -1", "clear.heic 240x180 -1", "deep.heic 400x300 -1",
              "drawing.svg 300x200 -1", "download.jpg 320x240 -1", "thumbed.heic 400x300 -90",
              "thumbturned.heic 300x400 0"}) {
            const QStringList p = QString(row).split(' ');
            const QStringList size = p[1].split('x');
            QTest::newRow(row) << p[0] << QSize(size[0].toInt(), size[1].toInt()) << p[2].toInt();
        }
    }
    void todayKinds() {
        QFETCH(QString, name);
        QFETCH(QSize, natural);
        QFETCH(int, turn);
        cDIBSection dib, half;
        QSize seen;
        DecodeError why;
        QVERIFY2(DecodePictureFile(Samples + name, dib, {}, &seen, &why), qPrintable(why.message));
        QCOMPARE(seen, natural);
        QCOMPARE(QSize(dib.dib_width(), dib.dib_height()), natural);
        QCOMPARE(dib.dib_channels(), 3);
        const QImage got = dib.UprightImage();
        if (turn >= 0) {
            cDIBSection phone;
            QVERIFY(LoadPictureSilently(Samples + "phone.jpg", phone));
            const QImage upright = phone.UprightImage().transformed(QTransform().rotate(turn));
            QVERIFY2(Difference(got, upright) < 6,
                     qPrintable(QString::number(Difference(got, upright))));
        }
        const auto near = [&](QPoint at, QRgb want) {
            const QRgb c = got.pixel(at);
            return std::abs(qRed(c) - qRed(want)) + std::abs(qGreen(c) - qGreen(want)) +
                       std::abs(qBlue(c) - qBlue(want)) <
                   24;
        };
        if (name.startsWith("clear.")) // half-transparent red over white; the outside white
            QVERIFY(near({120, 90}, qRgb(228, 128, 128)) && near({2, 2}, qRgb(255, 255, 255)));
        if (name == "drawing.svg")
            QVERIFY(near({150, 100}, qRgb(0xf0, 0xc0, 0x20)) &&
                    near({3, 3}, qRgb(0x1e, 0x5a, 0xa0)));
        if (name == "deep.tiff") // 16 bits a channel, taken down to 8
            QVERIFY(near({5, 1}, qRgb(255, 255, 255)) && near({5, 198}, qRgb(0, 128, 128)));
        // Half the size: exactly that, the same picture.
        const QSize wanted = natural / 2;
        QVERIFY(DecodePictureFile(Samples + name, half, [&](QSize) { return wanted; }));
        QCOMPARE(QSize(half.dib_width(), half.dib_height()), wanted);
        const QImage reduced = got.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(Difference(half.UprightImage(), reduced) < 12);
        // The core entry for thumbnails: within a box, upright, never enlarged.
        const QImage small = decodeForSize(Samples + name, 100, 100);
        QCOMPARE(small.size(), natural.scaled(100, 100, Qt::KeepAspectRatio));
        const double smallDiff = Difference(
            small, got.scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        QVERIFY2(smallDiff < 12, qPrintable(QString::number(smallDiff)));
        QCOMPARE(decodeForSize(Samples + name, 4000, 4000).size(), natural);
    }

    // PNGs of every pixel layout come out as Qt's own reader shows them over white, at full
    // size and reduced; an interlaced one goes through Qt's reader; a cut one fails.
    void pngLayouts_data() {
        SampleRows(
            {"palette", "grey", "grey16", "mono", "rgba64", "grey-alpha", "interlaced", "cut"});
    }
    void pngLayouts() {
        QFETCH(QString, name);
        const QString path = file(name + ".png");
        QImage made(96, 64, QImage::Format_ARGB32);
        for (int y = 0; y < made.height(); ++y)
            for (int x = 0; x < made.width(); ++x)
                made.setPixel(x, y, qRgba(x * 2, y * 4, (x + y) % 256, 255 - x * 2));
        const auto magick = [&](const QStringList &options) {
            QVERIFY(made.save(file("source.png")));
            QCOMPARE(
                QProcess::execute(QStandardPaths::findExecutable("convert"),
                                  QStringList{file("source.png")} + options + QStringList{path}),
                0);
        };
        if (name == "palette") {
            QImage indexed = made.convertToFormat(QImage::Format_Indexed8);
            indexed.setColor(0, qRgba(255, 0, 0, 128)); // a partly transparent colour
            QVERIFY(indexed.save(path));
        } else if (name == "grey" || name == "grey16" || name == "mono" || name == "rgba64") {
            const QImage::Format to = name == "grey"     ? QImage::Format_Grayscale8
                                      : name == "grey16" ? QImage::Format_Grayscale16
                                      : name == "mono"   ? QImage::Format_Mono
                                                         : QImage::Format_RGBA64;
            QVERIFY(made.convertToFormat(to).save(path));
        } else if (name == "grey-alpha") {
            magick({"-colorspace", "Gray", "-define", "png:color-type=4"});
        } else if (name == "interlaced") {
            magick({"-interlace", "PNG"});
        } else {
            QVERIFY(made.save(path));
            QFile cut(path);
            QVERIFY(cut.open(QIODevice::ReadWrite) && cut.resize(cut.size() * 3 / 5));
        }
        cDIBSection dib;
        DecodeError why;
        const bool ok = DecodePictureFile(path, dib, {}, nullptr, &why);
        if (name == "cut") {
            QVERIFY(!ok);
            QCOMPARE(why.code, JpegCode::DecodeFailed);
            return;
        }
        QVERIFY2(ok, qPrintable(why.message));
        QImage overWhite(made.size(), QImage::Format_RGB32);
        overWhite.fill(Qt::white);
        QPainter(&overWhite).drawImage(0, 0, QImage(path));
        QVERIFY2(Difference(dib.UprightImage(), overWhite) < 1.5,
                 qPrintable(QString::number(Difference(dib.UprightImage(), overWhite))));
        QVERIFY(DecodePictureFile(path, dib, [](QSize) { return QSize(32, 21); }));
        const QImage reduced =
            overWhite.scaled(32, 21, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(Difference(dib.UprightImage(), reduced) < 12);
    }

    // HEIF pictures are reduced from the codec's own YCbCr rather than through libheif's
    // RGB; at full size the colours must still be those libheif itself gives (a few pixels
    // at sharp colour edges round differently in its fixed-point conversion): with a turn,
    // a colour box (BT.709, studio range) that this libheif leaves aside, full colour
    // resolution, a grid.
    void heifAsLibheif_data() {
        SampleRows(
            {"turned.heic", "still.heif", "studio.heif", "full.heif", "odd.heic", "plain.avif"});
    }
    void heifAsLibheif() {
        QFETCH(QString, name);
        const auto image =
            LibheifDecoded(Samples + name, heif_colorspace_RGB, heif_chroma_interleaved_RGB);
        QVERIFY(image);
        int stride = 0;
        const uint8_t *rgb =
            heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
        const QImage theirs =
            QImage(rgb, heif_image_get_width(image.get(), heif_channel_interleaved),
                   heif_image_get_height(image.get(), heif_channel_interleaved), stride,
                   QImage::Format_RGB888)
                .convertToFormat(QImage::Format_RGB32);
        cDIBSection ours;
        QVERIFY(DecodePictureFile(Samples + name, ours));
        const double mean = Difference(ours.UprightImage(), theirs);
        QVERIFY2(mean < 0.25, qPrintable(QString::number(mean)));
    }

    // A HEIC's own small copy serves the sizes it covers: with the picture's data wiped,
    // a thumbnail is still the picture.
    void heifSmallCopy() {
        QByteArray bytes = ReadFile(Samples + "thumbed.heic");
        QVERIFY(bytes.size() > 9000); // the picture's data runs from about 600 to 9000
        bytes.replace(1500, 7000, QByteArray(7000, '\0'));
        const QString wiped = file("wiped.heic");
        QFile out(wiped);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();
        const QImage small = decodeForSize(wiped, 100, 100);
        const QImage whole = decodeForSize(Samples + "still.heif", 100, 100);
        QCOMPARE(small.size(), QSize(100, 75));
        QVERIFY2(Difference(small, whole) < 6,
                 qPrintable(QString::number(Difference(small, whole))));
    }

    // libavcodec decodes the HEVC of every sort of HEIC exactly as libheif's own decoder
    // does: each plane (the picture, a grid's tile, full chroma, transparency, 10 bits),
    // taken to full chroma resolution the same way on both sides.
    void libavcodecAsLibde265_data() {
        SampleRows(
            {"turned.heic", "studio.heif", "full.heif", "odd.heic", "clear.heic", "deep.heic"});
    }
    void libavcodecAsLibde265() {
        QFETCH(QString, name);
        const auto planes = [&](bool libavcodec) {
            QByteArrayList found; // per plane: its size and depth, then its rows
            const auto image =
                LibheifDecoded(Samples + name, heif_colorspace_YCbCr, heif_chroma_444, libavcodec);
            for (heif_channel c :
                 {heif_channel_Y, heif_channel_Cb, heif_channel_Cr, heif_channel_Alpha}) {
                if (!image || !heif_image_has_channel(image.get(), c))
                    continue;
                int stride = 0;
                const uint8_t *rows = heif_image_get_plane_readonly(image.get(), c, &stride);
                const int w = heif_image_get_width(image.get(), c);
                const int h = heif_image_get_height(image.get(), c);
                const int bits = heif_image_get_bits_per_pixel_range(image.get(), c);
                QByteArray plane =
                    QString("%1 %2x%3 %4:").arg(c).arg(w).arg(h).arg(bits).toLatin1();
                for (int y = 0; y < h; ++y)
                    plane.append(reinterpret_cast<const char *>(rows) + y * stride,
                                 w * ((bits + 7) / 8));
                found << plane;
            }
            return found;
        };
        const QByteArrayList theirs = planes(false), ours = planes(true);
        QVERIFY(theirs.size() == (name == "clear.heic" ? 4 : 3));
        for (int i = 0; i < theirs.size(); ++i)
            QVERIFY2(i < ours.size() && ours[i] == theirs[i],
                     theirs[i].left(theirs[i].indexOf(':')).constData());
        QCOMPARE(ours.size(), theirs.size());
    }

    // Data no decoder takes, and pictures over the pixel limit, say why; nothing crashes.
    void refusedPictures_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code"); // 1: any failure
        const QByteArray png = ReadFile(Samples + "turned.png");
        const QByteArray webp = ReadFile(Samples + "turned.webp");
        const QByteArray heic = ReadFile(Samples + "turned.heic");
        QTest::newRow("words") << QByteArray("no picture here") << int(JpegCode::NotJpeg);
        QTest::newRow("png cut") << png.left(png.size() / 2) << 1;
        QTest::newRow("png header") << png.left(40) << 1;
        QTest::newRow("webp cut") << webp.left(webp.size() / 2) << 1;
        QTest::newRow("heic cut") << heic.left(heic.size() / 2) << 1;
        QTest::newRow("heic start") << heic.left(64) << 1;
        QTest::newRow("svg huge") << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' "
                                                "width='30000' height='30000'/>")
                                  << int(JpegCode::TooLarge);
        QTest::newRow("svg broken") << QByteArray("<svg><rect") << int(JpegCode::NotJpeg);
    }
    void refusedPictures() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        cDIBSection dib;
        DecodeError why;
        QVERIFY(!DecodePictureData(bytes, dib, {}, nullptr, &why));
        QVERIFY(dib.IsEmpty());
        QVERIFY(code == 1 ? why.code < 0 : why.code == code);
        QVERIFY(!why.message.isEmpty());
    }

    // "As .JPG File(s)" of a HEIC photo: an upright JPEG.
    void heicConvertsToUprightJpeg() {
        cDIBSection picture;
        QCOMPARE(PreparePicture(Samples + "turned.heic", ChooseOperation("Convert", 0), 0, picture),
                 PrepareOutcome::Ready);
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.JpegWrite(picture, file("turned.JPG"), 90));
        QCOMPARE(QImageReader(file("turned.JPG")).size(), QSize(300, 400));
        cDIBSection thumb;
        QCOMPARE(PreparePicture(Samples + "turned.heic", PictureOperation::Resize, 79, thumb),
                 PrepareOutcome::Ready);
        QCOMPARE(QSize(thumb.dib_width(), thumb.dib_height()), QSize(59, 79));
    }

    // The workers hand over what the UI thread would decode, once, only for the same file,
    // unchanged, at the same size; damaged files are left to the UI thread. Two pictures
    // ahead are decoded; the one kept for the step survives a new list; the others go.
    void decodeAhead() {
        for (int round = 0; round < 3; ++round) { // destroyed with work queued and running
            DecodeAhead busy;
            for (const char *name : {"landscape.jpg", "portrait.jpg", "bars.JPEG"})
                busy.want({Samples + name, Samples + "turned.heic"}, {100 + round, 100});
        }
        // The samples hold a true one-component JPEG, for the greyscale decode.
        QCOMPARE(QImageReader(Samples + "grey.jpg").imageFormat(), QImage::Format_Grayscale8);
        const QString path = file("a.jpg"), portrait = Samples + "portrait.jpg";
        QVERIFY(QFile::copy(Samples + "landscape.jpg", path));
        DecodeAhead ahead;
        cDIBSection taken, direct;
        QSize natural, naturalDirect;
        for (const QString &each : {Samples + "turned.heic", Samples + "damaged.jpg", path}) {
            ahead.want({each, portrait}, {650, 535});
            QTest::qWait(200); // the user rests on the current picture meanwhile
            QVERIFY(!ahead.take(each, {800, 800}, taken, natural));
            ahead.want({Samples + "odd.heic"}, {650, 535}, each);       // the step starts
            QVERIFY(!ahead.take(portrait, {650, 535}, taken, natural)); // let go
            QCOMPARE(ahead.take(each, {650, 535}, taken, natural), !each.contains("damaged"));
            QVERIFY(!ahead.take(each, {650, 535}, taken, natural));
        }
        QVERIFY(IJL::JpegReadForDisplay(direct, path, {650, 535}, naturalDirect));
        QCOMPARE(natural, QSize(1600, 1200));
        QCOMPARE(naturalDirect, natural);
        QVERIFY(Equal(taken, direct));
        QVERIFY(taken.dib_width() >= 650 && taken.dib_height() >= 535 && taken.dib_width() < 1600);
        ahead.want({Samples + "turned.png", path}, {650, 535});
        QTest::qWait(300);
        QVERIFY(ahead.take(Samples + "turned.png", {650, 535}, taken, natural));
        QCOMPARE(natural, QSize(300, 400));
        // A picture shown is handed over again, as often as asked, while its file stays.
        ahead.remember(path, {650, 535}, direct, naturalDirect);
        for (int i = 0; i < 2; ++i)
            QVERIFY(ahead.take(path, {650, 535}, taken, natural) && Equal(taken, direct));
        QVERIFY(QFile::remove(path) && QFile::copy(portrait, path));
        QVERIFY(!ahead.take(path, {650, 535}, taken, natural)); // changed since the decode
        // Room for a whole picture: the rest is let go, a decode of the kept one stays.
        const QString odd = Samples + "odd.heic", turned = Samples + "turned.heic";
        ahead.want({odd, turned, Samples + "turned.png"}, {650, 535});
        QTest::qWait(300); // the small picture decoded
        ahead.makeRoomFor(odd, {650, 535});
        QVERIFY(!ahead.take(turned, {650, 535}, taken, natural));
        QVERIFY(!ahead.take(Samples + "turned.png", {650, 535}, taken, natural));
        QVERIFY(ahead.take(odd, {650, 535}, taken, natural));
        QCOMPARE(natural, QSize(399, 299));
        // A kept picture decoded already is handed over at once, though a large whole picture
        // is still being decoded for the step after it.
        const QString large = file("large.tif");
        QImage big(6000, 4000, QImage::Format_RGB888);
        big.fill(Qt::darkCyan);
        QImageWriter writer(large);
        writer.setCompression(1); // LZW: small on disk, slow enough to decode
        QVERIFY(writer.write(big));
        ahead.want({odd}, {650, 535});
        QTest::qWait(300);
        ahead.want({odd, large}, {650, 535});
        QTest::qWait(20); // the large one under way
        QElapsedTimer room;
        room.start();
        ahead.makeRoomFor(odd, {650, 535});
        QVERIFY2(room.elapsed() < 40, qPrintable(QString::number(room.elapsed())));
        QVERIFY(ahead.take(odd, {650, 535}, taken, natural));
        QVERIFY(HoldsWholePicture("a.HEIC") && HoldsWholePicture("b.tif") &&
                !HoldsWholePicture("c.png"));
    }
};

QTEST_GUILESS_MAIN(TestPicture)
#include "test_picture.moc"
