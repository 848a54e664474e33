// Encoding bitmaps into JPEG files: what is written, and that a failed save never harms
// the file already there.

#include "picture/ijl.h"
#include "picture_files.h"
#include "support/recording_boxes.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using namespace glimmerby;
using namespace glimmerby::testing;

namespace {

// A busy picture (so files are large) with a distinct top-left corner: smooth colours
// (which survive chroma subsampling) under fine grey grain.
QImage Busy(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int grain = (x * y * 17 + 71) % 32;
            image.setPixel(x, y, qRgb(x % 200 + grain, y % 200 + grain, (x + y) % 200 + grain));
        }
    for (int y = 0; y < qMin(16, height); ++y)
        for (int x = 0; x < qMin(16, width); ++x)
            image.setPixel(x, y, qRgb(250, 250, 10));
    return image;
}

double MeanDifference(const QImage &a, const QImage &b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum +=
                qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

QString SaveBox(int code) {
    return QStringLiteral("Intel Jpg Load ERROR: \n[%1] - Failed to save to JPG").arg(code);
}

// The file size limit makes every write past it fail, as a full disk would.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, SIG_DFL);
    }

  private:
    rlimit old_{};
};

} // namespace

class TestIjlWrite : public QObject {
    Q_OBJECT

  private slots:
    void roundTripStaysUpright_data() {
        QTest::addColumn<int>("channels");
        QTest::newRow("3 channels") << 3;
        QTest::newRow("4 channels") << 4;
    }
    void roundTripStaysUpright() {
        QFETCH(int, channels);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.jpg");
        const QImage picture = Busy(97, 61);
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.WorkDib().SetFromImage(picture, channels));
        QVERIFY(ijl.JpegWrite(ijl.WorkDib(), path, 95));
        QVERIFY(boxes.shown.isEmpty());

        // An ordinary colour JPEG with 4:2:0 subsampling, whatever the bitmap's channels.
        const FrameInfo frame = ReadFrame(ReadFile(path));
        QCOMPARE(frame.width, 97);
        QCOMPARE(frame.height, 61);
        QCOMPARE(frame.components, 3);
        QCOMPARE(frame.sampling, (QList<int>{0x22, 0x11, 0x11}));

        // Another decoder sees the same picture, top-left corner where it belongs.
        const QImage other = QImage(path).convertToFormat(QImage::Format_RGB32);
        QVERIFY(qAbs(qRed(other.pixel(3, 3)) - 250) < 20 && qBlue(other.pixel(3, 3)) < 50);
        QVERIFY(MeanDifference(other, picture) < 8);

        // And our own decoder reads it back.
        QVERIFY(ijl.LoadJpegFile(path));
        QCOMPARE(ijl.WorkDib().dib_channels(), 3);
        QVERIFY(MeanDifference(ijl.WorkDib().UprightImage().convertToFormat(QImage::Format_RGB32),
                               picture) < 8);
    }

    void qualityReachesTheEncoder() {
        QTemporaryDir dir;
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.WorkDib().SetFromImage(Busy(64, 64)));
        const QString best = dir.filePath("q100.jpg"), half = dir.filePath("q50.jpg");
        QVERIFY(ijl.JpegWrite(ijl.WorkDib(), best, 100));
        QVERIFY(ijl.JpegWrite(ijl.WorkDib(), half, 50));
        const QByteArray bestBytes = ReadFile(best), halfBytes = ReadFile(half);
        QVERIFY(bestBytes.size() > halfBytes.size());
        // Quality 100 makes every luminance divisor 1; quality 50 keeps the standard
        // table, whose first divisor is 16.
        const int dqtBest = FindSegment(bestBytes, 0xDB), dqtHalf = FindSegment(halfBytes, 0xDB);
        QVERIFY(dqtBest > 0 && dqtHalf > 0);
        for (int i = 0; i < 64; ++i)
            QCOMPARE(int(uchar(bestBytes[dqtBest + 5 + i])), 1);
        QCOMPARE(int(uchar(halfBytes[dqtHalf + 5])), 16);
    }

    void emptyBitmapIsRefused() {
        QTemporaryDir dir;
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(!ijl.JpegWrite(ijl.WorkDib(), dir.filePath("none.jpg"), 90));
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text, SaveBox(JpegCode::EmptyBitmap));
        QCOMPARE(boxes.shown[0].title, QStringLiteral("Intel(R) JPEG Library"));
        QCOMPARE(boxes.shown[0].icon, BoxIcon::Exclamation);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void failedWriteKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("photo.jpg");
        const QByteArray old(3000, 'o');
        QVERIFY(WriteFile(path, old));
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.WorkDib().SetFromImage(Busy(400, 300)));
        bool written = true;
        {
            const FileSizeLimit limit(4096); // the new file is far bigger
            written = ijl.JpegWrite(ijl.WorkDib(), path, 90);
        }
        QVERIFY(!written);
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text, SaveBox(JpegCode::WriteFailed));
        QCOMPARE(ReadFile(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.jpg"});
    }

    void vanishedDirectory() {
        QTemporaryDir dir;
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.WorkDib().SetFromImage(Busy(8, 8)));
        QVERIFY(!ijl.JpegWrite(ijl.WorkDib(), dir.filePath("gone/photo.jpg"), 90));
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text, SaveBox(JpegCode::WriteFailed));
    }

    void replacingKeepsPermissions() {
        QTemporaryDir dir;
        const QString path = dir.filePath("photo.jpg");
        QVERIFY(WriteFile(path, "old"));
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(path, mode));
        RecordingBoxes boxes;
        IJL ijl(boxes);
        QVERIFY(ijl.WorkDib().SetFromImage(Busy(8, 8)));
        QVERIFY(ijl.JpegWrite(ijl.WorkDib(), path, 90));
        const auto ownerGroupOther = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                     QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                     QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(path) & ownerGroupOther, mode);
        QVERIFY(!QImage(path).isNull());
    }
};

QTEST_GUILESS_MAIN(TestIjlWrite)
#include "test_ijl_write.moc"
