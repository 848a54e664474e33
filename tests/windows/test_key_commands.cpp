// The window's commands in the real window: keys by every route, movie keys on libmpv, the
// cover screen, descriptions, rename, Make Dir Here, file dialogs, cut, copy and paste.

#include "app/application.h"
#include "browser/browser_controller.h"
#include "browser/grid_controller.h"
#include "browser/pane_widgets.h"
#include "organize/destination.h"
#include "organize/file_clipboard.h"
#include "organize/file_commands.h"
#include "organize/options_dialog.h"
#include "organize/path_commands.h"
#include "shell/key_commands.h"
#include "shell/picture_text.h"
#include "support/app_sandbox.h"
#include "support/scripted_inputs.h"
#include "support/test_files.h"
#include "windows/cover_screen.h"
#include "windows/dialog_box.h"
#include "windows/picture_widgets.h"
#include "windows/qt_file_dialogs.h"
#include "windows/thumbnail_grid.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);
const QByteArray M("\xDB");
const QString NoDescription = QStringLiteral("No discription avalible for: ");

// The entries of dir but the descriptions: "name=content", or "name/".
QString contents(const QString &dir) {
    QStringList out;
    for (const QFileInfo &info :
         QDir(dir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        if (info.fileName() != PictureTextFileName)
            out << info.fileName() +
                       (info.isDir() ? "/" : "=" + QString::fromLatin1(readAll(info.filePath())));
    return out.join(' ');
}

struct Running : AppSandbox {
    QTemporaryDir work;
    QString in = work.path() + "/in/", out = work.path() + "/out/"; // in is listed
    ScriptedInputBoxes inputs;
    QStringList answers, seen; // Qt's file dialog: answers ("" cancels), what it showed
    int clash = 4, clashesShown = 0, helps = 0; // the clash dialog's answer; help windows
    QStringList started;                        // programs started through the seam

    explicit Running(const QStringList &names = {}) { // samples, or a small BMP or JPEG
        QDir().mkpath(in);
        QDir().mkpath(out);
        for (const QString &name : names) {
            const QString sample = name.endsWith(".bmp") ? "tiny.bmp" : "grey.jpg";
            if (!QFile::copy(Samples + "/" + name, in + name))
                QFile::copy(Samples + "/" + sample, in + name);
        }
        start();
        form().resize(800, 600);
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        ctx().inputs = &inputs;
        static_cast<QtFileDialogs *>(ctx().fileDialogs)->onShown = [this](QFileDialog &d) {
            const bool save = d.acceptMode() == QFileDialog::AcceptSave &&
                              d.testOption(QFileDialog::DontConfirmOverwrite); // asks no more
            seen << d.directory().absolutePath() + "/" +
                        d.findChild<QLineEdit *>("fileNameEdit")->text() + " " +
                        d.selectedNameFilter() + (save ? " save" : "");
            const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
            if (answer.isEmpty())
                return d.reject();
            d.selectFile(answer);
            static_cast<QDialog &>(d).accept(); // as the Save or Open button does
        };
        ctx().dialog->onShown = [this](DialogBox &box) {
            ++clashesShown;
            box.C[clash]->click();
        };
        ctx().files->startDetached = [this](const QString &p, const QStringList &) {
            started << p;
            return true;
        };
        ctx().ShowHelp = [this] { ++helps; };
        ctx().browser->setDirectory(in);
        SetDestinationDir(ctx(), "/dest/");
    }
    void select(const QStringList &names) { // the list read again, these selected
        form().File1->refresh();
        for (const QString &name : names)
            form().File1->setSelected(form().File1->items().indexOf(name), true);
    }
    void click(const QString &name) {
        FileListBox *l = form().File1;
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {},
                          l->visualRect(l->model()->index(l->items().indexOf(name), 0)).center());
    }
    void enter(QWidget *w) { QTest::keyClick(w, Qt::Key_Return); }
    QByteArray pictext() { return readAll(in + "PicText.ini"); }
    QString current() { return QFileInfo(state().CurrentFile).fileName(); }
    void xcv(QString word) { ctx().clipboard->Set_XCV(word); }
    void pasteInto(const QString &dir) {
        answers = {dir.isEmpty() ? dir : dir + "whatever"};
        xcv("V");
    }
};

// Sends one key press the way the route delivers it; "held" is an auto-repeat in the list.
void press(Running &r, const QString &route, int key, int mods = 0) {
    Form1 &f = r.form();
    const QMap<QString, QWidget *> routes{
        {"field", f.Text1}, {"player", f.MediaPlayer2}, {"dirs", f.Dir1}, {"window", &f}};
    QWidget *target = routes.value(route, f.File1);
    if (target != &f)
        target->setFocus();
    else if (QWidget *focus = f.focusWidget())
        focus->clearFocus();
    QKeyEvent e(QEvent::KeyPress, key, Qt::KeyboardModifiers(mods), QString(), route == "held");
    QApplication::sendEvent(target, &e);
}

// What a screen reader reads as the widget's name.
QString nameOf(QObject *object) {
    QAccessibleInterface *a = object ? QAccessible::queryAccessibleInterface(object) : nullptr;
    return a ? a->text(QAccessible::Name) : QString("(none)");
}

// A key through the display server, to whichever control has the focus.
void typeKey(Form1 &f, int key, int mods = 0) {
    QTest::keyClick(f.windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(mods));
}

} // namespace

class TestKeyCommands : public QObject {
    Q_OBJECT
    QTemporaryDir m_bin; // a stand-in volume control, first on PATH

  private slots:
    void initTestCase() {
        touch(m_bin.filePath("pavucontrol"), "#!/bin/sh\n");
        QVERIFY(QFile::setPermissions(m_bin.filePath("pavucontrol"),
                                      QFile::ReadOwner | QFile::ExeOwner));
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ":" + qgetenv("PATH"));
    }

    void keyTable_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("effect");
        const auto row = [](const char *route, const char *name, int key, int mods,
                            const char *effect) {
            QTest::addRow("%s: %s", route, name) << QString(route) << key << mods << effect;
        };
        const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
        for (const char *route : {"list", "field", "window", "player"}) {
            row(route, "S", Qt::Key_S, 0, "show listed");
            row(route, "Ctrl+C", Qt::Key_C, ctrl, "copy listed");
        }
        row("list", "Shift+S", Qt::Key_S, shift, "show listed");
        row("list", "Alt+S", Qt::Key_S, alt, "show listed");
        row("list", "Space without a movie", Qt::Key_Space, 0, "show listed");
        row("list", "Ctrl+Shift+C", Qt::Key_C, ctrl + shift, "");
        row("list", "C", Qt::Key_C, 0, "");
        row("list", "V", Qt::Key_V, 0, "mixer");
        row("list", "Ctrl+V", Qt::Key_V, ctrl, "listed");
        row("list", "Ctrl+Alt+V", Qt::Key_V, ctrl + alt, "mixer");
        row("list", "Delete", Qt::Key_Delete, 0, "delete listed");
        row("held", "Delete", Qt::Key_Delete, 0, "");
        row("list", "H", Qt::Key_H, 0, "help");
        row("list", "R", Qt::Key_R, 0, "listed");
        row("list", "T", Qt::Key_T, 0, "controls");
        row("list", "Q", Qt::Key_Q, 0, "");
        row("dirs", "Delete", Qt::Key_Delete, 0, "");
    }
    void keyTable() {
        QFETCH(QString, route);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, effect);
        Running r({"landscape.jpg", "portrait.jpg"});
        r.select({"landscape.jpg"});
        QFile::copy(Samples + "/portrait.jpg", r.in + "a first.jpg"); // listed when re-read
        const std::int16_t controls = r.state().ControlsVisible;
        r.state().SlideShowOn = 1; // the show runs: S stops it, every other key keeps it
        r.form().toolbarButton("slideshow")->setChecked(true);
        r.form().Timer1->start();
        press(r, route, key, mods);
        const QString seen =
            QStringList{r.state().SlideShowOn != 1 ? "show" : "",
                        r.state().ClipCount == 0 ? "copy" : "",
                        r.started == QStringList(m_bin.filePath("pavucontrol")) ? "mixer" : "",
                        QFile::exists(r.in + "landscape.jpg") ? "" : "delete",
                        r.helps == 1 ? "help" : "",
                        r.state().ControlsVisible != controls ? "controls" : "",
                        r.form().File1->items().value(0) == "a first.jpg" ? "listed" : ""}
                .join(' ')
                .simplified();
        QCOMPARE(seen, effect);
        // Every path ends alike: the hold released and the timer rule applied.
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
        QCOMPARE(r.form().Timer1->isActive(), r.state().SlideShowOn == 1);
    }

    void movieKeys() {
        Running r({"landscape.jpg"});
        Form1 &f = r.form();
        MediaPlayer *player = f.MediaPlayer2;
        QProcess ffmpeg; // long enough to step inside
        ffmpeg.start("ffmpeg", {"-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                "testsrc2=size=160x120:rate=25:duration=4", "-c:v", "mpeg1video",
                                r.in + "a.mpg"});
        QVERIFY(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
        r.select({});
        press(r, "list", Qt::Key_Return); // nothing selected: nothing played
        QCOMPARE(player->fileName(), QString());
        r.select({"a.mpg", "landscape.jpg"}); // Enter plays the first; the selection stays
        press(r, "field", Qt::Key_Enter);
        QCOMPARE(player->fileName() + r.state().CurrentFile, r.in + "a.mpg" + r.in + "a.mpg");
        QCOMPARE(f.File1->selectedRows(), QList<int>({0, 1}));
        QTRY_VERIFY(player->isPlaying());
        press(r, "player", Qt::Key_Space);
        QTRY_VERIFY(!player->isPlaying() && r.state().MovieStopped == -1);
        press(r, "player", Qt::Key_Space);
        QTRY_VERIFY(player->isPlaying() && r.state().MovieStopped == 0);
        // End goes back to the start and waits; Right and Left step two seconds.
        press(r, "player", Qt::Key_End);
        QTRY_VERIFY(!player->isPlaying() && player->CurrentPosition() < 0.05);
        press(r, "player", Qt::Key_Right);
        QTRY_VERIFY(player->CurrentPosition() > 1.5 && player->CurrentPosition() < 3.0);
        player->setCurrentPosition(1.0);
        QTRY_VERIFY(player->CurrentPosition() < 1.5);
        press(r, "player", Qt::Key_Left); // 1.0 - 2.0 is not a place: the start
        QTRY_VERIFY(player->CurrentPosition() < 0.9);
        press(r, "player", Qt::Key_F); // full screen; Esc there only leaves it
        QVERIFY(player->fullScreenWindow());
        QTest::keyClick(player->fullScreenWindow(), Qt::Key_Escape);
        QTRY_VERIFY(!player->fullScreenWindow());
        QVERIFY(!r.ctx().keys->coverScreen()->window());
        player->Play(); // Esc stops the movie behind the cover; the next Space plays it
        QTRY_VERIFY(player->isPlaying());
        press(r, "player", Qt::Key_Escape);
        QTRY_VERIFY(!player->isPlaying() && r.state().MovieStopped == -1);
        r.ctx().keys->coverScreen()->window()->close();
        press(r, "player", Qt::Key_Space);
        QTRY_VERIFY(player->isPlaying());
        press(r, "player", Qt::Key_Delete); // releases the playing movie and deletes it
        QVERIFY(player->fileName().isEmpty() && !QFile::exists(r.in + "a.mpg"));
    }

    // Every control is named by its role; Tab and Shift+Tab visit all of them in reading
    // order, the focus field standing where the file list is. The options are one stop,
    // the chosen one; the arrows choose among them.
    void tabOrderAndNames() {
        Running r({"landscape.jpg"});
        Form1 &f = r.form();
        f.toolbarButton("props")->trigger(); // the options frame; the focus field has the keys
        for (QWidget *w : std::initializer_list<QWidget *>{f.MediaPlayer2, f.MP, f.HScroll1,
                                                           f.VScroll1, f.SSFrame2})
            w->show();
        const QStringList order =
            QString(
                "Mute|Bk Gnd Music|Slide Show|Use Save As Properties|Set Save As Properties|"
                "About / Help|End Program|Thumbnails|Tool Tips On|Don't Show Splash|Slide speed|"
                "JPEG quality|Restrict size To:|Restrict size|Custom size|Volume|"
                "Directory list|File list|Filter|Movie player|Play|Stop|Position|Mute|"
                "Sound player|Play|Stop|Position|Mute|Picture horizontal scroll|"
                "Picture vertical scroll|Title|Copyright|Camera|Engineering|Comments|Close|"
                "Description")
                .split('|');
        QVERIFY(f.Text1->hasFocus());
        QStringList forward, back;
        for (int i = 0; i < order.size(); ++i) {
            typeKey(f, Qt::Key_Tab);
            forward << nameOf(QApplication::focusWidget());
        }
        for (int i = 0; i < order.size(); ++i) {
            typeKey(f, Qt::Key_Tab, Qt::ShiftModifier);
            back.prepend(nameOf(QApplication::focusWidget()));
        }
        const qsizetype filter = order.indexOf("Filter"); // where Tab goes from the field
        QCOMPARE(forward, order.mid(filter) + order.mid(0, filter));
        QCOMPARE(back, order.mid(filter - 1) + order.mid(0, filter - 1));
        f.O[0]->setFocus();
        typeKey(f, Qt::Key_Down);
        QVERIFY(f.O[1]->hasFocus() && f.O[1]->isChecked());
        // A key in the file list sends the focus to the field; Shift+Tab finds the list.
        f.File1->setFocus();
        typeKey(f, Qt::Key_Down);
        QVERIFY(f.Text1->hasFocus());
        typeKey(f, Qt::Key_Tab, Qt::ShiftModifier);
        QVERIFY(f.File1->hasFocus());

        // Named by role, never by the value shown; every control has a name.
        QAbstractSlider *positions[] = {
            f.MediaPlayer2->controlBar()->findChild<QAbstractSlider *>(),
            f.MP->controlBar()->findChild<QAbstractSlider *>()};
        const QList<std::pair<QObject *, QString>> names{
            {f.Drive1, "Volume"},
            {f.Drive1->view(), "Volumes"},
            {f.Combo1, "Filter"},
            {f.Combo1->lineEdit(), "Filter"},
            {f.Combo1->view(), "Filters"},
            {positions[0], "Position"},
            {positions[1], "Position"},
            {f.Toolbar1->findChild<QToolButton *>("qt_toolbar_ext_button"), "More buttons"}};
        for (const auto &[object, name] : names)
            QCOMPARE(nameOf(object), name);
        QCOMPARE(QAccessible::queryAccessibleInterface(f.Combo1)->text(QAccessible::Value),
                 QString("All"));
        const QList<QAccessible::Role> controls{
            QAccessible::PushButton,     QAccessible::CheckBox,     QAccessible::RadioButton,
            QAccessible::ComboBox,       QAccessible::EditableText, QAccessible::Slider,
            QAccessible::ScrollBar,      QAccessible::List,         QAccessible::ButtonMenu,
            QAccessible::ButtonDropDown, QAccessible::ProgressBar};
        QStringList unnamed;
        for (QWidget *w : f.findChildren<QWidget *>()) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            const bool listsOwn = w->parentWidget() && // a list's own scroll bars
                                  w->parentWidget()->objectName().startsWith("qt_scrollarea");
            if (a && controls.contains(a->role()) && !listsOwn && nameOf(w).isEmpty())
                unnamed << w->metaObject()->className() + (":" + w->objectName());
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    }

    // Shift+F10 and the Menu key open the file menu at the current entry, as a right-click
    // there does; the directory list opens its own; not while BatchBusy holds the menus.
    void menuKeys_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("menu");
        const int shift = Qt::ShiftModifier;
        QTest::newRow("list, Shift+F10") << "list" << int(Qt::Key_F10) << shift << "file";
        QTest::newRow("field, Menu") << "field" << int(Qt::Key_Menu) << 0 << "file";
        QTest::newRow("player, Shift+F10") << "player" << int(Qt::Key_F10) << shift << "file";
        QTest::newRow("directories, Menu") << "dirs" << int(Qt::Key_Menu) << 0 << "directory";
        QTest::newRow("list, F10") << "list" << int(Qt::Key_F10) << 0 << "";
        QTest::newRow("list, Ctrl+Shift+F10")
            << "list" << int(Qt::Key_F10) << int(shift | Qt::ControlModifier) << "";
        QTest::newRow("busy, Menu") << "busy" << int(Qt::Key_Menu) << 0 << "";
    }
    void menuKeys() {
        QFETCH(QString, route);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, menu);
        Running r({"a.jpg", "b.jpg"});
        Form1 &f = r.form();
        f.File1->setListIndex(1);
        const QMap<QString, QWidget *> routes{
            {"list", f.File1}, {"player", f.MediaPlayer2}, {"dirs", f.Dir1}};
        QWidget *focus = routes.value(route, f.Text1);
        f.MediaPlayer2->show();
        focus->setFocus();
        if (route == "busy")
            r.state().BatchBusy = -1;
        typeKey(f, key, mods);
        QMenu *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QCOMPARE(open == f.mnupop ? "file" : open == f.mnuDirPop ? "directory" : "", menu);
        if (open == f.mnupop) {
            QCOMPARE(r.current(), QString("b.jpg"));
            const QRect row = f.File1->visualRect(f.File1->model()->index(1, 0));
            QCOMPARE(open->pos(), f.File1->viewport()->mapToGlobal(row.bottomLeft()));
        }
        if (open)
            open->close();
        QCOMPARE(r.state().BatchBusy, std::int16_t(route == "busy" ? -1 : 0));
        r.state().BatchBusy = 0;
    }

    void escapeShowsTheCoverScreen() {
        Running r({"landscape.jpg"});
        Form1 &f = r.form();
        r.state().SlideShowOn = 1;
        f.toolbarButton("slideshow")->setChecked(true);
        press(r, "list", Qt::Key_Escape);
        QPointer<DialogBox> cover = r.ctx().keys->coverScreen()->window();
        QVERIFY(cover && cover->isVisible() && f.isMinimized());
        QVERIFY(r.state().SlideShowOn == 0 && !f.toolbarButton("slideshow")->isChecked());
        QTRY_COMPARE(cover->Picture1->size(), cover->size());
        const QImage chart = cover->Picture1->grab().toImage(); // the program's own drawing
        QCOMPARE(chart, drawCoverChart(cover->size()).convertToFormat(chart.format()));
        r.ctx().keys->Form_KeyDown(Qt::Key_Escape, {}); // asked again: the same one window
        QCOMPARE(r.ctx().keys->coverScreen()->window(), cover.data());
        QTest::keyClick(cover, Qt::Key_Escape);
        QTRY_VERIFY(!cover && !f.isMinimized());
    }

    // A click shows the description; Enter stores it, steps over thumbnails, wraps and gives
    // the next file the text; the placeholder is never stored; the field holds the keys.
    void descriptionField() {
        Running r({"a.bmp", "a_s.jpg", "b.bmp"});
        Form1 &f = r.form();
        r.click("a.bmp");
        QCOMPARE(f.Text2->text(), NoDescription + "a");
        QTest::keyClick(f.Text2, Qt::Key_F12); // the panel opens with empty comments
        QVERIFY(f.SSFrame2->isVisible() && f.MT[4]->text().isEmpty());
        f.SSFrame2->hide();
        f.Text2->setFocus();
        r.enter(f.Text2);
        QCOMPARE(r.current(), QString("b.bmp"));
        QVERIFY(!r.pictext().contains("\na="));
        QTest::keyClicks(f.Text2, "Sky");
        for (const char *next : {"a.bmp", "b.bmp"}) {
            const QByteArray stored = "\n" + r.current().section('.', 0, 0).toUtf8() + "=" + M;
            r.enter(f.Text2);
            QCOMPARE(r.current(), QString(next));
            QCOMPARE(f.Text2->selectedText(), QString("Sky"));
            QVERIFY(r.pictext().contains(stored + "Sky" + M));
            QVERIFY(!r.ctx().keys->Form_KeyDown(Qt::Key_Down, {})); // held: left to the field
        }
        f.File1->setFocus();
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
        r.state().BatchBusy = -1; // a batch's hold survives the field's focus and Enter
        f.Text2->setFocus();
        r.enter(f.Text2);
        f.File1->setFocus();
        QCOMPARE(r.current() + QString::number(r.state().BatchBusy), QString("b.bmp-1"));
        r.state().BatchBusy = 0; // Enter after the focus left takes no hold
        f.Text2->setFocus();
        f.File1->setFocus();
        r.enter(f.Text2);
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
    }

    // Typed text is stored at once and goes into the comments; only Close stores the panel,
    // for the file it opened for, into the directory of that file.
    void propertiesPanel() {
        Running r({"a.bmp", "b.bmp"});
        Form1 &f = r.form();
        r.click("a.bmp");
        f.Text2->setFocus();
        QTest::keyClicks(f.Text2, "free words");
        QTest::mouseDClick(f.Text2, Qt::LeftButton);
        QVERIFY(f.SSFrame2->isVisible() && f.MT[0]->hasFocus());
        QCOMPARE(f.MT[4]->text(), QString("free words"));
        f.MT[0]->setText("Sunset & Sea");
        for (int i = 0; i < 4; ++i) { // Enter walks the fields
            r.enter(f.MT[i]);
            QVERIFY(f.MT[i + 1]->hasFocus());
        }
        r.click("b.bmp"); // another file while the panel is open: nothing stored yet
        QCOMPARE(ReadPictureText(r.in, "a"), QString("free words"));
        r.enter(f.MT[4]); // Enter in the last field is Close
        QVERIFY(!f.SSFrame2->isVisible());
        QCOMPARE(f.Text2->text(), NoDescription + "b");
        QVERIFY(r.pictext().contains("\na=" + M +
                                     "&Title=Sunset%20%26%20Sea&Copyright=&Camera=&Engineering=&"
                                     "Comments=free%20words" +
                                     M + "\n"));
        QVERIFY(!r.pictext().contains("\nb="));
        r.click("a.bmp"); // and back into the fields
        for (int i = 0; i < 5; ++i)
            f.MT[i]->clear();
        QTest::keyClick(f.Text2, Qt::Key_F12);
        QCOMPARE(f.MT[0]->text() + "|" + f.MT[4]->text(), QString("Sunset & Sea|free words"));
        r.ctx().browser->setDirectory(r.out); // still stored beside the file shown
        f.Text2->setFocus();
        QTest::keyClicks(f.Text2, "!");
        QVERIFY(ReadPictureText(r.in, "a").endsWith("words!"));
        QVERIFY(!QFile::exists(r.out + "PicText.ini"));
    }

    void renaming_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("clash"); // the clash dialog's answer; -1 not asked
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("message");   // a box, or panel 4 when it says "left"
        QTest::addColumn<QString>("described"); // the names described as a.wav was
        const auto row = [](const char *name, const char *setup, const QString &answer, int clash,
                            const QString &after, const char *message = "",
                            const char *described = "a") {
            QTest::newRow(name) << QString(setup) << answer << clash << after << QString(message)
                                << QString(described);
        };
        const QString both = "a.wav=A b.wav=B", n251(251, 'n');
        row("Overwrite One", "", "b", 0, "b.wav=A", "", "b");
        row("Rename One", "", "b", 2, "b.wav=B b1.wav=A", "", "b1");
        row("Cancel", "", "b", 4, both);
        row("Skip One", "", "b", 5, both);
        row("free name", "", "c", -1, "b.wav=B c.wav=A", "", "c");
        row("a.jpg keeps its name", "twin", "c", -1, "a.jpg=J b.wav=B c.wav=A", "", "a c");
        row("case only", "", "A", -1, both);
        row("cancelled box", "", "", -1, both);
        row("slash", "", "../a", -1, both);
        row("256 bytes", "", n251 + "n", -1, both, "a.wav was left as it was: File name too long");
        row("directory target", "directory", "b", 0, "a.wav=A b.wav/",
            "a.wav was left as it was: Is a directory");
        row("hard link", "link", "b", 0, "a.wav=A b.wav=A",
            "a.wav was left as it was: Source and destination are the same file");
        row("gone source", "gone", "c", -1, "b.wav=B",
            "File Error: Check Path to PSP in Glimmerby.INI file or Refresh the FileList");
        row("nothing selected", "none", "c", -1, both);
    }
    // The file and its description under the new name; what stays is said.
    void renaming() {
        QFETCH(QString, setup);
        QFETCH(QString, answer);
        QFETCH(int, clash);
        QFETCH(QString, after);
        QFETCH(QString, message);
        QFETCH(QString, described);
        Running r;
        touch(r.in + "a.wav", "A");
        if (setup == "directory")
            QVERIFY(QDir().mkdir(r.in + "b.wav"));
        else if (setup == "link")
            QVERIFY(::link(QFile::encodeName(r.in + "a.wav"), QFile::encodeName(r.in + "b.wav")) ==
                    0);
        else
            touch(r.in + "b.wav", "B");
        if (setup == "twin")
            touch(r.in + "a.jpg", "J");
        QVERIFY(WritePictureText(r.in, "a", "Sea"));
        r.select(setup == "none" ? QStringList() : QStringList{"a.wav"});
        if (setup == "gone")
            QFile::remove(r.in + "a.wav");
        r.inputs.answers = {answer};
        r.clash = clash;
        r.form().mnuRename->trigger();
        QCOMPARE(contents(r.in), after);
        QCOMPARE(r.clashesShown, clash >= 0);
        // The base name is proposed; the extension stays.
        QCOMPARE(r.inputs.defaults, setup == "none" ? QStringList() : QStringList("a"));
        QCOMPARE(r.boxes.texts().join(""), message.startsWith("File") ? message : "");
        if (message.contains(" left "))
            QCOMPARE(r.form().panelText(4), message);
        QStringList keys;
        for (const char *key : {"a", "b", "b1", "c"})
            if (ReadPictureText(r.in, key) == "Sea")
                keys << key;
        QCOMPARE(keys.join(' '), described);
    }

    // Exactly one directory in the listed one ("@"), which becomes the
    // destination; a failure is reported with its errno and changes nothing.
    void makeDirHere_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const char *answer, const char *made,
                            const char *error = "") {
            QTest::newRow(name) << QString(answer) << QString(made) << QString(error);
        };
        row("default", "@", "");
        row("cancel", "", "");
        row("new full path", "@fresh", "fresh");
        row("relative", "bare", "bare");
        row("existing", "@old", "", "17 File exists");
        row("missing parent", "@gone/child", "", "2 No such file or directory");
    }
    void makeDirHere() {
        QFETCH(QString, answer);
        QFETCH(QString, made);
        QFETCH(QString, error);
        Running r;
        QDir().mkdir(r.in + "old");
        r.inputs.answers = {answer.replace("@", r.in)};
        r.form().mnuMakeDirHere->trigger();
        QCOMPARE(r.inputs.defaults, QStringList(r.in));
        QCOMPARE(r.boxes.texts().join(""), error.isEmpty() ? "" : "Error creating dir\n\n" + error);
        QCOMPARE(contents(r.in), made.isEmpty() ? "old/" : made + "/ old/");
        const QString destination = made.isEmpty() ? QString("/dest/") : r.in + made + "/";
        QCOMPARE(r.form().moveit[0]->text() + r.form().Copyit[0]->text(),
                 destination + destination);
    }

    // The editor's path and the paste directory in Qt's file dialog: where it starts (the
    // nearest existing directory), the name and filter it proposes, and what answers give.
    void fileDialogs() {
        Running r;
        touch(r.out + "gimp");
        touch(r.out + "x.jpg");
        r.answers = {r.out + "gimp", "", r.out + "x.jpg", ""};
        r.state().EditorPath = r.in + "gone/PSP.EXE";
        r.form().mnuSetPSP->trigger();
        r.form().mnuSetPSP->trigger(); // cancelled: kept
        QCOMPARE(r.state().EditorPath, r.out + "gimp");
        r.form().Combo1->setCurrentIndex(3);
        QCOMPARE(r.ctx().paths->RequestNewPath(r.in + "gone/h.jpg").value_or("-"), r.out);
        r.form().Combo1->setEditText("*.txt"); // typed text keeps the last filters
        QCOMPARE(r.ctx().paths->RequestNewPath(r.in + "x.jpg").value_or("-"), QString("-"));
        const QString music =
            " Music Files (*.wma *.mp3 *.wav *.mid *.rmi *.flac *.ogg *.oga *.opus "
            "*.m4a *.aac *.midi) save";
        QCOMPARE(r.seen, QStringList({r.in + "PSP.EXE All Files (*)", r.out + "gimp All Files (*)",
                                      r.in + "h" + music, r.in + "x" + music}));
        QCOMPARE(contents(r.out), QString("gimp= x.jpg=")); // an existing name: never asked
    }

    void copiesPastedTwiceWithRenameAll() {
        Running r;
        for (const char *n : {"x", "y", "z"})
            touch(r.in + n + ".wav", n);
        QVERIFY(WritePictureText(r.in, "x", "Sea"));
        r.select({"x.wav", "y.wav", "z.wav"});
        r.xcv("C");
        QCOMPARE(r.form().File1->selectedRows(), QList<int>{0}); // the first stays selected
        r.pasteInto("");                                         // cancelled: nothing
        r.pasteInto(r.out);
        r.clash = 3;
        r.pasteInto(r.out);
        QCOMPARE(r.clashesShown, 1);
        QCOMPARE(r.seen.value(0).section(' ', 0, 0) + r.seen.value(2).section(' ', 0, 0),
                 r.in + "x" + r.out + "x"); // the source's directory, then the last paste's
        QCOMPARE(contents(r.out), QString("x.wav=x x1.wav=x y.wav=y y1.wav=y z.wav=z z1.wav=z"));
        QCOMPARE(contents(r.in), QString("x.wav=x y.wav=y z.wav=z"));
        QCOMPARE(ReadPictureText(r.out, "x1"), QString("Sea")); // descriptions follow
        QCOMPARE(ReadPictureText(r.in, "x"), QString("Sea"));
    }

    // A cut or copy pasted home by Ctrl+V; a key during the clash question is not taken.
    void pastedHome_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("after");
        QTest::newRow("cut, Rename One") << "X" << 2 << "x1.wav=x";
        QTest::newRow("cut, Skip One") << "X" << 5 << "x.wav=x";
        QTest::newRow("copy, Overwrite One") << "C" << 0 << "x.wav=x";
        QTest::newRow("copy, Rename One") << "C" << 2 << "x.wav=x x1.wav=x";
    }
    void pastedHome() {
        QFETCH(QString, word);
        QFETCH(int, answer);
        QFETCH(QString, after);
        Running r;
        touch(r.in + "x.wav", "x");
        r.select({"x.wav"});
        r.xcv(word);
        bool taken = false;
        r.ctx().dialog->onShown = [&](DialogBox &box) {
            taken = r.ctx().keys->Form_KeyDown(Qt::Key_Delete, {});
            box.C[answer]->click();
        };
        r.answers = {r.in + "x"};
        QVERIFY(r.ctx().keys->Form_KeyDown(Qt::Key_V, Qt::ControlModifier));
        QVERIFY(!taken);
        QCOMPARE(contents(r.in), after);
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
    }

    void secondPasteOfCutFiles() {
        Running r;
        touch(r.in + "x.wav", "x");
        touch(r.in + "y~1.wav", "y");
        QVERIFY(WritePictureText(r.in, "x", "Sea"));
        r.select({"x.wav", "y~1.wav"});
        r.xcv("X");
        QCOMPARE(contents(r.in), QString("x.wav=x y~1.wav=y")); // a cut touches nothing
        r.pasteInto(r.out);
        QCOMPARE(contents(r.out), QString("x.wav=x y~1.wav=y"));
        QCOMPARE(contents(r.in), QString());
        QCOMPARE(ReadPictureText(r.out, "x"), QString("Sea"));
        QCOMPARE(r.boxes.texts(),
                 QStringList("I'm going to try this Move, but this file (y~1.wav) has a \n    ~  "
                             "  \nchar in it and I don't like them I may or may not do what you "
                             "want..."));
        r.pasteInto(r.in);
        QCOMPARE(contents(r.out), QString("x.wav=x y~1.wav=y"));
        QCOMPARE(r.clashesShown, 0);
        QCOMPARE(r.form().panelText(4),
                 QString("2 file(s) left as they were: No such file or directory"));
    }

    // The grid: G shows it over the preview, every kind gets its cell, the selection is the
    // list's both ways, the commands act on it, the moving keys and Enter are its own.
    void thumbnailGrid() {
        QTemporaryDir cache;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        Running r({"a.jpg", "b.bmp", "clip.mpg", "beep.wav", "damaged.jpg", "tune.mid"});
        Form1 &f = r.form();
        ThumbnailGrid *grid = f.Grid1;
        press(r, "list", Qt::Key_G);
        QVERIFY(grid->isVisible() && f.toolbarButton("thumbnails")->isChecked());
        QCOMPARE(r.state().ThumbnailGridSetting, QString("True"));
        const QStringList names = f.File1->items();
        const QMap<QString, ThumbnailGrid::Look> looks{
            {"a.jpg", ThumbnailGrid::Look::Picture},       {"b.bmp", ThumbnailGrid::Look::Picture},
            {"clip.mpg", ThumbnailGrid::Look::Picture},    {"beep.wav", ThumbnailGrid::Look::Sound},
            {"damaged.jpg", ThumbnailGrid::Look::Damaged}, {"tune.mid", ThumbnailGrid::Look::Midi}};
        QCOMPARE(names, looks.keys());
        for (const QString &name : names)
            QTRY_COMPARE_WITH_TIMEOUT(int(grid->cell(name).look), int(looks[name]), 20000);
        QCOMPARE(QDir(cache.path() + "/thumbnails/normal").entryList(QDir::Files).size(), 3);
        QCOMPARE(
            QDir(cache.path() + "/thumbnails/fail/glimmerby-1.0").entryList(QDir::Files).size(), 1);

        // A screen reader sees a list of file names.
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(grid);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->child(0)->text(QAccessible::Name), names[0]);

        // Clicks in the grid select in the list; Ctrl extends; the list's selection shows.
        const auto cellCentre = [&](int row) {
            return grid->visualRect(grid->model()->index(row, 0)).center();
        };
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(0));
        QCOMPARE(r.current(), names[0]);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(1));
        QCOMPARE(f.File1->selectedRows(), QList<int>({0, 1}));
        f.File1->setListIndex(3);
        QVERIFY(grid->selectionModel()->isSelected(grid->model()->index(3, 0)));
        // A click in the list picks the cell; the movie behind the grid is not played.
        r.click("clip.mpg");
        QCOMPARE(r.current(), QString("clip.mpg"));
        QCOMPARE(grid->currentIndex().row(), names.indexOf("clip.mpg"));
        QVERIFY(f.MediaPlayer2->fileName().isEmpty());

        // Keys: Home, End, the arrows by cell and row, without previewing anything.
        grid->setFocus();
        const auto key = [&](int k) {
            QTest::keyClick(grid, Qt::Key(k));
            return f.File1->listIndex();
        };
        QCOMPARE(key(Qt::Key_End), names.size() - 1);
        QCOMPARE(key(Qt::Key_Home), 0);
        QCOMPARE(key(Qt::Key_Right), 1);
        QCOMPARE(key(Qt::Key_Left), 0);
        QCOMPARE(r.current(), names[0]);
        QCOMPARE(f.File1->selectedRows(), QList<int>({0}));
        QVERIFY(f.MediaPlayer2->fileName().isEmpty() && r.state().PictureWidth == 0);

        // The commands work on what the grid selects.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(1));
        press(r, "list", Qt::Key_C, Qt::ControlModifier);
        r.pasteInto(r.out);
        QCOMPARE(QDir(r.out).entryList(QDir::Files), names.mid(0, 2));

        // Enter shows the current file and leaves the grid.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(0));
        key(Qt::Key_Return);
        QVERIFY(!grid->isVisible() && f.photo->isVisible());
        QCOMPARE(r.current(), names[0]);
        QCOMPARE(r.state().ThumbnailGridSetting, QString("False"));

        // The toolbar button brings it back; the state is saved with the other settings.
        f.toolbarButton("thumbnails")->trigger();
        QVERIFY(grid->isVisible());
        r.form().close();
        QVERIFY(QString(readAll(r.ini())).contains("Thumbnail Grid=True"));
    }
};

QTEST_MAIN(TestKeyCommands)
#include "test_key_commands.moc"
