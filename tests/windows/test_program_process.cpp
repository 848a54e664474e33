// The real program as a process: the system closing it saves the settings, and a second
// copy started while it runs ends without touching them.

#include <QDir>
#include <QFile>
#include <QProcess>
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

    void loadedSpeedAndQualityAreHeldToTheirRanges() {
        QTemporaryDir dir;
        const QString exe = installCopy(dir);
        const QString ini = dir.filePath("Glimmerby.ini");
        QFile seed(ini);
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("[UserProfile]\nSpeed=12000\nPicQuality=150\nMute=1\n");
        seed.close();
        QProcess p;
        p.start(exe, {});
        QVERIFY(p.waitForStarted(10000));
        QTest::qWait(2500);
        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(15000));
        QFile saved(ini);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY(text.contains("Speed=10000"));
        QVERIFY(text.contains("PicQuality=100"));
        QVERIFY(text.contains("Mute=1"));
    }
};

QTEST_GUILESS_MAIN(TestProgramProcess)
#include "test_program_process.moc"
