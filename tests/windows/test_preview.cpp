// Previewing in the real window at 800 x 600: fitting, the damaged-JPEG view and its
// dialog, dispatch by kind, stepping through the list, the status line, and deleting.

#include "app/app_state.h"
#include "app/application.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "organize/file_commands.h"
#include "organize/options_dialog.h"
#include "picture/picture_files.h"
#include "picture/status_line.h"
#include "playback/control_bar.h"
#include "support/app_sandbox.h"
#include "windows/dialog_box.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QAccessible>
#include <QOpenGLWidget>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);

struct Running : AppSandbox {
    QTemporaryDir media;

    explicit Running(const QStringList &samples) {
        for (const QString &name : samples)
            QFile::copy(Samples + "/" + name, media.filePath(name));
        start({}, true);
        form().resize(800, 600);
        QTest::qWait(20);
        ctx().browser->setDirectory(media.path());
    }
    void click(const QString &name, Qt::MouseButton button = Qt::LeftButton) {
        FileListBox *list = form().File1;
        const int row = list->items().indexOf(name);
        QVERIFY2(row >= 0, qPrintable(name));
        list->scrollTo(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), button, {},
                          list->visualRect(list->model()->index(row, 0)).center());
    }
    // Answers the next dialog with a button, or by closing its frame when button < 0.
    void answerNextDialog(int button, QString *caption = nullptr) {
        ctx().dialog->onShown = [button, caption](DialogBox &box) {
            if (caption)
                *caption = box.windowTitle();
            if (button >= 0)
                box.C[button]->click();
            else
                box.close();
        };
    }
};

} // namespace

// What the window shows on the screen itself, read back from the display.
QImage onScreen(QWidget *widget) {
    return widget->screen()
        ->grabWindow(widget->window()->winId(), widget->mapTo(widget->window(), QPoint()).x(),
                     widget->mapTo(widget->window(), QPoint()).y(), widget->width(),
                     widget->height())
        .toImage();
}

// testsrc2 (the clips and the test card pictures) is colourful: many colours, mostly lit.
bool colourful(const QImage &image) {
    QSet<QRgb> colours;
    int lit = 0, samples = 0;
    for (int y = 0; y < image.height(); y += 5)
        for (int x = 0; x < image.width(); x += 5) {
            const QRgb p = image.pixel(x, y);
            ++samples;
            lit += qRed(p) + qGreen(p) + qBlue(p) > 60;
            colours.insert(p & 0xF0F0F0);
        }
    return samples > 0 && lit * 2 > samples && colours.size() > 12;
}

class TestPreview : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void fittingInTheWindow_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("small gif") << "small.gif" << QRect(395, 245, 150, 120);
        QTest::newRow("1600x1200") << "landscape.jpg" << QRect(145, 51, 650, 487);
        QTest::newRow("1200x1600") << "portrait.jpg" << QRect(269, 27, 401, 535);
        QTest::newRow("199x300") << "narrow.jpg" << QRect(293, 27, 354, 535);
        QTest::newRow("400x400") << "square.bmp" << QRect(202, 27, 535, 535);
        QTest::newRow("400x300 tagged 6") << "phone.jpg" << QRect(269, 27, 401, 535);
    }
    void fittingInTheWindow() {
        QFETCH(QString, file);
        QFETCH(QRect, expected);
        Running r({file});
        QCOMPARE(r.form().size(), QSize(800, 600));
        r.click(file);
        QVERIFY(r.form().photo->isVisible());
        QCOMPARE(r.form().photo->geometry(), expected);
        QVERIFY(r.boxes.texts().isEmpty());
        // What is drawn is the picture, not an empty frame.
        const QImage shown = r.form().photo->grab().toImage();
        QVERIFY(shown.pixel(shown.width() / 2, shown.height() / 2) != shown.pixel(0, 0) ||
                shown.pixel(5, 5) != qRgb(0, 0, 0));
    }

    void damagedJpegShowsWhatDecoded() {
        Running r({"damaged.jpg", "landscape.jpg"});
        r.state().SlideShowOn = 1;
        r.form().toolbarButton("slideshow")->setChecked(true);
        QString caption;
        bool scrollBarsUp = false;
        r.ctx().dialog->onShown = [&](DialogBox &box) {
            caption = box.windowTitle();
            scrollBarsUp = r.form().HScroll1->isVisible() && r.form().VScroll1->isVisible();
            box.C[3]->click(); // "Cancel"
        };
        r.click("damaged.jpg");
        QCOMPARE(caption, QString("Error Loading JPG File"));
        QVERIFY(scrollBarsUp); // 1280 x 960 does not fit 800 x 600
        QVERIFY(r.form().Picture1->isVisible());
        QCOMPARE(r.form().Picture1->geometry(), QRect(138, 27, 1280, 960));
        QVERIFY(!r.form().photo->isVisible());
        QCOMPARE(r.state().SlideShowOn, std::int16_t(0));
        QVERIFY(!r.form().toolbarButton("slideshow")->isChecked());
        QVERIFY(r.boxes.texts().isEmpty()); // damaged data: no codec box
        QVERIFY(QFile::exists(r.media.filePath("damaged.jpg")));
        // The part that decoded is drawn: its top is the picture, not the grey fill.
        const QImage top = r.form().Picture1->grab(QRect(0, 0, 1280, 40)).toImage();
        QSet<QRgb> colours;
        for (int x = 0; x < top.width(); x += 16)
            colours.insert(top.pixel(x, 20));
        QVERIFY(colours.size() > 4);
        // The status bar and the toolbar stay readable above it: what the window shows there
        // is what they draw themselves.
        QList<QWidget *> bars{r.form().Toolbar1};
        for (QLabel *panel : r.form().SBPanels)
            bars << panel;
        for (QWidget *bar : bars) {
            const QRect area(bar->mapTo(&r.form(), QPoint(0, 0)), bar->size());
            QCOMPARE(r.form().grab(area).toImage().convertToFormat(QImage::Format_RGB32),
                     bar->grab().toImage().convertToFormat(QImage::Format_RGB32));
        }
        // Scrolling moves the view from its home towards its far edge.
        r.form().HScroll1->setValue(-100);
        QCOMPARE(r.form().Picture1->x(), -100);
        r.form().resize(1500, 1100); // now it fits: the bars go and the view comes home
        QTRY_VERIFY(!r.form().HScroll1->isVisible());
        QCOMPARE(r.form().Picture1->pos(), QPoint(138, 27));
    }

    // A 48 x 32 picture with four coloured corners, stored under each of the eight
    // orientations: shown upright with its upright size, whether decoded on the click or
    // ahead of stepping to it.
    void uprightByExifOrientation() {
        Running r({});
        const QByteArray jpeg = testing::MakeQuadrantJpeg(48, 32);
        for (int o = 1; o <= 8; ++o)
            QVERIFY(testing::WriteFile(r.media.filePath(QString("o%1.jpg").arg(o)),
                                       testing::WithExifOrientation(jpeg, o, o % 2 == 0)));
        r.ctx().browser->setDirectory(r.media.path());
        Form1 &f = r.form();
        const auto verifyShown = [&](int o) {
            QCOMPARE(r.state().CurrentFile, r.media.filePath(QString("o%1.jpg").arg(o)));
            const QSize upright = o >= 5 ? QSize(32, 48) : QSize(48, 32);
            QCOMPARE(f.photo->size(), upright); // small: shown at its natural size
            QCOMPARE(f.panelText(2),
                     QString("%1 X %2  ").arg(upright.width()).arg(upright.height()));
            QCOMPARE(testing::CornerColours(f.photo->grab().toImage(), 3),
                     testing::ExpectedCorners(o));
        };
        for (int o = 8; o >= 1; --o) { // backwards: nothing decoded ahead is ever asked for
            r.click(QString("o%1.jpg").arg(o));
            verifyShown(o);
        }
        for (int o = 2; o <= 8; ++o) {
            QTest::qWait(150); // the next picture is decoded ahead meanwhile
            r.ctx().preview->ShowNextFile();
            verifyShown(o);
        }
        QVERIFY(r.boxes.texts().isEmpty());
    }

    void damagedJpegShowsUpright() {
        Running r({});
        QVERIFY(testing::WriteFile(
            r.media.filePath("side.jpg"),
            testing::WithExifOrientation(testing::ReadFile(Samples + "/damaged.jpg"), 6, true)));
        r.ctx().browser->setDirectory(r.media.path());
        r.answerNextDialog(3); // "Cancel"
        r.click("side.jpg");
        QCOMPARE(r.form().Picture1->geometry(), QRect(138, 27, 960, 1280));
        // The stored top rows, the part that decoded, are now the right-hand side.
        const QImage shown = r.form().Picture1->grab().toImage();
        QSet<QRgb> left, right;
        for (int y = 0; y < shown.height(); y += 16) {
            left.insert(shown.pixel(5, y));
            right.insert(shown.pixel(shown.width() - 5, y));
        }
        QCOMPARE(left.size(), 1);
        QVERIFY(right.size() > 4);
    }

    void damagedJpegDeleteRemovesOnlyIt() {
        Running r({"damaged.jpg", "landscape.jpg", "narrow.jpg"});
        r.answerNextDialog(1); // "Delete File"
        r.click("damaged.jpg");
        QVERIFY(!QFile::exists(r.media.filePath("damaged.jpg")));
        QVERIFY(QFile::exists(r.media.filePath("landscape.jpg")));
        QVERIFY(QFile::exists(r.media.filePath("narrow.jpg")));
        QCOMPARE(r.form().File1->items(), QStringList({"landscape.jpg", "narrow.jpg"}));
    }

    void pictureDialogClosedByItsFrameIsCancel() {
        Running r({"landscape.jpg", "narrow.jpg"});
        r.click("landscape.jpg");
        QString caption;
        r.answerNextDialog(-1, &caption);
        r.state().DialogChoice = "1"; // a stale "Delete File" must not be acted on
        QTest::mouseClick(r.form().photo, Qt::LeftButton);
        QCOMPARE(caption, QString("Picture Options"));
        QVERIFY(QFile::exists(r.media.filePath("landscape.jpg")));
        QCOMPARE(r.state().DialogChoice, QString("3"));
    }

    void editorGetsThePictureAsOneArgument() {
        Running r({"landscape.jpg"});
        QFile::copy(Samples + "/landscape.jpg", r.media.filePath("two words.jpg"));
        r.ctx().browser->RefreshFileList("two words.jpg");
        QString program;
        QStringList arguments;
        r.ctx().files->startDetached = [&](const QString &p, const QStringList &a) {
            program = p;
            arguments = a;
            return true;
        };
        r.state().EditorPath = "/bin/true";
        r.answerNextDialog(0); // "Open in PSP"
        QTest::mouseClick(r.form().photo, Qt::LeftButton);
        QCOMPARE(program, QString("/bin/true"));
        QCOMPARE(arguments, QStringList(r.media.filePath("two words.jpg")));
        // A missing editor says so.
        r.state().EditorPath = r.appDir.filePath("PSP.EXE");
        r.answerNextDialog(0);
        QTest::mouseClick(r.form().photo, Qt::LeftButton);
        QCOMPARE(
            r.boxes.texts().value(0),
            QString("File Error: Check Path to PSP in Glimmerby.INI file or Refresh the FileList"));
    }

    void dispatchByKind() {
        Running r({"clip.avi", "beep.wav", "song.mp3", "gasf", "landscape.jpg"});
        Form1 &f = r.form();
        r.click("clip.avi");
        QVERIFY(f.MediaPlayer2->isVisible());
        QCOMPARE(f.MediaPlayer2->fileName(), r.media.filePath("clip.avi"));
        QCOMPARE(f.MediaPlayer2->x(), 140);
        QCOMPARE(f.MediaPlayer2->size(), QSize(650, 535));
        r.click("beep.wav");
        QVERIFY(f.MP->isVisible());
        QCOMPARE(f.MP->x(), 137);
        QCOMPARE(f.MP->fileName(), r.media.filePath("beep.wav"));
        QVERIFY(!f.MediaPlayer2->isVisible());
        QCOMPARE(f.MediaPlayer2->fileName(), QString()); // released
        r.click("song.mp3");
        QVERIFY(f.MediaPlayer2->isVisible()); // mp3 goes to the large player
        QVERIFY(!f.MP->isVisible());
        r.click("gasf");
        QCOMPARE(r.boxes.texts(), QStringList("Unrecognize Format"));
        QCOMPARE(r.state().CurrentFile, r.media.filePath("gasf"));
        // During a slide show a picture keeps the timer going, a movie stops it.
        r.state().SlideShowOn = 1;
        r.click("landscape.jpg");
        QVERIFY(f.Timer1->isActive());
        r.click("clip.avi");
        QVERIFY(!f.Timer1->isActive());
        r.state().SlideShowOn = 0;
        f.MediaPlayer2->setFileName({});
    }

    // The players are made on first use: after a picture, each kind plays the first time.
    void eachKindPlaysFirstAfterAPicture_data() {
        QTest::addColumn<QString>("file");
        for (const char *name : {"clip.mpg", "beep.wav", "tune.mid"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void eachKindPlaysFirstAfterAPicture() {
        QFETCH(QString, file);
        Running r({"landscape.jpg", file});
        Form1 &f = r.form();
        r.click("landscape.jpg");
        QVERIFY(f.photo->isVisible());
        r.click(file);
        MediaPlayer *player = f.MediaPlayer2->isVisible() ? f.MediaPlayer2 : f.MP;
        QCOMPARE(player->fileName(), r.media.filePath(file));
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition() > 0.2, 15000);
        if (player == f.MediaPlayer2)
            QTRY_VERIFY_WITH_TIMEOUT(colourful(onScreen(player->videoWidget())), 15000);
    }

    void pictureMoviePictureEachShownInTurn() {
        Running r({"landscape.jpg", "clip.mpg"});
        Form1 &f = r.form();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        r.click("landscape.jpg");
        QTRY_VERIFY(colourful(onScreen(f.photo)));
        r.click("clip.mpg");
        QTRY_VERIFY_WITH_TIMEOUT(colourful(onScreen(f.MediaPlayer2->videoWidget())), 15000);
        r.click("landscape.jpg");
        QVERIFY(!f.MediaPlayer2->isVisible());
        QTRY_VERIFY(colourful(onScreen(f.photo)));
    }

    void steppingWrapsAndMatchesExactCase() {
        Running r({});
        for (const char *name : {"A.jpg", "a.jpg"})
            QFile::copy(Samples + "/grey.jpg", r.media.filePath(name));
        QFile::copy(Samples + "/small.gif", r.media.filePath("b.gif"));
        QFile::copy(Samples + "/clip.mov", r.media.filePath("c.mov"));
        r.ctx().browser->setDirectory(r.media.path());
        FileListBox *list = r.form().File1;
        QCOMPARE(list->items(), QStringList({"A.jpg", "a.jpg", "b.gif", "c.mov"}));
        list->setListIndex(0);
        r.ctx().preview->ShowNextFile();
        QCOMPARE(list->listIndex(), 1); // "a.jpg", not its upper-case twin
        QCOMPARE(r.state().CurrentFile, r.media.filePath("a.jpg"));
        r.ctx().preview->ShowNextFile();
        r.ctx().preview->ShowNextFile(); // c.mov: not recognized by the step
        QCOMPARE(r.boxes.texts(), QStringList("Unrecognize Format"));
        r.ctx().preview->ShowNextFile(); // wraps to the first
        QCOMPARE(list->listIndex(), 0);
        r.ctx().preview->ShowPreviousFile(); // wraps to the last
        QCOMPARE(list->listIndex(), 3);
        list->setListIndex(-1);
        r.ctx().preview->ShowPreviousFile(); // nothing selected: the last
        QCOMPARE(list->listIndex(), 3);
        list->setListIndex(-1);
        r.ctx().preview->ShowNextFile(); // nothing selected: the first
        QCOMPARE(list->listIndex(), 0);
    }

    void statusPanels() {
        Running r({});
        QFile a(r.media.filePath("a.bin")), b(r.media.filePath("b.bin")),
            e(r.media.filePath("e.bin"));
        QVERIFY(a.open(QIODevice::WriteOnly) && a.resize(1536));
        QVERIFY(b.open(QIODevice::WriteOnly) && b.resize(3000000));
        QVERIFY(e.open(QIODevice::WriteOnly));
        Form1 &f = r.form();
        auto panelsFor = [&](const QString &file) {
            r.state().CurrentFile = file;
            r.ctx().status->UpdateStatusLine();
            return f.panelText(1);
        };
        QCOMPARE(panelsFor(a.fileName()), QString("1.50K  "));
        QCOMPARE(panelsFor(b.fileName()), QString("2,929.69K  "));
        QCOMPARE(panelsFor(e.fileName()), QString("0.00K  "));
        QCOMPARE(panelsFor(r.media.filePath("missing")), QString("0.00K  "));
        r.state().PictureWidth = 640;
        r.state().PictureHeight = 480;
        r.ctx().status->UpdateStatusLine();
        QCOMPARE(f.panelText(2), QString("640 X 480  "));
        QCOMPARE(f.panelText(3), f.moveit[0]->text() + "  ");

        r.state().JpegQuality = 85;
        r.state().ModifyEnabled = 1;
        f.O[1]->setChecked(true);
        r.ctx().status->UpdateStatusLine();
        QCOMPARE(f.panelText(4), QString("Qty=85-Func=Rot Left  "));
        f.T[0]->setText("640");
        f.O[0]->setChecked(true);
        r.state().JpegQuality = 85;
        r.ctx().status->UpdateStatusLine();
        QCOMPARE(f.panelText(4), QString("Qty=85-Func=Size=640  "));
        r.state().ModifyEnabled = 0;
        r.ctx().status->UpdateStatusLine();
        QCOMPARE(f.panelText(4), QString("Qty=85-Func=None  "));
        r.state().ModifyEnabled = 1;
        f.O[0]->setAutoExclusive(false);
        f.O[0]->setChecked(false);
        r.ctx().status->UpdateStatusLine();
        QCOMPARE(f.panelText(4), QString("Qty=85-Func=  "));
    }

    // A screen reader reads what a label shows, and the player's buttons by their words.
    void valuesReadByScreenReaders() {
        Running r({"landscape.jpg"});
        r.click("landscape.jpg");
        Form1 &f = r.form();
        QCOMPARE(f.panelText(2), QString("1600 X 1200  "));
        auto name = [](QWidget *w) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            return a ? a->text(QAccessible::Name) : QString("(none)");
        };
        QList<QLabel *> labels(f.SBPanels.begin(), f.SBPanels.end());
        labels << f.dispspeed << f.QualityLabel;
        const QList<ControlBar *> bars = f.MediaPlayer2->findChildren<ControlBar *>();
        QCOMPARE(bars.size(), 1);
        labels << bars[0]->findChildren<QLabel *>();
        for (QLabel *label : labels) {
            QVERIFY(!label->text().isEmpty());
            QCOMPARE(name(label), label->text());
            QVERIFY(!label->accessibleDescription().isEmpty());
        }
        QStringList buttons;
        for (QToolButton *button : f.MediaPlayer2->findChildren<QToolButton *>())
            buttons << name(button);
        QVERIFY2(buttons.contains("Play") && buttons.contains("Stop") && buttons.contains("Mute"),
                 qPrintable(buttons.join(',')));
    }

    void deleteFileRemovesExactlyTheSelection() {
        Running r({"landscape.jpg", "narrow.jpg", "portrait.jpg", "small.gif"});
        FileListBox *list = r.form().File1;
        list->setListIndex(1);
        list->setSelected(2, true);
        r.form().mnuDelete->trigger();
        QCOMPARE(list->items(), QStringList({"landscape.jpg", "small.gif"}));
        QVERIFY(QFile::exists(r.media.filePath("landscape.jpg")));
        QVERIFY(QFile::exists(r.media.filePath("small.gif")));
        QVERIFY(!QFile::exists(r.media.filePath("narrow.jpg")));
        QVERIFY(!QFile::exists(r.media.filePath("portrait.jpg")));
        // The neighbour above the last deleted file was deleted too: the first file is next.
        QCOMPARE(r.state().CurrentFile, r.media.filePath("landscape.jpg"));
    }
};

QTEST_MAIN(TestPreview)
#include "test_preview.moc"
