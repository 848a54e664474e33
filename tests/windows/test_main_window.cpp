// The real main window under Xvfb, driven by clicks and keys on real files with real players.

#include "app/split_path.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "organize/options_dialog.h"
#include "picture/picture_files.h"
#include "picture/picture_modifier.h"
#include "playback/playback_controller.h"
#include "playback/slide_show.h"
#include "shell/toggles_controller.h"
#include "support/app_sandbox.h"
#include "support/test_files.h"
#include "windows/dialog_box.h"
#include "windows/picture_widgets.h"

#include <QAccessible>
#include <QOpenGLWidget>
#include <QToolTip>
#include <QtTest>
#include <cstdio>

using namespace glimmerby;
using namespace glimmerby::testing;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);

QStringList Entries(const QString &dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The window at 800 x 600 on its own directory of samples ("name" or "name=sample").
struct Running : AppSandbox {
    QTemporaryDir media, to;
    QStringList started; // the tracks the music began
    QObject scope;

    explicit Running(const QStringList &files = {}, const QByteArray &ini = {},
                     bool video = false) {
        for (const QString &entry : files) {
            const QString copy = media.filePath(entry.section(u'=', 0, 0));
            QDir().mkpath(QFileInfo(copy).path());
            QFile::copy(Samples + "/" + entry.section(u'=', -1), copy);
        }
        if (!ini.isEmpty())
            writeAll(this->ini(), "[UserProfile]\n" + ini);
        start({}, video);
        form().resize(800, 600);
        reload();
        QObject::connect(form().MediaPlayer1, &MediaPlayer::NewStream, &scope, [this] {
            started << QFileInfo(form().MediaPlayer1->fileName()).fileName();
        });
    }
    ~Running() {
        if (!app->hasShutDown())
            ctx().slideShow->setOn(false);
    }
    QString path(const QString &name) const { return media.filePath(name); }
    void reload() { ctx().browser->setDirectory(media.path()); }
    void click(const QString &name, Qt::KeyboardModifiers modifiers = {}) {
        FileListBox *list = form().File1;
        const QModelIndex row = list->model()->index(int(list->items().indexOf(name)), 0);
        QVERIFY2(row.isValid(), qPrintable(name));
        list->scrollTo(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualRect(row).center());
    }
    QWidget *button(const char *key) {
        return form().Toolbar1->widgetForAction(form().toolbarButton(key));
    }
    // ModifyPicture as the copy and move commands call it, events let in at every step.
    void modify(const QString &step, const QString &name, int option = 1,
                const QString &dstDir = {}, std::function<bool()> check = {}) {
        AppState &s = state();
        SplitPath(path(name), s.SrcDir, s.SrcName, s.SrcExt);
        s.DstDir = (dstDir.isEmpty() ? to.path() : dstDir) + "/";
        s.DstName = s.SrcName;
        s.ExistsChoice = 6;
        form().O[std::size_t(option)]->setChecked(true);
        ctx().modifier->setClashCheck(std::move(check));
        ctx().toggles->setProgressEventInterval(0);
        ctx().modifier->ModifyPicture(step);
    }
};

QImage Quadrants(int w, int h) { // red, green over blue, white, in at most 256 colours
    return QImage::fromData(MakeQuadrantJpeg(w, h))
        .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}
const auto Bmp = [] { return MakeBmp(Quadrants(64, 48), 24); };

// Moves `content` into `where` (relative: in the destination, "mount...": a fresh mount in a
// child's namespace) and reports the codec's boxes, an unchanged source, what `where` holds.
QString TryMove(const QByteArray &content, const QString &size, const QString &where) {
    if (where.startsWith("mount")) {
        QTemporaryDir dir;
        QProcess child;
        child.start("unshare", {"-m", "--propagation", "private", "sh", "-c",
                                where + "exec \"$2\" --child-move \"$1\"", "sh", dir.path(),
                                QCoreApplication::applicationFilePath()});
        child.waitForFinished(120000);
        return child.exitCode() ? QString() : QString(child.readAllStandardOutput()).trimmed();
    }
    Running r;
    writeAll(r.path("pic.jpg"), content);
    r.form().T[0]->setText(size);
    const QString into = QDir::cleanPath(QDir(r.to.path()).filePath(where));
    r.modify("ModifyMove", "pic.jpg", size.isEmpty() ? 1 : 0, into);
    return QString("boxes=%1 kept=%2 left=%3")
        .arg(r.boxes.texts().filter("Failed to save to JPG").size())
        .arg(readAll(r.path("pic.jpg")) == content)
        .arg(Entries(into).join(','));
}

struct BarCase {
    QByteArray ini;
    int bar, value, speed; // the bar moved (-1: none), where to, and the speed that follows
    QString seconds;
    int quality;
};
struct WriteCase {
    QString step, source;        // a BMP's bits, or "tagged": a JPEG of 160 x 120, Orientation 6
    int option, quality, lumaDc; // lumaDc: libjpeg's first quantiser for that quality
    QString output;
    QSize size;
    QString corners;
};

} // namespace

Q_DECLARE_METATYPE(BarCase)
Q_DECLARE_METATYPE(WriteCase)

class TestMainWindow : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void fittingAndStatus_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<QString>("size"); // panel 2: the upright size
        QTest::newRow("gif") << "small.gif" << QRect(395, 245, 150, 120) << "150 X 120  ";
        QTest::newRow("wide") << "landscape.jpg" << QRect(145, 51, 650, 487) << "1600 X 1200  ";
        QTest::newRow("square") << "square.bmp" << QRect(202, 27, 535, 535) << "400 X 400  ";
        QTest::newRow("tagged 6") << "phone.jpg" << QRect(269, 27, 401, 535) << "300 X 400  ";
    }
    // Fitted, sizes in the status line, values and player buttons named for screen readers.
    void fittingAndStatus() {
        QFETCH(QString, file);
        QFETCH(QRect, expected);
        QFETCH(QString, size);
        Running r({file});
        Form1 &f = r.form();
        r.click(file);
        QVERIFY(f.photo->isVisible() && r.boxes.texts().isEmpty());
        QCOMPARE(f.photo->geometry(), expected);
        QCOMPARE(f.panelText(2), size);
        QCOMPARE(f.panelText(1), // KiB with thousands separators
                 QLocale().toString(QFileInfo(r.path(file)).size() / 1024.0, 'f', 2) + "K  ");
        const auto name = [](QWidget *w) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            return a ? a->text(QAccessible::Name) : QString("(none)");
        };
        QList<QLabel *> labels(f.SBPanels.begin(), f.SBPanels.end());
        labels << f.dispspeed << f.QualityLabel
               << f.MediaPlayer2->controlBar()->findChildren<QLabel *>();
        for (QLabel *label : labels) {
            QVERIFY(!label->text().isEmpty() && !label->accessibleDescription().isEmpty());
            QCOMPARE(name(label), label->text());
        }
        QStringList buttons;
        for (QToolButton *button : f.MediaPlayer2->findChildren<QToolButton *>())
            buttons << name(button);
        QVERIFY2(buttons.contains("Play") && buttons.contains("Stop") && buttons.contains("Mute"),
                 qPrintable(buttons.join(',')));
    }

    void damagedJpeg_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QSize>("view");
        QTest::newRow("stored") << 1 << 3 << QSize(1280, 960); // "Cancel"
        QTest::newRow("tagged 6") << 6 << 3 << QSize(960, 1280);
        QTest::newRow("deleted") << 1 << 1 << QSize(); // "Delete File": the selected files
    }
    // What decoded, upright, full size, scrollable, under the bars; the show stops. Or the
    // selected files deleted.
    void damagedJpeg() {
        QFETCH(int, orientation);
        QFETCH(int, answer);
        QFETCH(QSize, view);
        Running r({"landscape.jpg"});
        writeAll(r.path("damaged.jpg"),
                 WithExifOrientation(readAll(Samples + "/damaged.jpg"), orientation, true));
        r.reload();
        Form1 &f = r.form();
        r.state().SlideShowOn = 1;
        f.toolbarButton("slideshow")->setChecked(true);
        QString dialog;
        r.ctx().dialog->onShown = [&](DialogBox &box) {
            dialog = box.windowTitle();
            box.C[answer]->click();
        };
        if (!view.isValid())
            r.click("landscape.jpg");
        r.click("damaged.jpg", view.isValid() ? Qt::NoModifier : Qt::ControlModifier);
        QCOMPARE(dialog, QString("Error Loading JPG File"));
        QCOMPARE(QFile::exists(r.path("damaged.jpg")), view.isValid());
        QVERIFY(QFile::exists(r.path("landscape.jpg")) == view.isValid());
        if (!view.isValid())
            return;
        QVERIFY(f.Picture1->isVisible() && !f.photo->isVisible() && f.HScroll1->isVisible());
        QCOMPARE(f.Picture1->geometry(), QRect(QPoint(138, 27), view));
        QVERIFY(r.state().SlideShowOn == 0 && !f.toolbarButton("slideshow")->isChecked());
        QVERIFY(r.boxes.texts().isEmpty());
        // Turned back as stored: the top rows decoded, the bottom is the plain fill.
        const QImage stored = f.Picture1->grab().toImage().transformed(
            QTransform().rotate(orientation == 6 ? -90 : 0));
        QSet<QRgb> top, bottom;
        for (int x = 0; x < stored.width(); x += 16) {
            top << stored.pixel(x, 20);
            bottom << stored.pixel(x, stored.height() - 5);
        }
        QVERIFY(top.size() > 4 && bottom.size() == 1);
        for (QWidget *bar : QWidgetList{f.Toolbar1, f.SBPanels[0]}) // drawn on top
            QCOMPARE(f.grab(QRect(bar->mapTo(&f, QPoint()), bar->size())).toImage(),
                     bar->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }

    // Eight orientations: upright at the upright size, decoded on the click or ahead.
    void uprightByExifOrientation() {
        Running r;
        for (int o = 1; o <= 8; ++o)
            writeAll(r.path(QString("o%1.jpg").arg(o)),
                     WithExifOrientation(MakeQuadrantJpeg(48, 32), o, o % 2 == 0));
        r.reload();
        const auto verifyShown = [&](int o) {
            const QSize upright = o >= 5 ? QSize(32, 48) : QSize(48, 32);
            QCOMPARE(r.form().photo->size(), upright); // small: at its natural size
            QCOMPARE(r.form().panelText(2),
                     QString("%1 X %2  ").arg(upright.width()).arg(upright.height()));
            QCOMPARE(CornerColours(r.form().photo->grab().toImage(), 3), ExpectedCorners(o));
        };
        for (int o = 8; o >= 1; --o) { // backwards: nothing decoded ahead is asked for
            r.click(QString("o%1.jpg").arg(o));
            verifyShown(o);
        }
        for (int o = 2; o <= 8; ++o) {
            QTest::qWait(150); // the next picture is decoded ahead meanwhile
            r.ctx().preview->ShowNextFile();
            verifyShown(o);
        }
    }

    void eachKindPlaysAfterAPicture_data() {
        QTest::addColumn<QString>("file");
        for (const char *name : {"clip.mpg", "song.mp3", "beep.wav", "tune.mid"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    // Players made on first use: each kind plays after a picture, then the picture shows again.
    void eachKindPlaysAfterAPicture() {
        QFETCH(QString, file);
        Running r({"landscape.jpg", file}, {}, true);
        Form1 &f = r.form();
        const auto colourfulOnScreen = [](QWidget *w) { // a test card or clip shows there
            const QImage shown = w->screen()
                                     ->grabWindow(w->window()->winId())
                                     .toImage()
                                     .copy(QRect(w->mapTo(w->window(), QPoint()), w->size()));
            QSet<QRgb> colours;
            for (int y = 0; y < shown.height(); y += 5)
                for (int x = 0; x < shown.width(); x += 5)
                    colours.insert(shown.pixel(x, y) & 0xF0F0F0);
            return colours.size() > 12;
        };
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        r.click("landscape.jpg");
        QTRY_VERIFY(colourfulOnScreen(f.photo));
        r.click(file);
        const bool large = file.startsWith("clip") || file.endsWith(".mp3");
        MediaPlayer *player = large ? f.MediaPlayer2 : f.MP;
        QVERIFY(player->isVisible() && !(large ? f.MP : f.MediaPlayer2)->isVisible());
        QCOMPARE(player->fileName(), r.path(file));
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition() > 0.2, 15000);
        if (file.startsWith("clip"))
            QTRY_VERIFY_WITH_TIMEOUT(colourfulOnScreen(player->videoWidget()), 15000);
        r.click("landscape.jpg");
        QVERIFY(!f.MediaPlayer2->isVisible());
        QTRY_VERIFY(colourfulOnScreen(f.photo));
    }

    void writesUprightJpeg_data() {
        QTest::addColumn<WriteCase>("c");
        for (const char *bits : {"8", "24", "32"})
            QTest::addRow("bmp%s", bits)
                << WriteCase{"Convert", bits, 1, 85, 5, "pic.JPG", {64, 48}, "RGBW"};
        QTest::newRow("quality held to 100")
            << WriteCase{"Convert", "24", 1, 150, 1, "pic.JPG", {64, 48}, "RGBW"};
        QTest::newRow("tagged Thumb, not 180")
            << WriteCase{"Thumb", "tagged", 3, 100, 1, "pic_s.JPG", {59, 79}, "BRWG"};
        QTest::newRow("tagged Convert")
            << WriteCase{"Convert", "tagged", 1, 100, 1, "pic.JPG", {120, 160}, "BRWG"};
        QTest::newRow("tagged Rotate 90 Left")
            << WriteCase{"ModifyCopy", "tagged", 1, 100, 1, "pic.JPG", {160, 120}, "RGBW"};
    }
    // Upright as seen, at the quality set, no EXIF; source and program directory untouched.
    void writesUprightJpeg() {
        QFETCH(WriteCase, c);
        Running r;
        const QString name = c.source == "tagged" ? "pic.jpg" : "pic.bmp";
        writeAll(r.path(name), c.source == "tagged"
                                   ? WithExifOrientation(MakeQuadrantJpeg(160, 120), 6, true)
                                   : MakeBmp(Quadrants(64, 48), c.source.toInt()));
        writeAll(r.appDir.filePath("tmp.BMP"), "mine");
        const QStringList programFiles = Entries(r.appDir.path());
        r.state().JpegQuality = c.quality;
        r.modify(c.step, name, c.option);
        const QByteArray jpeg = readAll(r.to.filePath(c.output));
        QCOMPARE(QImage(r.to.filePath(c.output)).size(), c.size);
        QCOMPARE(CornerColours(QImage(r.to.filePath(c.output))), c.corners);
        QCOMPARE(int(std::uint8_t(jpeg.at(FindSegment(jpeg, 0xdb) + 5))), c.lumaDc);
        QCOMPARE(FindSegment(jpeg, 0xe1), -1); // no EXIF
        QVERIFY(r.boxes.shown.isEmpty() && QFile::exists(r.path(name)));
        QCOMPARE(Entries(r.appDir.path()), programFiles);
        QCOMPARE(readAll(r.appDir.filePath("tmp.BMP")), QByteArray("mine"));
        QCOMPARE(Entries(r.to.path()), QStringList(c.output));
    }

    void failedMovesKeepTheSource_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("size");  // the size field, resizing when set
        QTest::addColumn<QString>("where"); // a directory, or a shell command mounting "$1"
        QTest::addColumn<QString>("report");
        const QByteArray jpeg = MakeQuadrantJpeg(320, 240);
        const QString no, none = "boxes=0 kept=1 left=", box = "boxes=1 kept=1 left=";
        QTest::newRow("damaged") << jpeg.left(jpeg.size() / 2) << no << no << none;
        QTest::newRow("size -10") << Bmp() << QString("-10") << no << none;
        QTest::newRow("size 99999") << Bmp() << QString("99999") << no << box;
        QTest::newRow("vanished") << Bmp() << no << QString("gone") << box;
        const QString full = "mount -t tmpfs -o size=256k t \"$1\" && cat /dev/zero >\"$1/f\"; ";
        const QString ro = "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" && ";
        QTest::newRow("full") << Bmp() << no << full << box + "f";
        QTest::newRow("read-only") << Bmp() << no << ro << box;
    }
    // A move that cannot be done writes nothing and keeps its source byte for byte.
    void failedMovesKeepTheSource() {
        QFETCH(QByteArray, content);
        QFETCH(QString, size);
        QFETCH(QString, where);
        QFETCH(QString, report);
        const QString got = TryMove(content, size, where);
        if (got.isEmpty())
            QSKIP("no mount namespace here");
        QCOMPARE(got, report);
    }

    void clashAnswers_data() {
        QTest::addColumn<int>("answer");
        for (int answer = 0; answer <= 6; ++answer)
            QTest::addRow("%d", answer) << answer;
    }
    // Only 0 and 1 replace, 2 and 3 take the new name; otherwise nothing changes.
    void clashAnswers() {
        QFETCH(int, answer);
        Running r;
        writeAll(r.path("pic.bmp"), Bmp());
        writeAll(r.to.filePath("pic.JPG"), "old");
        int checks = 0;
        const bool replaced = answer <= 1, renamed = answer == 2 || answer == 3;
        r.modify("ModifyMove", "pic.bmp", 2, {}, [&] {
            ++checks;
            r.state().ExistsChoice = answer;
            r.state().DstName += renamed ? "1" : "";
            return renamed;
        });
        const QString written = replaced ? "pic.JPG" : renamed ? "pic1.JPG" : "";
        QCOMPARE(r.state().ReselectName, written);
        QCOMPARE(QImage(r.to.filePath(written)).size(), QSize(48, 64) * !written.isEmpty());
        QCOMPARE(readAll(r.to.filePath("pic.JPG")) == "old", !replaced);
        QCOMPARE(Entries(r.to.path()).size(), renamed ? 2 : 1);
        QCOMPARE(readAll(r.path("pic.bmp")), written.isEmpty() ? Bmp() : QByteArray());
        QVERIFY(checks == 1 && r.boxes.shown.isEmpty());
    }

    // Without a check of its own a name taken in another letter case is skipped (5). A file
    // appearing between the check and the write survives: the check runs again. A move onto
    // itself through a linked directory, answered "overwrite", keeps the new JPEG.
    void lateClashAndLinks() {
        Running r;
        writeAll(r.path("pic.bmp"), Bmp());
        writeAll(r.to.filePath("PIC.jpg"), "other");
        r.modify("ModifyMove", "pic.bmp");
        QCOMPARE(r.state().ExistsChoice, 5);
        QVERIFY(QFile::remove(r.to.filePath("PIC.jpg")));
        int checks = 0;
        r.modify("ModifyMove", "pic.bmp", 1, {}, [&] {
            if (++checks == 1)
                QTimer::singleShot(0, [&] { writeAll(r.to.filePath("pic.JPG"), "late"); });
            r.state().ExistsChoice = QFile::exists(r.to.filePath("pic.JPG")) ? 5 : 6;
            return false;
        });
        QCOMPARE(checks, 2);
        QCOMPARE(readAll(r.to.filePath("pic.JPG")), QByteArray("late"));
        QCOMPARE(readAll(r.path("pic.bmp")), Bmp());
        QCOMPARE(Entries(r.to.path()), QStringList("pic.JPG"));
        QVERIFY(Quadrants(64, 48).save(r.path("pic.JPG"), "JPEG"));
        QVERIFY(QFile::link(r.media.path(), r.to.filePath("same")));
        r.modify("ModifyMove", "pic.JPG", 1, r.to.filePath("same"), [&] {
            r.state().ExistsChoice = 0;
            return false;
        });
        QCOMPARE(QImage(r.path("pic.JPG")).size(), QSize(48, 64));
        QCOMPARE(r.state().ReselectName, QString("pic.JPG"));
    }

    // Turning 800 x 600 left: the steps in order, undisturbed by list clicks and show ticks.
    void rotateLeftThroughTheWindow() {
        Running r({"other.jpg=grey.jpg"});
        writeAll(r.path("corners.bmp"), MakeBmp(Quadrants(800, 600), 24));
        QStringList steps;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            steps << r.form().panelText(4);
            r.click("other.jpg");
            r.form().Timer1->start(0); // a slide-show tick
        });
        watch.start(0);
        r.modify("ModifyMove", "corners.bmp", 1);
        watch.stop();
        steps = steps.filter("... ");
        steps.removeDuplicates();
        QCOMPARE(steps, (QStringList{"Check Name... ", "Start Rotate... ", "Rotateing... ",
                                     "Save Tmp.bmp... ", "Load Tmp.bmp... ", "Save File... "}));
        const QImage turned(r.to.filePath("corners.JPG"));
        QCOMPARE(turned.size(), QSize(600, 800));
        QCOMPARE(CornerColours(turned), QString("GWRB")); // counter-clockwise
        QVERIFY(!QFile::exists(r.path("corners.bmp")));
        QCOMPARE(r.state().ReselectName, QString("corners.JPG"));
    }

    void bars_data() {
        QTest::addColumn<BarCase>("c");
        QTest::newRow("defaults") << BarCase{{}, -1, 0, 1000, "1.0", 100};
        QTest::newRow("HS 0 at 0") << BarCase{{}, 0, 0, 1, "0.0", 100};
        QTest::newRow("Speed=12000") << BarCase{"Speed=12000\n", -1, 0, 10000, "10.0", 100};
        QTest::newRow("at the bar's start") << BarCase{"Speed=0\n", -1, 0, 1, "0.0", 100};
        QTest::newRow("HS 1 at -5") << BarCase{{}, 1, -5, 1000, "1.0", 0};
        QTest::newRow("PicQuality=150") << BarCase{"PicQuality=150\n", -1, 0, 1000, "1.0", 100};
    }
    void bars() {
        QFETCH(BarCase, c);
        Running r({}, c.ini);
        Form1 &f = r.form();
        if (c.bar == 0)
            f.HS[0]->setValue(c.value);
        else if (c.bar == 1)
            r.ctx().toggles->applyScroll(1, c.value); // the bar itself stops at its ends
        QVERIFY(r.state().SlideSpeed == c.speed && f.Timer1->interval() == c.speed);
        QCOMPARE(f.dispspeed->text(), c.seconds);
        QCOMPARE(r.state().JpegQuality, c.quality);
        QCOMPARE(f.QualityLabel->text(), QString::number(c.quality));
    }

    // The toolbar by real clicks, the focus going back to Text1; a typed size selects resizing,
    // what is no number changes nothing; a box set from code while the guard is up changes
    // nothing, caption included; tips as the table gives them, none with the box off; a bar at
    // its maximum steps to 1 and a long loop of steps lets queued events in. A vanished
    // destination stays as saved, its "&" no menu mnemonic.
    void toolbarBoxesTipsAndProgress() {
        Running r({"a.wav=half.wav"}, "Last SaveTo Path=/gone/Tom & Jerry/\n");
        Form1 &f = r.form();
        AppState &s = r.state();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QCOMPARE(f.moveit[0]->text(), QString("/gone/Tom && Jerry/"));
        QCOMPARE(f.panelText(3), QString("/gone/Tom & Jerry/  "));
        const auto click = [&](const char *key) {
            f.File1->setFocus();
            QTest::mouseClick(r.button(key), Qt::LeftButton);
        };
        const auto pressed = [&](const char *key) { return f.toolbarButton(key)->isChecked(); };
        const auto tip = [](QWidget *w) { // the one shown with the mouse resting on it
            QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(w, &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        click("play");
        QVERIFY(pressed("play") && f.MediaPlayer1->fileName() == r.path("a.wav"));
        QTRY_VERIFY(f.MediaPlayer1->isPlaying());
        click("play");
        QVERIFY(!pressed("play") && !f.MediaPlayer1->isPlaying());
        click("useprops");
        QCOMPARE(s.ModifyEnabled, std::int16_t(1));
        click("useprops");
        click("props");
        QVERIFY(f.SSFrame1->isVisible() && s.ModifyEnabled == 0);
        click("props"); // released with "useprops" off: it goes on
        QVERIFY(!f.SSFrame1->isVisible() && pressed("useprops") && s.ModifyEnabled == 1);
        QTRY_VERIFY(f.Text1->hasFocus());
        f.O[1]->setChecked(true);
        f.T[0]->setFocus();
        f.T[0]->selectAll();
        QTest::keyClicks(f.T[0], "800");
        QVERIFY(s.CustomSize == 800 && f.HS[2]->value() == 800 && f.O[0]->isChecked());
        QCOMPARE(f.panelText(4), QString("Qty=100-Func=Size=800  "));
        f.O[1]->setChecked(true);
        QCOMPARE(f.panelText(4), QString("Qty=100-Func=Rot Left  "));
        f.T[0]->selectAll();
        QTest::keyClicks(f.T[0], "abc");
        QVERIFY(s.CustomSize == 800 && f.O[1]->isChecked());
        f.SSFrame1->show();
        QTest::mouseClick(f.Ck[1], Qt::LeftButton);
        s.ControlGuard = true;
        f.Ck[1]->setChecked(false);
        r.ctx().toggles->Ck_Click(1);
        s.ControlGuard = false;
        QVERIFY(s.ShowSplashSetting == "True" && f.Ck[1]->text() == "Show Splash");
        f.Combo1->setCurrentIndex(1);
        r.ctx().toggles->settooltipson();
        QCOMPARE(tip(f.File1), QString("Right Click For PopUp Menu"));
        QCOMPARE(tip(r.button("play")), QString("Bk Gnd Music"));
        QCOMPARE(tip(f.Combo1), QString("jpg-jpeg-gif-bmp"));
        QTest::mouseClick(f.Ck[0], Qt::LeftButton);
        QVERIFY(s.ToolTipsSetting == "False" && f.Ck[0]->text() == "Tool Tips Off");
        QTRY_VERIFY(!QToolTip::isVisible());
        for (QWidget *w : f.findChildren<QWidget *>() + QWidgetList{&f})
            QVERIFY2(tip(w).isEmpty(), w->metaObject()->className());
        f.PB->setValue(f.PB->maximum());
        r.ctx().toggles->pbplus1("Step");
        QVERIFY(f.PB->value() == 1 && f.panelText(4) == "Step... ");
        bool fired = false;
        QTimer::singleShot(0, this, [&] { fired = true; });
        for (QDeadlineTimer end(300); !end.hasExpired();)
            r.ctx().toggles->pbplus1("Step");
        QVERIFY(fired);
        QSignalSpy about(r.ctx().toggles, &TogglesController::aboutRequested);
        click("about");
        QCOMPARE(about.size(), 1);
        click("exit");
        QVERIFY(r.app->hasShutDown() && !f.isVisible());
        QVERIFY(readAll(r.ini()).contains("Last SaveTo Path=/gone/Tom & Jerry/"));
    }

    void musicRunsThroughTheDirectory_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one file") << QStringList{"half.wav", "landscape.jpg"}
                                  << QStringList{"half.wav", "half.wav", "half.wav"};
        QTest::newRow("three kinds")
            << QStringList{"a.mp3=half.mp3", "b.mid=tune.mid", "c.wav=half.wav"}
            << QStringList{"a.mp3", "b.mid", "c.wav", "a.mp3"};
        QTest::newRow("garbage and vanished skipped")
            << QStringList{"a.mp3=garbage.mp3", "b.wav=half.wav", "d.mp3=garbage.avi",
                           "e.wav=half.wav"}
            << QStringList{"b.wav", "b.wav"};
    }
    void musicRunsThroughTheDirectory() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        Running r(files);
        Form1 &f = r.form();
        QFile::remove(r.path("e.wav")); // listed, then deleted
        r.ctx().playback->StartMusic();
        QVERIFY(f.toolbarButton("play")->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(r.started.size() >= expected.size(), 20000);
        QCOMPARE(r.started.mid(0, expected.size()), expected);
        r.ctx().playback->StopMusic();
        QVERIFY(!f.toolbarButton("play")->isChecked() && !f.MediaPlayer1->isPlaying());
        QVERIFY(!f.MediaPlayer1->fileName().isEmpty()); // paused, still loaded
    }

    // The last track steps to the first, letting the movie go and leaving "play" alone; a
    // directory of garbage stops after one round; a new directory starts at its first track.
    void musicSteps() {
        Running r({"a.wav=half.wav", "b.mp3=half.mp3", "clip.avi", "junk/a.mp3=garbage.mp3",
                   "junk/b.wav=garbage.avi"});
        Form1 &f = r.form();
        PlaybackController &playback = *r.ctx().playback;
        r.click("clip.avi");
        f.File2->setListIndex(1);
        playback.NextMusicTrack();
        QVERIFY(f.MediaPlayer2->fileName().isEmpty() && !f.toolbarButton("play")->isChecked());
        QCOMPARE(f.MediaPlayer1->fileName(), r.path("a.wav"));
        QSignalSpy failures(f.MediaPlayer1, &MediaPlayer::OpenFailed);
        r.ctx().browser->setDirectory(r.path("junk"));
        playback.NextMusicTrack();
        QTRY_COMPARE(failures.size(), 2);
        QTest::qWait(300);
        QVERIFY(failures.size() == 2 && !f.MediaPlayer1->isPlaying());
        r.reload();
        playback.NextMusicTrack();
        QTRY_COMPARE(r.started.value(0), QString("a.wav"));
        QTest::keyClick(f.Text1, Qt::Key_B); // B starts the music, N steps it
        QTest::keyClick(f.Text1, Qt::Key_N);
        QVERIFY(f.toolbarButton("play")->isChecked() &&
                f.MediaPlayer1->fileName() == r.path("b.mp3"));
    }

    // The toolbar and the M key are one switch, which a new movie obeys from its first sound;
    // the music dips under a sounding movie only; the sound and music players never mute. A
    // movie's end with the show off lets the file go and gives Text1 the focus, unless it is
    // in Text2; a sound ending after a movie took over leaves the movie playing.
    void muteDuckingAndEnds() {
        Running r({"clip.avi", "half.wav", "second.mpg"}, "Mute=1\n");
        Form1 &f = r.form();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        const auto agree = [&](bool muted) {
            QCOMPARE(r.state().MuteState, std::int16_t(muted));
            QCOMPARE(f.toolbarButton("mute")->isChecked(), muted);
            QCOMPARE(f.MediaPlayer2->decoderMuted(), muted);
        };
        int mutedAtStart = -1;
        connect(f.MediaPlayer2, &MediaPlayer::NewStream, &r.scope, [&] {
            mutedAtStart = mutedAtStart < 0 ? f.MediaPlayer2->decoderMuted() : mutedAtStart;
        });
        r.ctx().playback->StartMusic();
        r.click("clip.avi");
        QTRY_COMPARE(mutedAtStart, 1);
        agree(true);
        QCOMPARE(r.ctx().playback->musicVolume(), 100); // a muted movie leaves the music be
        QTest::mouseClick(r.button("mute"), Qt::LeftButton);
        agree(false);
        QTRY_COMPARE(f.MediaPlayer1->volume(), 25);
        QTest::keyClick(f.Text1, Qt::Key_M);
        agree(true);
        QTRY_COMPARE(f.MediaPlayer1->volume(), 100);
        r.click("half.wav");
        QVERIFY(!f.MP->decoderMuted() && !f.MediaPlayer1->decoderMuted());
        QTest::keyClick(f.Text1, Qt::Key_M);
        r.click("clip.avi");
        QTRY_COMPARE(f.MediaPlayer1->volume(), 25);
        QTRY_VERIFY_WITH_TIMEOUT(!f.MediaPlayer2->hasFile(), 10000);
        QVERIFY(f.MediaPlayer2->fileName().isEmpty());
        QTRY_COMPARE(f.MediaPlayer1->volume(), 100);
        QTRY_VERIFY(f.Text1->hasFocus());
        r.click("second.mpg");
        f.Text2->setFocus();
        QSignalSpy ends(f.MediaPlayer2, &MediaPlayer::EndOfStream);
        QTRY_VERIFY_WITH_TIMEOUT(ends.size() == 1, 10000);
        QVERIFY(f.Text2->hasFocus());
        QTest::keyClick(f.Text2, Qt::Key_Delete); // edits the text, deletes no file
        QVERIFY(QFile::exists(r.path("second.mpg")));
        r.click("half.wav");
        r.click("clip.avi");
        QSignalSpy soundEnds(f.MP, &MediaPlayer::EndOfStream);
        QTRY_VERIFY_WITH_TIMEOUT(soundEnds.size() == 1, 10000);
        QVERIFY(f.MediaPlayer2->hasFile() && f.MediaPlayer2->fileName() == r.path("clip.avi"));
    }

    void slideShow_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected"); // the start of what the show shows
        QTest::addColumn<int>("boxes");            // "Unrecognize Format"
        const QStringList ab{"a.gif=small.gif", "b.bmp=tiny.bmp"};
        QTest::newRow("pictures wrap") << ab << QStringList{"a.gif", "b.bmp", "a.gif"} << 0;
        QTest::newRow("during a batch") << ab << QStringList{"a.gif", "b.bmp"} << 0;
        QTest::newRow("movie holds the show")
            << QStringList{"a.gif=small.gif", "b.mpg=second.mpg", "c.bmp=tiny.bmp"}
            << QStringList{"a.gif", "b.mpg", "c.bmp", "a.gif"} << 0;
        QTest::newRow(".mov gives one box")
            << QStringList{"a.gif=small.gif", "b.mov=clip.mov", "c.bmp=tiny.bmp"}
            << QStringList{"a.gif", "b.mov", "c.bmp"} << 1;
        QTest::newRow("garbage movie, short sound")
            << QStringList{"a.gif=small.gif", "b.avi=garbage.avi", "c.wav=half.wav"}
            << QStringList{"a.gif", "b.avi", "c.wav", "a.gif", "b.avi"} << 0;
        QTest::newRow("unplayed movie") << QStringList{"a.avi=clip.avi", "b.gif=small.gif"}
                                        << QStringList{"a.avi", "b.gif"} << 0;
        QTest::newRow("nothing showable: off") << QStringList{"a.mov=clip.mov", "b.mov=clip.mov"}
                                               << QStringList{"a.mov", "b.mov"} << 2;
    }
    // The show at 150 ms from the first file, selected but not shown: through every kind,
    // waiting for a movie's end and for a batch, and off when nothing can be shown.
    void slideShow() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        QFETCH(int, boxes);
        Running r(files);
        Form1 &f = r.form();
        r.state().CurrentFile = r.path(f.File1->items().value(0));
        QStringList shown;
        int waitedForMovie = 0;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (shown.value(shown.size() - 1) != QFileInfo(r.state().CurrentFile).fileName())
                shown << QFileInfo(r.state().CurrentFile).fileName();
        });
        connect(f.MediaPlayer2, &MediaPlayer::NewStream, &watch, [&] {
            QTimer::singleShot(300, &watch, [&] {
                waitedForMovie += f.MediaPlayer2->isPlaying() && !f.Timer1->isActive();
            });
        });
        watch.start(2);
        const bool batch = QByteArray(QTest::currentDataTag()) == "during a batch";
        r.state().BatchBusy = -std::int16_t(batch);
        f.HS[0]->setValue(150);
        r.ctx().slideShow->setOn(true);
        if (batch) {
            QTest::qWait(600);
            QVERIFY(shown == QStringList("a.gif") && f.File1->selectedRows() == QList<int>{0});
            r.state().BatchBusy = 0;
        }
        QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= expected.size(), 20000);
        QCOMPARE(shown.mid(0, expected.size()), expected);
        const bool on = boxes < 2;
        QTRY_COMPARE(r.state().SlideShowOn, std::int16_t(on));
        QVERIFY(f.toolbarButton("slideshow")->isChecked() == on && f.Timer1->isActive() == on);
        QCOMPARE(r.boxes.texts().mid(0, boxes), QStringList(boxes, "Unrecognize Format"));
        QVERIFY(waitedForMovie > 0 || !files.join(' ').contains(".mpg"));
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--child-move") == 0)
        return std::printf("%s\n", qPrintable(TryMove(Bmp(), {}, argv[2]))) < 0;
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
