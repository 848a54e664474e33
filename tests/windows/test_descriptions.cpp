// The description field and the properties panel in the real window: what typing,
// clicking and Enter store, stepping with Enter, the placeholder, the typing field's hold
// on the key commands, and the panel's records.

#include "app/app_state.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/copy_move.h"
#include "organize/destination.h"
#include "organize/file_events.h"
#include "shell/description_field.h"
#include "shell/key_commands.h"
#include "shell/picture_text.h"
#include "support/app_sandbox.h"
#include "support/test_files.h"
#include "windows/form1.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);
const QByteArray M("\xDB");

struct Running : AppSandbox {
    QTemporaryDir media;

    explicit Running(const QStringList &names) {
        for (const QString &name : names)
            QFile::copy(Samples + (name.endsWith(".bmp") ? "/tiny.bmp" : "/grey.jpg"),
                        media.filePath(name));
        start();
        form().resize(800, 600);
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        ctx().browser->setDirectory(media.path());
    }
    void click(const QString &name) {
        FileListBox *list = form().File1;
        const int row = list->items().indexOf(name);
        QVERIFY2(row >= 0, qPrintable(name));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(row, 0)).center());
    }
    void type(QWidget *w, const QString &text) {
        w->setFocus();
        QTest::keyClicks(w, text);
    }
    void enter(QWidget *w) { QTest::keyClick(w, Qt::Key_Return); }
    QByteArray pictext() { return readAll(media.filePath("PicText.ini")); }
    QString current() { return QFileInfo(state().CurrentFile).fileName(); }
};

} // namespace

class TestDescriptions : public QObject {
    Q_OBJECT
  private slots:
    void typingThenClickingStoresAll() {
        Running r({"a.bmp", "b.bmp"});
        r.click("a.bmp");
        QCOMPARE(r.form().Text2->text(), QString("No discription avalible for: a"));
        r.type(r.form().Text2, "Sea");
        r.click("b.bmp");
        QVERIFY(r.pictext().contains("\na=" + M + "Sea" + M + "\n"));
        QCOMPARE(r.form().Text2->text(), QString("No discription avalible for: b"));
        r.click("a.bmp");
        QCOMPARE(r.form().Text2->text(), QString("Sea"));
    }

    void enterStoresStepsAndSelects_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QStringList>("visited"); // CurrentFile after each Enter
        QTest::newRow("next") << QStringList{"a.bmp", "b.bmp", "c.bmp"} << "a.bmp"
                              << QStringList{"b.bmp", "c.bmp"};
        QTest::newRow("thumbnail skipped")
            << QStringList{"a.bmp", "a_s.jpg", "b.bmp"} << "a.bmp" << QStringList{"b.bmp"};
        QTest::newRow("wraps") << QStringList{"a.bmp", "b.bmp"} << "b.bmp" << QStringList{"a.bmp"};
    }
    void enterStoresStepsAndSelects() {
        QFETCH(QStringList, files);
        QFETCH(QString, first);
        QFETCH(QStringList, visited);
        Running r(files);
        r.click(first);
        r.type(r.form().Text2, "Sky");
        QString stored = first;
        for (const QString &next : visited) {
            r.enter(r.form().Text2);
            QCOMPARE(r.current(), next);
            QCOMPARE(r.form().Text2->selectedText(), QString("Sky"));
            QCOMPARE(r.state().BatchBusy, std::int16_t(-1)); // still typing
            QVERIFY(r.pictext().contains("\n" + stored.section('.', 0, 0).toUtf8() + "=" + M +
                                         "Sky" + M));
            stored = next;
        }
        r.enter(r.form().Text2); // the text goes to the file stepped to
        QVERIFY(r.pictext().contains("\n" + stored.section('.', 0, 0).toUtf8() + "=" + M));
    }

    void placeholderIsNeverStored() {
        Running r({"a.bmp", "b.bmp"});
        r.click("a.bmp");
        r.form().Text2->setFocus();
        r.enter(r.form().Text2);
        QCOMPARE(r.current(), QString("b.bmp"));
        r.enter(r.form().Text2);
        QVERIFY(!r.pictext().contains("\na="));
        QVERIFY(!r.pictext().contains("\nb="));
        // The panel opens on it with empty comments.
        QTest::keyClick(r.form().Text2, Qt::Key_F12);
        QVERIFY(r.form().SSFrame2->isVisible());
        QCOMPARE(r.form().MT[4]->text(), QString());
    }

    void tooLongValueShowsCutAndIsNeverStoredBack() {
        Running r({"a.bmp", "b.bmp"});
        const QByteArray stored = "[PictureText]\na=" + M + QByteArray(70000, 'x') + M + "\n";
        writeAll(r.media.filePath("PicText.ini"), stored);
        r.click("a.bmp");
        QCOMPARE(r.form().Text2->text().size(), 65536);
        QVERIFY(r.form().Text2->isReadOnly());
        r.form().Text2->setFocus();
        r.enter(r.form().Text2);
        QCOMPARE(r.current(), QString("b.bmp"));
        QCOMPARE(r.pictext(), stored);
    }

    void storesInTheCurrentFilesDirectory() {
        Running r({"a.bmp"});
        QTemporaryDir other;
        r.click("a.bmp");
        r.ctx().browser->setDirectory(other.path());
        r.type(r.form().Text2, "Here");
        QVERIFY(r.pictext().contains("\na=" + M + "Here" + M));
        QVERIFY(!QFile::exists(other.filePath("PicText.ini")));
    }

    void typingFieldHoldsTheKeyCommands() {
        Running r({"a.bmp", "b.bmp"});
        r.click("a.bmp");
        for (QWidget *field :
             {static_cast<QWidget *>(r.form().Text2), static_cast<QWidget *>(r.form().MT[2])}) {
            r.form().SSFrame2->show();
            field->setFocus();
            QCOMPARE(r.state().BatchBusy, std::int16_t(-1));
            QVERIFY(!r.ctx().keys->Form_KeyDown(Qt::Key_Down, {}));
            r.form().File1->setFocus();
            QCOMPARE(r.state().BatchBusy, std::int16_t(0));
        }
        // A batch's hold survives the field's focus and Enter.
        r.state().BatchBusy = -1;
        r.form().Text2->setFocus();
        r.enter(r.form().Text2);
        QCOMPARE(r.current(), QString("a.bmp"));
        r.form().File1->setFocus();
        QCOMPARE(r.state().BatchBusy, std::int16_t(-1));
        r.state().BatchBusy = 0;
        // Enter after the focus left takes no hold.
        r.form().Text2->setFocus();
        r.form().File1->setFocus();
        r.enter(r.form().Text2);
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
    }

    void panelRecords_data() {
        QTest::addColumn<QStringList>("typed"); // the five fields
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("sunset") << QStringList{"Sunset & Sea", "", "", "", ""}
                                << QByteArray("&Title=Sunset%20%26%20Sea&Copyright=&Camera=&"
                                              "Engineering=&Comments=");
        QTest::newRow("line feeds") << QStringList{"", "", "", "", "one\r\ntwo\nthree"}
                                    << QByteArray("&Title=&Copyright=&Camera=&Engineering=&"
                                                  "Comments=one%0Atwo%0Athree");
    }
    void panelRecords() {
        QFETCH(QStringList, typed);
        QFETCH(QByteArray, stored);
        Running r({"a.bmp", "b.bmp"});
        r.click("a.bmp");
        QTest::mouseDClick(r.form().Text2, Qt::LeftButton);
        QVERIFY(r.form().SSFrame2->isVisible());
        QVERIFY(r.form().MT[0]->hasFocus());
        for (int i = 0; i < 5; ++i)
            r.form().MT[i]->setText(typed[i]);
        // Enter walks the fields; in the last one it closes the panel.
        for (int i = 0; i < 4; ++i) {
            r.enter(r.form().MT[i]);
            QVERIFY(r.form().MT[i + 1]->hasFocus());
        }
        r.enter(r.form().MT[4]);
        QVERIFY(!r.form().SSFrame2->isVisible());
        QCOMPARE(r.pictext(), "[PictureText]\nDefault=" + M +
                                  "Pass your mouse over a picture on the left and it will show "
                                  "up in the frame above." +
                                  M + "\na=" + M + stored + M + "\n");
        QCOMPARE(r.form().Text2->text(), QString::fromUtf8(stored));
        // And back.
        r.click("b.bmp");
        r.click("a.bmp");
        for (int i = 0; i < 5; ++i)
            r.form().MT[i]->clear();
        QTest::keyClick(r.form().Text2, Qt::Key_F12);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(r.form().MT[i]->text(), QString(typed[i]).remove('\r'));
    }

    void panelTakesFreeTextAndKeepsItsFile() {
        Running r({"a.bmp", "b.bmp"});
        r.click("a.bmp");
        r.type(r.form().Text2, "free words");
        QTest::mouseDClick(r.form().Text2, Qt::LeftButton);
        QCOMPARE(r.form().MT[4]->text(), QString("free words"));
        r.click("b.bmp"); // another file while the panel is open
        r.form().MT[0]->setText("T");
        r.form().Command1->click();
        QCOMPARE(r.form().Text2->text(), QString("No discription avalible for: b"));
        QVERIFY(r.pictext().contains(
            "\na=" + M + "&Title=T&Copyright=&Camera=&Engineering=&Comments=free%20words" + M));
        QVERIFY(!r.pictext().contains("\nb="));
    }

    // Files a command reports finished take their descriptions along: a batch's at its
    // end, a lone file's once the program is idle.
    void descriptionsFollowReportedFiles() {
        Running r({"a.bmp", "b.bmp"});
        QTemporaryDir dst;
        const QString src = r.media.path() + "/";
        QVERIFY(WritePictureText(src, "a", "Sea"));
        QVERIFY(WritePictureText(src, "b", "Sky"));
        FileEvents &events = *r.ctx().fileEvents;
        r.state().BatchBusy = -1; // the batch runs
        events.reportFinished(src + "a.bmp", dst.filePath("a.JPG"), false);
        events.reportFinished(src + "b.bmp", dst.filePath("b_s.JPG"), false);
        QTest::qWait(50);
        QVERIFY(!QFile::exists(dst.filePath("PicText.ini")));
        events.reportBatchEnded();
        r.state().BatchBusy = 0;
        QCOMPARE(ReadPictureText(dst.path(), "a"), QString("Sea"));
        QCOMPARE(ReadPictureText(dst.path(), "b_s"), QString("Sky"));
        events.reportFinished(src + "a.bmp", src + "renamed.bmp", true);
        QTRY_COMPARE(ReadPictureText(src, "renamed"), QString("Sea"));
        QCOMPARE(ReadPictureText(src, "a"), QString("Sea"));
    }

    // The copy and move commands take descriptions along (the source keeps its own).
    void copyAndMoveTakeDescriptions() {
        Running r({"a.bmp", "b.bmp", "c.bmp"});
        const QString src = r.media.path() + "/";
        QVERIFY(WritePictureText(src, "a", "Sea"));
        QVERIFY(WritePictureText(src, "b", "Sky"));
        QTemporaryDir copies, moved;
        const auto run = [&](const QString &dir, const QStringList &names, bool move) {
            SetDestinationDir(r.ctx(), dir + "/");
            r.ctx().browser->setDirectory(r.media.path());
            r.form().File1->setListIndex(-1);
            for (const QString &name : names)
                r.form().File1->setSelected(r.form().File1->items().indexOf(name), true);
            if (move)
                r.ctx().copyMove->moveit_Click(0);
            else
                r.ctx().copyMove->Copyit_Click(0);
        };
        run(copies.path(), {"a.bmp", "b.bmp", "c.bmp"}, false);
        QCOMPARE(ReadPictureText(copies.path(), "a"), QString("Sea"));
        QCOMPARE(ReadPictureText(copies.path(), "b"), QString("Sky"));
        QCOMPARE(ReadPictureText(copies.path(), "c"), QString("No discription avalible for: c"));
        run(moved.path(), {"b.bmp"}, true);
        QVERIFY(!QFile::exists(src + "b.bmp"));
        QCOMPARE(ReadPictureText(moved.path(), "b"), QString("Sky"));
        QCOMPARE(ReadPictureText(src, "b"), QString("Sky"));
    }
};

QTEST_MAIN(TestDescriptions)
#include "test_descriptions.moc"
