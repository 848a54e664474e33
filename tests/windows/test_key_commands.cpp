// The key command table in the real window: every route a key arrives by, the modifier
// rules, the guard, the movie keys on real libmpv, deleting, the cover screen, help and
// the volume control.

#include "app/application.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/file_commands.h"
#include "shell/key_commands.h"
#include "support/app_sandbox.h"
#include "support/scripted_inputs.h"
#include "support/test_files.h"
#include "windows/cover_screen.h"
#include "windows/dialog_box.h"
#include "windows/picture_widgets.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);

struct Running : AppSandbox {
    QTemporaryDir media;
    ScriptedFileDialogs dialogs;
    QStringList started; // programs started through the seam

    explicit Running(const QStringList &samples = {"landscape.jpg", "portrait.jpg"}) {
        for (const QString &name : samples)
            QFile::copy(Samples + "/" + name, media.filePath(name));
        start();
        ctx().fileDialogs = &dialogs;
        ctx().files->startDetached = [this](const QString &p, const QStringList &a) {
            started << (QStringList(p) + a).join(' ');
            return true;
        };
        ctx().browser->setDirectory(media.path());
        select(samples.first());
    }
    void select(const QString &name) {
        ctx().browser->RefreshFileList(name);
        QCOMPARE(form().File1->item(form().File1->selectedRows().value(0)), name);
    }
    QString path(const QString &name) const { return media.filePath(name); }
};

enum class Route { List, FocusField, Window, Player, DirList };

// Sends one key press the way the route delivers it; autoRepeat marks a held key.
void press(Running &r, Route route, int key, Qt::KeyboardModifiers mods = {},
           bool autoRepeat = false) {
    Form1 &f = r.form();
    QWidget *target = nullptr;
    switch (route) {
    case Route::List:
        target = f.File1;
        break;
    case Route::FocusField:
        target = f.Text1;
        break;
    case Route::Window:
        if (QWidget *focus = f.focusWidget())
            focus->clearFocus();
        target = &f;
        break;
    case Route::Player:
        target = f.MediaPlayer2;
        break;
    case Route::DirList:
        f.Dir1->setFocus();
        target = f.Dir1;
        break;
    }
    if (route != Route::Window)
        target->setFocus();
    QKeyEvent e(QEvent::KeyPress, key, mods, QString(), autoRepeat);
    QApplication::sendEvent(target, &e);
}

// A stand-in volume control on PATH.
struct FakeMixer {
    QTemporaryDir bin;
    QByteArray oldPath = qgetenv("PATH");
    explicit FakeMixer(const QString &name) {
        const QString exe = bin.filePath(name);
        touch(exe, "#!/bin/sh\n");
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin.path()) + ":" + oldPath);
    }
    ~FakeMixer() { qputenv("PATH", oldPath); }
};

} // namespace

class TestKeyCommands : public QObject {
    Q_OBJECT
  private slots:
    void keysByRouteAndModifiers_data() {
        QTest::addColumn<Route>("route");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("effect");
        const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
        const std::pair<Route, const char *> routes[] = {{Route::List, "list"},
                                                         {Route::FocusField, "focus field"},
                                                         {Route::Window, "window"},
                                                         {Route::Player, "player"}};
        for (const auto &[route, name] : routes) {
            QTest::addRow("%s: S", name) << route << int(Qt::Key_S) << 0 << "slide show";
            QTest::addRow("%s: Ctrl+C", name) << route << int(Qt::Key_C) << ctrl << "copy";
        }
        QTest::newRow("Shift+S") << Route::List << int(Qt::Key_S) << shift << "slide show";
        QTest::newRow("Alt+S") << Route::List << int(Qt::Key_S) << alt << "slide show";
        QTest::newRow("Ctrl+Shift+C") << Route::List << int(Qt::Key_C) << ctrl + shift << "";
        QTest::newRow("C") << Route::List << int(Qt::Key_C) << 0 << "";
        QTest::newRow("V") << Route::List << int(Qt::Key_V) << 0 << "mixer";
        QTest::newRow("Ctrl+V") << Route::List << int(Qt::Key_V) << ctrl << "";
        QTest::newRow("Ctrl+Alt+V") << Route::List << int(Qt::Key_V) << ctrl + alt << "mixer";
        QTest::newRow("Delete") << Route::List << int(Qt::Key_Delete) << 0 << "delete";
        QTest::newRow("dir list: Delete") << Route::DirList << int(Qt::Key_Delete) << 0 << "";
        QTest::newRow("dir list: S") << Route::DirList << int(Qt::Key_S) << 0 << "";
    }
    void keysByRouteAndModifiers() {
        QFETCH(Route, route);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, effect);
        Running r;
        FakeMixer mixer("pavucontrol-qt");
        press(r, route, key, Qt::KeyboardModifiers(mods));
        QCOMPARE(r.state().SlideShowOn, std::int16_t(effect == "slide show" ? 1 : 0));
        QCOMPARE(r.form().toolbarButton("slideshow")->isChecked(), effect == "slide show");
        QCOMPARE(r.state().ClipCount, effect == "copy" ? 0 : -1);
        QCOMPARE(r.started, effect == "mixer" ? QStringList(mixer.bin.filePath("pavucontrol-qt"))
                                              : QStringList());
        QCOMPARE(QFile::exists(r.path("landscape.jpg")), effect != "delete");
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
        QVERIFY(r.boxes.texts().isEmpty());
    }

    void guardLeavesKeysAlone() {
        Running r;
        r.state().SlideShowOn = 1;
        r.form().Timer1->start();
        r.state().BatchBusy = -1; // a batch runs
        QVERIFY(!r.ctx().keys->Form_KeyDown(Qt::Key_Delete, {}));
        QVERIFY(QFile::exists(r.path("landscape.jpg")));
        QVERIFY(!r.form().Timer1->isActive());
        QCOMPARE(r.state().BatchBusy, std::int16_t(-1));
        // A key the table does not know still applies the timer rule.
        r.state().BatchBusy = 0;
        QVERIFY(r.ctx().keys->Form_KeyDown(Qt::Key_Q, {}));
        QVERIFY(r.form().Timer1->isActive());
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
    }

    void heldDeleteDeletesOnce() {
        Running r;
        press(r, Route::List, Qt::Key_Delete, {}, true);
        QVERIFY(QFile::exists(r.path("landscape.jpg")));
        press(r, Route::List, Qt::Key_Delete);
        QVERIFY(!QFile::exists(r.path("landscape.jpg")));
        press(r, Route::List, Qt::Key_Delete, {}, true);
        QVERIFY(QFile::exists(r.path("portrait.jpg")));
    }

    void helpAndRefresh() {
        Running r;
        int helps = 0;
        r.ctx().ShowHelp = nullptr;
        press(r, Route::List, Qt::Key_H); // no help window: nothing
        r.ctx().ShowHelp = [&] { ++helps; };
        press(r, Route::List, Qt::Key_H);
        r.form().helpEntry->trigger();
        QCOMPARE(helps, 2);
        touch(r.path("a first.jpg"));
        r.select("portrait.jpg");
        press(r, Route::List, Qt::Key_R);
        QCOMPARE(r.form().File1->items().first(), QString("a first.jpg"));
        QCOMPARE(r.state().CurrentFile, r.path("portrait.jpg"));
        // No volume control on PATH: V does nothing.
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        press(r, Route::List, Qt::Key_V);
        qputenv("PATH", path);
        QVERIFY(r.started.isEmpty());
    }

    void enterPlaysTheSelectedFile() {
        Running r({"clip.mpg", "landscape.jpg"});
        Form1 &f = r.form();
        f.File1->setListIndex(-1);
        press(r, Route::List, Qt::Key_Return);
        QCOMPARE(f.MediaPlayer2->fileName(), QString());
        r.select("clip.mpg");
        f.File1->setSelected(1, true);
        const bool visible = f.MediaPlayer2->isVisible();
        press(r, Route::FocusField, Qt::Key_Enter);
        QCOMPARE(f.MediaPlayer2->fileName(), r.path("clip.mpg"));
        QCOMPARE(r.state().CurrentFile, r.path("clip.mpg"));
        QCOMPARE(f.File1->selectedRows(), QList<int>({0, 1})); // the selection survives
        QCOMPARE(f.MediaPlayer2->isVisible(), visible);
        QTRY_VERIFY(f.MediaPlayer2->isPlaying());
    }

    void spaceEscAndMovieStopped() {
        Running r({"clip.mpg", "clip.avi", "landscape.jpg"});
        Form1 &f = r.form();
        MediaPlayer *player = f.MediaPlayer2;
        // No movie: Space runs the slide show and shows the selected picture again.
        r.select("landscape.jpg");
        press(r, Route::List, Qt::Key_Space);
        QCOMPARE(r.state().SlideShowOn, std::int16_t(1));
        QVERIFY(f.Timer1->isActive());
        press(r, Route::List, Qt::Key_Space);
        QCOMPARE(r.state().SlideShowOn, std::int16_t(0));
        // A movie: Space stops it and plays it again.
        r.select("clip.mpg");
        player->setFileName(r.path("clip.mpg"));
        player->Play();
        QTRY_VERIFY(player->isPlaying());
        press(r, Route::Player, Qt::Key_Space);
        QCOMPARE(r.state().MovieStopped, std::int16_t(-1));
        QTRY_VERIFY(!player->isPlaying());
        press(r, Route::Player, Qt::Key_Space);
        QCOMPARE(r.state().MovieStopped, std::int16_t(0));
        QTRY_VERIFY(player->isPlaying());
        // Stopped, then another movie: the first Space only plays, the second stops.
        press(r, Route::Player, Qt::Key_Space);
        player->setFileName(r.path("clip.avi"));
        player->Play();
        QTRY_VERIFY(player->isPlaying());
        press(r, Route::Player, Qt::Key_Space);
        QCOMPARE(r.state().MovieStopped, std::int16_t(0));
        QVERIFY(player->isPlaying());
        press(r, Route::Player, Qt::Key_Space);
        QTRY_VERIFY(!player->isPlaying());
        // Esc stops the movie behind the cover; the next Space plays it.
        press(r, Route::Player, Qt::Key_Space);
        QTRY_VERIFY(player->isPlaying());
        press(r, Route::Player, Qt::Key_Escape);
        QCOMPARE(r.state().MovieStopped, std::int16_t(-1));
        QTRY_VERIFY(!player->isPlaying());
        r.ctx().keys->coverScreen()->window()->close();
        press(r, Route::Player, Qt::Key_Space);
        QTRY_VERIFY(player->isPlaying());
    }

    void movieKeys() {
        Running r({"clip.mpg"});
        Form1 &f = r.form();
        MediaPlayer *player = f.MediaPlayer2;
        // Long enough to step forward inside it.
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                "testsrc2=size=160x120:rate=25:duration=6", "-c:v", "mpeg1video",
                                r.path("long.mpg")});
        QVERIFY(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
        player->setFileName(r.path("long.mpg"));
        player->Play();
        QTRY_VERIFY(player->isPlaying());
        press(r, Route::Player, Qt::Key_End);
        QTRY_VERIFY(!player->isPlaying());
        QTRY_VERIFY(player->CurrentPosition() < 0.05);
        player->setCurrentPosition(1.0);
        QTRY_VERIFY(player->CurrentPosition() > 0.9);
        press(r, Route::Player, Qt::Key_Left); // 1.0 - 2.0 is not a place: the start
        QTRY_VERIFY(player->CurrentPosition() < 0.9);
        player->setCurrentPosition(0.2);
        QTRY_VERIFY(player->CurrentPosition() > 0.15);
        press(r, Route::Player, Qt::Key_Right);
        QTRY_VERIFY(player->CurrentPosition() > 1.5);
        QVERIFY(player->CurrentPosition() < 3.0);
        // T hides and shows the control bars.
        const std::int16_t before = r.state().ControlsVisible;
        press(r, Route::Player, Qt::Key_T);
        QCOMPARE(r.state().ControlsVisible, std::int16_t(before == -1 ? 0 : -1));
        QCOMPARE(player->controlsVisible(), r.state().ControlsVisible == -1);
        // F goes full screen; Esc there only leaves it.
        press(r, Route::Player, Qt::Key_F);
        QVERIFY(player->fullScreenWindow());
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, {});
        QApplication::sendEvent(player->fullScreenWindow(), &esc);
        QTRY_VERIFY(!player->fullScreenWindow());
        QVERIFY(!r.ctx().keys->coverScreen()->window());
        QCOMPARE(r.state().MovieStopped, std::int16_t(0));
        // Delete releases the playing movie and deletes it.
        r.select("clip.mpg");
        player->Play();
        QTRY_VERIFY(player->isPlaying());
        press(r, Route::Player, Qt::Key_Delete);
        QCOMPARE(player->fileName(), QString());
        QVERIFY(!QFile::exists(r.path("clip.mpg")));
    }

    void coverScreen() {
        Running r;
        Form1 &f = r.form();
        r.state().SlideShowOn = 1;
        f.toolbarButton("slideshow")->setChecked(true);
        press(r, Route::List, Qt::Key_Escape);
        QPointer<DialogBox> cover = r.ctx().keys->coverScreen()->window();
        QVERIFY(cover);
        QVERIFY(f.isMinimized());
        QVERIFY(cover->isVisible());
        QVERIFY(!cover->isModal());
        QVERIFY(cover->windowState() & Qt::WindowMaximized);
        QCOMPARE(r.state().SlideShowOn, std::int16_t(0));
        QVERIFY(!f.toolbarButton("slideshow")->isChecked());
        QCOMPARE(cover->Picture1->pos(), QPoint(0, 0));
        QTRY_COMPARE(cover->Picture1->size(), cover->size());
        QVERIFY(cover->Picture1->isVisible());
        // The chart is the program's own drawing: bars on white.
        const QImage chart = cover->Picture1->grab().toImage();
        QCOMPARE(chart.pixelColor(2, 2), QColor(Qt::white));
        QCOMPARE(chart, drawCoverChart(cover->size()).convertToFormat(chart.format()));
        // Asked again, the same one window.
        r.ctx().keys->Form_KeyDown(Qt::Key_Escape, {});
        QCOMPARE(r.ctx().keys->coverScreen()->window(), cover.data());
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget *w) { return qobject_cast<DialogBox *>(w) != nullptr; }),
                 1);
        QTest::keyClick(cover, Qt::Key_Escape);
        QTRY_VERIFY(!cover);
        QVERIFY(!f.isMinimized());
    }
};

QTEST_MAIN(TestKeyCommands)
#include "test_key_commands.moc"
