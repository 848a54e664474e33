// The installed program: cmake --install into a temporary prefix places the program, its
// help, desktop entry and icons; the desktop entry validates; the help is found from the
// installed bin/; and the program started by the entry's Exec line is driven through the
// entry paths of descriptions, the properties panel, the about window and help.

#include "browser/pane_widgets.h"
#include "support/app_sandbox.h"
#include "support/test_files.h"
#include "windows/help_window.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

#include <csignal>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);
const QByteArray M("\xDB");

bool run(const QString &program, const QStringList &args, QByteArray *out = nullptr,
         bool quiet = false) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(180000))
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    if (p.exitCode() != 0 && !quiet)
        qWarning() << program << args << p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool xdo(const QStringList &args, QByteArray *out = nullptr) {
    return run("xdotool", args, out);
}

void clickAt(QPoint p, bool twice = false) {
    QVERIFY(xdo({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y())}));
    QVERIFY(xdo({"click", "--repeat", twice ? "2" : "1", "1"}));
    QTest::qWait(300);
}

// A visible window whose title matches the pattern, or 0.
qlonglong findWindow(const QString &titlePattern, int waitMs = 10000) {
    QByteArray out;
    QElapsedTimer t;
    t.start();
    do {
        if (run("xdotool", {"search", "--onlyvisible", "--name", titlePattern}, &out, true) &&
            !out.isEmpty())
            return out.split('\n').first().toLongLong();
        QTest::qWait(200);
    } while (t.elapsed() < waitMs);
    return 0;
}

QPoint windowPosition(qlonglong id) {
    QByteArray out;
    xdo({"getwindowgeometry", QString::number(id)}, &out);
    const auto m = QRegularExpression("Position: (\\d+),(\\d+)").match(QString::fromUtf8(out));
    return m.hasMatch() ? QPoint(m.captured(1).toInt(), m.captured(2).toInt()) : QPoint();
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
    QTemporaryDir m_prefix;

  private slots:
    void initTestCase() {
        QVERIFY(run("cmake", {"--install", GLIMMERBY_BINARY_DIR, "--prefix", m_prefix.path()}));
    }

    void filesArePlaced() {
        for (const char *file : {"bin/glimmerby", "share/glimmerby/GLIMMERBY.HLP",
                                 "share/applications/glimmerby.desktop",
                                 "share/icons/hicolor/scalable/apps/glimmerby.svg",
                                 "share/icons/hicolor/48x48/apps/glimmerby.png",
                                 "share/icons/hicolor/256x256/apps/glimmerby.png"})
            QVERIFY2(QFileInfo(m_prefix.filePath(file)).isFile(), file);
        QCOMPARE(QImage(m_prefix.filePath("share/icons/hicolor/48x48/apps/glimmerby.png")).size(),
                 QSize(48, 48));
        const QString entry = m_prefix.filePath("share/applications/glimmerby.desktop");
        QVERIFY(run("desktop-file-validate", {entry}));
        const QByteArray text = readAll(entry);
        QVERIFY(text.contains("\nExec=glimmerby %f\n"));
        QVERIFY(text.contains("image/jpeg;") && text.contains("video/mpeg;") &&
                text.contains("audio/midi;"));
    }

    void installedProgramFindsItsHelp() {
        QCOMPARE(findHelpFile(m_prefix.filePath("bin") + "/"),
                 QDir::cleanPath(m_prefix.filePath("share/glimmerby/GLIMMERBY.HLP")));
        QCOMPARE(findHelpFile(m_prefix.path() + "/"), QString());
    }

    // The real program from the desktop entry's Exec line, driven by the mouse and keys.
    void execLineAndEntryPaths() {
        QTemporaryDir media;
        for (const char *name : {"a.bmp", "b.bmp"})
            QVERIFY(QFile::copy(Samples + "/tiny.bmp", media.filePath(name)));
        const QByteArray settings = "[UserProfile]\nForm Height=9000\nForm Width=12000\n"
                                    "Form Top=0\nForm Left=0\nLast Dir Path=" +
                                    media.path().toUtf8() + "\n";

        // Where the controls are: the same window, in this process, with the same settings.
        QPoint row[2], text2, about;
        {
            AppSandbox geometry;
            writeAll(geometry.ini(), settings + "ShowSplash=False\n");
            QVERIFY(geometry.start());
            Form1 &f = geometry.form();
            QTest::qWait(100);
            for (int i = 0; i < 2; ++i)
                row[i] = f.File1->viewport()->mapTo(
                    &f, f.File1->visualRect(f.File1->model()->index(i, 0)).center());
            text2 = f.Text2->geometry().center();
            QWidget *button = f.Toolbar1->widgetForAction(f.toolbarButton("about"));
            about = button->mapTo(&f, QPoint(button->width() / 4, button->height() / 2));
            QCOMPARE(f.File1->items(), QStringList({"a.bmp", "b.bmp"}));
            f.close();
        }

        const QString bin = m_prefix.filePath("bin");
        writeAll(bin + "/Glimmerby.ini", settings); // splash on, as by default
        const QByteArray entry = readAll(m_prefix.filePath("share/applications/glimmerby.desktop"));
        const QString exec =
            QRegularExpression("\nExec=([^\n]*)\n").match(QString::fromUtf8(entry)).captured(1);
        QStringList args = exec.split(' ');
        QCOMPARE(args.takeFirst(), QString("glimmerby"));
        args.replaceInStrings("%f", media.filePath("a.bmp"));
        QProcess p;
        p.start(bin + "/glimmerby", args);
        QVERIFY(p.waitForStarted(10000));
        const qlonglong main = findWindow("^Glimmerby 1\\.0\\.0 - ");
        QVERIFY(main != 0);
        QCOMPARE(windowPosition(main), QPoint(0, 0));
        QVERIFY(xdo({"windowfocus", "--sync", QString::number(main)}));

        // A click shows the description, typing stores it, Enter steps on.
        clickAt(row[0]);
        clickAt(text2);
        QVERIFY(xdo({"type", "--delay", "20", "Sea"}));
        QVERIFY(xdo({"key", "Return"}));
        const QString pictext = media.filePath("PicText.ini");
        QTRY_VERIFY(readAll(pictext).contains("\na=" + M + "Sea" + M));
        // F12 opens the panel for b.bmp; Enter walks the fields and the last one closes it.
        QVERIFY(xdo({"key", "F12"}));
        QTest::qWait(300);
        QVERIFY(xdo({"type", "--delay", "20", "Sunset & Sea"}));
        for (int i = 0; i < 5; ++i)
            QVERIFY(xdo({"key", "Return"}));
        QTRY_VERIFY(readAll(pictext).contains("\nb=" + M +
                                              "&Title=Sunset%20%26%20Sea&Copyright=&"
                                              "Camera=&Engineering=&Comments=Sea" +
                                              M));

        // The toolbar's about button opens the about window; its Help opens the help
        // window; its Close brings the main window back.
        clickAt(about);
        const qlonglong aboutWindow = findWindow("^Glimmerby$");
        QVERIFY(aboutWindow != 0);
        const QPoint origin = windowPosition(aboutWindow);
        clickAt(origin + QPoint(370, 303)); // "Help"
        QVERIFY(findWindow("^Glimmerby Help$") != 0);
        clickAt(origin + QPoint(286, 303)); // "Close"
        QTRY_VERIFY(findWindow("^Glimmerby$", 0) == 0);

        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(15000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY(readAll(bin + "/Glimmerby.ini").contains("SplashTime=1"));
        QCOMPARE(findWindow("^Glimmerby Help$", 0), 0);
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
