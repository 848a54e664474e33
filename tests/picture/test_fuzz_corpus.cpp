// Replays the saved fuzzer inputs (seeds and once-troublesome files) through the two
// readers of outside files with the ordinary build: each must end in a clear outcome.

#include "picture/ijl.h"
#include "support/recording_boxes.h"

#include <QDir>
#include <QTest>

using namespace glimmerby;

namespace {

QStringList CorpusFiles(const QString &target) {
    QDir dir(QStringLiteral(GLIMMERBY_SOURCE_DIR "/fuzz/corpus/") + target);
    QStringList paths;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        paths.append(dir.filePath(name));
    return paths;
}

// The bitmap after a call is either empty or a whole, consistent picture.
void VerifyConsistent(const cDIBSection &dib) {
    if (dib.IsEmpty()) {
        QCOMPARE(dib.dib_width(), 0);
        QCOMPARE(dib.dib_channels(), 0);
        return;
    }
    QVERIFY(dib.dib_width() > 0 && dib.dib_height() > 0);
    QVERIFY(dib.dib_channels() == 3 || dib.dib_channels() == 4);
    QCOMPARE(dib.UprightImage().size(), QSize(dib.dib_width(), dib.dib_height()));
}

} // namespace

class TestFuzzCorpus : public QObject {
    Q_OBJECT
  private slots:
    void jpegInputs() {
        const QStringList files = CorpusFiles(QStringLiteral("jpeg_read"));
        QVERIFY(files.size() >= 5);
        for (const QString &path : files) {
            RecordingBoxes boxes;
            IJL ijl(boxes);
            const bool loaded = ijl.LoadJpegFile(path);
            QVERIFY2(boxes.shown.size() <= 1, qPrintable(path));
            if (loaded) {
                QVERIFY2(boxes.shown.isEmpty() && !ijl.WorkDib().IsEmpty(), qPrintable(path));
            }
            VerifyConsistent(ijl.WorkDib());
        }
    }

    void bmpInputs() {
        const QStringList files = CorpusFiles(QStringLiteral("dib_load"));
        QVERIFY(files.size() >= 5);
        for (const QString &path : files) {
            RecordingBoxes boxes;
            IJL ijl(boxes);
            const bool loaded = ijl.LoadBmpFile(path);
            QCOMPARE(boxes.shown.size(), loaded ? 0 : 1);
            if (loaded)
                QCOMPARE(ijl.WorkDib().dib_channels(), 3);
            VerifyConsistent(ijl.WorkDib());
        }
    }
};

QTEST_GUILESS_MAIN(TestFuzzCorpus)
#include "test_fuzz_corpus.moc"
