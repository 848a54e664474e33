// The options dialog, copy and move in the real window and program, and the file operations
// underneath, with full, read-only and second file systems made for real (as root).

#include "app/app_context.h"
#include "app/file_ops.h"
#include "app/ini_file.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/copy_move.h"
#include "organize/destination.h"
#include "organize/file_clipboard.h"
#include "organize/file_commands.h"
#include "organize/file_transfer.h"
#include "organize/file_undo.h"
#include "organize/free_name.h"
#include "organize/options_dialog.h"
#include "picture/picture_files.h"
#include "shell/key_commands.h"
#include "shell/picture_text.h"
#include "shell/toggles_controller.h"
#include "support/app_sandbox.h"
#include "support/scripted_inputs.h"
#include "support/test_files.h"
#include "windows/center_window.h"
#include "windows/dialog_box.h"

#include <QApplication>
#include <QDirIterator>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace glimmerby;

namespace {

QString g_noMounts;             // why the mount cases cannot run; empty when they can
enum { Escape = 6, Frame = 7 }; // answers besides a button index

// A path as the system calls take it, alive until the end of the full expression.
struct Path8 {
    QByteArray bytes;
    operator const char *() const { return bytes.constData(); }
};
Path8 c(const QString &path) {
    return {QFile::encodeName(path)};
}

struct stat statOf(const QString &path) {
    struct stat st {};
    ::lstat(c(path), &st);
    return st;
}

void setTime(const QString &path, qint64 seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    QVERIFY(::utimensat(AT_FDCWD, c(path), times, 0) == 0);
}

// "name=content" for every file under root (hidden temporaries and links too), sorted.
QStringList contents(const QString &root) {
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out << QDir(root).relativeFilePath(path) + "=" + readAll(path);
    }
    out.sort();
    return out;
}

QStringList names(const QString &dir, QDir::Filters filter = QDir::Files) {
    return QDir(dir).entryList(filter | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

struct Running : AppSandbox {
    QTemporaryDir source, target;
    ScriptedInputBoxes inputs;
    std::unique_ptr<OptionsDialog> dialog;   // asks with the scripted input boxes
    QList<int> answers;                      // one per dialog shown; none left: Cancel
    QStringList asked;                       // the path each dialog showed
    std::function<void(DialogBox &)> during; // runs on each dialog before its answer
    bool leftOpen = false;

    bool start() {
        if (!AppSandbox::start())
            return false;
        dialog = std::make_unique<OptionsDialog>(ctx(), inputs);
        dialog->onShown = ctx().dialog->onShown = [this](DialogBox &box) {
            asked << box.Label2->text();
            if (during)
                during(box);
            const int a = answers.isEmpty() ? 4 : answers.takeFirst();
            if (a == Escape)
                QTest::keyClick(box.focusWidget() ? box.focusWidget() : &box, Qt::Key_Escape);
            else if (a == Frame)
                box.close();
            else
                box.C[a]->click();
            leftOpen = leftOpen || box.isVisible();
            if (box.isVisible()) // never leave a test waiting on a modal dialog
                box.done(QDialog::Rejected);
        };
        SetDestinationDir(ctx(), target.path() + "/");
        return true;
    }
    void ask(const QString &mode, const QString &closed, const QList<int> &a) {
        answers = a;
        dialog->ShowOptionsDialog(mode, closed);
    }
    // Fills the source directory, lists it and selects the named files.
    void show(const QMap<QString, QByteArray> &files, const QStringList &selected) {
        for (auto it = files.begin(); it != files.end(); ++it)
            writeAll(source.filePath(it.key()), it.value());
        QVERIFY(ctx().browser->setDirectory(source.path()));
        form().File1->setPattern("*.*");
        form().File1->setListIndex(-1);
        for (const QString &name : selected)
            form().File1->setSelected(form().File1->items().indexOf(name), true);
    }
    void copy(int index = 0) { ctx().copyMove->Copyit_Click(index); }
    void move() { ctx().copyMove->moveit_Click(0); }
    // What every way out of a batch leaves.
    void checkReset() {
        QCOMPARE(state().BatchBusy, 0);
        QVERIFY(!form().PB->isVisible());
        QCOMPARE(form().PB->value() + form().PB1->value(), 0);
        QVERIFY(!leftOpen);
    }
};

} // namespace

class TestOrganize : public QObject {
    Q_OBJECT
  private slots:
    // Each way of closing each question (the frame never "open", "delete" or a stale answer).
    void optionsDialog() {
        Running r;
        QVERIFY(r.start());
        r.state().CurrentFile = r.state().DestPath = "<b>x</b>.jpg";
        int shown = 0;
        r.during = [&](DialogBox &box) {
            shown =
                std::count_if(box.C.begin(), box.C.end(), [](auto *b) { return b->isVisible(); });
            QCOMPARE(box.Label2->textFormat(), Qt::PlainText);
            for (QWidget *w : box.findChildren<QWidget *>())
                QVERIFY(w->parentWidget() != &box ||
                        (!w->accessibleName().isEmpty() &&
                         (!w->isVisible() || box.rect().contains(w->geometry()))));
        };
        struct Case {
            const char *mode;
            int buttons, earlier; // buttons shown; an earlier dialog's answer, -1 none
            const char *closed;   // what the caller says a closed window answers
            int action;
            const char *expected;
        };
        const QList<Case> cases = {
            {"FileExists", 6, -1, "6", 3, "3"},     {"PhotoCall", 3, -1, "3", 1, "1"},
            {"BADJPG", 3, -1, "3", 0, "0"},         {"dircall", 2, -1, "5", 5, "5"},
            {"other", 6, -1, "4", 2, "2"},          {"FILEEXISTS", 6, -1, "6", Escape, "4"},
            {"PHOTOCALL", 3, -1, "3", Escape, "4"}, {"other", 6, -1, "4", Escape, "4"},
            {"PHOTOCALL", 3, 1, "3", Frame, "3"},   {"FILEEXISTS", 6, 0, "6", Frame, "6"},
            {"DIRCALL", 2, 0, "5", Frame, "5"},     {"FILEEXISTS", 6, 5, "5", Frame, "5"}};
        for (const Case &c : cases) {
            if (c.earlier >= 0)
                r.ask(c.mode, c.closed, {c.earlier});
            r.state().DialogDir = "/kept/";
            r.form().showMinimized();
            r.ask(c.mode, c.closed, {c.action});
            QVERIFY2(r.state().DialogChoice == c.expected && shown == c.buttons, c.mode);
            QCOMPARE(r.state().DialogDir,
                     c.action < Escape ? r.form().moveit[0]->text() : "/kept/");
            QVERIFY(!r.form().isMinimized());
        }
        const QString parent = QDir(r.target.path()).absolutePath();
        SetDestinationDir(r.ctx(), parent + "/gone/deeper/");
        QString opened;
        QPoint placed;
        r.during = [&](DialogBox &box) {
            opened = box.Dir1->path();
            box.Drive1_Change(box.Drive1->drive());
            QCOMPARE(box.Dir1->path(), QDir::cleanPath(box.Drive1->drive()));
            box.setFixedSize(4000, 3000);
            CenterWindow(box);
            placed = box.frameGeometry().topLeft();
        };
        r.ask("DIRCALL", "5", {5});
        QCOMPARE(opened, parent);
        QCOMPARE(placed, r.form().screen()->availableGeometry().topLeft());
        // "MkDir": exactly one directory, a bare name inside; not the default, not cancelled.
        SetDestinationDir(r.ctx(), parent + "/");
        QVERIFY(QDir(parent).mkdir("Old"));
        r.inputs.answers = {parent + "/New", "Bare", parent.toUpper() + "/", "", "Old", "gone/a"};
        r.during = [&](DialogBox &box) {
            for (int i = 0; i < 6; ++i) {
                box.Command1->click();
                QVERIFY(box.isVisible());
            }
        };
        r.ask("DIRCALL", "5", {5});
        QCOMPARE(names(parent, QDir::Dirs), QStringList({"Bare", "New", "Old"}));
        QCOMPARE(r.inputs.defaults.value(0), parent + "/");
        QCOMPARE(r.boxes.texts(),
                 QStringList({"Error creating dir\n\n17 File exists",
                              "Error creating dir\n\n2 No such file or directory"}));
        QVERIFY(!r.leftOpen);
    }

    // a and b clash (a by letter case alone), c is free; bar, panels and "useprops" around.
    void clashAnswers_data() {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QString>("after"); // the target's files; after "|" the source's
        const QString replaced = "A.MP3=A b.mp3=B c.MP3=C", kept = "A.MP3=a b.mp3=b",
                      renamed = "A.MP3=a a1.MP3=A b.mp3=b b1.MP3=B c.MP3=C";
        QTest::newRow("overwrite one") << false << QList<int>{0, 0} << replaced;
        QTest::newRow("overwrite all") << false << QList<int>{1} << replaced;
        QTest::newRow("rename one") << false << QList<int>{2, 2} << renamed;
        QTest::newRow("rename all") << false << QList<int>{3} << renamed;
        QTest::newRow("cancel") << false << QList<int>{4} << kept;
        QTest::newRow("escape") << false << QList<int>{Escape} << kept;
        QTest::newRow("skip, then free") << false << QList<int>{5, 5} << kept + " c.MP3=C";
        QTest::newRow("frame skips") << false << QList<int>{Frame, Frame} << kept + " c.MP3=C";
        QTest::newRow("move overwrite all") << true << QList<int>{1} << replaced + "|";
        QTest::newRow("move rename all") << true << QList<int>{3} << renamed + "|";
        QTest::newRow("move skip one")
            << true << QList<int>{5, 5} << kept + " c.MP3=C|a.mp3=A b.mp3=B";
        QTest::newRow("move, cancel at b") // a stays moved
            << true << QList<int>{2, 4} << "A.MP3=a a1.MP3=A b.mp3=b|b.mp3=B c.mp3=C";
    }
    void clashAnswers() {
        QFETCH(bool, move);
        QFETCH(QList<int>, answers);
        Running r;
        QVERIFY(r.start());
        writeAll(r.target.filePath("A.MP3"), "a");
        writeAll(r.target.filePath("b.mp3"), "b");
        r.show({{"a.mp3", "A"}, {"b.mp3", "B"}, {"c.mp3", "C"}}, {"a.mp3", "b.mp3", "c.mp3"});
        QAction *useProps = r.form().toolbarButton("useprops");
        useProps->trigger();
        r.during = [&](DialogBox &) {
            QVERIFY(r.form().PB->isVisible() && r.state().BatchBusy == -1);
            QVERIFY(r.form().panelText(3).startsWith("Processing File:" + r.source.path() + "/"));
            QCOMPARE(r.form().panelText(4), QString("Check Name... "));
        };
        r.answers = answers;
        move ? r.move() : r.copy();
        const bool cancelled = answers.contains(4) || answers.contains(Escape);
        QCOMPARE(useProps->isChecked(), cancelled);
        QCOMPARE(r.form().panelText(cancelled ? 3 : 4),
                 cancelled ? r.target.path() + "/  " : "... ");
        QVERIFY(r.answers.isEmpty() && r.asked.size() == answers.size());
        QCOMPARE(r.asked.first(), r.target.path() + "/a.MP3");
        r.checkReset();
        const QString source = move ? "|" + contents(r.source.path()).join(' ') : QString();
        QTEST(contents(r.target.path()).join(' ') + source, "after");
        r.show({}, {"a.mp3"}); // the next command asks again
        r.copy();
        QCOMPARE(r.asked.size(), answers.size() + int(QFile::exists(r.source.filePath("a.mp3"))));
    }

    // The selection after a batch; "Overwrite One" onto itself leaves the file whole.
    void selectionAfter_data() {
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("expected");
        const QStringList cd{"c.mp3", "d.mp3"};
        QTest::newRow("copy") << false << false << 2 << cd << "c.mp3";
        QTest::newRow("move") << true << false << 2 << cd << "b.mp3";
        QTest::newRow("move the top") << true << false << 2 << QStringList{"a.mp3"} << "b.mp3";
        QTest::newRow("rename in place") << true << true << 2 << QStringList{"b.mp3"} << "b1.MP3";
        QTest::newRow("onto itself") << true << true << 0 << QStringList{"b.mp3"} << "a.mp3";
        QTest::newRow("no selection") << false << false << 2 << QStringList{} << "a.mp3";
    }
    void selectionAfter() {
        QFETCH(bool, move);
        QFETCH(bool, inPlace);
        QFETCH(int, answer);
        QFETCH(QStringList, selected);
        Running r;
        QVERIFY(r.start());
        if (inPlace)
            SetDestinationDir(r.ctx(), r.source.path());
        r.show({{"a.mp3", "1"}, {"b.mp3", "2"}, {"c.mp3", "3"}, {"d.mp3", "4"}}, selected);
        r.answers = {answer};
        move ? r.move() : r.copy();
        QTEST(r.form().File1->item(r.form().File1->listIndex()), "expected");
        const QStringList left = contents(r.source.path());
        QCOMPARE(left.size(), 4 - (move && !inPlace ? selected.size() : 0));
        QVERIFY(left.contains(inPlace && answer == 2 ? "b1.MP3=2" : "b.mp3=2"));
        r.checkReset();
    }

    // A click elsewhere, a vanished source, a late clash, no destination: nothing lost.
    void changesWhileRunning() {
        Running r;
        QVERIFY(r.start());
        QTemporaryDir elsewhere, to;
        writeAll(elsewhere.filePath("z.mp3"), "z");
        writeAll(r.target.filePath("a.mp3"), "old");
        r.show({{"a.mp3", "1"}, {"b.mp3", "2"}, {"c.mp3", "3"}}, {"a.mp3", "c.mp3"});
        r.during = [&](DialogBox &) {
            r.ctx().browser->setDirectory(elsewhere.path());
            r.form().File1->setSelected(0, true);
        };
        r.answers = {3};
        r.copy();
        QCOMPARE(names(r.target.path()), QStringList({"a.mp3", "a1.MP3", "c.MP3"}));
        QCOMPARE(names(elsewhere.path()), QStringList{"z.mp3"});
        r.during = nullptr;
        SetDestinationDir(r.ctx(), to.path() + "/");
        r.show({{"d.mp3", "4"}}, {"a.mp3", "b.mp3", "c.mp3", "d.mp3"});
        QTimer intruder;
        QObject::connect(&intruder, &QTimer::timeout, [&] {
            const QString panel3 = r.form().panelText(3), panel4 = r.form().panelText(4);
            if (panel3.contains("b.mp3"))
                QFile::remove(r.source.filePath("b.mp3"));
            if (panel4 == "Final Save... " && panel3.contains("d.mp3") &&
                !QFile::exists(to.filePath("d.MP3")))
                writeAll(to.filePath("d.MP3"), "intruder");
        });
        intruder.start(0);
        r.ctx().toggles->setProgressEventInterval(0); // the intruder runs at every step
        r.answers = {2};
        r.move();
        intruder.stop();
        QCOMPARE(r.asked.last(), to.path() + "/d.MP3");
        QCOMPARE(contents(to.path()),
                 QStringList({"a.MP3=1", "c.MP3=3", "d.MP3=intruder", "d1.MP3=4"}));
        QCOMPARE(names(r.source.path()), QStringList{});
        QCOMPARE(r.form().panelText(4),
                 QString("1 file(s) left as they were: No such file or directory"));
        r.checkReset();
        const int asked = r.asked.size();
        for (const QString &dest : {QString(), QString("relative/dir"), to.filePath("a.MP3")}) {
            SetDestinationDir(r.ctx(), dest);
            r.show({{"e.mp3", "5"}}, {"e.mp3"});
            r.copy();
            QCOMPARE(names(r.source.path()), QStringList{"e.mp3"});
            QVERIFY(r.form().panelText(4).startsWith("1 file(s) left as they were: "));
            r.checkReset();
        }
        QCOMPARE(r.asked.size(), asked);
    }

    // The description follows; a destination description file that refuses it is named.
    void descriptionsFollow_data() {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QByteArray>("there"); // the destination's PicText.ini; "" none
        QTest::addColumn<QString>("report");   // panel 4; %1 the destination
        const QByteArray nul = QByteArray("[PictureText]\na=\xDBstale\xDB\n") + '\0' + '\n';
        const QString refused =
            "1 description(s) did not follow: %1PicText.ini could not be written";
        QTest::newRow("copy") << false << QByteArray() << "... ";
        QTest::newRow("move") << true << QByteArray() << "... ";
        QTest::newRow("copy, NUL bytes there") << false << nul << refused;
        QTest::newRow("move, NUL bytes there") << true << nul << refused;
    }
    void descriptionsFollow() {
        QFETCH(bool, move);
        QFETCH(QByteArray, there);
        QFETCH(QString, report);
        Running r;
        QVERIFY(r.start());
        const QString from = r.source.path() + "/", to = r.target.path() + "/";
        QVERIFY(WritePictureText(from, "a", "Sea"));
        if (!there.isEmpty())
            writeAll(to + "PicText.ini", there);
        r.show({{"a.mp3", "1"}}, {"a.mp3"});
        move ? r.move() : r.copy();
        QCOMPARE(r.form().panelText(4), report.arg(to));
        QCOMPARE(ReadPictureText(to, "a"), QString(there.isEmpty() ? "Sea" : "stale"));
        QCOMPARE(readAll(to + "PicText.ini").contains('\0'), !there.isEmpty()); // untouched
        QCOMPARE(ReadPictureText(from, "a"), QString("Sea")); // another directory: it stays
        r.checkReset();
    }

    void sameFileUnderAnotherName_data() {
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("symbolic");
        QTest::newRow("copy onto a hard link") << false << false;
        QTest::newRow("move onto a hard link") << true << false;
        QTest::newRow("move onto a symbolic link") << true << true;
    }
    // "Overwrite One" onto the source under another name: nothing written, and said so.
    void sameFileUnderAnotherName() {
        QFETCH(bool, move);
        QFETCH(bool, symbolic);
        Running r;
        QVERIFY(r.start());
        r.show({{"a.mp3", "A"}}, {"a.mp3"});
        const QString source = r.source.filePath("a.mp3"), link = r.target.filePath("a.MP3");
        QVERIFY(symbolic ? QFile::link(source, link) : ::link(c(source), c(link)) == 0);
        r.answers = {0};
        move ? r.move() : r.copy();
        QCOMPARE(r.asked.size(), 1);
        QCOMPARE(r.form().panelText(4),
                 QString("1 file(s) left as they were: Source and destination are the same file"));
        QCOMPARE(contents(r.source.path()) + contents(r.target.path()),
                 QStringList({"a.mp3=A", "a.MP3=A"}));
        r.checkReset();
    }

    void unreadablePictures_data() {
        QTest::addColumn<int>("index");  // of "Copy File(s) To..."
        QTest::addColumn<int>("option"); // with "Use Save As Properties": O(option); -1 without
        QTest::addColumn<QString>("written");
        QTest::newRow("as .JPG") << 1 << -1 << "good.JPG";
        QTest::newRow("as thumbnails") << 2 << -1 << "good_s.JPG";
        QTest::newRow("turned on copy") << 0 << 1 << "good.JPG";
    }
    // Pictures the pipeline cannot read are counted in panel 4 with the first reason.
    void unreadablePictures() {
        QFETCH(int, index);
        QFETCH(int, option);
        QFETCH(QString, written);
        Running r;
        QVERIFY(r.start());
        const QByteArray jpeg = testing::MakeQuadrantJpeg(64, 48);
        QByteArray claims = jpeg; // its header says 4000 x 3000, its data holds 64 x 48
        const int sof = testing::FindSegment(jpeg, 0xc0);
        QVERIFY(sof > 0);
        claims.replace(sof + 5, 4, QByteArray("\x0B\xB8\x0F\xA0", 4));
        const QByteArray bmp = testing::MakeBmp(QImage::fromData(jpeg), 24);
        QByteArray offsetPast = bmp, vast = bmp; // pixels past the end; 100000 x 100000
        offsetPast.replace(10, 4, QByteArray("\x00\x00\x00\x01", 4));
        vast.replace(18, 8, QByteArray("\xA0\x86\x01\x00\xA0\x86\x01\x00", 8));
        const QMap<QString, QByteArray> files{{"a_empty.jpg", {}},
                                              {"b_truncated.jpg", jpeg.left(jpeg.size() / 2)},
                                              {"c_corrupt.jpg", "no jpeg"},
                                              {"d_claims.jpg", claims},
                                              {"e_offset.bmp", offsetPast},
                                              {"f_vast.bmp", vast},
                                              {"good.jpg", jpeg}};
        r.show(files, files.keys());
        if (option >= 0) {
            r.form().O[std::size_t(option)]->setChecked(true);
            r.form().toolbarButton("useprops")->trigger();
        }
        r.copy(index);
        QCOMPARE(names(r.target.path()), QStringList{written});
        QCOMPARE(r.form().panelText(4), QString("6 file(s) left as they were: Empty file"));
        r.checkReset();
    }

    // A sound in an "as JPG" batch, beside a HEIC photo that comes out upright;
    // "ModifyMove" onto itself with "Overwrite One".
    void pictureBatches() {
        Running r;
        QVERIFY(r.start());
        const QByteArray jpeg = readAll(QStringLiteral(GLIMMERBY_SAMPLES_DIR) + "/narrow.jpg");
        const QByteArray heic = readAll(QStringLiteral(GLIMMERBY_SAMPLES_DIR) + "/turned.heic");
        r.show({{"n.jpg", jpeg}, {"p.mp3", "sound"}, {"t.heic", heic}},
               {"n.jpg", "p.mp3", "t.heic"});
        r.copy(1);
        QCOMPARE(r.boxes.texts() + r.boxes.titles(),
                 QStringList({"Can't Modify This Type of file", ""}));
        QCOMPARE(names(r.target.path()), QStringList({"n.JPG", "t.JPG"}));
        QCOMPARE(QImage(r.target.filePath("t.JPG")).size(), QSize(300, 400));
        r.checkReset();
        QVERIFY(QFile::remove(r.source.filePath("p.mp3")) &&
                QFile::remove(r.source.filePath("t.heic")));
        SetDestinationDir(r.ctx(), r.source.path());
        r.show({}, {"n.jpg"});
        r.form().toolbarButton("useprops")->trigger();
        r.answers = {0};
        r.move();
        QCOMPARE(r.asked.size(), 1);
        QCOMPARE(names(r.source.path()), QStringList{"n.jpg"});
        const QByteArray now = readAll(r.source.filePath("n.jpg"));
        QVERIFY(now.startsWith("\xFF\xD8") && now != jpeg);
        r.checkReset();
    }

    // The real program: "Copy File(s) To..." and "Move File(s) To" from the file list's menu.
    void realProgramMenus() {
        QTemporaryDir program, source, target;
        const QString exe = program.filePath("glimmerby");
        QVERIFY(QFile::copy(GLIMMERBY_EXECUTABLE, exe));
        writeAll(program.filePath("Glimmerby.ini"),
                 QString("[UserProfile]\nShowSplash=False\nForm Height=6000\nForm Width=9000\n"
                         "Form Top=0\nLast Dir Path=%1/\nLast SaveTo Path=%2/\n")
                     .arg(source.path(), target.path())
                     .toUtf8());
        writeAll(source.filePath("song.mp3"), "not really a song");
        auto xdotool = [](const QString &arguments) {
            QProcess p;
            p.start("xdotool", arguments.split(' '));
            p.waitForFinished(20000);
            return QString(p.readAllStandardOutput()).trimmed();
        };
        QProcess p;
        p.start(exe, {});
        const QString search = "search --onlyvisible --pid " + QString::number(p.processId());
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool(search).isEmpty(), 10000);
        const QString window = xdotool(search).section('\n', 0, 0);
        QTest::qWait(1500); // settled
        // The file list starts below the directory list, which takes 30% of the height.
        const QString height = xdotool("getwindowgeometry --shell " + window).section("HEIGHT=", 1);
        const int row = 56 + int(0.3 * (height.section('\n', 0, 0).toInt() - 78) + 0.5);
        auto menu = [&](const QString &keys) { // a click chooses the file, a right-click
            xdotool(QString("mousemove --window %1 30 %2").arg(window).arg(row));
            for (const QString &step : ("click 1,click 3," + keys).split(',')) {
                xdotool(step);
                QTest::qWait(700);
            }
        };
        menu("key --delay 300 Down Right Return"); // copy: the first entry, its first item
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(target.filePath("song.MP3")), 10000);
        QVERIFY(QFile::exists(source.filePath("song.mp3")) &&
                QFile::remove(target.filePath("song.MP3")));
        menu("key --delay 300 Down Down Right Return"); // move: the next entry
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(source.filePath("song.mp3")), 10000);
        QCOMPARE(readAll(target.filePath("song.MP3")), QByteArray("not really a song"));
        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(15000));
    }

    // A new file gets 0666 less the umask, a replaced one keeps its mode and owner.
    void modeAndOwnerOfWrittenFile() {
        const bool root = ::geteuid() == 0;
        for (const bool ini : {true, false}) {
            for (const int oldMode : {-1, 0664}) {
                QTemporaryDir dir;
                const QString path = dir.filePath("file.ini");
                if (oldMode > 0) {
                    writeAll(path, "[s]\nk=old\n");
                    QVERIFY(::chmod(c(path), oldMode) == 0 &&
                            (!root || ::chown(c(path), 43, 87) == 0));
                }
                const mode_t old = ::umask(077);
                QVERIFY(ini ? WriteProfileString(path, "s", "k", "v")
                            : ReplaceFileContents(path, QByteArray("[s]\nk=v\n")) == 0);
                ::umask(old);
                QCOMPARE(int(statOf(path).st_mode & 07777), oldMode > 0 ? oldMode : 0600);
                QVERIFY(oldMode < 0 || !root ||
                        (statOf(path).st_uid == 43 && statOf(path).st_gid == 87));
                QCOMPARE(contents(dir.path()), QStringList{"file.ini=[s]\nk=v\n"});
            }
        }
    }

    // Settings through ini -> sub/mid -> ../real: the links stay; a loop writes nothing.
    void settingsLinkChainReplacesFinalTarget() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        writeAll(dir.filePath("real.ini"), "[s]\nk=old\n");
        QVERIFY(QFile::link("../real.ini", dir.filePath("sub/mid.ini")));
        QVERIFY(QFile::link("sub/mid.ini", dir.filePath("Glimmerby.ini")));
        QVERIFY(WriteProfileString(dir.filePath("Glimmerby.ini"), "s", "k", "new"));
        QVERIFY(QFileInfo(dir.filePath("Glimmerby.ini")).isSymLink() &&
                QFileInfo(dir.filePath("sub/mid.ini")).isSymLink());
        QVERIFY(QFile::link("loop2", dir.filePath("loop1")));
        QVERIFY(QFile::link("loop1", dir.filePath("loop2")));
        QVERIFY(!WriteProfileString(dir.filePath("loop1"), "s", "k", "x"));
        const QString value = "=[s]\nk=new\n";
        QCOMPARE(contents(dir.path()), QStringList({"Glimmerby.ini" + value, "loop1=", "loop2=",
                                                    "real.ini" + value, "sub/mid.ini" + value}));
    }

    // Free names: counters as text, at most 255 bytes; taken: anything there, in any case.
    void freeNameCounter() {
        for (const QString chain :
             {"x x1 x2 x3", "123 124", "day9 day10 day11", "pic05 pic06", "img099 img100 img101",
              "photo-12 photo-13", " 1 2", "n\u0663 n\u06631",
              "999999999999999999999999999999 1000000000000000000000000000000"}) {
            const QStringList steps = chain.split(' ');
            FreeNameCounter counter(steps[0], ".JPG");
            for (const QString &want : steps.mid(1))
                QCOMPARE(counter.next(), want);
        }
        const QString emoji = QString::fromUtf8(QByteArray("\xF0\x9F\x98\x80").repeated(62));
        for (const QString &base : {QString(251, u'a'), QString(125, QChar(0xe9)), emoji}) {
            FreeNameCounter counter(base, ".jpg");
            QSet<QString> seen;
            for (int i = 0; i < 12; ++i) {
                const QString name = counter.next() + ".jpg";
                QVERIFY(QFile::encodeName(name).size() <= MaxNameBytes);
                QCOMPARE(QString::fromUtf8(QFile::encodeName(name)), name);
                seen.insert(name);
            }
            QCOMPARE(seen.size(), 12);
        }
        QCOMPARE(FreeNameCounter(QString(255, u'9'), QString()).next(), QString());
        QTemporaryDir dir;
        for (const char *name : {"PHOTO.JPG", "x.jpg", "day9.jpg", "day10.jpg", "A1.JPG"})
            touch(dir.filePath(name));
        for (int i = 1; i <= 10; ++i)
            touch(dir.filePath(QStringLiteral("x%1.jpg").arg(i)));
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
        // Read afresh for each lookup, and through a command's index read once.
        NameIndex index;
        for (NameIndex *names : {static_cast<NameIndex *>(nullptr), &index}) {
            const NameLookup other = LookUpName(dir.path() + "/", "photo.JPG", names);
            QCOMPARE(other.state, NameState::Taken);
            QCOMPARE(other.existing, QString("PHOTO.JPG"));
            for (const char *taken : {"PHOTO.JPG", "SUB", "dangling"})
                QCOMPARE(LookUpName(dir.path(), taken, names).state, NameState::Taken);
            QCOMPARE(LookUpName(dir.path(), "free.jpg", names).state, NameState::Free);
            QCOMPARE(LookUpName(dir.filePath("nowhere"), "a.jpg", names).error, ENOENT);
            QCOMPARE(LookUpName(dir.path(), QString(300, u'a'), names).state,
                     NameState::LookupError);
            QCOMPARE(FindFreeName(dir.path(), "x", ".jpg", names).baseName, QString("x11"));
            QCOMPARE(FindFreeName(dir.path(), "day9", ".jpg", names).baseName, QString("day11"));
            QCOMPARE(FindFreeName(dir.path(), "a", ".jpg", names).baseName, QString("a2"));
        }
        // A name the index was asked about but that was never made does not block its other
        // spelling; once made, it does, though the folder is not read again.
        QCOMPARE(LookUpName(dir.path(), "FREE.JPG", &index).state, NameState::Free);
        touch(dir.filePath("FREE.JPG"));
        const NameLookup made = LookUpName(dir.path(), "free.jpg", &index);
        QCOMPARE(made.state, NameState::Taken);
        QCOMPARE(made.existing, QString("FREE.JPG"));
    }

    // Time and mode, links replaced not followed, the inode kept, taken names left alone.
    void copyMoveAndRename() {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.jpg"), b = dir.filePath("b.jpg"),
                      l = dir.filePath("l.jpg"), d = dir.filePath("d.jpg");
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        writeAll(a, "new");
        writeAll(b, "old");
        QVERIFY(QFile::link(b, l));
        QVERIFY(::chmod(c(a), 0770) == 0 && ::chmod(c(b), 0600) == 0);
        setTime(a, 1000000000);
        const mode_t mask = ::umask(022);
        QCOMPARE(CopyFileTo(a, d, Clash::Keep).outcome, Outcome::Done);
        ::umask(mask);
        QCOMPARE(statOf(d).st_mtim.tv_sec, 1000000000);
        QCOMPARE(statOf(d).st_mode & 07777, mode_t(0750));
        for (const QString &taken : {b, l}) {
            QCOMPARE(CopyFileTo(a, taken, Clash::Keep).outcome, Outcome::NameTaken);
            QCOMPARE(MoveFileTo(a, taken, Clash::Keep).outcome, Outcome::NameTaken);
        }
        QCOMPARE(CopyFileTo(a, l, Clash::Replace).outcome, Outcome::Done);
        QVERIFY(!QFileInfo(l).isSymLink());
        QCOMPARE(readAll(b), QByteArray("old"));
        QCOMPARE(CopyFileTo(a, b, Clash::Replace).outcome, Outcome::Done);
        QCOMPARE(statOf(b).st_mode & 07777, mode_t(0600));
        const ino_t inode = statOf(d).st_ino;
        QCOMPARE(MoveFileTo(d, dir.filePath("e.jpg"), Clash::Keep).outcome, Outcome::Done);
        QCOMPARE(statOf(dir.filePath("e.jpg")).st_ino, inode);
        QCOMPARE(CopyFileTo(d, a, Clash::Replace).error, ENOENT);
        QCOMPARE(MoveFileTo(d, a, Clash::Replace).outcome, Outcome::Failed);
        QCOMPARE(RenameFileTo(a, dir.filePath("A.JPG")).outcome, Outcome::Done);
        QCOMPARE(RenameFileTo(dir.filePath("A.JPG"), b).outcome, Outcome::NameTaken);
        // The same path, a hard link or a symlinked directory: one file, never touched.
        QVERIFY(::link(c(b), c(dir.filePath("sub/h.jpg"))) == 0);
        QVERIFY(QFile::link(dir.path(), dir.filePath("sub/alias")));
        for (const char *same : {"b.jpg", "sub/h.jpg", "sub/alias/b.jpg"}) {
            QVERIFY(SameFile(b, dir.filePath(same)));
            for (const Clash clash : {Clash::Keep, Clash::Replace}) {
                QCOMPARE(CopyFileTo(b, dir.filePath(same), clash).outcome, Outcome::SameFile);
                QCOMPARE(MoveFileTo(b, dir.filePath(same), clash).outcome, Outcome::SameFile);
            }
        }
        QCOMPARE(contents(dir.path()), QStringList({"A.JPG=new", "b.jpg=new", "e.jpg=new",
                                                    "l.jpg=new", "sub/h.jpg=new"}));
    }

    // Full and read-only disks, moves across file systems: every byte checked afterwards.
    // Ctrl+Z after each kind of command: every file as it was before, the files made sent to
    // the trash; a file changed since (or a name taken since) is left alone.
    void undoEachCommand_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("caption"); // the menu item before the undo
        QTest::addColumn<QString>("changed"); // what the undo leaves different from before
        QTest::addColumn<QString>("panel");   // what panel 4 says after it
        const QString two = " of 2 files";
        QTest::newRow("delete") << "delete"
                                << "Undo Delete" + two << ""
                                << "Undid Delete" + two;
        QTest::newRow("delete, name taken since") << "delete taken"
                                                  << "Undo Delete" + two << "s:a.mp3=new s:a1.mp3=A"
                                                  << "Undid Delete" + two;
        QTest::newRow("copy") << "copy"
                              << "Undo Copy" + two << ""
                              << "Undid Copy" + two;
        QTest::newRow("copy, changed since")
            << "copy changed"
            << "Undo Copy" + two << "t:b.MP3=B!"
            << "Undid Copy" + two + "; 1 file(s) left as they changed since";
        QTest::newRow("overwrite") << "overwrite"
                                   << "Undo Copy" + two << ""
                                   << "Undid Copy" + two;
        QTest::newRow("move") << "move"
                              << "Undo Move" + two << ""
                              << "Undid Move" + two;
        QTest::newRow("move across volumes") << "move across"
                                             << "Undo Move" + two << ""
                                             << "Undid Move" + two;
        QTest::newRow("move, overwrite") << "move overwrite"
                                         << "Undo Move" + two << ""
                                         << "Undid Move" + two;
        QTest::newRow("paste of cut files") << "paste"
                                            << "Undo Paste" + two << ""
                                            << "Undid Paste" + two;
        QTest::newRow("rename") << "rename"
                                << "Undo Rename of 1 file"
                                << ""
                                << "Undid Rename of 1 file";
        QTest::newRow("make dir") << "mkdir"
                                  << "Undo Make Dir"
                                  << ""
                                  << "Undid Make Dir";
    }
    void undoEachCommand() {
        QFETCH(QString, command);
        QFETCH(QString, changed);
        Running r;
        QVERIFY(r.start());
        ScriptedFileDialogs dialogs;
        r.ctx().inputs = &r.inputs;
        r.ctx().fileDialogs = &dialogs;
        if (command == "move across") {
            if (!g_noMounts.isEmpty())
                QSKIP(qPrintable(g_noMounts));
            QVERIFY(::mount("tmpfs", c(r.target.path()), "tmpfs", 0, "size=4m") == 0);
        }
        if (command.contains("overwrite"))
            writeAll(r.target.filePath("a.mp3"), "old");
        r.show({{"a.mp3", "A"}, {"b.mp3", "B"}, {"c.mp3", "C"}}, {"a.mp3", "b.mp3"});
        const auto snapshot = [&] {
            QStringList all;
            for (const QString &s : contents(r.source.path()))
                all << "s:" + s;
            for (const QString &t : contents(r.target.path()))
                all << "t:" + t;
            return all;
        };
        const QStringList before = snapshot();
        r.answers = {1}; // "Overwrite All" where asked
        if (command.startsWith("delete"))
            r.ctx().files->DeleteSelectedFiles();
        else if (command.startsWith("copy") || command == "overwrite")
            r.copy();
        else if (command.startsWith("move"))
            r.move();
        else if (command == "rename") {
            r.inputs.answers = {"z"};
            r.form().mnuRename->trigger();
        } else if (command == "mkdir") {
            r.inputs.answers = {r.source.filePath("New")};
            r.form().mnuMakeDirHere->trigger();
        } else if (command == "paste") {
            QString word = "X";
            r.ctx().clipboard->Set_XCV(word);
            dialogs.answers = {r.target.filePath("a")};
            word = "V";
            r.ctx().clipboard->Set_XCV(word);
        }
        QVERIFY(snapshot() != before || command == "mkdir");
        if (command == "copy changed")
            writeAll(r.target.filePath("b.MP3"), "B!"); // the copy (its extension in capitals)
        if (command == "delete taken")
            writeAll(r.source.filePath("a.mp3"), "new");
        QTEST(r.form().mnuUndo->text(), "caption");
        QVERIFY(r.form().mnuUndo->isEnabled());
        QCOMPARE(r.form().mnupop->actions().last(), r.form().mnuUndo); // after "Cancel"
        r.form().activateWindow();
        r.ctx().keys->Form_KeyDown(Qt::Key_Z, Qt::ControlModifier);
        QStringList expected = before;
        for (const QString &entry : changed.split(' ', Qt::SkipEmptyParts)) {
            expected.removeIf(
                [&](const QString &e) { return e.section('=', 0, 0) == entry.section('=', 0, 0); });
            expected << entry;
        }
        expected.sort();
        QStringList now = snapshot();
        now.sort();
        QCOMPARE(now, expected);
        QVERIFY(!QFileInfo::exists(r.source.filePath("New")));
        QTEST(r.form().panelText(4), "panel");
        QCOMPARE(r.form().mnuUndo->text(), QString("Undo"));
        QVERIFY(!r.form().mnuUndo->isEnabled());
        r.checkReset();
        // What was made went to the trash, not away for good.
        if (command == "copy" || command == "overwrite")
            QCOMPARE(QDir(r.trash() + "/files").entryList(QDir::Files).size(), 2);
        if (command == "move across")
            ::umount2(c(r.target.path()), MNT_DETACH);
    }

    void faults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("outcome");
        QTest::newRow("copy to a full disk") << "copy-full" << int(Outcome::Failed);
        QTest::newRow("overwrite on a full disk") << "overwrite-full" << int(Outcome::Failed);
        QTest::newRow("move to a full disk") << "move-full" << int(Outcome::Failed);
        QTest::newRow("copy to a read-only disk") << "copy-ro" << int(Outcome::Failed);
        QTest::newRow("move off a read-only disk") << "move-ro" << int(Outcome::Done);
        QTest::newRow("move across, 255-byte name") << "move-long" << int(Outcome::Done);
        QTest::newRow("grouped move across") << "move-group" << int(Outcome::Pending);
    }
    void faults() {
        QFETCH(QString, fault);
        QFETCH(int, outcome);
        if (!g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        QTemporaryDir root;
        const QString disk = root.filePath("disk"), small = root.filePath("small"),
                      ro = root.filePath("ro");
        for (const QString &d : {disk, small, ro})
            QVERIFY(QDir().mkpath(d));
        QVERIFY(::mount("tmpfs", c(disk), "tmpfs", 0, "size=8m") == 0);
        QVERIFY(::mount("tmpfs", c(small), "tmpfs", 0, "size=256k") == 0);
        const QString name = fault == "move-long" ? QString(251, u'n') + ".jpg" : "a.jpg";
        QString from = disk + "/" + name, to = small + "/" + name;
        const QByteArray data(fault.contains("full") ? 400000 : 100000, 's');
        writeAll(from, data);
        QVERIFY(::chmod(c(from), 0604) == 0);
        setTime(from, 1200000000);
        QStringList want{"disk/" + name + "=" + data};
        if (fault == "overwrite-full") {
            writeAll(to, "old");
            want << "small/" + name + "=old";
        }
        if (fault.endsWith("-ro")) {
            const bool copy = fault == "copy-ro";
            QVERIFY(::mount(c(copy ? small : disk), c(ro), nullptr, MS_BIND, nullptr) == 0);
            QVERIFY(::mount(nullptr, c(ro), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, 0) == 0);
            (copy ? to : from) = ro + "/" + name;
            if (!copy)
                want << "ro/" + name + "=" + data;
        }
        DurableMoves group;
        const Clash clash = fault == "overwrite-full" ? Clash::Replace : Clash::Keep;
        const TransferResult r =
            fault.startsWith("move")
                ? MoveFileTo(from, to, clash, fault == "move-group" ? &group : nullptr)
                : CopyFileTo(from, to, clash);
        QCOMPARE(int(r.outcome), outcome);
        if (r.outcome == Outcome::Pending) {
            QVERIFY(QFile::exists(from)); // not before the copy is on disk
            const auto finished = group.flush();
            QCOMPARE(int(finished.size()), 1);
            QCOMPARE(finished[0].error, 0);
        }
        if (r.outcome != Outcome::Failed) {
            want << "small/" + name + "=" + data;
            if (fault != "move-ro")
                want.removeFirst();
            QCOMPARE(r.sourceKept, fault == "move-ro");
            QCOMPARE(statOf(to).st_mtim.tv_sec, 1200000000);
            QCOMPARE(statOf(to).st_mode & 07777, mode_t(0604));
        }
        want.sort();
        QCOMPARE(contents(root.path()), want);
        for (const QString &d : {ro, small, disk})
            ::umount2(c(d), MNT_DETACH);
    }
};

int main(int argc, char **argv) {
    // A mount namespace of the test's own, entered before any thread exists.
    if (::unshare(CLONE_NEWNS) != 0)
        g_noMounts = QStringLiteral("no mount namespace: ") + strerror(errno);
    else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        g_noMounts = QStringLiteral("mounts not private: ") + strerror(errno);
    QApplication app(argc, argv);
    TestOrganize test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_organize.moc"
