// The worker that decodes the next picture ahead: what it hands over is exactly what the
// UI thread would have decoded, and only for the same file, unchanged, at the same size.

#include "picture/decode_ahead.h"
#include "picture/ijl.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);

bool samePixels(const cDIBSection &a, const cDIBSection &b) {
    return a.dib_width() == b.dib_width() && a.dib_height() == b.dib_height() &&
           a.dib_channels() == b.dib_channels() &&
           std::memcmp(a.DIBSectionBitsPtr(), b.DIBSectionBitsPtr(),
                       size_t(a.BytesPerScanLine()) * a.dib_height()) == 0;
}

// The number of components in the frame header of a JPEG file, 0 when none is found.
int frameComponents(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray d = f.readAll();
    for (qsizetype i = 2; i + 9 < d.size();) {
        if (uchar(d[i]) != 0xFF)
            return 0;
        const uchar marker = uchar(d[i + 1]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return uchar(d[i + 9]);
        i += 2 + (uchar(d[i + 2]) << 8 | uchar(d[i + 3]));
    }
    return 0;
}

} // namespace

class TestDecodeAhead : public QObject {
    Q_OBJECT
  private slots:
    // The sample collection's grey picture is a true one-component JPEG, so the samples
    // exercise the greyscale decode too: it gives three equal bytes per pixel.
    void greySampleIsOneComponent() {
        const QString file = Samples + "/grey.jpg";
        QCOMPARE(frameComponents(file), 1);
        QCOMPARE(frameComponents(Samples + "/landscape.jpg"), 3);
        cDIBSection dib;
        QSize natural;
        QVERIFY(IJL::JpegReadForDisplay(dib, file, QSize(650, 535), natural));
        QCOMPARE(natural, QSize(640, 480));
        const unsigned char *row = dib.DIBSectionBitsPtr() + dib.BytesPerScanLine() * 10;
        for (int x = 0; x < dib.dib_width(); x += 37)
            QVERIFY(row[3 * x] == row[3 * x + 1] && row[3 * x] == row[3 * x + 2]);
    }

    void handsOverWhatTheUiThreadWouldDecode() {
        DecodeAhead ahead;
        const QString file = Samples + "/landscape.jpg";
        const QSize target(650, 535);
        ahead.prefetch(file, target);
        QTest::qWait(200); // the user rests on the current picture meanwhile
        cDIBSection taken, direct;
        QSize naturalTaken, naturalDirect;
        QVERIFY(ahead.take(file, target, taken, naturalTaken));
        QVERIFY(IJL::JpegReadForDisplay(direct, file, target, naturalDirect));
        QCOMPARE(naturalTaken, QSize(1600, 1200));
        QCOMPARE(naturalDirect, naturalTaken);
        QVERIFY(samePixels(taken, direct));
        // The reduced decode still covers what the preview shows.
        QVERIFY(taken.dib_width() >= 650 && taken.dib_height() >= 535);
        QVERIFY(taken.dib_width() < 1600);
        // Handed over once only.
        QVERIFY(!ahead.take(file, target, taken, naturalTaken));
    }

    void onlyForTheSameUnchangedFileAndSize() {
        QTemporaryDir dir;
        const QString file = dir.filePath("a.jpg");
        QVERIFY(QFile::copy(Samples + "/portrait.jpg", file));
        DecodeAhead ahead;
        cDIBSection out;
        QSize natural;
        ahead.prefetch(file, {400, 400});
        QTest::qWait(200);
        QVERIFY(!ahead.take(file, {800, 800}, out, natural)); // another size
        QVERIFY(ahead.take(file, {400, 400}, out, natural));  // still there for the right one
        ahead.prefetch(file, {400, 400});
        QTest::qWait(200);
        QVERIFY(!ahead.take(Samples + "/landscape.jpg", {400, 400}, out, natural));
        // The file changes after the decode: the old picture must not be shown for it.
        ahead.prefetch(file, {400, 400});
        QTest::qWait(300);
        QVERIFY(QFile::remove(file));
        QVERIFY(QFile::copy(Samples + "/landscape.jpg", file));
        QFile touched(file);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                    QFileDevice::FileModificationTime));
        touched.close();
        QVERIFY(!ahead.take(file, {400, 400}, out, natural));
    }

    void damagedFilesAreLeftToTheUiThread() {
        DecodeAhead ahead;
        cDIBSection out;
        QSize natural;
        ahead.prefetch(Samples + "/damaged.jpg", {400, 400});
        QTest::qWait(200);
        QVERIFY(!ahead.take(Samples + "/damaged.jpg", {400, 400}, out, natural));
        ahead.prefetch(Samples + "/small.gif", {400, 400});
        QVERIFY(!ahead.take(Samples + "/small.gif", {400, 400}, out, natural));
        QVERIFY(!IJL::JpegReadForDisplay(out, Samples + "/damaged.jpg", {400, 400}, natural));
    }

    void manyRequestsThenDestroyWhileBusy() {
        for (int round = 0; round < 5; ++round) {
            DecodeAhead ahead;
            for (const char *name : {"landscape.jpg", "portrait.jpg", "bars.JPEG", "fractal.jpeg"})
                ahead.prefetch(Samples + "/" + name, {100 + round, 100});
        } // destroyed with work queued and running: must join cleanly
    }
};

QTEST_GUILESS_MAIN(TestDecodeAhead)
#include "test_decode_ahead.moc"
