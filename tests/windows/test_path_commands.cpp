// The destination, directory and editor commands in the real window: the directory
// question per answer, "Make Dir Here", and Qt's own file dialog for the editor's path
// and for the paste directory.

#include "app/application.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/destination.h"
#include "organize/options_dialog.h"
#include "organize/path_commands.h"
#include "support/app_sandbox.h"
#include "support/scripted_inputs.h"
#include "support/test_files.h"
#include "windows/dialog_box.h"
#include "windows/qt_file_dialogs.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;

namespace {

struct Running : AppSandbox {
    QTemporaryDir work;
    ScriptedInputBoxes inputs;
    QString root; // work's path ending in "/"

    Running() {
        start();
        root = QDir(work.path()).absolutePath() + "/";
        ctx().inputs = &inputs;
        ctx().browser->setDirectory(root);
        SetDestinationDir(ctx(), "/dest/");
    }
    QtFileDialogs &dialogs() { return *static_cast<QtFileDialogs *>(ctx().fileDialogs); }
};

// What the real file dialog showed when it came up.
struct DialogSeen {
    QString directory, file;
    QStringList filters;
    QString filter;
    bool save = false, confirmsOverwrite = true;
};

void answerFileDialog(Running &r, DialogSeen &seen, const QString &accept) {
    r.dialogs().onShown = [&seen, accept](QFileDialog &d) {
        seen.directory = d.directory().absolutePath();
        seen.file = d.findChild<QLineEdit *>("fileNameEdit")->text();
        seen.filters = d.nameFilters();
        seen.filter = d.selectedNameFilter();
        seen.save = d.acceptMode() == QFileDialog::AcceptSave;
        seen.confirmsOverwrite = !d.testOption(QFileDialog::DontConfirmOverwrite);
        if (accept.isEmpty()) {
            d.reject();
            return;
        }
        d.selectFile(accept);
        static_cast<QDialog &>(d).accept(); // as the Save or Open button does
    };
}

} // namespace

class TestPathCommands : public QObject {
    Q_OBJECT
  private slots:
    void destinationPerAnswer_data() {
        QTest::addColumn<bool>("fromDirMenu");
        QTest::addColumn<int>("answer"); // button; -1 Escape, -2 the frame
        QTest::addColumn<bool>("changes");
        for (bool dirMenu : {false, true}) {
            const char *menu = dirMenu ? "Set Path / MkDir" : "Set Dest Path";
            QTest::addRow("%s: Set Dir", menu) << dirMenu << 0 << true;
            QTest::addRow("%s: Cancel", menu) << dirMenu << 5 << false;
            QTest::addRow("%s: Escape", menu) << dirMenu << -1 << false;
            QTest::addRow("%s: frame", menu) << dirMenu << -2 << false;
        }
    }
    void destinationPerAnswer() {
        QFETCH(bool, fromDirMenu);
        QFETCH(int, answer);
        QFETCH(bool, changes);
        Running r;
        Form1 &f = r.form();
        QDir().mkdir(r.root + "target");
        f.setPanelText(3, "before");
        r.ctx().dialog->onShown = [&](DialogBox &box) {
            box.Dir1->setPath(r.root + "target");
            if (answer >= 0)
                box.C[answer]->click();
            else if (answer == -1)
                QTest::keyClick(&box, Qt::Key_Escape);
            else
                box.close();
        };
        (fromDirMenu ? f.mnuSetPathMkDir : f.mnuSetDest)->trigger();
        const QString expected = changes ? r.root + "target/" : QString("/dest/");
        QCOMPARE(f.moveit[0]->text(), expected);
        QCOMPARE(f.Copyit[0]->text(), expected);
        QCOMPARE(f.panelText(3), changes ? expected + "  " : QString("before"));
    }

    void makeDirHere_data() {
        QTest::addColumn<QString>("answer"); // "@" stands for the listed directory
        QTest::addColumn<QString>("made");   // relative to it; "" none
        QTest::addColumn<QString>("box");
        QTest::newRow("default") << "@"
                                 << ""
                                 << "";
        QTest::newRow("default other case") << "@UPPER"
                                            << ""
                                            << "";
        QTest::newRow("cancel") << ""
                                << ""
                                << "";
        QTest::newRow("new full path") << "@fresh"
                                       << "fresh"
                                       << "";
        QTest::newRow("relative") << "bare"
                                  << "bare"
                                  << "";
        QTest::newRow("existing") << "@old"
                                  << ""
                                  << "Error creating dir\n\n17 File exists";
        QTest::newRow("missing parent") << "@gone/child"
                                        << ""
                                        << "Error creating dir\n\n2 No such file or directory";
    }
    void makeDirHere() {
        QFETCH(QString, answer);
        QFETCH(QString, made);
        QFETCH(QString, box);
        Running r;
        Form1 &f = r.form();
        QDir().mkdir(r.root + "old");
        r.ctx().browser->setDirectory(r.root);
        if (answer == "@UPPER")
            answer = r.root.toUpper();
        answer.replace("@", r.root);
        r.inputs.answers = {answer};
        f.mnuMakeDirHere->trigger();
        QCOMPARE(r.inputs.titles, QStringList("Make Dir"));
        QCOMPARE(r.inputs.prompts, QStringList("Create Sub Dir of: " + r.root + "\n\nCalled: "));
        QCOMPARE(r.inputs.defaults, QStringList(r.root));
        QCOMPARE(r.boxes.texts(), box.isEmpty() ? QStringList() : QStringList(box));
        QStringList dirs = QDir(r.root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        dirs.removeOne("old");
        QCOMPARE(dirs, made.isEmpty() ? QStringList() : QStringList(made));
        const QString destination = made.isEmpty() ? QString("/dest/") : r.root + made + "/";
        QCOMPARE(f.moveit[0]->text(), destination);
        QCOMPARE(f.Copyit[0]->text(), destination);
        if (!made.isEmpty()) {
            QCOMPARE(f.panelText(3), destination + "  ");
            QVERIFY(f.Dir1->findItems(made, Qt::MatchEndsWith).size() == 1);
        }
    }

    void editorPathInTheRealDialog_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("chosen") << true;
        QTest::newRow("cancelled") << false;
    }
    void editorPathInTheRealDialog() {
        QFETCH(bool, confirm);
        Running r;
        touch(r.root + "gimp");
        r.state().EditorPath = r.root + "gone/PSP.EXE"; // its directory has vanished
        DialogSeen seen;
        answerFileDialog(r, seen, confirm ? r.root + "gimp" : QString());
        r.form().mnuSetPSP->trigger();
        QCOMPARE(seen.directory + "/", r.root);
        QCOMPARE(seen.file, QString("PSP.EXE"));
        QCOMPARE(seen.filters, QStringList("All Files (*)"));
        QVERIFY(!seen.save);
        QCOMPARE(r.state().EditorPath, confirm ? r.root + "gimp" : r.root + "gone/PSP.EXE");
    }

    void pasteDirectoryInTheRealDialog_data() {
        QTest::addColumn<int>("kind"); // the file-kind entry; -1 typed text
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("movies") << 0 << "Movies (*.wmv *.avi *.mpe *.mpg *.mpeg *asf *mov)" << true;
        QTest::newRow("pictures") << 1 << "Picture Files (*.jpg *.jpeg *.gif *.bmp)" << true;
        QTest::newRow("music") << 3 << "Music Files (*.wma *.mp3 *.wav *.mid *.rmi)" << true;
        QTest::newRow("typed text keeps the last") << -1
                                                   << "Music Files (*.wma *.mp3 *.wav "
                                                      "*.mid *.rmi)"
                                                   << true;
        QTest::newRow("cancel") << 1 << "Picture Files (*.jpg *.jpeg *.gif *.bmp)" << false;
    }
    void pasteDirectoryInTheRealDialog() {
        QFETCH(int, kind);
        QFETCH(QString, filter);
        QFETCH(bool, confirm);
        Running r;
        QDir().mkdir(r.root + "in");
        QDir().mkdir(r.root + "out");
        touch(r.root + "out/taken.jpg");
        Form1 &f = r.form();
        DialogSeen seen;
        if (kind < 0) { // the music entry first, then text of the user's own
            answerFileDialog(r, seen, r.root + "out/x");
            f.Combo1->setCurrentIndex(3);
            r.ctx().paths->RequestNewPath(r.root + "in/x.jpg");
            f.Combo1->setEditText("*.txt");
        } else {
            f.Combo1->setCurrentIndex(kind);
        }
        // Confirming an existing name asks nothing more.
        answerFileDialog(r, seen, confirm ? r.root + "out/taken.jpg" : QString());
        const auto dir = r.ctx().paths->RequestNewPath(r.root + "in/gone/holiday.jpg");
        QCOMPARE(seen.directory + "/", r.root + "in/");
        QCOMPARE(seen.file, QString("holiday"));
        QCOMPARE(seen.filter, filter);
        QCOMPARE(seen.filters.value(1), QString("Any Files (*)"));
        QVERIFY(seen.save);
        QVERIFY(!seen.confirmsOverwrite);
        QCOMPARE(dir.has_value(), confirm);
        if (confirm)
            QCOMPARE(*dir, r.root + "out/");
        QCOMPARE(readAll(r.root + "out/taken.jpg"), QByteArray());
    }
};

QTEST_MAIN(TestPathCommands)
#include "test_path_commands.moc"
