// The options dialog on the real main window under Xvfb: how each question looks, which
// answer each way of closing gives, the directory question and its "MkDir".

#include "app/application.h"
#include "app/input_boxes.h"
#include "app/settings_store.h"
#include "browser/pane_widgets.h"
#include "organize/destination.h"
#include "organize/options_dialog.h"
#include "support/app_sandbox.h"
#include "windows/center_window.h"
#include "windows/dialog_box.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;

namespace {

// Input boxes answered from a script; what was asked is kept.
class ScriptedInputs : public InputBoxes {
  public:
    QString ask(const QString &prompt, const QString &title, const QString &defaultText) override {
        prompts.append(prompt);
        titles.append(title);
        defaults.append(defaultText);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList answers, prompts, titles, defaults;
};

// What the dialog looked like while it was open.
struct Seen {
    QString caption;
    QStringList buttons; // captions of the visible answer buttons, "" for hidden ones
    bool mkDir = false, drive = false, dir = false, background = false;
    QString label1, label2, dirPath;
    int height = 0;
    bool centred = false;
    bool fits = true;       // every control shown lies inside the window
    bool stillOpen = false; // the action left the dialog open
};

struct Running : AppSandbox {
    QTemporaryDir work;
    ScriptedInputs inputs;
    std::unique_ptr<OptionsDialog> dialog;

    bool start() {
        if (!AppSandbox::start())
            return false;
        dialog = std::make_unique<OptionsDialog>(*app->context(), inputs);
        setDestination(work.path() + "/");
        return true;
    }
    ~Running() { dialog.reset(); }

    void setDestination(const QString &dir) { SetDestinationDir(*app->context(), dir); }

    // Shows the dialog in mode, records how it looks, then lets act answer it.
    Seen ask(const QString &mode, const std::function<void(DialogBox &)> &act) {
        Seen seen;
        dialog->onShown = [&](DialogBox &box) {
            seen.caption = box.windowTitle();
            for (QPushButton *b : box.C)
                seen.buttons.append(b->isVisible() ? b->text() : QString());
            seen.mkDir = box.Command1->isVisible();
            seen.drive = box.Drive1->isVisible();
            seen.dir = box.Dir1->isVisible();
            seen.background = box.Picture1->isVisible();
            seen.label1 = box.Label1->text();
            seen.label2 = box.Label2->text();
            seen.dirPath = box.Dir1->path();
            seen.height = box.height();
            const QRect screen = box.screen()->geometry();
            seen.centred = (box.frameGeometry().center() - screen.center()).manhattanLength() <= 2;
            for (QWidget *w : box.findChildren<QWidget *>())
                if (w->parentWidget() == &box && w->isVisible())
                    seen.fits = seen.fits && box.rect().contains(w->geometry());
            act(box);
            if (box.isVisible()) { // never leave a test waiting on a modal dialog
                seen.stillOpen = true;
                box.done(QDialog::Rejected);
            }
        };
        dialog->ShowOptionsDialog(mode);
        dialog->onShown = nullptr;
        return seen;
    }
};

int heightOf(int twips) {
    return twipsToPixels(twips, QGuiApplication::primaryScreen()->logicalDotsPerInchY());
}

void pressEscape(DialogBox &box) {
    QWidget *target = box.focusWidget() ? box.focusWidget() : &box;
    QTest::keyClick(target, Qt::Key_Escape);
}

QStringList subdirectories(const QString &dir) {
    return QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestOptionsDialog : public QObject {
    Q_OBJECT
  private slots:
    // ---- How each question looks ----

    void clashQuestion() {
        Running r;
        QVERIFY(r.start());
        r.state().DestPath = r.work.filePath("holiday.JPG");
        const Seen seen = r.ask("FileExists", [](DialogBox &box) { box.C[0]->click(); });
        QCOMPARE(seen.caption, QString("File Exists?"));
        QCOMPARE(seen.buttons, QStringList({"Overwrite One", "Overwrite All", "Rename One",
                                            "Rename All", "Cancel", "Skip One"}));
        QVERIFY(!seen.mkDir && !seen.drive && !seen.dir && !seen.background);
        QCOMPARE(seen.label2, r.work.filePath("holiday.JPG"));
        QCOMPARE(seen.label1,
                 QString("Exists... What do you want me to do?:\n\nHere are your options:\n"));
        QCOMPARE(seen.height, heightOf(2460));
        QVERIFY(seen.centred);
        QVERIFY(seen.fits);
    }

    void pictureQuestions() {
        Running r;
        QVERIFY(r.start());
        r.state().CurrentFile = r.work.filePath("<b>broken</b>.jpg");
        const QStringList shown{"Open in PSP", "Delete File", "", "Cancel", "", ""};

        const Seen bad = r.ask("BadJPG", [](DialogBox &box) {
            QCOMPARE(box.Label2->textFormat(), Qt::PlainText); // a file name is never markup
            box.C[3]->click();
        });
        QCOMPARE(bad.caption, QString("Error Loading JPG File"));
        QCOMPARE(bad.buttons, shown);
        QVERIFY(!bad.mkDir && !bad.drive && !bad.dir && !bad.background);
        QCOMPARE(bad.label2, r.state().CurrentFile);
        QCOMPARE(bad.label1, QString("Failed on Load... This is all I could get.\n"
                                     "What do you want me to do?:\nHere are your options:"));
        QCOMPARE(bad.height, heightOf(2100));
        QVERIFY(bad.fits);

        const Seen photo = r.ask("PhotoCall", [](DialogBox &box) { box.C[3]->click(); });
        QCOMPARE(photo.caption, QString("Picture Options"));
        QCOMPARE(photo.buttons, shown);
        QCOMPARE(photo.label2, r.state().CurrentFile);
        QCOMPARE(photo.label1, QString("Yep It's a Picture...\nWhat do you want me to do?:\n"
                                       "Here are your options:"));
        QCOMPARE(photo.height, heightOf(2100));
    }

    void directoryQuestion() {
        Running r;
        QVERIFY(r.start());
        r.state().DestPath = "/somewhere/else.jpg";
        const Seen seen = r.ask("dircall", [](DialogBox &box) { box.C[5]->click(); });
        QCOMPARE(seen.caption, QString("Set Copy/Move Dir"));
        QCOMPARE(seen.buttons, QStringList({"Set Dir", "", "", "", "", "Cancel"}));
        QVERIFY(seen.mkDir && seen.drive && seen.dir && !seen.background);
        QCOMPARE(seen.label2, QString());
        QCOMPARE(seen.label1, QString("Select\nDir:\n"));
        QCOMPARE(seen.height, heightOf(2600));
        QVERIFY(seen.fits);
        // The lists come up on the destination directory.
        QCOMPARE(seen.dirPath + "/", r.form().moveit[0]->text());
    }

    void otherModeShowsTheDesign() {
        Running r;
        QVERIFY(r.start());
        const Seen seen = r.ask("Whatever", [](DialogBox &box) { box.C[2]->click(); });
        QCOMPARE(seen.caption, QString("File Exists ?"));
        QCOMPARE(seen.buttons.count(QString()), 0);
        QVERIFY(seen.mkDir && seen.drive && seen.dir);
        QCOMPARE(r.state().DialogChoice, QString("2"));
    }

    // ---- Answers ----

    void everyButtonAnswersItsIndex() {
        Running r;
        QVERIFY(r.start());
        const QList<QPair<QString, QList<int>>> modes{{"FILEEXISTS", {0, 1, 2, 3, 4, 5}},
                                                      {"BADJPG", {0, 1, 3}},
                                                      {"PHOTOCALL", {0, 1, 3}},
                                                      {"DIRCALL", {0, 5}}};
        for (const auto &[mode, indexes] : modes) {
            for (int i : indexes) {
                r.state().DialogChoice = "6";
                const Seen seen = r.ask(mode, [i](DialogBox &box) { box.C[i]->click(); });
                QVERIFY(!seen.stillOpen);
                QCOMPARE(r.state().DialogChoice, QString::number(i));
                QCOMPARE(r.state().DialogDir, r.form().moveit[0]->text());
            }
        }
    }

    void escapeAnswersFour() {
        Running r;
        QVERIFY(r.start());
        for (const QString mode : {"FILEEXISTS", "BADJPG", "PHOTOCALL", "DIRCALL", "other"}) {
            r.state().DialogChoice = "6";
            r.state().DialogDir = "/kept/";
            const Seen seen = r.ask(mode, pressEscape);
            QVERIFY2(!seen.stillOpen, qPrintable(mode));
            QCOMPARE(r.state().DialogChoice, QString("4"));
            QCOMPARE(r.state().DialogDir, QString("/kept/")); // only a button sets it
        }
    }

    void frameCloseNeverActsOnAStaleAnswer() {
        Running r;
        QVERIFY(r.start());
        auto byFrame = [](DialogBox &box) { box.close(); };

        // A picture question closed without a choice is a cancel, whatever was set before.
        for (const QString mode : {"PHOTOCALL", "BADJPG"}) {
            r.state().DialogChoice = "1";
            r.ask(mode, byFrame);
            QCOMPARE(r.state().DialogChoice, QString("3"));
        }

        // The clash check presets "undecided" and gets it back.
        r.state().DialogChoice = "6";
        r.ask("FILEEXISTS", byFrame);
        QCOMPARE(r.state().DialogChoice, QString("6"));

        // An earlier "Overwrite One" left in place is not taken as the caller's preset.
        r.ask("FILEEXISTS", [](DialogBox &box) { box.C[0]->click(); });
        QCOMPARE(r.state().DialogChoice, QString("0"));
        r.ask("FILEEXISTS", byFrame);
        QCOMPARE(r.state().DialogChoice, QString("6"));

        // Nor an earlier "Set Dir": the directory question closed by its frame cancels.
        r.ask("DIRCALL", [](DialogBox &box) { box.C[0]->click(); });
        QCOMPARE(r.state().DialogChoice, QString("0"));
        r.state().DialogDir = "/kept/";
        r.ask("DIRCALL", byFrame);
        QCOMPARE(r.state().DialogChoice, QString("5"));
        QCOMPARE(r.state().DialogDir, QString("/kept/"));

        // A caller's own preset is honoured outside the picture questions.
        r.ask("FILEEXISTS", [](DialogBox &box) { box.C[2]->click(); });
        r.state().DialogChoice = "5";
        r.ask("FILEEXISTS", byFrame);
        QCOMPARE(r.state().DialogChoice, QString("5"));
    }

    void closingRestoresAMinimizedMainWindow() {
        Running r;
        QVERIFY(r.start());
        r.form().showMinimized();
        QVERIFY(r.form().isMinimized());
        r.ask("PHOTOCALL", [](DialogBox &box) { box.C[3]->click(); });
        QVERIFY(!r.form().isMinimized());
    }

    // ---- The directory question ----

    void setDirAnswersTheChosenDirectory() {
        Running r;
        QVERIFY(r.start());
        QVERIFY(QDir(r.work.path()).mkpath("a/b"));
        const QString chosen = QDir(r.work.filePath("a/b")).absolutePath();
        r.ask("DIRCALL", [&](DialogBox &box) {
            QVERIFY(box.Dir1->setPath(chosen));
            box.C[0]->click();
        });
        QCOMPARE(r.state().DialogChoice, QString("0"));
        QCOMPARE(r.state().DialogDir, chosen + "/");
    }

    void vanishedDestinationShowsWhatIsLeft() {
        Running r;
        QVERIFY(r.start());
        const QString parent = QDir(r.work.path()).absolutePath();
        r.setDestination(parent + "/gone/deeper/");
        const Seen seen = r.ask("DIRCALL", [](DialogBox &box) { box.C[5]->click(); });
        QCOMPARE(seen.dirPath, parent);
        QCOMPARE(r.state().DialogChoice, QString("5"));
    }

    void driveChangeMovesTheDirectoryList() {
        Running r;
        QVERIFY(r.start());
        r.ask("DIRCALL", [](DialogBox &box) {
            const QString root = box.Drive1->drive();
            QVERIFY(!root.isEmpty());
            box.Dir1->setPath(QDir::tempPath());
            box.Drive1_Change(root);
            QCOMPARE(box.Dir1->path(), QDir::cleanPath(root));
            box.C[5]->click();
        });
    }

    void mkDirMakesASubdirectory() {
        Running r;
        QVERIFY(r.start());
        const QString p = QDir(r.work.path()).absolutePath() + "/";
        r.inputs.answers = {p + "Fresh", "Bare"};
        const Seen seen = r.ask("DIRCALL", [&](DialogBox &box) {
            box.Command1->click();
            QVERIFY(box.isVisible());
            // The new directory is listed at once.
            bool listed = false;
            for (int i = 0; i < box.Dir1->count(); ++i)
                listed = listed || box.Dir1->item(i)->text().trimmed() == "Fresh";
            QVERIFY(listed);
            box.Command1->click(); // a bare name goes inside the directory shown
            box.C[5]->click();
        });
        QVERIFY(!seen.stillOpen);
        QCOMPARE(subdirectories(p), QStringList({"Bare", "Fresh"}));
        QCOMPARE(r.inputs.titles.value(0), QString("Make Dir"));
        QCOMPARE(r.inputs.prompts.value(0), "Create Sub Dir of: " + p + "\n\nCalled: ");
        QCOMPARE(r.inputs.defaults.value(0), p);
        QVERIFY(r.boxes.texts().isEmpty());
    }

    void mkDirRefusesTheDefaultAndCancel() {
        Running r;
        QVERIFY(r.start());
        const QString p = QDir(r.work.path()).absolutePath() + "/";
        r.inputs.answers = {p.toUpper(), QString()};
        const Seen seen = r.ask("DIRCALL", [](DialogBox &box) {
            box.Command1->click();
            box.Command1->click();
            QVERIFY(box.isVisible());
            box.C[5]->click();
        });
        QVERIFY(!seen.stillOpen);
        QCOMPARE(r.inputs.prompts.size(), 2);
        QVERIFY(subdirectories(p).isEmpty());
        QVERIFY(r.boxes.texts().isEmpty());
    }

    // Exactly one directory is made: one that exists already or whose parent is missing
    // is an error, and nothing is made on the way.
    void mkDirReportsAPathItCannotMake_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("under a file") << QString("plain.txt/sub");
        QTest::newRow("exists already") << QString("Old");
        QTest::newRow("parent missing") << QString("gone/sub");
    }
    void mkDirReportsAPathItCannotMake() {
        QFETCH(QString, answer);
        Running r;
        QVERIFY(r.start());
        const QString p = QDir(r.work.path()).absolutePath() + "/";
        QFile file(p + "plain.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QDir(p).mkdir("Old"));
        r.inputs.answers = {answer};
        const Seen seen = r.ask("DIRCALL", [](DialogBox &box) {
            box.Command1->click();
            QVERIFY(box.isVisible()); // the dialog stays open for another try
            box.C[5]->click();
        });
        QVERIFY(!seen.stillOpen);
        QCOMPARE(r.boxes.texts(), QStringList("Error creating dir"));
        QCOMPARE(r.boxes.titles(), QStringList("Glimmerby"));
        QCOMPARE(subdirectories(p), QStringList("Old"));
        QCOMPARE(r.state().DialogChoice, QString("5"));
    }

    // A dialog taller and wider than the screen keeps its title bar on the screen.
    void oversizedDialogCentredWithCornerVisible() {
        Running r;
        QVERIFY(r.start());
        QPoint placed;
        r.ask("DIRCALL", [&](DialogBox &box) {
            box.setFixedSize(4000, 3000);
            CenterWindow(box);
            placed = box.frameGeometry().topLeft();
            box.C[4]->click();
        });
        const QRect area = r.form().screen()->availableGeometry();
        QCOMPARE(placed, area.topLeft());
    }

    void everyControlHasAName() {
        Running r;
        QVERIFY(r.start());
        r.ask("other", [](DialogBox &box) {
            for (QWidget *w : box.findChildren<QWidget *>())
                if (w->parentWidget() == &box)
                    QVERIFY2(!w->accessibleName().isEmpty(),
                             qPrintable(w->metaObject()->className()));
            box.C[4]->click();
        });
    }
};

QTEST_MAIN(TestOptionsDialog)
#include "test_options_dialog.moc"
