// The toolbar by real clicks, the check boxes, the three scroll bars with the size field,
// the tool tips and the progress procedures, in the real window.

#include "app/app_state.h"
#include "app/application.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "shell/toggles_controller.h"
#include "support/app_sandbox.h"
#include "support/test_files.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);

struct Running : AppSandbox {
    explicit Running(const QByteArray &ini = {}) {
        if (!ini.isEmpty())
            writeAll(this->ini(), "[UserProfile]\n" + ini);
        start();
        form().resize(800, 600);
    }
    TogglesController &toggles() { return *ctx().toggles; }
    QWidget *button(const char *key) {
        return form().Toolbar1->widgetForAction(form().toolbarButton(key));
    }
    // The tool tip a control shows when the mouse rests on it, "" for none.
    QString tipShownBy(QWidget *w) {
        const QPoint at(2, 2);
        QHelpEvent help(QEvent::ToolTip, at, w->mapToGlobal(at));
        QApplication::sendEvent(w, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
};

} // namespace

class TestToolbar : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void bars_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("bar"); // -1: only the settings
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("qualityText");
        QTest::newRow("defaults") << QByteArray() << -1 << 0 << 1000 << "1.0" << 100 << "100";
        QTest::newRow("HS 0 at 0") << QByteArray() << 0 << 0 << 1 << "0.0" << 100 << "100";
        QTest::newRow("HS 0 at 1500") << QByteArray() << 0 << 1500 << 1500 << "1.5" << 100 << "100";
        QTest::newRow("Speed=12000")
            << QByteArray("Speed=12000\n") << -1 << 0 << 10000 << "10.0" << 100 << "100";
        QTest::newRow("speed at the bar's start")
            << QByteArray("Speed=0\n") << -1 << 0 << 1 << "0.0" << 100 << "100";
        QTest::newRow("HS 1 at -5") << QByteArray() << 1 << -5 << 1000 << "1.0" << 0 << "0";
        QTest::newRow("PicQuality=150")
            << QByteArray("PicQuality=150\n") << -1 << 0 << 1000 << "1.0" << 100 << "100";
        QTest::newRow("PicQuality=-3 Speed=250")
            << QByteArray("PicQuality=-3\nSpeed=250\n") << -1 << 0 << 250 << "0.3" << 0 << "0";
    }
    void bars() {
        QFETCH(QByteArray, ini);
        QFETCH(int, bar);
        QFETCH(int, value);
        QFETCH(int, speed);
        QFETCH(QString, seconds);
        QFETCH(int, quality);
        QFETCH(QString, qualityText);
        Running r(ini);
        Form1 &f = r.form();
        if (bar == 0)
            f.HS[0]->setValue(value);
        else if (bar == 1)
            r.toggles().applyScroll(1, value); // the bar itself stops at its ends
        QCOMPARE(int(r.state().SlideSpeed), speed);
        QCOMPARE(f.Timer1->interval(), speed);
        QCOMPARE(f.dispspeed->text(), seconds);
        QCOMPARE(f.dispspeed->accessibleName(), seconds);
        QCOMPARE(r.state().JpegQuality, quality);
        QCOMPARE(f.QualityLabel->text(), qualityText);
    }

    void sizeField() {
        Running r;
        Form1 &f = r.form();
        f.O[1]->setChecked(true);
        f.T[0]->setFocus();
        f.T[0]->selectAll();
        QTest::keyClicks(f.T[0], "800");
        QCOMPARE(r.state().CustomSize, 800);
        QCOMPARE(f.HS[2]->value(), 800);
        QVERIFY(f.O[0]->isChecked());
        f.O[1]->setChecked(true);
        f.T[0]->selectAll();
        QTest::keyClicks(f.T[0], "abc");
        QCOMPARE(r.state().CustomSize, 800);
        QCOMPARE(f.HS[2]->value(), 800);
        QVERIFY(f.O[1]->isChecked());
    }

    void toolbarByRealClicks() {
        Running r;
        QTemporaryDir media;
        QVERIFY(QFile::copy(Samples + "/half.wav", media.filePath("a.wav")));
        QVERIFY(QFile::copy(Samples + "/small.gif", media.filePath("b.gif")));
        r.ctx().browser->setDirectory(media.path());
        Form1 &f = r.form();
        AppState &s = r.state();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        auto click = [&](const char *key) {
            f.File1->setFocus();
            QTest::mouseClick(r.button(key), Qt::LeftButton);
        };
        auto pressed = [&](const char *key) { return f.toolbarButton(key)->isChecked(); };

        click("mute");
        QCOMPARE(s.MuteState, std::int16_t(1));
        QVERIFY(f.MediaPlayer2->decoderMuted());
        QTRY_VERIFY(f.Text1->hasFocus());
        click("mute");
        QCOMPARE(s.MuteState, std::int16_t(0));
        QVERIFY(!f.MediaPlayer2->decoderMuted());

        click("play");
        QVERIFY(pressed("play"));
        QCOMPARE(f.MediaPlayer1->fileName(), media.filePath("a.wav"));
        QTRY_VERIFY(f.MediaPlayer1->isPlaying());
        click("play");
        QVERIFY(!pressed("play"));
        QVERIFY(!f.MediaPlayer1->isPlaying());
        QTRY_VERIFY(f.Text1->hasFocus());

        s.CurrentFile = media.filePath("b.gif");
        click("slideshow");
        QCOMPARE(s.SlideShowOn, std::int16_t(1));
        QVERIFY(f.Timer1->isActive());
        click("slideshow");
        QCOMPARE(s.SlideShowOn, std::int16_t(0));
        QVERIFY(!f.Timer1->isActive());

        click("useprops");
        QCOMPARE(s.ModifyEnabled, std::int16_t(1));
        click("useprops");
        QCOMPARE(s.ModifyEnabled, std::int16_t(0));
        QVERIFY(!pressed("useprops"));
        click("props");
        QVERIFY(f.SSFrame1->isVisible());
        click("props"); // released with "useprops" off
        QVERIFY(!f.SSFrame1->isVisible());
        QVERIFY(pressed("useprops"));
        QCOMPARE(s.ModifyEnabled, std::int16_t(1));
        QTRY_VERIFY(f.Text1->hasFocus());

        QSignalSpy about(&r.toggles(), &TogglesController::aboutRequested);
        QSignalSpy help(&r.toggles(), &TogglesController::helpRequested);
        click("about");
        QCOMPARE(about.size(), 1);
        f.helpEntry->trigger();
        QCOMPARE(help.size(), 1);

        click("exit");
        QVERIFY(r.app->hasShutDown());
        QVERIFY(!f.isVisible());
        QVERIFY(QFile::exists(r.ini()));
    }

    void checkBoxes() {
        Running r; // started without the splash
        Form1 &f = r.form();
        f.SSFrame1->show();
        QCOMPARE(r.state().ShowSplashSetting, QString("False"));
        QTest::mouseClick(f.Ck[1], Qt::LeftButton);
        QCOMPARE(r.state().ShowSplashSetting, QString("True"));
        QCOMPARE(f.Ck[1]->text(), QString("Show Splash"));
        // A box set from code while the guard is up changes nothing, caption included.
        r.state().ControlGuard = true;
        f.Ck[1]->setChecked(false);
        r.toggles().Ck_Click(1);
        r.state().ControlGuard = false;
        QCOMPARE(r.state().ShowSplashSetting, QString("True"));
        QCOMPARE(f.Ck[1]->text(), QString("Show Splash"));
    }

    void toolTips() {
        Running r;
        Form1 &f = r.form();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.SSFrame1->show();
        r.state().CurrentFile = "/some/where/a.jpg";
        r.toggles().settooltipson();
        const QList<QPair<QWidget *, const char *>> table{
            {f.File1, "Right Click For PopUp Menu"},
            {f.QualityLabel, "JPG Save Quality in %"},
            {f.PB, "Modify File Progress"},
            {f.PB1, "Checking for Selected Files"},
            {f.dispspeed, "SS Speed in Sec"},
            {f.SBPanels[0], "File Size in Kbytes"},
            {f.SBPanels[1], "File Dim ( W x H )"},
            {f.SBPanels[2], "Move/Copy Path"},
            {f.SBPanels[3], "Modify Status"},
            {r.button("mute"), "Mute"},
            {r.button("play"), "Bk Gnd Music"},
            {r.button("slideshow"), "Slide Show"},
            {r.button("useprops"), "Use Save As Properties"},
            {r.button("props"), "Set Save As Properties"},
            {r.button("about"), "About / Help"},
            {r.button("exit"), "End Program"},
            {f.Combo1, "avi-mpg-mpe-mpeg-asf-mov-wmv-wma-jpg-jpeg-gif-bmp-mp3-wav-mid-rmi"},
        };
        for (const auto &[widget, tip] : table)
            QCOMPARE(r.tipShownBy(widget), QString(tip));
        QCOMPARE(f.photo->toolTip(), QString("/some/where/a.jpg"));
        f.Combo1->setCurrentIndex(1);
        r.toggles().settooltipson();
        QCOMPARE(r.tipShownBy(f.Combo1), QString("jpg-jpeg-gif-bmp"));

        QTest::mouseClick(f.Ck[0], Qt::LeftButton); // off
        QCOMPARE(r.state().ToolTipsSetting, QString("False"));
        QCOMPARE(f.Ck[0]->text(), QString("Tool Tips Off"));
        QTRY_VERIFY(!QToolTip::isVisible());
        for (QWidget *w : f.findChildren<QWidget *>())
            QVERIFY2(r.tipShownBy(w).isEmpty(), qPrintable(w->metaObject()->className()));
        QVERIFY(r.tipShownBy(&f).isEmpty());
    }

    void progress() {
        Running r;
        Form1 &f = r.form();
        f.PB->setValue(f.PB->maximum());
        r.toggles().pbplus1("Step");
        QCOMPARE(f.PB->value(), 1);
        QCOMPARE(f.panelText(4), QString("Step... "));
        f.PB1->setValue(f.PB1->maximum());
        r.toggles().pb1plus1();
        QCOMPARE(f.PB1->value(), 1);
        // Exact on every call, and events still come in during a long loop.
        bool fired = false;
        QTimer::singleShot(0, this, [&] { fired = true; });
        QElapsedTimer loop;
        loop.start();
        int calls = 0;
        while (loop.elapsed() < 300) {
            r.toggles().pbplus1("Step");
            ++calls;
            QCOMPARE(f.PB->value(), 1 + calls % f.PB->maximum());
        }
        QVERIFY(fired);
    }
};

QTEST_MAIN(TestToolbar)
#include "test_toolbar.moc"
