// Pictures turned upright by their EXIF Orientation: the eight cases on a picture with four
// coloured corners, decoded whole and at a reduced scale, in both byte orders; plain copies,
// moves and renames that keep the tag; and hostile Exif segments from the fuzz corpus,
// which count as "as stored".

#include "organize/file_transfer.h"
#include "picture/exif_orientation.h"
#include "picture/ijl.h"
#include "picture_files.h"
#include "support/recording_boxes.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;
using namespace glimmerby::testing;

class TestExifOrientation : public QObject {
    Q_OBJECT
  private slots:
    void eightOrientations_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("bigEndian");
        QTest::addColumn<bool>("reduced");
        for (int o = 1; o <= 8; ++o)
            for (bool big : {false, true})
                for (bool reduced : {false, true})
                    QTest::addRow("%d %s %s", o, big ? "MM" : "II", reduced ? "reduced" : "whole")
                        << o << big << reduced;
    }
    void eightOrientations() {
        QFETCH(int, orientation);
        QFETCH(bool, bigEndian);
        QFETCH(bool, reduced);
        const QByteArray jpeg =
            WithExifOrientation(MakeQuadrantJpeg(96, 64), orientation, bigEndian);
        QCOMPARE(JpegExifOrientation(reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                     std::size_t(jpeg.size())),
                 orientation);
        QTemporaryDir dir;
        const QString path = dir.filePath("o.jpg");
        QVERIFY(WriteFile(path, jpeg));
        const QSize upright = orientation >= 5 ? QSize(64, 96) : QSize(96, 64);
        cDIBSection dib;
        if (reduced) {
            QSize natural;
            QVERIFY(IJL::JpegReadForDisplay(dib, path, QSize(24, 30), natural));
            QCOMPARE(natural, upright);
            // At least the target, turned the same way as the picture, and less than whole.
            QVERIFY(dib.dib_width() >= 24 && dib.dib_height() >= 30);
            QVERIFY(dib.dib_width() < upright.width());
            QCOMPARE(dib.dib_width() * upright.height(), dib.dib_height() * upright.width());
        } else {
            RecordingBoxes boxes;
            IJL codec(boxes);
            QVERIFY(codec.JpegRead(dib, path));
            QCOMPARE(QSize(dib.dib_width(), dib.dib_height()), upright);
        }
        QCOMPARE(CornerColours(dib.UprightImage()), ExpectedCorners(orientation));
    }

    // Plain copies, moves and renames never touch a file's bytes: the tag travels with it.
    void plainTransferKeepsTheTag_data() {
        QTest::addColumn<QString>("how");
        for (const char *how : {"copy", "move", "rename"})
            QTest::newRow(how) << QString(how);
    }
    void plainTransferKeepsTheTag() {
        QFETCH(QString, how);
        QTemporaryDir from, to;
        const QByteArray jpeg = WithExifOrientation(MakeQuadrantJpeg(96, 64), 6, false);
        const QString source = from.filePath("phone.jpg");
        QVERIFY(WriteFile(source, jpeg));
        const QString target = (how == "rename" ? from : to).filePath("renamed.jpg");
        const TransferResult result = how == "copy"   ? CopyFileTo(source, target, Clash::Keep)
                                      : how == "move" ? MoveFileTo(source, target, Clash::Keep)
                                                      : RenameFileTo(source, target);
        QCOMPARE(int(result.outcome), int(Outcome::Done));
        QCOMPARE(ReadFile(target), jpeg);
    }

    // Truncated segments, offsets out of range, IFD loops, huge counts, values out of
    // range, in both byte orders: each name says what orientation it must give.
    void hostileExif_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("expected");
        const QDir corpus(QStringLiteral(GLIMMERBY_SOURCE_DIR "/fuzz/corpus/jpeg_read"));
        const QStringList names = corpus.entryList({"exif-o*"}, QDir::Files, QDir::Name);
        QVERIFY(names.size() >= 8);
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << corpus.filePath(name) << name.mid(6, 1).toInt();
    }
    void hostileExif() {
        QFETCH(QString, path);
        QFETCH(int, expected);
        const QByteArray bytes = ReadFile(path);
        QCOMPARE(JpegExifOrientation(reinterpret_cast<const unsigned char *>(bytes.constData()),
                                     std::size_t(bytes.size())),
                 expected);
        RecordingBoxes boxes;
        IJL codec(boxes);
        if (codec.LoadJpegFile(path)) {
            const QSize stored(ReadFrame(bytes).width, ReadFrame(bytes).height);
            QCOMPARE(QSize(codec.WorkDib().dib_width(), codec.WorkDib().dib_height()),
                     UprightSize(stored, expected));
        }
    }
};

QTEST_GUILESS_MAIN(TestExifOrientation)
#include "test_exif_orientation.moc"
