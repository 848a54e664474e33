// What start-up and close rely on: where the settings live, the scratch files removed at
// close, and the lock that keeps a second copy from running.
#include "app/data_dir.h"
#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace glimmerby;

namespace {

void touch(const QString &path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// A second process that takes the lock and holds it until its input closes.
class LockHolder {
  public:
    LockHolder(const QString &appDir, const QString &lockDir) {
        m_process.start(GLIMMERBY_APP_TEST_HELPER, {"lock", appDir, lockDir});
    }
    ~LockHolder() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    QByteArray firstLine() {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(30000))
                return {};
        }
        return m_process.readLine().trimmed();
    }
    bool finishNormally() {
        m_process.closeWriteChannel();
        return m_process.waitForFinished(30000) && m_process.exitCode() == 0;
    }
    bool killHard() {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        return m_process.waitForFinished(30000) && m_process.exitStatus() == QProcess::CrashExit;
    }

  private:
    QProcess m_process;
};

} // namespace

class TestStartupFiles : public QObject {
    Q_OBJECT

  private slots:
    void writableAppDirHoldsSettings();
    void missingAppDirFallsBackToConfigHome();
    void readOnlyMountFallsBackToConfigHome();
    void configHomeFromEnvironment();
    void scratchFilesRemoved();

    void secondProcessRefusedWhileFirstRuns();
    void lockFreedWhenHolderKilled();
    void secondLockInSameProcessRefused();
    void otherProgramDirectoryIsIndependent();
    void noLockDirectoryDoesNotBlockStart();
};

void TestStartupFiles::writableAppDirHoldsSettings() {
    QTemporaryDir app, config;
    QCOMPARE(dataDirFor(app.path() + "/", config.path()), app.path() + "/");
    QCOMPARE(dataDirFor(app.path(), config.path()), app.path() + "/");
    QVERIFY(!QFileInfo::exists(config.filePath("Glimmerby")));
    // The write probe leaves nothing behind.
    QVERIFY(QDir(app.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty());
}

void TestStartupFiles::missingAppDirFallsBackToConfigHome() {
    QTemporaryDir config;
    const QString home = config.filePath("deep/config");
    QCOMPARE(dataDirFor("/nonexistent/glimmerby/", home), home + "/Glimmerby/");
    QVERIFY(QFileInfo(home + "/Glimmerby").isDir());
}

void TestStartupFiles::readOnlyMountFallsBackToConfigHome() {
    // A system-wide install: the program directory is on a read-only file system, where
    // even root cannot create files.
    if (QStandardPaths::findExecutable("unshare").isEmpty())
        QSKIP("unshare is not available");
    QTemporaryDir app, config;
    const QString script = QStringLiteral("mount -t tmpfs -o ro,size=16k glimmerby-test \"$1\" "
                                          "|| exit 77; exec \"$3\" data-dir \"$1/\" \"$2\"");
    QProcess p;
    p.start("unshare", {"-m", "--propagation", "private", "sh", "-c", script, "sh", app.path(),
                        config.path(), GLIMMERBY_APP_TEST_HELPER});
    QVERIFY(p.waitForFinished(30000));
    if (p.exitCode() == 77 || p.exitCode() == 1)
        QSKIP("no permission to mount a file system here");
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput().trimmed()),
             config.path() + "/Glimmerby/");
    QVERIFY(QFileInfo(config.filePath("Glimmerby")).isDir());
}

void TestStartupFiles::configHomeFromEnvironment() {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/cfg");
    QCOMPARE(glimmerby::configHomeFromEnvironment(), QString("/somewhere/cfg"));
    qputenv("XDG_CONFIG_HOME", "relative/cfg"); // not absolute: ignored
    QCOMPARE(glimmerby::configHomeFromEnvironment(), QDir::homePath() + "/.config");
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(glimmerby::configHomeFromEnvironment(), QDir::homePath() + "/.config");
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
}

void TestStartupFiles::scratchFilesRemoved() {
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    for (const char *name :
         {"tmp.jpg", "tmp.bmp", "tmp.BMP", "TMP.JPG", "tmp.jpg.bak", "tmp.txt", "Glimmerby.ini"})
        touch(d + name);
    removeScratchFiles(d);
    QStringList left = QDir(d).entryList(QDir::Files, QDir::Name);
    QCOMPARE(left, QStringList({"Glimmerby.ini", "TMP.JPG", "tmp.jpg.bak", "tmp.txt"}));
    // Nothing there, or a directory of that name: no harm done.
    removeScratchFiles(d);
    QVERIFY(QDir(d).mkdir("tmp.jpg"));
    removeScratchFiles(d);
    QVERIFY(QFileInfo(d + "tmp.jpg").isDir());
    removeScratchFiles(dir.filePath("missing/"));
}

void TestStartupFiles::secondProcessRefusedWhileFirstRuns() {
    QTemporaryDir lockDir;
    const QString appDir = "/opt/glimmerby/";
    {
        LockHolder first(appDir, lockDir.path());
        QCOMPARE(first.firstLine(), QByteArray("locked"));
        SingleInstance second(appDir, lockDir.path());
        QCOMPARE(second.tryAcquire(), InstanceLock::HeldByAnother);
        QVERIFY(!second.isHeld());
        // A third process is refused as well.
        LockHolder third(appDir, lockDir.path());
        QCOMPARE(third.firstLine(), QByteArray("refused"));
        QVERIFY(third.finishNormally());
        QVERIFY(first.finishNormally());
        QCOMPARE(second.tryAcquire(), InstanceLock::Acquired);
        QVERIFY(second.isHeld());
        // Now this process holds it and another process is refused.
        LockHolder fourth(appDir, lockDir.path());
        QCOMPARE(fourth.firstLine(), QByteArray("refused"));
        QVERIFY(fourth.finishNormally());
    }
}

void TestStartupFiles::lockFreedWhenHolderKilled() {
    QTemporaryDir lockDir;
    const QString appDir = "/opt/glimmerby/";
    LockHolder holder(appDir, lockDir.path());
    QCOMPARE(holder.firstLine(), QByteArray("locked"));
    QVERIFY(holder.killHard());
    // The dead process's lock file is still there; it is taken over.
    SingleInstance instance(appDir, lockDir.path());
    QVERIFY(QFile::exists(instance.lockFilePath()));
    QCOMPARE(instance.tryAcquire(), InstanceLock::Acquired);
    instance.release();
    QVERIFY(!QFile::exists(instance.lockFilePath()));
}

void TestStartupFiles::secondLockInSameProcessRefused() {
    QTemporaryDir lockDir;
    SingleInstance a("/x/", lockDir.path());
    SingleInstance b("/x/", lockDir.path());
    QCOMPARE(a.tryAcquire(), InstanceLock::Acquired);
    QCOMPARE(a.tryAcquire(), InstanceLock::Acquired); // asking again is harmless
    QCOMPARE(b.tryAcquire(), InstanceLock::HeldByAnother);
    a.release();
    QCOMPARE(b.tryAcquire(), InstanceLock::Acquired);
}

void TestStartupFiles::otherProgramDirectoryIsIndependent() {
    QTemporaryDir lockDir;
    QVERIFY(SingleInstance::lockFileName("/a/") != SingleInstance::lockFileName("/b/"));
    QVERIFY(SingleInstance::lockFileName("/a/").contains(QString::number(::getuid())));
    SingleInstance a("/a/", lockDir.path());
    SingleInstance b("/b/", lockDir.path());
    QCOMPARE(a.tryAcquire(), InstanceLock::Acquired);
    QCOMPARE(b.tryAcquire(), InstanceLock::Acquired);
}

void TestStartupFiles::noLockDirectoryDoesNotBlockStart() {
    SingleInstance instance("/a/", "/nonexistent/lock/dir");
    QCOMPARE(instance.tryAcquire(), InstanceLock::Unavailable);
}

QTEST_GUILESS_MAIN(TestStartupFiles)
#include "test_startup_files.moc"
