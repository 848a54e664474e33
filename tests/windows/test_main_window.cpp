// The real main window under Xvfb: start-up defaults, walking directories, the filter
// box, the file list's keys and menus, refresh-and-select, and what closing writes.

#include "app/application.h"
#include "app/ini_file.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "support/app_sandbox.h"
#include "support/test_files.h"
#include "windows/form1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;

namespace {

using Running = AppSandbox;

QStringList listed(const FileListBox *list) {
    return list->items();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
  private slots:
    void defaultsWithoutSettingsFile() {
        Running r;
        QVERIFY(r.start());
        Form1 &f = r.form();
        const QString appDir = QDir(r.appDir.path()).absolutePath() + "/";
        QCOMPARE(f.Combo1->currentText(), QString("All"));
        QCOMPARE(f.Combo1->count(), 5);
        QCOMPARE(f.Dir1->path() + "/", appDir);
        QCOMPARE(f.moveit[0]->text(), appDir);
        QCOMPARE(f.Copyit[0]->text(), appDir);
        QCOMPARE(f.panelText(3), appDir + "  ");
        QCOMPARE(f.panelText(4), QString("Qty=100-Func=None  "));
        QCOMPARE(r.app->state().EditorPath, appDir + "PSP.EXE");
        QCOMPARE(r.app->state().JpegQuality, 100);
        QCOMPARE(r.app->state().CustomSize, 640);
        QCOMPARE(r.app->state().SlideSpeed, std::int16_t(1000));
        QCOMPARE(f.dispspeed->text(), QLocale().toString(1.0, 'f', 1));
        QVERIFY(f.Ck[0]->isChecked());
        QCOMPARE(f.Ck[0]->text(), QString("Tool Tips On"));
        QVERIFY(!f.toolbarButton("mute")->isChecked());
        QVERIFY(f.windowTitle().startsWith("Glimmerby "));
        QVERIFY(f.windowTitle().endsWith(" - "));
        QVERIFY(r.boxes.texts().isEmpty());
        // Every control can be found by what it is.
        for (QWidget *w : f.findChildren<QWidget *>())
            if (w->isVisible() && qobject_cast<QAbstractButton *>(w) == nullptr &&
                w->parentWidget() == &f)
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->metaObject()->className()));
    }

    void secondInstanceIsRefused() {
        Running first;
        first.splash = true; // no settings file at all
        QVERIFY(first.start());
        Running second;
        second.lockDir.remove();
        StartOptions options;
        options.appDir = first.appDir.path();
        options.lockDir = first.lockDir.path();
        second.app = std::make_unique<Application>(second.boxes, options);
        QVERIFY(!second.app->Main({}));
        QCOMPARE(second.boxes.texts(),
                 QStringList("Prevous Instance Running... This Instance will now end."));
        QCOMPARE(second.boxes.titles(), QStringList("Glimmerby"));
        QVERIFY(!QFile::exists(first.ini()));
    }

    void closingWritesAllKeysAndRemovesScratchFiles() {
        Running r;
        touch(r.appDir.filePath("tmp.jpg"), "x");
        touch(r.appDir.filePath("tmp.bmp"), "x");
        touch(r.appDir.filePath("keep.jpg"), "x");
        r.splash = true; // the default start-up
        QVERIFY(r.start());
        QVERIFY(QFile::exists(r.appDir.filePath("tmp.jpg"))); // not removed at start
        r.form().close();
        QVERIFY(!QFile::exists(r.appDir.filePath("tmp.jpg")));
        QVERIFY(!QFile::exists(r.appDir.filePath("tmp.bmp")));
        QVERIFY(QFile::exists(r.appDir.filePath("keep.jpg")));
        const IniDocument doc = IniDocument::load(r.ini());
        for (const char *key :
             {"Form Height", "Form Width", "Form Top", "Form Left", "Last SaveTo Path",
              "Last Dir Path", "PSPPath", "Mute", "ControlsVisible", "Speed", "File Filter",
              "PicQuality", "ToolTips", "ShowSplash", "SplashTime", "CustomSize"})
            QVERIFY2(doc.value("UserProfile", key).has_value(), key);
        QCOMPARE(doc.profileString("UserProfile", "SplashTime", ""), QByteArray("1"));
        QCOMPARE(doc.profileString("UserProfile", "File Filter", ""), QByteArray("4"));
        QCOMPARE(doc.profileString("UserProfile", "ControlsVisible", ""), QByteArray("-1"));
    }

    void maximizedClosesWithDefaultMetrics() {
        Running r;
        QVERIFY(r.start());
        r.form().showMaximized();
        QTest::qWait(50);
        r.form().close();
        const IniDocument doc = IniDocument::load(r.ini());
        QCOMPARE(doc.profileString("UserProfile", "Form Height", ""), QByteArray("4600"));
        QCOMPARE(doc.profileString("UserProfile", "Form Width", ""), QByteArray("6500"));
        QCOMPARE(doc.profileString("UserProfile", "Form Top", ""), QByteArray("10"));
        QCOMPARE(doc.profileString("UserProfile", "Form Left", ""), QByteArray("10"));
    }

    void savedSettingsComeBack() {
        Running r;
        QTemporaryDir pictures;
        touch(pictures.filePath("a.jpg"));
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "Last Dir Path", pictures.path()));
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "File Filter", "1"));
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "ShowSplash", "False"));
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "ToolTips", "true"));
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "Mute", "1"));
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "PicQuality", "150"));
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "Custom Thing", "kept"));
        // A destination that has gone stays as saved; "&" in it is no menu mnemonic.
        const QString destination = pictures.filePath("Tom & Jerry/");
        QVERIFY(WriteProfileString(r.ini(), "UserProfile", "Last SaveTo Path", destination));
        QVERIFY(r.start());
        Form1 &f = r.form();
        QCOMPARE(r.state().DestinationDir, destination);
        QCOMPARE(f.moveit[0]->text(), pictures.filePath("Tom && Jerry/"));
        QCOMPARE(f.Copyit[0]->text(), pictures.filePath("Tom && Jerry/"));
        QCOMPARE(f.panelText(3), destination + "  ");
        QCOMPARE(f.Dir1->path(), QDir(pictures.path()).absolutePath());
        QCOMPARE(f.Combo1->currentText(), QString("Pictues"));
        QVERIFY(!f.Ck[0]->isChecked()); // "true" is not "True"
        QCOMPARE(f.Ck[0]->text(), QString("Tool Tips Off"));
        QVERIFY(f.toolbarButton("mute")->isChecked());
        QCOMPARE(r.app->state().JpegQuality, 100); // held to what the encoder takes
        QCOMPARE(f.HS[1]->value(), 100);
        r.form().close();
        const IniDocument doc = IniDocument::load(r.ini());
        QCOMPARE(doc.profileString("UserProfile", "SplashTime", ""), QByteArray("100"));
        QCOMPARE(doc.profileString("UserProfile", "Custom Thing", ""), QByteArray("kept"));
        QCOMPARE(doc.profileString("UserProfile", "Last SaveTo Path", ""), destination.toUtf8());
        QCOMPARE(doc.profileString("UserProfile", "File Filter", ""), QByteArray("1"));
    }

    void walkingDirectoriesAndFilters() {
        QTemporaryDir root;
        QDir(root.path()).mkdir("pics");
        for (const char *name : {"A.JPG", "b.jpeg", "c.mpg", "gasf", "notes.txt"})
            touch(root.filePath(QString("pics/") + name));
        Running r;
        QVERIFY(r.start());
        Form1 &f = r.form();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QVERIFY(r.app->context()->browser->setDirectory(root.path()));
        // Click the "pics" entry of the directory list.
        QListWidgetItem *pics = nullptr;
        for (int i = 0; i < f.Dir1->count(); ++i)
            if (f.Dir1->item(i)->text().trimmed() == "pics")
                pics = f.Dir1->item(i);
        QVERIFY(pics);
        const QRect cell = f.Dir1->visualItemRect(pics);
        QTest::mouseClick(f.Dir1->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(f.Dir1->path(), root.filePath("pics"));
        QCOMPARE(listed(f.File1), QStringList({"A.JPG", "b.jpeg", "c.mpg", "gasf"}));
        QCOMPARE(f.File1->listIndex(), 0); // selected, not previewed
        QVERIFY(r.app->state().CurrentFile.isEmpty());
        QTRY_VERIFY(f.Text1->hasFocus());

        f.Combo1->setCurrentIndex(1);
        QCOMPARE(listed(f.File1), QStringList({"A.JPG", "b.jpeg"}));
        QCOMPARE(f.Combo1->toolTip(), QString("jpg-jpeg-gif-bmp"));
        f.Combo1->setCurrentIndex(0);
        QCOMPARE(listed(f.File1), QStringList({"c.mpg", "gasf"}));
        // Typed text keeps the pattern and clears the tip.
        f.Combo1->setEditText("my own");
        QCOMPARE(listed(f.File1), QStringList({"c.mpg", "gasf"}));
        QVERIFY(f.Combo1->toolTip().isEmpty());

        // Keys in the file list do not move it.
        f.Combo1->setCurrentIndex(4);
        f.File1->setListIndex(0);
        f.File1->setFocus();
        QTest::keyClick(f.File1, Qt::Key_G);
        QTest::keyClick(f.File1, Qt::Key_End);
        QCOMPARE(f.File1->listIndex(), 0);

        // A directory that vanishes while shown leaves a usable, empty list.
        QVERIFY(QDir(root.filePath("pics")).removeRecursively());
        r.app->context()->browser->RefreshFileList("A.JPG");
        QCOMPARE(f.File1->listCount(), 0);
        QVERIFY(r.app->context()->browser->setDirectory(root.path()));
    }

    void refreshSelectsIgnoringCase() {
        QTemporaryDir dir;
        for (const char *name : {"a.mpg", "z.wav"})
            touch(dir.filePath(name));
        QVERIFY(QFile::copy(GLIMMERBY_SAMPLES_DIR "/grey.jpg", dir.filePath("photo.jpg")));
        Running r;
        QVERIFY(r.start());
        Form1 &f = r.form();
        QVERIFY(r.app->context()->browser->setDirectory(dir.path()));
        r.app->context()->browser->RefreshFileList("PHOTO.JPG");
        QCOMPARE(f.File1->listIndex(), 1);
        QCOMPARE(r.app->state().CurrentFile, dir.filePath("photo.jpg"));
        r.app->context()->browser->RefreshFileList("gone.jpg");
        QCOMPARE(f.File1->listIndex(), 0);
        QCOMPARE(r.app->state().CurrentFile, dir.filePath("a.mpg"));
        QVERIFY(f.windowTitle().endsWith(dir.filePath("a.mpg")));
    }

    void rightClicksOpenTheMenus() {
        QTemporaryDir dir;
        touch(dir.filePath("a.jpg"));
        touch(dir.filePath("b.jpg"));
        Running r;
        QVERIFY(r.start());
        Form1 &f = r.form();
        QVERIFY(r.app->context()->browser->setDirectory(dir.path()));
        f.File1->setSelected(1, true); // two selected: a right-click keeps both
        bool fileMenuSeen = false;
        QTimer::singleShot(100, [&] {
            fileMenuSeen = f.mnupop->isVisible();
            f.mnupop->close();
        });
        QTest::mouseClick(f.File1->viewport(), Qt::RightButton, {},
                          f.File1->visualRect(f.File1->model()->index(0, 0)).center());
        QTRY_VERIFY(fileMenuSeen);
        QCOMPARE(f.File1->selectedRows(), QList<int>({0, 1}));
        QStringList captions;
        for (QAction *a : f.mnupop->actions())
            captions << (a->isSeparator() ? QString("-") : a->text());
        QCOMPARE(captions, QStringList({"Play", "-", "Copy File(s) To...", "-", "Move File(s) To",
                                        "Set Dest Path", "-", "Delete File", "-", "Open With PSP",
                                        "Set PSP Path", "ReName File", "-", "Cancel"}));
        QCOMPARE(f.Copyit[1]->text(), QString("As .JPG  File(s)"));

        bool dirMenuSeen = false;
        QTimer::singleShot(100, [&] {
            dirMenuSeen = f.mnuDirPop->isVisible();
            f.mnuDirPop->close();
        });
        QTest::mouseClick(f.Dir1->viewport(), Qt::RightButton, {}, QPoint(10, 5));
        QTRY_VERIFY(dirMenuSeen);

        // While a batch runs no menu opens.
        r.app->state().BatchBusy = -1;
        QTest::mouseClick(f.Dir1->viewport(), Qt::RightButton, {}, QPoint(10, 5));
        QTest::qWait(100);
        QVERIFY(!f.mnuDirPop->isVisible());
    }

    void layoutFollowsTheWindow() {
        Running r;
        QVERIFY(r.start());
        Form1 &f = r.form();
        f.resize(800, 600);
        QTRY_COMPARE(f.Combo1->y(), 562);
        QCOMPARE(f.MP->width(), 663);
        QCOMPARE(f.HScroll1->geometry().left(), 136);
        QCOMPARE(f.HScroll1->width(), 650);
        QCOMPARE(f.VScroll1->geometry(), QRect(785, 23, 15, 545));
        QCOMPARE(f.Dir1->height(), 157);
        QCOMPARE(f.File1->height(), 365);
        QCOMPARE(f.MediaPlayer2->size(), QSize(650, 535));
        f.resize(100, 100); // below the minimum size: held at it
        QTest::qWait(50);
        QVERIFY(f.width() >= 400);
        QVERIFY(f.height() >= 250);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
