// Renaming and the program's own cut, copy and paste in the real window, with the real
// clash dialog and scripted input boxes and file dialogs. Every case compares the bytes of
// every file left. The disk faults (a full disk, a read-only one, another file system) are
// made for real as root in a mount namespace of the test's own; without that permission
// those cases are skipped.

#include "app/application.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/file_clipboard.h"
#include "organize/options_dialog.h"
#include "shell/key_commands.h"
#include "support/app_sandbox.h"
#include "support/scripted_inputs.h"
#include "support/test_files.h"
#include "windows/dialog_box.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace glimmerby;

namespace {

// Why the mount cases cannot run; empty when they can. The namespace is entered before
// main, while the process has one thread.
QString g_noMounts = [] {
    if (::unshare(CLONE_NEWNS) != 0)
        return QStringLiteral("no mount namespace: ") + QString::fromLocal8Bit(strerror(errno));
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return QStringLiteral("mounts not private: ") + QString::fromLocal8Bit(strerror(errno));
    return QString();
}();

// Every entry under dir: "name=content" for files, "name->target" for links, "name/" for
// directories; sorted.
QStringList contents(const QString &dir) {
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(dir).relativeFilePath(path);
        const QFileInfo info(path);
        if (info.isSymLink())
            out << name + "->" + info.symLinkTarget().section('/', -1);
        else if (info.isDir())
            out << name + "/";
        else
            out << name + "=" + QString::fromLatin1(readAll(path));
    }
    out.sort();
    return out;
}

ino_t inodeOf(const QString &path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

struct Running : AppSandbox {
    QTemporaryDir work;
    ScriptedInputBoxes inputs;
    ScriptedFileDialogs dialogs;
    QString in, out;  // two directories, ending in "/"
    QList<int> clash; // the clash dialog's answers in turn; -1 closes its frame
    int clashesShown = 0;

    Running() {
        start();
        const QString root = QDir(work.path()).absolutePath();
        in = root + "/in/";
        out = root + "/out/";
        QDir().mkpath(in);
        QDir().mkpath(out);
        ctx().inputs = &inputs;
        ctx().fileDialogs = &dialogs;
        ctx().dialog->onShown = [this](DialogBox &box) {
            ++clashesShown;
            const int answer = clash.isEmpty() ? 4 : clash.takeFirst();
            if (answer >= 0)
                box.C[answer]->click();
            else
                box.close();
        };
    }
    // Lists dir and selects the named files.
    void select(const QString &dir, const QStringList &names) {
        QVERIFY(ctx().browser->setDirectory(dir));
        FileListBox *list = form().File1;
        list->setListIndex(-1);
        for (const QString &name : names) {
            const int row = list->items().indexOf(name);
            QVERIFY2(row >= 0, qPrintable(name));
            list->setSelected(row, true);
        }
    }
    void xcv(const QString &word) {
        QString w = word;
        ctx().clipboard->Set_XCV(w);
    }
    void pasteInto(const QString &dir) {
        dialogs.answers = {dir + "whatever"};
        xcv("V");
    }
};

} // namespace

class TestRenamePaste : public QObject {
    Q_OBJECT
  private slots:
    void renaming_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QList<int>>("clash");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("message");
        const QStringList both{"a.wav=A", "b.wav=B"};
        const QString n251(251, 'n');
        QTest::newRow("Overwrite One") << ""
                                       << "b" << QList<int>{0} << QStringList{"b.wav=A"} << "";
        QTest::newRow("Overwrite All") << ""
                                       << "b" << QList<int>{1} << QStringList{"b.wav=A"} << "";
        QTest::newRow("Rename One")
            << ""
            << "b" << QList<int>{2} << QStringList{"b.wav=B", "b1.wav=A"} << "";
        QTest::newRow("Rename All")
            << ""
            << "b" << QList<int>{3} << QStringList{"b.wav=B", "b1.wav=A"} << "";
        QTest::newRow("Cancel") << ""
                                << "b" << QList<int>{4} << both << "";
        QTest::newRow("Skip One") << ""
                                  << "b" << QList<int>{5} << both << "";
        QTest::newRow("frame closed") << ""
                                      << "b" << QList<int>{-1} << both << "";
        QTest::newRow("free name")
            << ""
            << "c" << QList<int>{} << QStringList{"b.wav=B", "c.wav=A"} << "";
        QTest::newRow("case only") << ""
                                   << "A" << QList<int>{} << both << "";
        QTest::newRow("cancelled box") << ""
                                       << "" << QList<int>{} << both << "";
        QTest::newRow("slash") << ""
                               << "../a" << QList<int>{} << both << "";
        QTest::newRow("dot dot") << ""
                                 << ".." << QList<int>{} << both << "";
        QTest::newRow("255 bytes")
            << "" << n251 << QList<int>{} << QStringList{"b.wav=B", n251 + ".wav=A"} << "";
        QTest::newRow("256 bytes") << "" << n251 + "n" << QList<int>{} << both
                                   << "a.wav was left as it was: File name too long";
        QTest::newRow("hard-linked target")
            << "hardlink"
            << "b" << QList<int>{0} << QStringList{"a.wav=A", "b.wav=A"} << "";
        QTest::newRow("symlinked target")
            << "symlink"
            << "b" << QList<int>{0} << QStringList{"a.wav=A", "b.wav->a.wav"} << "";
        QTest::newRow("directory target")
            << "directory"
            << "b" << QList<int>{0} << QStringList{"a.wav=A", "b.wav/"}
            << "a.wav was left as it was: Is a directory";
        QTest::newRow("gone source")
            << "gone"
            << "c" << QList<int>{} << QStringList{"b.wav=B"}
            << "File Error: Check Path to PSP in Glimmerby.INI file or Refresh the FileList";
        QTest::newRow("nothing selected") << "none"
                                          << "c" << QList<int>{} << both << "";
    }
    void renaming() {
        QFETCH(QString, setup);
        QFETCH(QString, answer);
        QFETCH(QList<int>, clash);
        QFETCH(QStringList, after);
        QFETCH(QString, message);
        Running r;
        touch(r.in + "a.wav", "A");
        if (setup == "hardlink")
            QVERIFY(::link(QFile::encodeName(r.in + "a.wav"), QFile::encodeName(r.in + "b.wav")) ==
                    0);
        else if (setup == "symlink")
            QVERIFY(QFile::link("a.wav", r.in + "b.wav"));
        else if (setup == "directory")
            QVERIFY(QDir().mkdir(r.in + "b.wav"));
        else
            touch(r.in + "b.wav", "B");
        r.select(r.in, setup == "none" ? QStringList() : QStringList{"a.wav"});
        if (setup == "gone")
            QFile::remove(r.in + "a.wav");
        r.inputs.answers = {answer};
        r.clash = clash;
        r.form().mnuRename->trigger();
        QCOMPARE(contents(r.in), after);
        QCOMPARE(r.clashesShown, clash.size());
        if (setup == "none") {
            QVERIFY(r.inputs.prompts.isEmpty());
            return;
        }
        QCOMPARE(r.inputs.titles, QStringList("Rename File"));
        QCOMPARE(r.inputs.prompts, QStringList("Rename File: a.wav\n\nTo: "));
        QCOMPARE(r.inputs.defaults, QStringList("a"));
        if (message.startsWith("File Error"))
            QCOMPARE(r.boxes.texts(), QStringList(message));
        else
            QVERIFY(r.boxes.texts().isEmpty());
        if (message.contains("left as it was"))
            QCOMPARE(r.form().panelText(4), message);
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
    }

    void renamingAPlayingMovie() {
        Running r;
        QVERIFY(QFile::copy(GLIMMERBY_SAMPLES_DIR "/clip.mpg", r.in + "clip.mpg"));
        r.select(r.in, {"clip.mpg"});
        MediaPlayer *player = r.form().MediaPlayer2;
        player->setFileName(r.in + "clip.mpg");
        player->Play();
        QTRY_VERIFY(player->isPlaying());
        const QByteArray movie = readAll(r.in + "clip.mpg");
        r.inputs.answers = {"film"};
        r.form().mnuRename->trigger();
        QCOMPARE(player->fileName(), QString());
        QVERIFY(!QFile::exists(r.in + "clip.mpg"));
        QCOMPARE(readAll(r.in + "film.mpg"), movie);
        QCOMPARE(r.state().CurrentFile, r.in + "film.mpg");
    }

    void copiesPastedTwiceWithRenameAll() {
        Running r;
        for (const char *n : {"x", "y", "z"})
            touch(r.in + n + ".wav", n);
        r.select(r.in, {"x.wav", "y.wav", "z.wav"});
        r.xcv("C");
        QCOMPARE(r.state().ClipCount, 2);
        QCOMPARE(r.form().File1->selectedRows(), QList<int>{0}); // the first stays selected
        r.pasteInto(r.out);
        QCOMPARE(r.dialogs.requests.value(0).directory + "/", r.in);
        QCOMPARE(r.dialogs.requests.value(0).fileName, QString("x"));
        QCOMPARE(contents(r.out), QStringList({"x.wav=x", "y.wav=y", "z.wav=z"}));
        r.clash = {3};
        r.pasteInto(r.out);
        QCOMPARE(r.clashesShown, 1);
        QCOMPARE(r.dialogs.requests.value(1).directory + "/", r.out); // the last paste's
        QCOMPARE(contents(r.out), QStringList({"x.wav=x", "x1.wav=x", "y.wav=y", "y1.wav=y",
                                               "z.wav=z", "z1.wav=z"}));
        QCOMPARE(contents(r.in), QStringList({"x.wav=x", "y.wav=y", "z.wav=z"}));
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
        QVERIFY(r.boxes.texts().isEmpty());
    }

    void pastedHome_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("after");
        const QStringList unchanged{"w.wav=w", "x.wav=x"};
        QTest::newRow("cut, Rename One") << "X" << 2 << QStringList{"w.wav=w", "x1.wav=x"};
        QTest::newRow("cut, Skip One") << "X" << 5 << unchanged;
        QTest::newRow("cut, Cancel") << "X" << 4 << unchanged;
        QTest::newRow("cut, frame") << "X" << -1 << unchanged;
        QTest::newRow("cut, Overwrite One") << "X" << 0 << unchanged;
        QTest::newRow("copy, Overwrite One") << "C" << 0 << unchanged;
        QTest::newRow("copy, Rename One")
            << "C" << 2 << QStringList{"w.wav=w", "x.wav=x", "x1.wav=x"};
    }
    void pastedHome() {
        QFETCH(QString, word);
        QFETCH(int, answer);
        QFETCH(QStringList, after);
        Running r;
        touch(r.in + "w.wav", "w");
        touch(r.in + "x.wav", "x");
        const ino_t inode = inodeOf(r.in + "x.wav");
        r.select(r.in, {"x.wav"});
        r.xcv(word);
        r.clash = {answer};
        r.pasteInto(r.in);
        QCOMPARE(r.clashesShown, 1);
        QCOMPARE(contents(r.in), after);
        if (after.contains("x1.wav=x") && word == "X")
            QCOMPARE(inodeOf(r.in + "x1.wav"), inode); // one rename, the same file
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
    }

    void secondPasteOfCutFiles() {
        Running r;
        touch(r.in + "x.wav", "x");
        touch(r.in + "y.wav", "y");
        r.select(r.in, {"x.wav", "y.wav"});
        r.xcv("X");
        QCOMPARE(contents(r.in), QStringList({"x.wav=x", "y.wav=y"})); // a cut touches nothing
        r.pasteInto(r.out);
        QCOMPARE(contents(r.out), QStringList({"x.wav=x", "y.wav=y"}));
        QVERIFY(contents(r.in).isEmpty());
        r.pasteInto(r.in);
        QCOMPARE(contents(r.out), QStringList({"x.wav=x", "y.wav=y"}));
        QCOMPARE(r.clashesShown, 0);
        QCOMPARE(r.form().panelText(4),
                 QString("2 file(s) left as they were: No such file or directory"));
    }

    void tildeAndCancelledTarget() {
        Running r;
        touch(r.in + "x~1.wav", "t");
        r.select(r.in, {"x~1.wav"});
        r.xcv("C");
        r.dialogs.answers = {QString()}; // the target dialog cancelled: nothing
        r.xcv("V");
        QVERIFY(contents(r.out).isEmpty());
        QVERIFY(r.boxes.texts().isEmpty());
        r.pasteInto(r.out);
        QCOMPARE(contents(r.out), QStringList("x~1.wav=t"));
        QCOMPARE(r.boxes.texts(),
                 QStringList("I'm going to try this Copy, but this file (x~1.wav) has a \n    ~  "
                             "  \nchar in it and I don't like them I may or may not do what you "
                             "want..."));
        QCOMPARE(r.boxes.titles(), QStringList(QString()));
    }

    void keyDuringAPaste() {
        Running r;
        touch(r.in + "x.wav", "x");
        touch(r.out + "x.wav", "old");
        r.select(r.in, {"x.wav"});
        r.xcv("C");
        bool consumed = true;
        r.ctx().dialog->onShown = [&](DialogBox &box) {
            consumed = r.ctx().keys->Form_KeyDown(Qt::Key_Delete, {});
            box.C[5]->click();
        };
        r.select(r.out, {"x.wav"});
        r.dialogs.answers = {r.out + "x"};
        QVERIFY(r.ctx().keys->Form_KeyDown(Qt::Key_V, Qt::ControlModifier));
        QVERIFY(!consumed);
        QCOMPARE(contents(r.out), QStringList("x.wav=old"));
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
    }

    void twoNamesForOneFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("hard-linked pair") << "hardlink";
        QTest::newRow("symlinked directory") << "symlink";
    }
    void twoNamesForOneFile() {
        QFETCH(QString, kind);
        Running r;
        touch(r.in + "x.wav", "x");
        QString target = r.out;
        if (kind == "hardlink") {
            QVERIFY(::link(QFile::encodeName(r.in + "x.wav"), QFile::encodeName(r.out + "x.wav")) ==
                    0);
        } else {
            QVERIFY(QFile::link(r.in, r.out + "link"));
            target = r.out + "link/";
        }
        for (const QString word : {"C", "X"}) {
            r.select(r.in, {"x.wav"});
            r.xcv(word);
            r.clash = {0}; // Overwrite One: the same file, so nothing to do
            r.pasteInto(target);
            QCOMPARE(contents(r.in), QStringList("x.wav=x"));
        }
    }

    void diskFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("word");
        QTest::newRow("copy onto a full disk") << "full"
                                               << "C";
        QTest::newRow("cut onto a full disk") << "full"
                                              << "X";
        QTest::newRow("copy onto a read-only disk") << "ro"
                                                    << "C";
        QTest::newRow("cut across file systems") << "exdev"
                                                 << "X";
    }
    void diskFaults() {
        QFETCH(QString, fault);
        QFETCH(QString, word);
        if (!g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        Running r;
        QVERIFY(::mount("tmpfs", QFile::encodeName(r.out).constData(), "tmpfs", 0,
                        fault == "full" ? "size=256k" : "size=8m") == 0);
        const QByteArray big(fault == "full" ? 400000 : 100000, 'b');
        touch(r.in + "x.wav", big);
        struct timespec times[2] = {{1200000000, 0}, {1200000000, 0}};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(r.in + "x.wav"), times, 0) == 0);
        touch(r.out + "x.wav", "old");
        if (fault == "ro")
            QVERIFY(::mount(nullptr, QFile::encodeName(r.out).constData(), nullptr,
                            MS_REMOUNT | MS_RDONLY, nullptr) == 0);
        r.select(r.in, {"x.wav"});
        r.xcv(word);
        r.clash = {0};
        r.pasteInto(r.out);
        if (fault == "exdev") {
            QCOMPARE(contents(r.out), QStringList("x.wav=" + QString::fromLatin1(big)));
            QVERIFY(contents(r.in).isEmpty());
            QCOMPARE(QFileInfo(r.out + "x.wav").lastModified().toSecsSinceEpoch(), 1200000000);
        } else {
            QCOMPARE(contents(r.out), QStringList("x.wav=old")); // whole, no temporary left
            QCOMPARE(contents(r.in), QStringList("x.wav=" + QString::fromLatin1(big)));
            QVERIFY(r.form().panelText(4).startsWith("1 file(s) left as they were: "));
        }
        QVERIFY(r.boxes.texts().isEmpty());
        ::umount2(QFile::encodeName(r.out).constData(), MNT_DETACH);
    }
};

QTEST_MAIN(TestRenamePaste)
#include "test_rename_paste.moc"
