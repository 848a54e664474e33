// The real program as a process: the system closing it saves the settings, a second copy
// started while it runs ends without touching them, and a movie or a sound named on the
// command line plays as the program comes up.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QString sample(const QString &name) {
    return QStringLiteral(GLIMMERBY_SAMPLES_DIR "/") + name;
}

// Frames of testsrc2 on screen: many strongly coloured pixels.
int colouredSamples(const QImage &screen) {
    int coloured = 0;
    for (int y = 0; y < screen.height(); y += 4) {
        for (int x = 0; x < screen.width(); x += 4) {
            const QRgb p = screen.pixel(x, y);
            const int hi = std::max({qRed(p), qGreen(p), qBlue(p)});
            const int lo = std::min({qRed(p), qGreen(p), qBlue(p)});
            coloured += hi - lo > 90 ? 1 : 0;
        }
    }
    return coloured;
}

// A session bus of the test's own, through which the program's accessibility tree is read
// as a screen reader reads it (AT-SPI).
class AccessibilityBus {
  public:
    ~AccessibilityBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
        QDBusConnection::disconnectFromBus(QStringLiteral("session"));
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    bool start() {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return false;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        return !m_address.isEmpty();
    }
    QString address() const { return m_address; }

    // The accessible names of every object of every application, read afresh.
    QStringList names() {
        QStringList found;
        if (!connectA11y())
            return found;
        const QDBusConnection bus = QDBusConnection(QStringLiteral("a11y"));
        const QDBusMessage list = bus.call(QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames"));
        for (const QString &name : list.arguments().value(0).toStringList()) {
            if (name.startsWith(u':'))
                walk(bus, name, QStringLiteral("/org/a11y/atspi/accessible/root"), found, 0);
        }
        return found;
    }

  private:
    QProcess m_daemon;
    QString m_address;

    bool connectA11y() {
        if (QDBusConnection(QStringLiteral("a11y")).isConnected())
            return true;
        const QDBusConnection session =
            QDBusConnection::connectToBus(m_address, QStringLiteral("session"));
        const QDBusMessage reply = session.call(QDBusMessage::createMethodCall(
            "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
        const QString a11y = reply.arguments().value(0).toString();
        return !a11y.isEmpty() &&
               QDBusConnection::connectToBus(a11y, QStringLiteral("a11y")).isConnected();
    }

    static void walk(const QDBusConnection &bus, const QString &service, const QString &path,
                     QStringList &found, int depth) {
        if (depth > 40 || found.size() > 5000)
            return;
        QDBusMessage get =
            QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
        get << QStringLiteral("org.a11y.atspi.Accessible") << QStringLiteral("Name");
        const QDBusMessage name = bus.call(get, QDBus::Block, 2000);
        found << name.arguments().value(0).value<QDBusVariant>().variant().toString();
        const QDBusMessage children =
            bus.call(QDBusMessage::createMethodCall(service, path, "org.a11y.atspi.Accessible",
                                                    "GetChildren"),
                     QDBus::Block, 2000);
        if (children.arguments().isEmpty())
            return;
        const QDBusArgument arg = children.arguments().at(0).value<QDBusArgument>();
        QList<QPair<QString, QString>> list;
        arg.beginArray();
        while (!arg.atEnd()) {
            QString childService;
            QDBusObjectPath childPath;
            arg.beginStructure();
            arg >> childService >> childPath;
            arg.endStructure();
            list.append({childService, childPath.path()});
        }
        arg.endArray();
        for (const auto &[childService, childPath] : list)
            walk(bus, childService, childPath, found, depth + 1);
    }
};

// The seconds of the player's time label ("m:ss / m:ss") among the names, -1 without one.
int playedSeconds(const QStringList &names) {
    static const QRegularExpression time(QStringLiteral("^(\\d+):(\\d\\d) / \\d+:\\d\\d$"));
    int best = -1;
    for (const QString &name : names) {
        const QRegularExpressionMatch m = time.match(name);
        if (m.hasMatch())
            best = std::max(best, m.captured(1).toInt() * 60 + m.captured(2).toInt());
    }
    return best;
}

} // namespace

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

    // A program directory whose settings skip the splash window, and the file to open in
    // a directory of its own.
    struct Started {
        QTemporaryDir dir, media;
        QProcess process;
        ~Started() {
            if (process.state() == QProcess::Running) {
                ::kill(process.processId(), SIGTERM);
                process.waitForFinished(15000);
            }
        }
    };
    bool startWith(Started &s, const QString &file, const QProcessEnvironment &env) {
        const QString exe = installCopy(s.dir);
        QFile ini(s.dir.filePath("Glimmerby.ini"));
        if (exe.isEmpty() || !ini.open(QIODevice::WriteOnly))
            return false;
        ini.write("[UserProfile]\nShowSplash=False\n");
        ini.close();
        const QString target = s.media.filePath(QFileInfo(file).fileName());
        if (!QFile::copy(file, target))
            return false;
        s.process.setProcessEnvironment(env);
        s.process.start(exe, {target});
        return s.process.waitForStarted(10000);
    }

  private slots:
    void movieOnTheCommandLinePlaysOnScreen() {
        Started s;
        QVERIFY(startWith(s, sample("clip.mpg"), QProcessEnvironment::systemEnvironment()));
        QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        // The clip lasts two seconds: look for its frames while it plays.
        QTRY_VERIFY_WITH_TIMEOUT(colouredSamples(screen->grabWindow(0).toImage()) > 1500, 15000);
    }

    void soundOnTheCommandLinePlays() {
        AccessibilityBus bus;
        QVERIFY(bus.start());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        Started s;
        QVERIFY(startWith(s, sample("song.mp3"), env));
        QTRY_VERIFY_WITH_TIMEOUT(playedSeconds(bus.names()) > 0, 20000);
    }

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

QTEST_MAIN(TestProgramProcess)
#include "test_program_process.moc"
