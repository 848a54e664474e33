// The real program as a process, started from a fresh program directory, on settings and
// command lines that used to hang it, blank it or lose what it saved. Each case ends with
// the system closing the program (SIGTERM) and looks at what it saved.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// The decimal value of key in an INI text, or a huge number when it is missing.
long long number(const QByteArray &ini, const QByteArray &key) {
    const QRegularExpression re(QStringLiteral("(?m)^%1=(-?\\d+)").arg(QString::fromLatin1(key)));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(ini));
    return m.hasMatch() ? m.captured(1).toLongLong() : std::numeric_limits<long long>::max();
}

// A program directory of its own with a copy of the executable, and a home of its own.
struct Program {
    QTemporaryDir dir;
    QString exe, home, ini;
    QProcess process;

    bool install() {
        exe = dir.filePath("app/glimmerby");
        home = dir.filePath("home");
        ini = dir.filePath("app/Glimmerby.ini");
        return QDir().mkpath(dir.filePath("app")) && QDir().mkpath(home + "/run") &&
               QFile::copy(GLIMMERBY_EXECUTABLE, exe) &&
               QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
    }
    QString appDir() const { return dir.filePath("app/"); }

    void start(const QStringList &args, const QString &homeDir = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString h = homeDir.isEmpty() ? home : homeDir;
        env.insert("HOME", h);
        env.insert("XDG_RUNTIME_DIR", h + "/run");
        env.insert("XDG_CONFIG_HOME", h + "/.config");
        process.setProcessEnvironment(env);
        process.start(exe, args);
    }
    void startUnder(const QString &program, const QStringList &args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_RUNTIME_DIR", home + "/run");
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        process.setProcessEnvironment(env);
        process.start(program, args);
    }
    // Waits until the program is up and idle, then asks it to end as the system would.
    bool runAndTerminate(int upMs = 3000) {
        if (!process.waitForStarted(10000))
            return false;
        QTest::qWait(upMs);
        if (process.state() != QProcess::Running)
            return false;
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished(5000);
            return false;
        }
        return process.exitStatus() == QProcess::NormalExit;
    }
};

} // namespace

class TestProgramStart : public QObject {
    Q_OBJECT

  private slots:
    // Settings a hand or a crash left behind: the program starts visibly, usably, on
    // something that exists, and saves values that start it the same way again.
    void startsSanelyFromBadSettings_data() {
        QTest::addColumn<QByteArray>("settings"); // "@" stands for the test's directory
        QTest::addColumn<QString>("argument");    // "fifo.EXT" or "damaged": made in media/
        QTest::addColumn<QByteArray>("kept");     // a line the save must keep as it was
        QTest::newRow("huge window") << QByteArray("Form Height=2000000000\nForm Width=150000\n")
                                     << QString() << QByteArray();
        QTest::newRow("off every screen")
            << QByteArray("Form Top=-1000000\nForm Left=-1000000\n") << QString() << QByteArray();
        QTest::newRow("vanished last directory")
            << QByteArray("Last Dir Path=@/media/gone/deeper\n") << QString() << QByteArray();
        QTest::newRow("last directory is a file")
            << QByteArray("Last Dir Path=@/media/note.txt\n") << QString() << QByteArray();
        const QByteArray latin("PSPPath=/opt/\xDB"
                               "edit\xE9.exe\nLast SaveTo Path=/srv/caf\xE9/\n");
        QTest::newRow("bytes that are not UTF-8") << latin << QString() << latin;
        QTest::newRow("fifo picture on the command line")
            << QByteArray() << QString("fifo.jpg") << QByteArray();
        QTest::newRow("fifo movie on the command line")
            << QByteArray() << QString("fifo.mpg") << QByteArray();
        QTest::newRow("terminated at the damaged-picture question")
            << QByteArray("Speed=1500\n") << QString("damaged") << QByteArray("Speed=1500\n");
    }
    void startsSanelyFromBadSettings() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, argument);
        QFETCH(QByteArray, kept);
        Program p;
        QVERIFY(p.install());
        QVERIFY(QDir().mkpath(p.dir.filePath("media")));
        QVERIFY(writeAll(p.dir.filePath("media/note.txt"), "x"));
        settings.replace("@", QFile::encodeName(p.dir.path()));
        QVERIFY(writeAll(p.ini, "[UserProfile]\nShowSplash=False\n" + settings));
        QStringList args;
        if (argument.startsWith("fifo")) {
            const QString fifo = p.dir.filePath("media/pipe" + argument.mid(4));
            QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
            args << fifo;
        } else if (argument == "damaged") {
            QImage picture(640, 480, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            const QString whole = p.dir.filePath("whole.jpg");
            QVERIFY(picture.save(whole, "JPG", 95));
            const QByteArray bytes = readAll(whole);
            QVERIFY(writeAll(p.dir.filePath("media/damaged.jpg"), bytes.left(bytes.size() / 3)));
            args << p.dir.filePath("media/damaged.jpg");
        }
        // What a kill during an earlier save left: only the program's own temporary goes.
        const QString leftover = p.appDir() + ".Glimmerby.ini.glimmerby-Ab12Cd";
        const QString usersOwn = p.appDir() + ".Glimmerby.ini.notes";
        QVERIFY(writeAll(leftover, "[UserProfile]\n"));
        QVERIFY(writeAll(usersOwn, "mine"));
        p.start(args);
        QVERIFY(p.runAndTerminate());
        const QByteArray saved = readAll(p.ini);
        QVERIFY2(saved.contains("SplashTime=100"), saved.constData());
        if (!kept.isEmpty())
            QVERIFY2(saved.contains(kept), saved.constData());
        // 1600 x 1200 screen at 96 dpi: 15 twips a pixel.
        QVERIFY2(number(saved, "Form Height") <= 1200 * 15, saved.constData());
        QVERIFY2(number(saved, "Form Width") <= 1600 * 15, saved.constData());
        QVERIFY2(number(saved, "Form Top") >= 0 && number(saved, "Form Top") < 1200 * 15,
                 saved.constData());
        QVERIFY2(number(saved, "Form Left") >= 0 && number(saved, "Form Left") < 1600 * 15,
                 saved.constData());
        const QRegularExpression lastDir("(?m)^Last Dir Path=(.*)$");
        const QString dir = lastDir.match(QString::fromUtf8(saved)).captured(1);
        QVERIFY2(!dir.isEmpty() && QFileInfo(dir).isDir(), saved.constData());
        if (settings.startsWith("Last Dir Path"))
            QCOMPARE(QDir(dir).absolutePath(), QDir(p.dir.filePath("media")).absolutePath());
        QVERIFY(!QFile::exists(leftover));
        QVERIFY(QFile::exists(usersOwn));
    }

    // A program directory the user cannot write to: the settings there are read, and the
    // save goes to the user's own configuration directory.
    void readOnlyProgramDirectoryKeepsItsSettings() {
        Program p;
        QVERIFY(p.install());
        QVERIFY(writeAll(p.ini, "[UserProfile]\nShowSplash=False\nSpeed=1500\nPicQuality=77\n"));
        const QString app = QDir(p.appDir()).absolutePath();
        const QString script = QStringLiteral("mount --bind '%1' '%1' && mount -o remount,ro,bind "
                                              "'%1' '%1' && exec '%2'")
                                   .arg(app, p.exe);
        {
            QProcess probe;
            probe.start("unshare",
                        {"-m", "sh", "-c", QStringLiteral("mount --bind '%1' '%1'").arg(app)});
            if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
                QSKIP("making a read-only mount needs root and unshare");
        }
        p.startUnder("unshare", {"-m", "sh", "-c", script});
        QVERIFY(p.runAndTerminate());
        const QByteArray saved = readAll(p.home + "/.config/Glimmerby/Glimmerby.ini");
        QVERIFY2(saved.contains("Speed=1500") && saved.contains("PicQuality=77"),
                 saved.constData());
        QCOMPARE(readAll(p.ini),
                 QByteArray("[UserProfile]\nShowSplash=False\nSpeed=1500\nPicQuality=77\n"));
    }

    // One settings file has one writer, whatever the environment of the second copy says.
    void secondCopyWithAnotherHomeEnds() {
        Program p;
        QVERIFY(p.install());
        const QByteArray seed("[UserProfile]\nShowSplash=False\nSpeed=1500\n");
        QVERIFY(writeAll(p.ini, seed));
        p.start({});
        QVERIFY(p.process.waitForStarted(10000));
        QTest::qWait(2500);
        const QString otherHome = p.dir.filePath("other");
        QVERIFY(QDir().mkpath(otherHome + "/run"));
        Program second;
        second.exe = p.exe;
        second.start({}, otherHome);
        QVERIFY(second.process.waitForStarted(10000));
        QTest::qWait(2500);
        // It shows its message and waits there; the system closing it saves nothing.
        QCOMPARE(second.process.state(), QProcess::Running);
        ::kill(pid_t(second.process.processId()), SIGTERM);
        QVERIFY(second.process.waitForFinished(15000));
        QCOMPARE(readAll(p.ini), seed);
        ::kill(pid_t(p.process.processId()), SIGTERM);
        QVERIFY(p.process.waitForFinished(15000));
        QVERIFY(readAll(p.ini).contains("SplashTime=100"));
    }
};

QTEST_GUILESS_MAIN(TestProgramStart)
#include "test_program_start.moc"
