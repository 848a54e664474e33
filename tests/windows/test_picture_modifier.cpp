// ModifyPicture in the real window: what each step word writes, the clash answers, moves
// that fail part-way, and the progress steps while other events come in.

#include "app/app_state.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "picture/exif_orientation.h"
#include "picture/ijl.h"
#include "picture/picture_files.h"
#include "picture/picture_modifier.h"
#include "picture/silent_loader.h"
#include "shell/toggles_controller.h"
#include "support/app_sandbox.h"
#include "support/test_files.h"
#include "windows/form1.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

using namespace glimmerby;
using namespace glimmerby::testing;

namespace {

// 800 x 600 with a coloured block in each corner.
QImage Corners(int w = 800, int h = 600) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(128, 128, 128));
    const int b = std::min(w, h) / 8;
    const auto block = [&](int x, int y, QRgb c) {
        for (int j = y; j < y + b; ++j)
            for (int i = x; i < x + b; ++i)
                image.setPixel(i, j, c);
    };
    block(0, 0, qRgb(255, 0, 0));           // top left red
    block(w - b, 0, qRgb(0, 255, 0));       // top right green
    block(0, h - b, qRgb(0, 0, 255));       // bottom left blue
    block(w - b, h - b, qRgb(255, 255, 0)); // bottom right yellow
    return image;
}

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 24 && std::abs(qGreen(a) - qGreen(b)) < 24 &&
           std::abs(qBlue(a) - qBlue(b)) < 24;
}

QImage Picture(const QString &path) {
    cDIBSection dib;
    return LoadPictureSilently(path, dib) ? dib.UprightImage() : QImage();
}

// The first entry of the first quantisation table, as the encoder derives it from the
// quality (libjpeg's scaling of the standard table's 16).
int LumaDc(const QByteArray &jpeg) {
    const int at = FindSegment(jpeg, 0xdb);
    return at < 0 ? -1 : std::uint8_t(jpeg[at + 5]);
}
int ExpectedLumaDc(int quality) {
    const int scale = quality < 50 ? 5000 / std::max(1, quality) : 200 - 2 * quality;
    return std::clamp((16 * scale + 50) / 100, 1, 255);
}

QStringList Entries(const QString &dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

struct Modifying : AppSandbox {
    QTemporaryDir from, to;
    Modifying() {
        start();
        // The check of its own, unless a test puts one in: no dialog waits for an answer.
        ctx().modifier->setClashCheck({});
        // Every progress step lets the events in, so that the tests can act between steps.
        ctx().toggles->setProgressEventInterval(0);
    }
    QString source(const QString &name) const { return from.filePath(name); }
    QString target(const QString &name) const { return to.filePath(name); }
    // The naming state as the copy and move commands leave it for one file.
    void prepare(const QString &name, const QString &dstDir = {}) {
        AppState &s = state();
        const QFileInfo info(source(name));
        s.SrcDir = info.absolutePath() + "/";
        s.SrcName = info.completeBaseName();
        s.SrcExt = info.suffix().isEmpty() ? QString() : "." + info.suffix();
        s.DstDir = (dstDir.isEmpty() ? to.path() : dstDir) + "/";
        s.DstName = s.SrcName;
        s.DstExt = s.SrcExt.toUpper();
        s.DestPath = s.DestinationPath();
        s.ExistsChoice = 6;
    }
    void option(int index) { form().O[std::size_t(index)]->setChecked(true); }
    void run(const QString &step) { ctx().modifier->ModifyPicture(step); }
};

// Runs a move of a 64 x 48 BMP into `dir` inside this process and reports what happened on
// standard output; used inside a mount namespace where `dir` is a full or read-only mount.
int ChildMove(const QString &dir) {
    Modifying m;
    writeAll(m.source("pic.bmp"), MakeBmp(Corners(64, 48), 24));
    const QByteArray before = readAll(m.source("pic.bmp"));
    m.prepare("pic.bmp", dir);
    m.option(1);
    m.run("ModifyMove");
    const bool kept = readAll(m.source("pic.bmp")) == before;
    std::printf("boxes=%d kept=%d left=%s\n", int(m.boxes.shown.size()), int(kept),
                qPrintable(Entries(dir).join(',')));
    return 0;
}

} // namespace

class TestPictureModifier : public QObject {
    Q_OBJECT
  private slots:
    void convertWritesFullSize_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("quality");
        QTest::newRow("gif") << "clear.gif" << 85;
        for (int bits : {8, 24, 32})
            QTest::addRow("bmp%d", bits) << QString("pic%1.bmp").arg(bits) << 90;
        QTest::newRow("clamped") << "pic24.bmp" << 150;
    }
    void convertWritesFullSize() {
        QFETCH(QString, name);
        QFETCH(int, quality);
        Modifying m;
        QImage corners = Corners(64, 48);
        if (name.endsWith(".gif")) {
            const QString convert = QStandardPaths::findExecutable("convert");
            if (convert.isEmpty())
                QSKIP("ImageMagick is needed to make a GIF");
            QCOMPARE(QProcess::execute(convert, {"-size", "64x48", "xc:none", "-fill", "red",
                                                 "-draw", "rectangle 0,0 7,5", m.source(name)}),
                     0);
        } else {
            const int bits = name.mid(3).section(QChar('.'), 0, 0).toInt();
            if (bits == 8) // at most 256 colours
                corners = corners.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)
                              .convertToFormat(QImage::Format_RGB32);
            writeAll(m.source(name), MakeBmp(corners, bits));
        }
        // A user's own tmp.BMP in the program directory is none of our business.
        writeAll(m.appDir.filePath("tmp.BMP"), "mine");
        const QStringList programFiles = Entries(m.appDir.path());
        m.state().JpegQuality = quality;
        m.prepare(name);
        m.option(1); // "Convert" never turns
        m.run("Convert");
        const QString out = m.target(QFileInfo(name).completeBaseName() + ".JPG");
        const QImage written = Picture(out);
        QCOMPARE(written.size(), QSize(64, 48));
        QCOMPARE(LumaDc(readAll(out)), ExpectedLumaDc(std::min(quality, 100)));
        if (name.endsWith(".gif")) {
            QVERIFY(Near(written.pixel(2, 2), qRgb(255, 0, 0)));
            QVERIFY(Near(written.pixel(40, 30), qRgb(255, 255, 255))); // over white
        } else {
            QVERIFY(Near(written.pixel(60, 2), qRgb(0, 255, 0)));
        }
        QVERIFY(m.boxes.shown.isEmpty());
        QVERIFY(QFile::exists(m.source(name)));
        QCOMPARE(Entries(m.appDir.path()), programFiles);
        QCOMPARE(readAll(m.appDir.filePath("tmp.BMP")), QByteArray("mine"));
        QCOMPARE(Entries(m.to.path()), QStringList{QFileInfo(out).fileName()});
    }

    void thumbOnlyScales() {
        Modifying m;
        writeAll(m.source("wide.bmp"), MakeBmp(Corners(1600, 1200), 24));
        m.prepare("wide.bmp");
        m.option(3); // "Rotate 180" is not for thumbnails
        m.run("Thumb");
        const QImage thumb = Picture(m.target("wide_s.JPG"));
        QCOMPARE(thumb.size(), QSize(79, 59));
        QVERIFY(Near(thumb.pixel(2, 2), qRgb(255, 0, 0)));
    }

    // A phone photo stored lying on its side (160 x 120, EXIF Orientation 6) is worked on
    // as seen, 120 x 160; what is written is upright and carries no orientation.
    void taggedPhotoIsMadeUpright_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("seenAs"); // the orientation whose corners the output shows
        QTest::newRow("Thumb") << "Thumb" << 3 << "phone_s.JPG" << QSize(59, 79) << 6;
        QTest::newRow("Convert") << "Convert" << 1 << "phone.JPG" << QSize(120, 160) << 6;
        // Turning left what the user sees undoes the camera's quarter turn.
        QTest::newRow("Rotate 90 Left") << "ModifyCopy" << 1 << "phone.JPG" << QSize(160, 120) << 1;
    }
    void taggedPhotoIsMadeUpright() {
        QFETCH(QString, step);
        QFETCH(int, option);
        QFETCH(QString, output);
        QFETCH(QSize, size);
        QFETCH(int, seenAs);
        Modifying m;
        writeAll(m.source("phone.jpg"), WithExifOrientation(MakeQuadrantJpeg(160, 120), 6, true));
        m.prepare("phone.jpg");
        m.option(option);
        m.run(step);
        const QByteArray written = readAll(m.target(output));
        QCOMPARE(JpegExifOrientation(reinterpret_cast<const unsigned char *>(written.constData()),
                                     std::size_t(written.size())),
                 1);
        QCOMPARE(FindSegment(written, 0xe1), -1);
        const QImage picture = Picture(m.target(output));
        QCOMPARE(picture.size(), size);
        QCOMPARE(CornerColours(picture), ExpectedCorners(seenAs));
        QVERIFY(m.boxes.shown.isEmpty());
    }

    void unreadableWritesNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QByteArray jpeg;
        {
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::WriteOnly);
            Corners(320, 240).save(&buffer, "JPEG");
        }
        QTest::newRow("damaged") << jpeg.left(jpeg.size() / 2);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("just some words\n");
    }
    void unreadableWritesNothing() {
        QFETCH(QByteArray, content);
        Modifying m;
        writeAll(m.source("bad.jpg"), content);
        m.prepare("bad.jpg");
        m.option(1);
        m.run("ModifyMove");
        QVERIFY(Entries(m.to.path()).isEmpty());
        QCOMPARE(readAll(m.source("bad.jpg")), content);
        QVERIFY(m.boxes.shown.isEmpty());
    }

    void sizeFieldRefusals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("boxes");
        QTest::newRow("negative") << "-10" << 0;
        QTest::newRow("huge") << "99999" << 1;
    }
    void sizeFieldRefusals() {
        QFETCH(QString, text);
        QFETCH(int, boxes);
        Modifying m;
        writeAll(m.source("pic.bmp"), MakeBmp(Corners(64, 48), 24));
        const QByteArray before = readAll(m.source("pic.bmp"));
        m.form().T[0]->setText(text);
        m.prepare("pic.bmp");
        m.option(0);
        m.run("ModifyMove");
        QCOMPARE(m.boxes.shown.size(), boxes);
        if (boxes)
            QVERIFY(m.boxes.shown[0].text.contains("Failed to save to JPG"));
        QVERIFY(Entries(m.to.path()).isEmpty());
        QCOMPARE(readAll(m.source("pic.bmp")), before);
    }

    void clashAnswers_data() {
        QTest::addColumn<int>("answer");
        for (int answer = 0; answer <= 6; ++answer)
            QTest::addRow("%d", answer) << answer;
    }
    void clashAnswers() {
        QFETCH(int, answer);
        Modifying m;
        writeAll(m.source("pic.bmp"), MakeBmp(Corners(64, 48), 24));
        const QByteArray source = readAll(m.source("pic.bmp"));
        writeAll(m.target("pic.JPG"), "old");
        int checks = 0;
        m.ctx().modifier->setClashCheck([&] {
            ++checks;
            AppState &s = m.state();
            if (!QFile::exists(s.DestinationPath()))
                return false;
            s.ExistsChoice = answer;
            if (answer == 2 || answer == 3) {
                s.DstName += "1";
                return true;
            }
            return false;
        });
        m.prepare("pic.bmp");
        m.option(2);
        const QString reselect = m.state().ReselectName;
        m.run("ModifyMove");
        const bool replaced = answer <= 1, renamed = answer == 2 || answer == 3;
        QCOMPARE(readAll(m.target("pic.JPG")) == "old", !replaced);
        QCOMPARE(Picture(m.target("pic1.JPG")).size(), renamed ? QSize(48, 64) : QSize(0, 0));
        QCOMPARE(Picture(m.target("pic.JPG")).size(), replaced ? QSize(48, 64) : QSize(0, 0));
        QCOMPARE(QFile::exists(m.source("pic.bmp")), !replaced && !renamed);
        if (!replaced && !renamed)
            QCOMPARE(readAll(m.source("pic.bmp")), source);
        QCOMPARE(Entries(m.to.path()).size(), renamed ? 2 : 1);
        QCOMPARE(m.state().ReselectName, replaced  ? QString("pic.JPG")
                                         : renamed ? QString("pic1.JPG")
                                                   : QString());
        QCOMPARE(checks, 1);
        QVERIFY(m.boxes.shown.isEmpty());
    }

    void defaultCheckAndLateClash() {
        Modifying m;
        writeAll(m.source("pic.bmp"), MakeBmp(Corners(64, 48), 24));
        const QByteArray source = readAll(m.source("pic.bmp"));
        // Without a check of its own a name taken in another letter case is skipped (5).
        writeAll(m.target("PIC.jpg"), "other");
        m.prepare("pic.bmp");
        m.run("ModifyMove");
        QCOMPARE(m.state().ExistsChoice, 5);
        QCOMPARE(readAll(m.source("pic.bmp")), source);
        QVERIFY(QFile::remove(m.target("PIC.jpg")));
        // A free name turns the remembered 5 back into 6. A file that appears between the
        // check and the write survives: the check runs again and finds it taken.
        int checks = 0;
        m.ctx().modifier->setClashCheck([&] {
            if (++checks == 1) {
                m.state().ExistsChoice = 6;
                QTimer::singleShot(0, [&] { writeAll(m.target("pic.JPG"), "late"); });
            } else {
                m.state().ExistsChoice = QFile::exists(m.target("pic.JPG")) ? 5 : 6;
            }
            return false;
        });
        m.prepare("pic.bmp");
        m.option(1);
        m.run("ModifyMove");
        QCOMPARE(checks, 2);
        QCOMPARE(readAll(m.target("pic.JPG")), QByteArray("late"));
        QCOMPARE(readAll(m.source("pic.bmp")), source);
        QCOMPARE(Entries(m.to.path()), QStringList{"pic.JPG"});
    }

    void failedMovesKeepTheSource_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("vanished") << "vanished";
        QTest::newRow("full") << "full";
        QTest::newRow("read-only") << "read-only";
    }
    void failedMovesKeepTheSource() {
        QFETCH(QString, fault);
        if (fault == "vanished") {
            Modifying m;
            writeAll(m.source("pic.bmp"), MakeBmp(Corners(64, 48), 24));
            const QByteArray before = readAll(m.source("pic.bmp"));
            m.prepare("pic.bmp", m.to.filePath("gone"));
            m.option(1);
            m.run("ModifyMove");
            QCOMPARE(m.boxes.shown.size(), 1);
            QVERIFY(m.boxes.shown[0].text.contains("Failed to save to JPG"));
            QCOMPARE(readAll(m.source("pic.bmp")), before);
            QVERIFY(Entries(m.to.path()).isEmpty());
            return;
        }
        // A real full disk and a real read-only mount, made in a mount namespace of a
        // child run of this test program.
        QTemporaryDir mount;
        const QString self = QCoreApplication::applicationFilePath();
        const QString setup =
            fault == "full" ? "mount -t tmpfs -o size=256k tmpfs \"$1\" && "
                              "head -c 300000 /dev/zero > \"$1/filler\" 2>/dev/null; "
                            : "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" && ";
        QProcess child;
        child.start("unshare",
                    {"-m", "--propagation", "private", "sh", "-c",
                     setup + "exec \"$2\" --child-move \"$1\"", "sh", mount.path(), self});
        QVERIFY(child.waitForFinished(120000));
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        if (child.exitCode() != 0 || !out.contains("boxes="))
            QSKIP(qPrintable("no mount namespace here: " + child.readAllStandardError()));
        const QString left = fault == "full" ? "filler" : "";
        QCOMPARE(out.trimmed(), QString("boxes=1 kept=1 left=%1").arg(left));
    }

    void symlinkedDestinationKeepsTheNewPicture() {
        Modifying m;
        QVERIFY(Corners(64, 48).save(m.source("pic.JPG"), "JPEG"));
        const QString link = m.to.filePath("same");
        QVERIFY(QFile::link(m.from.path(), link));
        m.ctx().modifier->setClashCheck([&] {
            m.state().ExistsChoice = 0; // overwrite
            return false;
        });
        m.prepare("pic.JPG", link);
        m.option(1);
        m.run("ModifyMove");
        QCOMPARE(Picture(m.source("pic.JPG")).size(), QSize(48, 64));
        QCOMPARE(m.state().ReselectName, QString("pic.JPG"));
    }

    void rotateLeftThroughTheWindow() {
        // The move of an 800 x 600 picture with "Rotate 90 Left", once undisturbed and once
        // with a file-list click and slide-show ticks arriving during the steps.
        QByteArray results[2];
        for (int disturbed = 0; disturbed < 2; ++disturbed) {
            Modifying m;
            m.form().show();
            writeAll(m.source("corners.bmp"), MakeBmp(Corners(), 24));
            QVERIFY(Corners(320, 240).save(m.source("other.jpg"), "JPEG"));
            m.ctx().browser->setDirectory(m.from.path());
            QStringList steps;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, [&] {
                const QString text = m.form().panelText(4);
                if (steps.isEmpty() || steps.last() != text)
                    steps << text;
                if (disturbed) {
                    FileListBox *list = m.form().File1;
                    const QModelIndex row =
                        list->model()->index(int(list->items().indexOf("other.jpg")), 0);
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                      list->visualRect(row).center());
                    m.form().Timer1->start(0); // a slide-show tick
                }
            });
            watch.start(0);
            m.prepare("corners.bmp");
            m.option(1);
            m.run("ModifyMove");
            watch.stop();
            const QString out = m.target("corners.JPG");
            results[disturbed] = readAll(out);
            const QImage turned = Picture(out);
            QCOMPARE(turned.size(), QSize(600, 800));
            QVERIFY(Near(turned.pixel(10, 10), qRgb(0, 255, 0)));    // was top right
            QVERIFY(Near(turned.pixel(10, 790), qRgb(255, 0, 0)));   // was top left
            QVERIFY(Near(turned.pixel(590, 10), qRgb(255, 255, 0))); // was bottom right
            QVERIFY(Near(turned.pixel(590, 790), qRgb(0, 0, 255)));  // was bottom left
            QVERIFY(!QFile::exists(m.source("corners.bmp")));
            QCOMPARE(m.state().ReselectName, QString("corners.JPG"));
            if (!disturbed)
                QCOMPARE(steps,
                         (QStringList{"Check Name... ", "Start Rotate... ", "Rotateing... ",
                                      "Save Tmp.bmp... ", "Load Tmp.bmp... ", "Save File... "}));
        }
        QCOMPARE(results[1], results[0]);
    }
};

int main(int argc, char **argv) {
    if (argc == 3 && qstrcmp(argv[1], "--child-move") == 0) {
        QApplication app(argc, argv);
        return ChildMove(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TestPictureModifier test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_picture_modifier.moc"
