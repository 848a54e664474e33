// Start-up in this process: the command line's file through the load sequence on the real
// players, the splash window covering start-up, the about window and the help window.

#include "app/app_context.h"
#include "browser/pane_widgets.h"
#include "support/app_sandbox.h"
#include "windows/help_window.h"
#include "windows/picture_widgets.h"
#include "windows/splash.h"

#include <QtTest>
#include <QtWidgets>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);

enum Shown { Nothing, Picture, Movie, Sound };

// Visible top-level windows with that object name or title.
int visible(const QString &name) {
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->isVisible() && (w->objectName() == name || w->windowTitle() == name);
    return n;
}

} // namespace

class TestLoadSequence : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // What the load sequence opens from the command line, and what it quietly passes over.
    void commandLine_data() {
        QTest::addColumn<QString>("argument"); // "@" stands for the samples
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("destination"); // the copy and move captions
        QTest::addColumn<QString>("size");        // panel 2 for a picture
        QTest::newRow("movie") << "@/clip.mpg" << int(Movie) << "@/"
                               << "";
        QTest::newRow("picture") << "@/landscape.jpg" << int(Picture) << "@/"
                                 << "1600 X 1200  ";
        QTest::newRow("no directory") << "no-such-picture.gif" << int(Nothing) << QString() << "";
        QTest::newRow("quoted") << "\"@/landscape.jpg\"" << int(Nothing) << "\"@/"
                                << "";
        // Every kind as a click opens it.
        QTest::newRow(".mov a movie") << "@/clip.mov" << int(Movie) << "@/"
                                      << "";
        QTest::newRow(".asf a movie") << "@/clip.asf" << int(Movie) << "@/"
                                      << "";
        QTest::newRow("sound") << "@/beep.wav" << int(Sound) << "@/"
                               << "";
        QTest::newRow("midi") << "@/tune.mid" << int(Sound) << "@/"
                              << "";
        QTest::newRow("flac") << "@/tune.flac" << int(Movie) << "@/"
                              << "";
        QTest::newRow("heic") << "@/turned.heic" << int(Picture) << "@/"
                              << "300 X 400  ";
    }
    void commandLine() {
        QFETCH(QString, argument);
        QFETCH(int, shown);
        QFETCH(QString, destination);
        QFETCH(QString, size);
        argument.replace("@", Samples);
        destination.replace("@", Samples);
        AppSandbox r;
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "ControlsVisible", "0"));
        const QString cwd = QDir::currentPath();
        QVERIFY(r.start(argument));
        Form1 &f = r.form();
        int streams = 0; // the player's events arrive after the load
        connect(f.MediaPlayer2, &MediaPlayer::NewStream, [&] { ++streams; });
        QCOMPARE(r.state().CurrentFile, argument);
        QVERIFY(f.windowTitle().endsWith(" - " + argument));
        QCOMPARE(f.moveit[0]->text(), destination);
        QCOMPARE(f.Copyit[0]->text(), destination);
        // The directory list shows the destination if it exists, else the program directory.
        QCOMPARE(f.Dir1->path(), QFileInfo::exists(destination)
                                     ? destination.chopped(1)
                                     : QDir(r.appDir.path()).absolutePath());
        QCOMPARE(f.photo->hasPicture(), shown == Picture);
        QCOMPARE(f.MediaPlayer2->isVisible(), shown == Movie);
        QCOMPARE(f.MediaPlayer2->fileName(), shown == Movie ? argument : QString());
        QTRY_COMPARE_WITH_TIMEOUT(f.MediaPlayer2->isPlaying(), shown == Movie, 15000);
        // The file is selected in its list, not previewed again, and Down goes on from it.
        const int row = int(f.File1->items().indexOf(argument.section('/', -1)));
        const QByteArray tag = QTest::currentDataTag();
        QVERIFY(row >= 0 || (tag != "movie" && tag != "picture"));
        if (row >= 0)
            QCOMPARE(f.File1->selectedRows(), QList<int>{row});
        QTest::qWait(300);
        QCOMPARE(streams, int(shown == Movie));
        QCOMPARE(f.MP->isVisible(), shown == Sound);
        QCOMPARE(f.MP->fileName(), shown == Sound ? argument : QString());
        if (shown == Sound)
            QTRY_VERIFY_WITH_TIMEOUT(f.MP->isPlaying() || f.MP->CurrentPosition() > 0, 15000);
        if (shown == Picture)
            QCOMPARE(f.panelText(2), size);
        QVERIFY(!f.MediaPlayer2->controlsVisible()); // as saved
        QVERIFY(r.boxes.texts().isEmpty());
        QCOMPARE(QDir::currentPath(), cwd);
        r.ctx().ShowHelp(); // no help file beside the program: nothing
        QCOMPARE(visible("Glimmerby Help"), 0);
        if (row >= 0) {
            QTest::keyClick(f.File1, Qt::Key_Down);
            QCOMPARE(r.state().CurrentFile, f.File1->fullPath(row + 1));
        }
    }

    // The splash window's bar runs through the load steps while the main window is made
    // once; closing the splash early finishes start-up too.
    void splashCoversStartUp_data() {
        QTest::addColumn<bool>("closeEarly");
        QTest::newRow("to its end") << false;
        QTest::newRow("closed early") << true;
    }
    void splashCoversStartUp() {
        QFETCH(bool, closeEarly);
        AppSandbox r;
        r.splash = true;
        r.waitForMain = false;
        QVERIFY(r.start());
        Splash *sp = r.app->splash();
        QVERIFY(sp && sp->isVisible() && !r.app->form());
        QCOMPARE(sp->SPB->value(), 1);
        QCOMPARE(sp->SPB->maximum(), 61);
        QList<int> values;
        connect(sp->SPB, &QProgressBar::valueChanged, [&](int v) { values.append(v); });
        int loads = 0;
        connect(r.app.get(), &Application::mainWindowCreated, [&] { ++loads; });
        if (closeEarly)
            sp->close();
        QTRY_VERIFY(r.app->form() && r.form().isVisible());
        QTRY_VERIFY(!visible("Splash") && !r.app->splash());
        QCOMPARE(loads, 1);
        QVERIFY(values.contains(16) && values.contains(58)); // the 15 and 42 load steps
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
        r.form().close();
        QCOMPARE(IniDocument::load(r.ini()).profileString("UserProfile", "SplashTime", ""),
                 QByteArray("1"));
    }

    // Without "ShowSplash=True" no splash; the about window minimises the main window until
    // it closes, one at a time; its Help opens the one help window, closed by Esc and at
    // shutdown; its lines name this executable.
    void aboutAndHelpWindows() {
        AppSandbox r;
        QVERIFY(
            QFile::copy(GLIMMERBY_BINARY_DIR "/GLIMMERBY.HLP", r.appDir.filePath("GLIMMERBY.HLP")));
        QVERIFY(r.start());
        QVERIFY(!r.app->splash() && !visible("Splash"));
        QCOMPARE(r.state().SplashTime, 100);
        r.form().showNormal();
        QTest::qWait(20);
        for (bool byFrame : {false, true}) {
            r.form().aboutEntry->trigger();
            Splash *about = r.app->aboutWindow();
            QVERIFY(about && about->isVisible() && !about->SPB->isVisible());
            QVERIFY(r.form().windowState() & Qt::WindowMinimized);
            QCOMPARE(about->focusWidget(), about->Command2); // "Help"
            QVERIFY(!about->Timer1->isActive() && !about->Timer2->isActive());
            QCOMPARE(about->L[4]->text(), versionLines(QCoreApplication::applicationFilePath())[4]);
            r.app->ShowAboutWindow();
            QCOMPARE(r.app->aboutWindow(), about);
            about->Command2->click();
            byFrame ? void(about->close()) : about->Command1->click();
            QTRY_VERIFY(!r.app->aboutWindow());
            QVERIFY(!(r.form().windowState() & Qt::WindowMinimized));
        }
        r.form().helpEntry->trigger(); // Esc closes it
        QTest::keyClick(r.app->help()->window(), Qt::Key_Escape);
        QTRY_COMPARE(visible("Glimmerby Help"), 0);
        r.form().helpEntry->trigger();
        QCOMPARE(visible("Glimmerby Help"), 1);
        QVERIFY(r.app->help()->window()->toPlainText().contains("Readme"));
        r.form().close();
        QCOMPARE(visible("Glimmerby Help"), 0);
        // "Compiled:" is the executable's time, in the user's language.
        QTemporaryDir dir;
        const QString copy = dir.filePath("glimmerby");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QCOMPARE(QProcess::execute("touch", {"-d", "2001-02-03 16:05", copy}), 0);
        QCOMPARE(versionLines(copy)[4], QString("Compiled: February 03, 2001 at 16:05"));
        QCOMPARE(splashTitleLine(copy), QString("GLIMMERBY  1.0.0"));
    }
};

QTEST_MAIN(TestLoadSequence)
#include "test_load_sequence.moc"
