// The copy and move batches and their clash check on the real main window under Xvfb:
// each answer of the clash dialog, letter case, the selection afterwards, the bars and
// panels, and files that vanish or appear while a batch runs.

#include "app/app_context.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/copy_move.h"
#include "organize/destination.h"
#include "organize/file_events.h"
#include "organize/name_clash.h"
#include "organize/options_dialog.h"
#include "shell/toggles_controller.h"
#include "support/app_sandbox.h"
#include "support/test_files.h"
#include "windows/dialog_box.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace glimmerby;

namespace {

// How a test answers the clash dialog: a button index, or one of these.
enum { Escape = 6, Frame = 7 };

QStringList listing(const QString &dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Names mapped to contents, for a whole directory.
QMap<QString, QByteArray> contents(const QString &dir) {
    QMap<QString, QByteArray> out;
    for (const QString &name : listing(dir))
        out.insert(name, readAll(dir + "/" + name));
    return out;
}

struct Batch : AppSandbox {
    QTemporaryDir source, target;
    QList<int> answers; // one per dialog, in order
    QStringList asked;  // the path each dialog showed
    QStringList finished;
    int ended = 0;

    bool start() {
        if (!AppSandbox::start())
            return false;
        ctx().dialog->onShown = [this](DialogBox &box) {
            asked << box.Label2->text();
            const int a = answers.isEmpty() ? 4 : answers.takeFirst();
            if (a == Escape)
                QTest::keyClick(box.focusWidget() ? box.focusWidget() : &box, Qt::Key_Escape);
            else if (a == Frame)
                box.close();
            else
                box.C[a]->click();
        };
        QObject::connect(ctx().fileEvents, &FileEvents::fileFinished,
                         [this](const QString &s, const QString &d, bool moved) {
                             finished << QFileInfo(s).fileName() + (moved ? ">" : "=") +
                                             QFileInfo(d).fileName();
                         });
        QObject::connect(ctx().fileEvents, &FileEvents::batchEnded, [this] { ++ended; });
        setDestination(target.path());
        return true;
    }
    void setDestination(const QString &dir) { SetDestinationDir(ctx(), dir); }
    // Fills the source directory, lists it and selects the named files.
    void show(const QMap<QString, QByteArray> &files, const QStringList &selected) {
        for (auto it = files.begin(); it != files.end(); ++it)
            writeAll(source.filePath(it.key()), it.value());
        list(selected);
    }
    void list(const QStringList &selected) {
        QVERIFY(ctx().browser->setDirectory(source.path()));
        form().File1->setPattern("*.*");
        form().File1->setListIndex(-1);
        for (const QString &name : selected)
            form().File1->setSelected(form().File1->items().indexOf(name), true);
    }
    void copy(int index = 0) { ctx().copyMove->Copyit_Click(index); }
    void move() { ctx().copyMove->moveit_Click(0); }
    QString selectedName() {
        const int i = form().File1->listIndex();
        return i < 0 ? QString() : form().File1->item(i);
    }
    // What every way out leaves.
    void checkReset() {
        QCOMPARE(state().BatchBusy, 0);
        QVERIFY(!form().PB->isVisible());
        QCOMPARE(form().PB->value(), 0);
        QCOMPARE(form().PB1->value(), 0);
    }
};

} // namespace

class TestCopyMove : public QObject {
    Q_OBJECT
  private slots:
    void clashAnswers_data();
    void clashAnswers();
    void uniqueName_data();
    void uniqueName();
    void letterCase();
    void selectionAfter_data();
    void selectionAfter();
    void toggleAndPanels();
    void movingList();
    void vanishedAndAppeared();
    void badDestination();
    void pictureBatches();
    void modifyMoveInPlace();
};

void TestCopyMove::clashAnswers_data() {
    QTest::addColumn<bool>("move");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("after"); // target: name=content; source (move) after "|"
    // The source holds a, b (both clash) and c (free); the target holds old a and b.
    const QString rest = "|";
    QTest::newRow("overwrite one")
        << false << QList<int>{0, 0} << QStringList{"a.mp3=A", "b.mp3=B", "c.mp3=C"};
    QTest::newRow("overwrite all")
        << false << QList<int>{1} << QStringList{"a.mp3=A", "b.mp3=B", "c.mp3=C"};
    QTest::newRow("rename one") << false << QList<int>{2, 2}
                                << QStringList{"a.mp3=a", "a1.mp3=A", "b.mp3=b", "b1.mp3=B",
                                               "c.mp3=C"};
    QTest::newRow("rename all") << false << QList<int>{3}
                                << QStringList{"a.mp3=a", "a1.mp3=A", "b.mp3=b", "b1.mp3=B",
                                               "c.mp3=C"};
    QTest::newRow("cancel") << false << QList<int>{4} << QStringList{"a.mp3=a", "b.mp3=b"};
    QTest::newRow("escape") << false << QList<int>{Escape} << QStringList{"a.mp3=a", "b.mp3=b"};
    QTest::newRow("skip, then a free name")
        << false << QList<int>{5, 5} << QStringList{"a.mp3=a", "b.mp3=b", "c.mp3=C"};
    QTest::newRow("frame skips, asks again")
        << false << QList<int>{Frame, Frame} << QStringList{"a.mp3=a", "b.mp3=b", "c.mp3=C"};
    QTest::newRow("move overwrite all")
        << true << QList<int>{1} << QStringList{"A.MP3=A", "B.MP3=B", "C.MP3=C", rest};
    QTest::newRow("move rename all")
        << true << QList<int>{3}
        << QStringList{"a.mp3=a", "a1.MP3=A", "b.mp3=b", "b1.MP3=B", "C.MP3=C", rest};
    QTest::newRow("move skip one")
        << true << QList<int>{5, 5}
        << QStringList{"C.MP3=C", "a.mp3=a", "b.mp3=b", rest, "a.mp3=A", "b.mp3=B"};
    QTest::newRow("move cancel") << true << QList<int>{4}
                                 << QStringList{"a.mp3=a", "b.mp3=b", rest,
                                                "a.mp3=A", "b.mp3=B", "c.mp3=C"};
}

void TestCopyMove::clashAnswers() {
    QFETCH(bool, move);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, after);
    Batch b;
    QVERIFY(b.start());
    writeAll(b.target.filePath("a.mp3"), "a");
    writeAll(b.target.filePath("b.mp3"), "b");
    b.show({{"a.mp3", "A"}, {"b.mp3", "B"}, {"c.mp3", "C"}}, {"a.mp3", "b.mp3", "c.mp3"});
    b.answers = answers;
    move ? b.move() : b.copy();
    QVERIFY(b.answers.isEmpty());
    QCOMPARE(b.asked.size(), answers.size());
    QCOMPARE(b.asked.first(), b.target.path() + "/a.MP3");
    b.checkReset();
    QCOMPARE(b.ended, 1);

    QStringList targetSeen, sourceSeen;
    const auto t = contents(b.target.path());
    for (auto it = t.begin(); it != t.end(); ++it)
        targetSeen << it.key() + "=" + it.value();
    const int bar = after.indexOf("|");
    if (bar >= 0) {
        const auto s = contents(b.source.path());
        for (auto it = s.begin(); it != s.end(); ++it)
            sourceSeen << it.key() + "=" + it.value();
        QCOMPARE(sourceSeen, after.mid(bar + 1));
        after = after.mid(0, bar);
    }
    // Names differing by case alone count as one: compare ignoring the case of the
    // extension the destination took.
    auto fold = [](QStringList l) {
        for (QString &x : l)
            x = x.section('=', 0, 0).toLower() + "=" + x.section('=', 1);
        l.sort();
        return l;
    };
    QCOMPARE(fold(targetSeen), fold(after));
    QCOMPARE(b.finished.size(),
             after.size() - int(std::count_if(after.begin(), after.end(), [](const QString &x) {
                 return x.endsWith("=a") || x.endsWith("=b");
             })));

    // An "All" answer holds for one command: the next one asks again.
    b.list({"a.mp3"});
    b.answers = {4};
    const int before = b.asked.size();
    b.copy();
    QCOMPARE(b.asked.size(), before + (listing(b.source.path()).contains("a.mp3") ? 1 : 0));
}

void TestCopyMove::uniqueName_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("choice");
    QTest::newRow("overwrite one") << 0 << "Photo.Jpg" << 0;
    QTest::newRow("rename all") << 3 << "photo1.jpg" << 3;
    QTest::newRow("cancel") << 4 << "photo.jpg" << 4;
    QTest::newRow("skip one") << 5 << "photo.jpg" << 5;
    QTest::newRow("frame") << int(Frame) << "photo.jpg" << 5;
    QTest::newRow("no clash") << -1 << "free.jpg" << 6;
}

void TestCopyMove::uniqueName() {
    QFETCH(int, answer);
    QFETCH(QString, name);
    QFETCH(int, choice);
    Batch b;
    QVERIFY(b.start());
    writeAll(b.target.filePath("Photo.Jpg"), "x");
    b.answers = {answer};
    b.state().ExistsChoice = 6;
    const QString asked = answer < 0 ? "free.jpg" : "photo.jpg";
    QCOMPARE(b.ctx().clash->MakeUniqueName(b.target.filePath(asked)), name);
    QCOMPARE(b.state().ExistsChoice, choice);
    QCOMPARE(b.asked.size(), answer < 0 ? 0 : 1);
}

void TestCopyMove::letterCase() {
    Batch b;
    QVERIFY(b.start());
    const QByteArray old = readAll(QStringLiteral(GLIMMERBY_SAMPLES_DIR) + "/grey.jpg");
    const QByteArray fresh = readAll(QStringLiteral(GLIMMERBY_SAMPLES_DIR) + "/narrow.jpg");
    QVERIFY(!old.isEmpty() && !fresh.isEmpty());
    writeAll(b.target.filePath("PHOTO.JPG"), old);
    b.show({{"photo.jpg", fresh}}, {"photo.jpg"});
    b.answers = {0};
    b.copy();
    QCOMPARE(b.asked.size(), 1);
    QCOMPARE(contents(b.target.path()), (QMap<QString, QByteArray>{{"PHOTO.JPG", fresh}}));
    QCOMPARE(b.finished, QStringList{"photo.jpg=PHOTO.JPG"});

    // "Overwrite One" onto itself in its own directory: nothing happens to it.
    b.setDestination(b.source.path());
    b.list({"photo.jpg"});
    b.answers = {0};
    b.move();
    QCOMPARE(contents(b.source.path()), (QMap<QString, QByteArray>{{"photo.jpg", fresh}}));
}

void TestCopyMove::selectionAfter_data() {
    QTest::addColumn<bool>("move");
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("expected");
    QTest::newRow("copy: first selected")
        << false << false << QStringList{"c.mp3", "d.mp3"} << "c.mp3";
    QTest::newRow("move: the one above")
        << true << false << QStringList{"c.mp3", "d.mp3"} << "b.mp3";
    QTest::newRow("move from the top") << true << false << QStringList{"a.mp3"} << "b.mp3";
    QTest::newRow("renamed in place") << true << true << QStringList{"b.mp3"} << "b1.MP3";
    QTest::newRow("no selection") << false << false << QStringList{} << "a.mp3";
}

void TestCopyMove::selectionAfter() {
    QFETCH(bool, move);
    QFETCH(bool, inPlace);
    QFETCH(QStringList, selected);
    QFETCH(QString, expected);
    Batch b;
    QVERIFY(b.start());
    b.show({{"a.mp3", "1"}, {"b.mp3", "2"}, {"c.mp3", "3"}, {"d.mp3", "4"}}, selected);
    if (inPlace)
        b.setDestination(b.source.path());
    b.answers = {2};
    move ? b.move() : b.copy();
    QCOMPARE(b.selectedName(), expected);
    if (!inPlace) // unselected files untouched
        QCOMPARE(listing(b.source.path()).size(), 4 - (move ? selected.size() : 0));
    b.checkReset();
}

void TestCopyMove::toggleAndPanels() {
    Batch b;
    QVERIFY(b.start());
    QAction *useProps = b.form().toolbarButton("useprops");
    QVERIFY(!b.form().PB->isVisible());
    QVERIFY(!b.form().Copyit[3]->isEnabled());
    QVERIFY(!b.form().moveit[1]->isEnabled());
    writeAll(b.target.filePath("b.mp3"), "old");
    b.show({{"a.mp3", "1"}, {"b.mp3", "2"}}, {"a.mp3", "b.mp3"});

    // Normal end: the toggle is released, panel 4 cleared, panel 3 told the last file.
    useProps->trigger();
    QCOMPARE(b.state().ModifyEnabled, 1);
    QStringList panel3;
    b.ctx().dialog->onShown = [&](DialogBox &box) {
        panel3 << b.form().panelText(3) << b.form().panelText(4);
        QVERIFY(b.form().PB->isVisible());
        QCOMPARE(b.state().BatchBusy, -1);
        box.C[5]->click();
    };
    b.copy();
    QCOMPARE(panel3, QStringList({"Processing File:" + b.source.filePath("b.mp3") + " ",
                                  "Check Name... "}));
    QCOMPARE(b.form().panelText(4), QString("... "));
    QVERIFY(!useProps->isChecked());
    QCOMPARE(b.state().ModifyEnabled, 0);
    b.checkReset();

    // Cancel end of a move: the toggle kept, panel 3 back to the destination.
    useProps->trigger();
    QVERIFY(QFile::remove(b.target.filePath("a.MP3")));
    b.list({"a.mp3", "b.mp3"});
    b.ctx().dialog->onShown = [](DialogBox &box) { box.C[4]->click(); };
    b.move();
    QVERIFY(useProps->isChecked());
    QCOMPARE(b.state().ModifyEnabled, 1);
    QCOMPARE(b.form().panelText(3), b.target.path() + "/  ");
    QVERIFY(!QFile::exists(b.source.filePath("a.mp3"))); // done before the cancel: stays done
    QVERIFY(QFile::exists(b.source.filePath("b.mp3")));
    b.checkReset();

    // The unused "Browse..." items only reset.
    b.ctx().copyMove->Copyit_Click(3);
    QVERIFY(!useProps->isChecked());
    b.checkReset();
}

void TestCopyMove::movingList() {
    // A click elsewhere while the batch waits (here: from the dialog) changes the list,
    // not what the batch works on.
    Batch b;
    QVERIFY(b.start());
    QTemporaryDir elsewhere;
    writeAll(elsewhere.filePath("z.mp3"), "z");
    writeAll(b.target.filePath("a.mp3"), "old");
    b.show({{"a.mp3", "1"}, {"b.mp3", "2"}, {"c.mp3", "3"}}, {"a.mp3", "c.mp3"});
    b.ctx().dialog->onShown = [&](DialogBox &box) {
        b.ctx().browser->setDirectory(elsewhere.path());
        b.form().File1->setSelected(0, true);
        box.C[3]->click();
    };
    b.copy();
    QCOMPARE(listing(b.target.path()), QStringList({"a.mp3", "a1.MP3", "c.MP3"}));
    QCOMPARE(listing(elsewhere.path()), QStringList{"z.mp3"});
}

void TestCopyMove::vanishedAndAppeared() {
    Batch b;
    QVERIFY(b.start());
    b.show({{"a.mp3", "1"}, {"b.mp3", "2"}, {"c.mp3", "3"}, {"d.mp3", "4"}},
           {"a.mp3", "b.mp3", "c.mp3", "d.mp3"});
    // b vanishes once a is done; d's name is taken between its check and its write.
    QObject::connect(b.ctx().fileEvents, &FileEvents::fileFinished, [&](const QString &s) {
        if (s.endsWith("a.mp3"))
            QFile::remove(b.source.filePath("b.mp3"));
    });
    QTimer intruder;
    QObject::connect(&intruder, &QTimer::timeout, [&] {
        if (b.form().panelText(4) == "Final Save... " && b.form().panelText(3).contains("d.mp3") &&
            !QFile::exists(b.target.filePath("d.MP3")))
            writeAll(b.target.filePath("d.MP3"), "intruder");
    });
    intruder.start(0);
    b.ctx().toggles->setProgressEventInterval(0); // the intruder runs at every step
    b.answers = {2};
    b.move();
    intruder.stop();
    QCOMPARE(b.asked, QStringList{b.target.path() + "/d.MP3"});
    QCOMPARE(contents(b.target.path()),
             (QMap<QString, QByteArray>{
                 {"a.MP3", "1"}, {"c.MP3", "3"}, {"d.MP3", "intruder"}, {"d1.MP3", "4"}}));
    QCOMPARE(listing(b.source.path()), QStringList{});
    QCOMPARE(b.form().panelText(4),
             QString("1 file(s) left as they were: No such file or directory"));
    b.checkReset();
}

void TestCopyMove::badDestination() {
    Batch b;
    QVERIFY(b.start());
    b.show({{"a.mp3", "1"}}, {"a.mp3"});
    for (const QString &dest : {QString(), QString("relative/dir"), b.source.filePath("a.mp3")}) {
        b.setDestination(dest);
        b.list({"a.mp3"});
        b.copy();
        QCOMPARE(listing(b.source.path()), QStringList{"a.mp3"});
        QVERIFY(b.form().panelText(4).startsWith("1 file(s) left as they were: "));
        b.checkReset();
    }
    QVERIFY(b.asked.isEmpty());
}

void TestCopyMove::pictureBatches() {
    Batch b;
    QVERIFY(b.start());
    QFile::copy(QStringLiteral(GLIMMERBY_SAMPLES_DIR) + "/narrow.jpg", b.source.filePath("n.jpg"));
    b.show({{"p.PNG", "png"}}, {"n.jpg", "p.PNG"});
    b.list({"n.jpg", "p.PNG"});
    b.copy(1);
    QCOMPARE(b.boxes.texts(), QStringList{"Can't Modify This Type of file"});
    QCOMPARE(b.boxes.titles(), QStringList{QString()});
    b.checkReset();
    if (!b.ctx().modifier)
        QSKIP("the picture pipeline is not there yet");
    QVERIFY(QFile::exists(b.target.filePath("n.JPG")));
    QVERIFY(!QFile::exists(b.target.filePath("p.JPG")));
}

void TestCopyMove::modifyMoveInPlace() {
    // "ModifyMove" of photo.jpg into its own directory, "Overwrite One": one file, the new
    // JPEG under the existing spelling; the source was replaced by intent, not deleted.
    Batch b;
    QVERIFY(b.start());
    if (!b.ctx().modifier)
        QSKIP("the picture pipeline is not there yet");
    const QByteArray original = readAll(QStringLiteral(GLIMMERBY_SAMPLES_DIR) + "/narrow.jpg");
    b.show({{"photo.jpg", original}}, {"photo.jpg"});
    b.setDestination(b.source.path());
    b.form().toolbarButton("useprops")->trigger();
    b.answers = {0};
    b.move();
    QCOMPARE(b.asked.size(), 1);
    QCOMPARE(listing(b.source.path()), QStringList{"photo.jpg"});
    const QByteArray now = readAll(b.source.filePath("photo.jpg"));
    QVERIFY(now.startsWith("\xFF\xD8"));
    QVERIFY(now != original);
    b.checkReset();
}

QTEST_MAIN(TestCopyMove)
#include "test_copy_move.moc"
