// The main window's load sequence with a command line, on the real players and samples.

#include "app/app_state.h"
#include "app/application.h"
#include "app/ini_file.h"
#include "browser/pane_widgets.h"
#include "support/app_sandbox.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QOpenGLWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);

struct Running : AppSandbox {
    bool start(const QString &commandLine) { return AppSandbox::start(commandLine, true); }
};

// testsrc2 is colourful: many colours and mostly lit.
bool colourful(const QImage &image) {
    QSet<QRgb> colours;
    int lit = 0, samples = 0;
    for (int y = 0; y < image.height(); y += 5)
        for (int x = 0; x < image.width(); x += 5) {
            const QRgb p = image.pixel(x, y);
            ++samples;
            lit += qRed(p) + qGreen(p) + qBlue(p) > 60;
            colours.insert(p & 0xF0F0F0);
        }
    return samples > 0 && lit * 2 > samples && colours.size() > 12;
}

} // namespace

class TestLoadSequence : public QObject {
    Q_OBJECT
  private slots:
    void movieOnTheCommandLinePlaysInTheWindow() {
        Running r;
        const QString movie = Samples + "/clip.mpg";
        QVERIFY(r.start(movie));
        Form1 &f = r.form();
        f.resize(800, 600);
        QCOMPARE(f.Dir1->path(), Samples);
        QCOMPARE(f.moveit[0]->text(), Samples + "/");
        QCOMPARE(f.Copyit[0]->text(), Samples + "/");
        QCOMPARE(r.app->state().CurrentFile, movie);
        QVERIFY(f.MediaPlayer2->isVisible());
        QVERIFY(!f.photo->isVisible());
        QCOMPARE(f.MediaPlayer2->fileName(), movie);
        QVERIFY(f.MediaPlayer2->controlsVisible());
        QTRY_VERIFY_WITH_TIMEOUT(f.MediaPlayer2->isPlaying(), 15000);
        // Frames of the movie are drawn inside the main window.
        QTRY_VERIFY_WITH_TIMEOUT(colourful(f.MediaPlayer2->videoWidget()->grabFramebuffer()),
                                 15000);
        const QRect area(f.MediaPlayer2->videoWidget()->mapTo(&f, QPoint(0, 0)),
                         f.MediaPlayer2->videoWidget()->size());
        QVERIFY(colourful(f.grab(area).toImage()));
        QVERIFY(r.boxes.texts().isEmpty());
    }

    void controlsHiddenWhenSavedSo() {
        Running r;
        QVERIFY(WriteProfileString(r.appDir.filePath("Glimmerby.ini"), "UserProfile",
                                   "ControlsVisible", "0"));
        QVERIFY(r.start({}));
        QVERIFY(!r.form().MediaPlayer2->controlsVisible());
        QCOMPARE(r.form().panelText(4), QString("Qty=100-Func=None  "));
    }

    void pictureOnTheCommandLine() {
        Running r;
        QVERIFY(r.start(Samples + "/landscape.jpg"));
        Form1 &f = r.form();
        QVERIFY(f.photo->isVisible());
        QVERIFY(!f.MediaPlayer2->isVisible());
        QCOMPARE(f.panelText(2), QString("1600 X 1200  "));
        QVERIFY(f.windowTitle().endsWith(" - " + Samples + "/landscape.jpg"));
    }

    void oddCommandLinesFailQuietly() {
        {
            Running r; // no "/" at all: empty destination, the directory list keeps its own
            const QString before = QDir::currentPath();
            QVERIFY(r.start("no-such-picture.gif"));
            QCOMPARE(r.form().moveit[0]->text(), QString());
            QCOMPARE(r.form().Copyit[0]->text(), QString());
            QCOMPARE(r.form().Dir1->path(), QDir(r.appDir.path()).absolutePath());
            // The picture loader still tries it (relative to where the program runs) and
            // quietly finds nothing.
            QVERIFY(r.boxes.texts().isEmpty());
            QVERIFY(!r.form().photo->hasPicture());
            QCOMPARE(QDir::currentPath(), before);
        }
        {
            Running r; // quotes are not removed: nothing opens, nothing complains
            const QString quoted = "\"" + Samples + "/landscape.jpg\"";
            QVERIFY(r.start(quoted));
            QCOMPARE(r.app->state().CurrentFile, quoted);
            QVERIFY(r.boxes.texts().isEmpty());
        }
        {
            Running r; // a .mov goes to the picture loader, which cannot read it
            QVERIFY(r.start(Samples + "/clip.mov"));
            QVERIFY(!r.form().MediaPlayer2->isVisible());
            QCOMPARE(r.form().MediaPlayer2->fileName(), QString());
        }
    }
};

QTEST_MAIN(TestLoadSequence)
#include "test_load_sequence.moc"
