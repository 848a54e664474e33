// The real program as a process: the system closing it saves the settings, and a second
// copy started while it runs ends without touching them.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestProgramProcess : public QObject {
    Q_OBJECT

    // A private copy of the program, so that its directory (and so its settings and its
    // single-instance lock) belong to this test alone.
    QString installCopy(const QTemporaryDir &dir) {
        const QString target = dir.filePath("glimmerby");
        if (!QFile::copy(GLIMMERBY_EXECUTABLE, target))
            return {};
        QFile::setPermissions(target, QFile::permissions(target) | QFile::ExeOwner);
        return target;
    }

    static void waitStarted(QProcess &p, const QString &ini) {
        QVERIFY(p.waitForStarted(10000));
        QTest::qWait(2500); // the window is up and idle
        QVERIFY(p.state() == QProcess::Running);
        QVERIFY(!QFile::exists(ini));
    }

  private slots:
    void sigtermSavesSettings() {
        QTemporaryDir dir;
        const QString exe = installCopy(dir);
        QVERIFY(!exe.isEmpty());
        const QString ini = dir.filePath("Glimmerby.ini");
        QProcess p;
        p.start(exe, {});
        waitStarted(p, ini);
        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(15000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.startsWith("[UserProfile]"));
        QVERIFY(text.contains("SplashTime=1"));
        QVERIFY(text.contains("CustomSize=640"));
    }

    void secondProcessEndsWithoutTouchingSettings() {
        QTemporaryDir dir;
        const QString exe = installCopy(dir);
        const QString ini = dir.filePath("Glimmerby.ini");
        QFile seed(ini);
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("[UserProfile]\nShowSplash=False\nSpeed=1500\n");
        seed.close();
        QProcess first;
        first.start(exe, {});
        QVERIFY(first.waitForStarted(10000));
        QTest::qWait(2500);
        const QByteArray before = [&] {
            QFile f(ini);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        // The second copy shows its message box and waits there; it has no window of its
        // own and writes nothing. Closing it ends it.
        QProcess second;
        second.start(exe, {});
        QVERIFY(second.waitForStarted(10000));
        QTest::qWait(1500);
        QCOMPARE(second.state(), QProcess::Running);
        ::kill(second.processId(), SIGTERM);
        QVERIFY(second.waitForFinished(10000));
        QFile after(ini);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
        ::kill(first.processId(), SIGTERM);
        QVERIFY(first.waitForFinished(15000));
        QFile saved(ini);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY(text.contains("SplashTime=100"));
        QVERIFY(text.contains("Speed=1500"));
    }

    // Delete pressed in the program's window deletes the selected file, as a user's key
    // reaches it through the display server.
    void deleteKeyFromTheDisplay() {
        const QString xdotool = QStandardPaths::findExecutable("xdotool");
        if (xdotool.isEmpty())
            QSKIP("xdotool is not installed (scripts/setup.sh installs it)");
        QTemporaryDir dir;
        const QString exe = installCopy(dir);
        QVERIFY(QDir(dir.path()).mkdir("media"));
        const QString first = dir.filePath("media/a.jpg"), second = dir.filePath("media/b.jpg");
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(first, "JPEG") && picture.save(second, "JPEG"));
        QProcess p;
        p.start(exe, {first});
        waitStarted(p, dir.filePath("Glimmerby.ini"));
        auto run = [&](const QStringList &args) {
            QProcess tool;
            tool.start(xdotool, args);
            tool.waitForFinished(10000);
            return QString::fromLatin1(tool.readAllStandardOutput()).trimmed();
        };
        const QString window =
            run({"search", "--onlyvisible", "--pid", QString::number(p.processId())})
                .split('\n')
                .value(0);
        QVERIFY(!window.isEmpty());
        run({"windowfocus", "--sync", window});
        run({"key", "Delete"});
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(first), 10000);
        QVERIFY(QFile::exists(second));
        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(15000));
    }
};

QTEST_GUILESS_MAIN(TestProgramProcess)
#include "test_program_process.moc"
