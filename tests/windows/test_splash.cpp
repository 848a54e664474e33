// The splash window covering start-up, the about window, and the help window.

#include "app/app_context.h"
#include "app/ini_file.h"
#include "shell/toggles_controller.h"
#include "support/app_sandbox.h"
#include "windows/help_window.h"
#include "windows/splash.h"

#include <QApplication>
#include <QProcess>
#include <QTextBrowser>
#include <QtTest>

using namespace glimmerby;

namespace {

int topLevelsTitled(const QString &title) {
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += (w->isVisible() && w->windowTitle() == title) ? 1 : 0;
    return n;
}

bool splashExists() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "Splash" && w->isVisible())
            return true;
    return false;
}

} // namespace

class TestSplash : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void splashCoversStartUp() {
        AppSandbox r;
        r.splash = true;
        r.waitForMain = false;
        QVERIFY(r.start());
        Splash *sp = r.app->splash();
        QVERIFY(sp && sp->isVisible());
        QVERIFY(!r.app->form());
        QCOMPARE(sp->SPB->maximum(), 61);
        QCOMPARE(sp->SPB->value(), 1);
        QVERIFY(sp->SPB->isVisible());
        QVERIFY(!sp->Command1->isVisible());
        QList<int> values;
        connect(sp->SPB, &QProgressBar::valueChanged, [&](int v) { values.append(v); });
        int loads = 0;
        connect(r.app.get(), &Application::mainWindowCreated, [&] { ++loads; });
        QTRY_VERIFY(r.app->form() && r.form().isVisible());
        QTRY_VERIFY(!splashExists());
        QVERIFY(!r.app->splash());
        QCOMPARE(loads, 1);
        QVERIFY(values.contains(16) && values.contains(58)); // 15 and 42 load steps
        QCOMPARE(r.state().BatchBusy, std::int16_t(0));
        QCOMPARE(r.state().SplashTime, 1);
        r.form().close();
        QCOMPARE(IniDocument::load(r.ini()).profileString("UserProfile", "SplashTime", ""),
                 QByteArray("1"));
    }

    void closingTheSplashFinishesStartUp() {
        AppSandbox r;
        r.splash = true;
        r.waitForMain = false;
        QVERIFY(r.start());
        int loads = 0;
        connect(r.app.get(), &Application::mainWindowCreated, [&] { ++loads; });
        r.app->splash()->close();
        QVERIFY(r.app->form() && r.form().isVisible());
        QTest::qWait(100);
        QCOMPARE(loads, 1);
        QVERIFY(!splashExists());
    }

    void noSplashUnlessTrue() {
        AppSandbox r; // seeded ShowSplash=False
        QVERIFY(r.start());
        QVERIFY(!r.app->splash());
        QVERIFY(!splashExists());
        QVERIFY(r.form().isVisible());
        QCOMPARE(r.state().SplashTime, 100);
    }

    void aboutWindow() {
        AppSandbox r;
        QVERIFY(r.start());
        r.form().showNormal();
        QTest::qWait(20);
        for (bool byFrame : {false, true}) {
            r.form().aboutEntry->trigger();
            Splash *about = r.app->aboutWindow();
            QVERIFY(about && about->isVisible());
            QVERIFY(r.form().windowState() & Qt::WindowMinimized);
            QVERIFY(about->Command1->isVisible() && about->Command2->isVisible());
            QVERIFY(!about->SPB->isVisible());
            QCOMPARE(about->focusWidget(), about->Command2);
            QVERIFY(!about->Timer1->isActive() && !about->Timer2->isActive());
            // The same lines as the splash window.
            const QString exe = QCoreApplication::applicationFilePath();
            QCOMPARE(about->Label1->text(), QFileInfo(exe).fileName().toUpper() + "  1.0.0");
            QCOMPARE(about->Text1->toPlainText(), splashNotes().replace("\r\n", "\n"));
            const auto lines = versionLines(exe);
            for (int i = 0; i < 6; ++i)
                QCOMPARE(about->L[i]->text(), lines[i]);
            QVERIFY(lines[4].startsWith("Compiled: "));
            QCOMPARE(lines[5], QString("Product Name: Glimmerby"));
            QCOMPARE(lines[0], QString("Company Name: "));
            // One at a time.
            r.app->ShowAboutWindow();
            QCOMPARE(r.app->aboutWindow(), about);
            if (byFrame)
                about->close();
            else
                about->Command1->click();
            QTRY_VERIFY(!r.app->aboutWindow());
            QVERIFY(!(r.form().windowState() & Qt::WindowMinimized));
        }
    }

    void compiledLineFollowsTheExecutable() {
        QTemporaryDir dir;
        const QString copy = dir.filePath("glimmerby");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QCOMPARE(QProcess::execute("touch", {"-d", "2001-02-03 16:05", copy}), 0);
        QCOMPARE(versionLines(copy)[4], QString("Compiled: February 03, 2001 at 16:05"));
        QCOMPARE(splashTitleLine(copy), QString("GLIMMERBY  1.0.0"));
    }

    void oneHelpWindowClosedAtShutdown() {
        AppSandbox r;
        QVERIFY(r.start());
        r.ctx().ShowHelp(); // no help file in the program directory: nothing
        QCOMPARE(topLevelsTitled("Glimmerby Help"), 0);

        AppSandbox h;
        QVERIFY(
            QFile::copy(GLIMMERBY_BINARY_DIR "/GLIMMERBY.HLP", h.appDir.filePath("GLIMMERBY.HLP")));
        QVERIFY(h.start());
        h.form().helpEntry->trigger();
        h.ctx().ShowHelp();
        QCOMPARE(topLevelsTitled("Glimmerby Help"), 1);
        QVERIFY(h.app->help()->window()->toPlainText().contains("Readme"));
        h.form().close();
        QCOMPARE(topLevelsTitled("Glimmerby Help"), 0);
    }
};

QTEST_MAIN(TestSplash)
#include "test_splash.moc"
