// The real program as a process, each from a program directory and a home of its own: what
// the command line opens, the start-up faults it survives, the toolbar, the file list, a menu
// and keys driven through the display server, and the installed program.

#include "support/accessibility_bus.h"
#include "support/test_files.h"

#include <QtDBus>
#include <QtGui>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR "/");

QString xdotool(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(20000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// A copy of the program; "@" in the settings stands for its directory, which has media/.
struct Program {
    QTemporaryDir dir;
    QString exe = dir.filePath("app/glimmerby"), ini = dir.filePath("app/Glimmerby.ini");
    QString home = dir.filePath("home"), window;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    explicit Program(QByteArray settings = "ShowSplash=False\n") {
        for (const char *sub : {"app", "media", "home/run"})
            QDir(dir.path()).mkpath(sub);
        QFile::copy(GLIMMERBY_EXECUTABLE, exe);
        writeAll(ini, "[UserProfile]\n" + settings.replace("@", QFile::encodeName(dir.path())));
    }
    QString media(const QString &name) const { return dir.filePath("media/" + name); }
    void start(const QStringList &args, const QString &via = {}) {
        env.insert("HOME", home);
        env.insert("XDG_RUNTIME_DIR", home + "/run");
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        env.insert("XDG_DATA_HOME", home + "/.local/share");
        process.setProcessEnvironment(env);
        process.start(via.isEmpty() ? exe : via, args);
    }
    // The program's visible windows (titled as the pattern says), one id a line.
    QString windows(const QString &name = {}) {
        QStringList args{"search", "--onlyvisible", "--pid", QString::number(process.processId())};
        return xdotool(name.isEmpty() ? args
                                      : args << "--all"
                                             << "--name" << name);
    }
    // Waits for a window of the program titled so, lets it settle and gives it the keyboard.
    QString focus(const QString &name = {}) {
        QString id;
        if (!QTest::qWaitFor([&] { return !(id = windows(name).section('\n', 0, 0)).isEmpty(); },
                             20000))
            return {};
        QTest::qWait(1000);
        xdotool({"windowfocus", "--sync", id});
        return id;
    }
    bool shown(const QString &name = {}) {
        return !(window = focus(name)).isEmpty() && process.state() == QProcess::Running;
    }
    // Types into the box titled so, then presses Enter.
    bool answer(const QString &name, const QString &text) {
        if (focus(name).isEmpty())
            return false;
        xdotool({"key", "ctrl+a"});
        xdotool({"type", text});
        xdotool({"key", "Return"});
        return true;
    }
    // The system closes the program, as at logout.
    bool stop() {
        ::kill(pid_t(process.processId()), SIGTERM);
        return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit;
    }
    QString title() { return xdotool({"getwindowname", window}); }
    void click(int x, int y, int button = 1) {
        xdotool({"mousemove", "--window", window, QString::number(x), QString::number(y), "click",
                 QString::number(button)});
        QTest::qWait(700);
    }
    void key(const QString &key) {
        xdotool({"key", key});
        QTest::qWait(300);
    }
    // The file list's first row: below the directory list, which takes 30% of the height.
    int fileRow() {
        const QString geometry = xdotool({"getwindowgeometry", "--shell", window});
        return 56 +
               int(0.3 * (geometry.section("HEIGHT=", 1).section('\n', 0, 0).toInt() - 78) + 0.5);
    }
};

// Frames of testsrc2 on screen: many strongly coloured pixels.
int colouredSamples(const QImage &screen) {
    int coloured = 0;
    for (int i = 0; i < screen.width() * screen.height(); i += 16) {
        const QColor c = screen.pixelColor(i % screen.width(), i / screen.width());
        coloured += c.hsvSaturation() * c.value() > 90 * 255; // max - min > 90
    }
    return coloured;
}

} // namespace

class TestProgramProcess : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("xdotool is not installed (scripts/setup.sh installs it)");
    }

    void movieOnTheCommandLineDrawsFrames() {
        Program p;
        QVERIFY(QFile::copy(Samples + "clip.mpg", p.media("clip.mpg")));
        p.start({p.media("clip.mpg")});
        // The clip lasts two seconds: look for its frames while it plays.
        QTRY_VERIFY_WITH_TIMEOUT(
            colouredSamples(QGuiApplication::primaryScreen()->grabWindow(0).toImage()) > 1500,
            15000);
    }

    void soundOnTheCommandLinePlays() {
        testing::AccessibilityBus bus;
        QVERIFY(bus.start());
        Program p;
        p.env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        p.env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        QVERIFY(QFile::copy(Samples + "song.mp3", p.media("song.mp3")));
        p.start({p.media("song.mp3")});
        // The player's time label, "m:ss / m:ss", passes 0:00.
        const QRegularExpression played("^(?!0:00 )\\d+:\\d\\d / \\d+:\\d\\d$");
        QTRY_VERIFY_WITH_TIMEOUT(!bus.names().filter(played).isEmpty(), 20000);
    }

    // Settings and command lines that used to hang the start, blank the window or lose what
    // was saved. Each case ends with the system closing the program, and looks at the save.
    void startUpFaults_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("argument"); // how the program is started
        QTest::addColumn<QByteArray>("kept");  // lines the save must hold
        QTest::newRow("values out of range")
            << QByteArray("Form Height=2000000000\nForm Width=150000\nForm Top=-1000000\n"
                          "Form Left=-1000000\nSpeed=12000\nPicQuality=150\n")
            << QString() << QByteArray("Speed=10000\nPicQuality=100");
        QTest::newRow("vanished last directory")
            << QByteArray("Last Dir Path=@/media/gone/deeper\n") << QString() << QByteArray();
        QTest::newRow("last directory is a file")
            << QByteArray("Last Dir Path=@/media/note.txt\n") << QString() << QByteArray();
        const QByteArray latin("PSPPath=/opt/\xDB"
                               "edit\xE9.exe\nLast SaveTo Path=/srv/caf\xE9/\n");
        QTest::newRow("bytes that are not UTF-8") << latin << QString() << latin;
        QTest::newRow("fifo picture") << QByteArray() << QString("fifo.jpg") << QByteArray();
        QTest::newRow("fifo movie") << QByteArray() << QString("fifo.mpg") << QByteArray();
        QTest::newRow("terminated at the damaged-picture question")
            << QByteArray("Speed=1500\n") << QString("damaged") << QByteArray("Speed=1500");
        QTest::newRow("read-only program directory")
            << QByteArray("Speed=1500\nPicQuality=77\n") << QString("read-only")
            << QByteArray("Speed=1500\nPicQuality=77");
        QTest::newRow("second copy with another home")
            << QByteArray("Speed=1500\n") << QString("second copy") << QByteArray("Speed=1500");
    }
    void startUpFaults() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, argument);
        QFETCH(QByteArray, kept);
        Program p("ShowSplash=False\n" + settings);
        const QByteArray seeded = readAll(p.ini);
        const bool readOnly = argument == "read-only";
        const QString data = readOnly ? p.home + "/.config/Glimmerby/" : p.dir.filePath("app/");
        QVERIFY(QDir().mkpath(data));
        writeAll(p.media("note.txt"), "x");
        // What a kill during an earlier save left: only the program's own temporary goes.
        writeAll(data + ".Glimmerby.ini.glimmerby-Ab12Cd", "[UserProfile]\n");
        writeAll(data + ".Glimmerby.ini.notes", "mine");
        QStringList args;
        if (argument.startsWith("fifo")) {
            args << p.media("pipe" + argument.mid(4));
            QCOMPARE(::mkfifo(QFile::encodeName(args[0]).constData(), 0600), 0);
        } else if (argument == "damaged") {
            args << p.media("damaged.jpg");
            const QByteArray whole = readAll(Samples + "landscape.jpg");
            writeAll(args[0], whole.left(whole.size() / 3));
        }
        if (readOnly) {
            // Installed for everyone, with nowhere chosen yet: it starts in the pictures.
            QVERIFY(QDir().mkpath(p.home + "/Bilder"));
            writeAll(p.home + "/.config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
            const QString app = p.dir.filePath("app"), bind = "mount --bind '%1' '%1'";
            if (QProcess::execute("unshare", {"-m", "sh", "-c", bind.arg(app)}) != 0)
                QSKIP("making a read-only mount needs root and unshare");
            p.start(
                {"-m", "sh", "-c",
                 (bind + " && mount -o remount,ro,bind '%1' '%1' && exec '%2'").arg(app, p.exe)},
                "unshare");
        } else {
            p.start(args);
        }
        QVERIFY(p.shown());
        if (argument == "second copy") {
            Program second; // another home: it shows its message, and closed, saves nothing
            second.exe = p.exe;
            second.start({});
            QVERIFY(second.shown());
            QVERIFY(second.stop());
            QCOMPARE(readAll(p.ini), seeded);
        }
        QVERIFY(p.stop());
        const QByteArray saved = readAll(data + "Glimmerby.ini");
        QVERIFY2(saved.contains("SplashTime=100"), saved.constData());
        for (const QByteArray &line : kept.split('\n'))
            QVERIFY2(saved.contains(line), line.constData());
        if (readOnly)
            QCOMPARE(readAll(p.ini), seeded);
        // A 1600 x 1200 screen at 96 dpi: 15 twips a pixel.
        QSettings ini(data + "Glimmerby.ini", QSettings::IniFormat);
        for (const auto &[key, pixels] : {std::pair("Form Height", 1200),
                                          {"Form Width", 1600},
                                          {"Form Top", 1200},
                                          {"Form Left", 1600}}) {
            const int value = ini.value(QString("UserProfile/") + key, -1).toInt();
            QVERIFY2(value >= 0 && value <= pixels * 15, key);
        }
        const QString dir = ini.value("UserProfile/Last Dir Path").toString();
        QVERIFY2(!dir.isEmpty() && QFileInfo(dir).isDir(), saved.constData());
        if (settings.startsWith("Last Dir Path"))
            QCOMPARE(QDir(dir).absolutePath(), QDir(p.media("")).absolutePath());
        if (readOnly) {
            QCOMPARE(QDir(dir).absolutePath(), p.home + "/Bilder");
            QCOMPARE(ini.value("UserProfile/Last SaveTo Path").toString(), p.home + "/Bilder/");
        }
        QVERIFY(!QFile::exists(data + ".Glimmerby.ini.glimmerby-Ab12Cd"));
        QVERIFY(QFile::exists(data + ".Glimmerby.ini.notes"));
    }

    // A picture named on the command line; "ReName File" from the file list's menu; a click in
    // the list; Ctrl+C, Ctrl+V and a directory named in the box that asks where; Delete and
    // Ctrl+Z; the menu opened by Shift+F10; the toolbar's mute, which outlives the program,
    // and its slide show stepping by itself.
    void clicksMenusAndKeys() {
        Program p(Clickable);
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            QVERIFY(QFile::copy(Samples + "grey.jpg", p.media(name)));
        const QString copies = p.dir.filePath("copies");
        QVERIFY(QDir().mkpath(copies));
        p.start({p.media("a.jpg")});
        QVERIFY(p.shown());
        QVERIFY(p.title().endsWith("/media/a.jpg"));
        p.click(30, p.fileRow(), 3);
        for (const char *key : {"Up", "Up", "Return"}) // "Cancel" is last, the entry above it
            p.key(key);
        QVERIFY(p.answer("Rename File", "renamed"));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(p.media("a.jpg")), 15000);
        QCOMPARE(readAll(p.media("renamed.jpg")), readAll(Samples + "grey.jpg"));
        p.click(30, p.fileRow()); // b.jpg, now first
        QTRY_VERIFY_WITH_TIMEOUT(p.title().endsWith("/media/b.jpg"), 15000);
        p.key("ctrl+c");
        p.key("ctrl+v");
        QVERIFY(p.answer("Save As", copies + "/b"));
        QTRY_COMPARE_WITH_TIMEOUT(QDir(copies).entryList(QDir::Files), QStringList{"b.jpg"}, 15000);
        QCOMPARE(readAll(copies + "/b.jpg"), readAll(Samples + "grey.jpg"));
        p.key("Delete"); // into the desktop's trash, from where Ctrl+Z brings it back
        const QString trashed = p.home + "/.local/share/Trash/";
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(p.media("b.jpg")), 10000);
        QCOMPARE(readAll(trashed + "files/b.jpg"), readAll(Samples + "grey.jpg"));
        QVERIFY(readAll(trashed + "info/b.jpg.trashinfo")
                    .contains("\nPath=" +
                              QUrl::toPercentEncoding(QFile::encodeName(p.media("b.jpg")), "/") +
                              "\n"));
        p.key("ctrl+z");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(p.media("b.jpg")), 10000);
        QCOMPARE(QDir(trashed + "info").entryList(QDir::Files), QStringList());
        p.click(30, p.fileRow()); // b.jpg, back in its place
        p.key("shift+F10");
        // From the menu's end: "Undo" (the paste is still there to undo), "Cancel", then up
        // to "Delete File".
        for (const char *key : {"Up", "Up", "Up", "Up", "Up", "Up", "Return"})
            p.key(key);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(p.media("b.jpg")), 10000);
        p.click(30, p.fileRow()); // c.jpg
        p.click(12, 12);          // mute, the toolbar's first button
        p.click(64, 12);          // slide show
        QTRY_VERIFY_WITH_TIMEOUT(p.title().endsWith("/media/renamed.jpg"), 30000);
        QVERIFY(p.stop());
        QVERIFY(readAll(p.ini).contains("Mute=1"));
    }

    // G shows the thumbnail grid, which fills the desktop's cache; the arrows move its
    // selection by cell; Enter shows the file and leaves the grid.
    void thumbnailGridKeys() {
        Program p(Clickable);
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
            QVERIFY(QFile::copy(Samples + "grey.jpg", p.media(name)));
        p.env.insert("XDG_CACHE_HOME", p.home + "/.cache");
        p.start({});
        QVERIFY(p.shown());
        p.key("g");
        const QDir cache(p.home + "/.cache/thumbnails/normal");
        QTRY_COMPARE_WITH_TIMEOUT(cache.entryList(QDir::Files).size(), 3, 20000);
        for (const char *key : {"Home", "Right", "Right", "Left", "Right"})
            p.key(key);
        QTRY_VERIFY_WITH_TIMEOUT(p.title().endsWith("/media/c.jpg"), 10000);
        p.key("Return");
        QTest::qWait(500);
        QVERIFY(p.stop());
        const QByteArray ini = readAll(p.ini);
        QVERIFY(ini.contains("Thumbnail Grid=False"));
    }

    // A folder of today's kinds, opened from the command line and stepped through with Down:
    // each file shows or plays, none is "Unrecognize Format" or a damaged picture.
    void stepsThroughTodaysKinds() {
        Program p(Clickable);
        QStringList names{"turned.png", "turned.webp", "turned.tif",  "deep.tiff",    "turned.heic",
                          "still.heif", "plain.avif",  "drawing.svg", "download.jpg", "clip.mp4",
                          "clip.m4v",   "clip.mkv",    "clip.webm",   "clip.3gp",     "clip.mts",
                          "clip.m2ts",  "clip.ogv",    "clip.mov",    "tune.flac",    "tune.ogg",
                          "tune.oga",   "tune.opus",   "tune.m4a",    "tune.aac",     "tune.midi"};
        for (const QString &name : names)
            QVERIFY2(QFile::copy(Samples + name, p.media(name)), qPrintable(name));
        names.sort(Qt::CaseInsensitive);
        p.start({p.media(names[0])});
        QVERIFY(p.shown());
        for (int i = 1; i <= names.size(); ++i) {
            const QString name = names[i % names.size()];
            p.key("Down");
            QTRY_VERIFY2_WITH_TIMEOUT(p.title().endsWith("/media/" + name), qPrintable(name),
                                      10000);
            QVERIFY2(p.windows("^(Glimmerby|Error Loading JPG File)$").isEmpty(), qPrintable(name));
        }
        QVERIFY(p.stop());
    }

    // The Debian package holds the program, its help, desktop entry, icons and manual page;
    // the entry validates, and its Exec line starts the packaged program, which finds its
    // help. Every library the program needs or loads itself (libmpv for a movie) comes
    // from a package that the Depends line names.
    void installedProgram() {
        Program p;
        const QString root = p.dir.filePath("root"), prefix = root + "/usr";
        QCOMPARE(QProcess::execute("cpack", {"-G", "DEB", "--config",
                                             GLIMMERBY_BINARY_DIR "/CPackConfig.cmake", "-B",
                                             p.dir.filePath("package")}),
                 0);
        const QString deb = p.dir.filePath(
            "package/" + QDir(p.dir.filePath("package")).entryList({"glimmerby_*.deb"}).value(0));
        QCOMPARE(QProcess::execute("dpkg-deb", {"-x", deb, root}), 0);
        for (const char *file :
             {"glimmerby/GLIMMERBY.HLP", "icons/hicolor/scalable/apps/glimmerby.svg",
              "icons/hicolor/48x48/apps/glimmerby.png", "icons/hicolor/256x256/apps/glimmerby.png",
              "man/man1/glimmerby.1.gz", "doc/glimmerby/copyright", "doc/glimmerby/changelog.gz"})
            QVERIFY2(QFileInfo(prefix + "/share/" + file).isFile(), file);
        const QString entry = prefix + "/share/applications/glimmerby.desktop";
        QCOMPARE(QProcess::execute("desktop-file-validate", {entry}), 0);
        const QString text = QString::fromUtf8(readAll(entry));
        QVERIFY(
            text.contains(QRegularExpression("\nMimeType=image/jpeg;.*video/mpeg;.*audio/midi;")));
        for (const char *type : {"image/heif;", "image/svg+xml;", "video/mp4;", "video/quicktime;",
                                 "video/x-matroska;", "audio/flac;", "audio/x-opus+ogg;"})
            QVERIFY2(text.contains(type), type);
        QStringList args =
            QRegularExpression("\nExec=([^\n]*)\n").match(text).captured(1).split(' ');
        QCOMPARE(args.takeFirst(), QString("glimmerby"));
        QVERIFY(QFile::copy(Samples + "clip.mpg", p.media("a.mpg")));
        p.exe = prefix + "/bin/glimmerby";
        p.ini = prefix + "/bin/Glimmerby.ini"; // none: the splash shows, as by default
        p.env.insert("LD_DEBUG", "files");     // the dynamic loader lists what it loads
        p.start(args.replaceInStrings("%f", p.media("a.mpg")));
        QVERIFY(p.shown("^Glimmerby 1\\.0\\.0 - .*/media/a\\.mpg$"));
        p.key("h");
        QTRY_VERIFY_WITH_TIMEOUT(!p.windows("^Glimmerby Help$").isEmpty(), 10000);
        QVERIFY(p.stop());
        QVERIFY(readAll(p.ini).contains("SplashTime=1"));

        QProcess fields;
        fields.start("dpkg-deb", {"-f", deb, "Depends"});
        QVERIFY(fields.waitForFinished(30000));
        QSet<QString> declared; // the package names, alternatives included
        for (const QString &item :
             QString::fromUtf8(fields.readAllStandardOutput()).split(QRegularExpression("[,|]")))
            declared << item.trimmed().section(' ', 0, 0);
        const QRegularExpression loaded(
            "file=(\\S+) \\[0\\];  (needed|dynamically loaded) by \\S+/glimmerby \\[");
        QSet<QString> libraries;
        for (auto m = loaded.globalMatch(QString::fromLocal8Bit(p.process.readAllStandardError()));
             m.hasNext();)
            libraries << m.next().captured(1);
        QVERIFY2(libraries.contains("libmpv.so.2"), qPrintable(libraries.values().join(' ')));
        for (const QString &library : libraries) {
            QProcess owner; // "package:arch: /path" lines
            owner.start("dpkg", {"-S", "*/" + library});
            QVERIFY(owner.waitForFinished(30000));
            QSet<QString> packages;
            for (const QString &line : QString::fromUtf8(owner.readAllStandardOutput()).split('\n'))
                if (!line.isEmpty())
                    packages << line.section(':', 0, 0);
            QVERIFY2(packages.intersects(declared),
                     qPrintable(library + " from " + packages.values().join(' ')));
        }
    }

  private:
    const QByteArray Clickable = "ShowSplash=False\nForm Height=6000\nForm Width=9000\n"
                                 "Form Top=0\nForm Left=0\nMute=0\nSpeed=1000\n"
                                 "Last Dir Path=@/media/\n";
};

QTEST_MAIN(TestProgramProcess)
#include "test_program_process.moc"
