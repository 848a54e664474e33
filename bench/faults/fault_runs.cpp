// Fault runs on the real program, each from a program directory of its own, driven through
// the display server, inside a private mount namespace (run as root, under xvfb-run):
//   1. kill -9 in the middle of a cut-and-paste of 20 files of 30 MB from the disk to a
//      tmpfs, then a new start: every file whole at one end, no temporary left;
//   2. Ctrl+Z of a move back onto a full tmpfs: nothing lost, panel 4 says what was left;
//   3. Delete on a tmpfs volume of its own (its .Trash-<uid>), then Ctrl+Z;
//   4. Delete on a read-only volume, and on a volume where no trash can be made.
// Panel 4 is read as a screen reader reads it (AT-SPI on a session bus of the run's own).
// Prints one line per finding and exits non-zero when a run finds a file lost or cannot run.
//
// Arguments: the program to run, files for run 1 (20), megabytes each (30).

#include "support/accessibility_bus.h"

#include <QtCore>
#include <QtDBus>
#include <QtGui/QImage>

#include <csignal>
#include <cstdio>
#include <sched.h>
#include <sys/mount.h>

namespace {

bool g_failed = false;

void say(const QString &text) {
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}
void check(bool ok, const QString &what) {
    say(QStringLiteral("  [%1] %2").arg(ok ? "ok" : "FAIL", what));
    g_failed = g_failed || !ok;
}

void wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}
template <class F> bool waitFor(F done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        wait(100);
    }
    return true;
}

QString run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}
QString xdotool(const QStringList &args) {
    return run(QStringLiteral("xdotool"), args);
}

bool mountTmpfs(const QString &dir, const QString &size) {
    QDir().mkpath(dir);
    return ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0,
                   ("size=" + size).toLatin1().constData()) == 0;
}

QByteArray digest(const QString &path) {
    QFile f(path);
    QCryptographicHash h(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && h.addData(&f) ? h.result() : QByteArray();
}

QStringList hiddenTemporaries(const QString &dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden).filter(".glimmerby-");
}

glimmerby::testing::AccessibilityBus *g_bus = nullptr;

// A copy of the program in a directory of its own, showing dir's files.
struct Program {
    QTemporaryDir dir;
    QString exe = dir.filePath("app/glimmerby"), home = dir.filePath("home"), window;
    QProcess process;
    Program(const QString &executable, const QString &listed) {
        for (const char *sub : {"app", "home/run"})
            QDir(dir.path()).mkpath(sub);
        QFile::copy(executable, exe);
        QFile ini(dir.filePath("app/Glimmerby.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[UserProfile]\nShowSplash=False\nForm Height=16000\nForm Width=12000\n"
                  "Form Top=0\nForm Left=0\nLast Dir Path=" +
                  QFile::encodeName(listed) + "/\n");
    }
    bool start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_RUNTIME_DIR", home + "/run");
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        env.insert("XDG_DATA_HOME", home + "/.local/share");
        env.insert("DBUS_SESSION_BUS_ADDRESS", g_bus->address());
        env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        process.setProcessEnvironment(env);
        process.start(exe, {});
        const QStringList search{"search", "--onlyvisible", "--pid",
                                 QString::number(process.processId())};
        if (!waitFor([&] { return !(window = xdotool(search).section('\n', 0, 0)).isEmpty(); },
                     30000))
            return false;
        wait(1500);
        xdotool({"windowfocus", "--sync", window});
        return true;
    }
    int fileRow() {
        const QString geometry = xdotool({"getwindowgeometry", "--shell", window});
        return 56 +
               int(0.3 * (geometry.section("HEIGHT=", 1).section('\n', 0, 0).toInt() - 78) + 0.5);
    }
    void mouse(const QStringList &args) {
        xdotool(QStringList{"mousemove", "--window", window} + args);
        wait(300);
    }
    void click(int y) {
        mouse({"30", QString::number(y), "click", "1"});
        wait(500);
    }
    // Every file of the list selected, by dragging from the first row to below the last.
    void selectAll(int files) {
        const int top = fileRow();
        mouse({"30", QString::number(top)});
        xdotool({"mousedown", "1"});
        for (int y = top; y <= top + 24 * files; y += 24)
            mouse({"30", QString::number(y)});
        xdotool({"mouseup", "1"});
        wait(500);
    }
    void key(const QString &k) {
        xdotool({"key", k});
        wait(400);
    }
    // Types into the box titled so, then presses Enter.
    bool answer(const QString &title, const QString &text) {
        QString id;
        if (!waitFor(
                [&] {
                    return !(id = xdotool({"search", "--onlyvisible", "--name", title})
                                      .section('\n', 0, 0))
                                .isEmpty();
                },
                20000))
            return false;
        wait(800);
        xdotool({"windowfocus", "--sync", id});
        xdotool({"key", "ctrl+a"});
        xdotool({"type", text});
        xdotool({"key", "Return"});
        return true;
    }
    // Panel 4 as a screen reader reads it: the names matching what.
    QString panel(const QString &what) {
        QString found;
        waitFor(
            [&] {
                const QStringList names = g_bus->names().filter(QRegularExpression(what));
                found = names.value(0);
                return !found.isEmpty();
            },
            15000);
        return found;
    }
    void kill() {
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(10000);
    }
    void stop() {
        ::kill(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(20000);
    }
};

// Pictures the program shows without a complaint when one is clicked: a small JPEG, then
// random bytes after its end up to the size wanted (a JPEG reader stops at the end mark).
void makeFiles(const QString &dir, int count, qint64 bytes, QHash<QString, QByteArray> &sums) {
    QDir().mkpath(dir);
    QFile random("/dev/urandom");
    random.open(QIODevice::ReadOnly);
    const QByteArray block = random.read(1 << 20);
    QByteArray picture;
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QBuffer buffer(&picture);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG");
    }
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("big%1.jpg").arg(i, 2, 10, QChar(u'0'));
        QFile f(dir + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(picture);
        for (qint64 done = picture.size(); done < bytes; done += block.size()) {
            QByteArray b = block;
            b.replace(0, 8, QByteArray::number(done ^ i).leftJustified(8, ' '));
            f.write(b.left(int(std::min<qint64>(b.size(), bytes - done))));
        }
        f.close();
        sums.insert(name, digest(dir + "/" + name));
    }
}

// Each file whole at exactly one of the two places.
void checkWhole(const QHash<QString, QByteArray> &sums, const QString &a, const QString &b) {
    int whole = 0, twice = 0;
    for (auto it = sums.begin(); it != sums.end(); ++it) {
        const bool inA = QFile::exists(a + "/" + it.key()), inB = QFile::exists(b + "/" + it.key());
        twice += inA && inB;
        whole += (inA != inB) && digest((inA ? a : b) + "/" + it.key()) == it.value();
    }
    check(whole == sums.size() && twice == 0,
          QStringList{QString::number(whole), "of", QString::number(sums.size()),
                      "files whole at exactly one end"}
              .join(' '));
}

void killedMove(const QString &exe, const QString &root, int files, int megabytes) {
    say(QStringLiteral("1. kill -9 in the middle of a move of %1 files of %2 MB across file "
                       "systems, then a new start")
            .arg(files)
            .arg(megabytes));
    const QString src = root + "/disk/src", dst = root + "/ram";
    QHash<QString, QByteArray> sums;
    makeFiles(src, files, qint64(megabytes) << 20, sums);
    if (!mountTmpfs(dst, QString::number(files * megabytes + 64) + "m"))
        return check(false, "tmpfs for the destination");
    run("sync", {});
    Program p(exe, src);
    if (!p.start())
        return check(false, "program started");
    p.selectAll(files);
    p.key("ctrl+x");
    p.key("ctrl+v");
    if (!p.answer("Save As", dst + "/x"))
        return check(false, "the paste asked where");
    wait(600);
    p.kill();
    const int before = QDir(dst).entryList(QDir::Files).size();
    say(QStringLiteral("  killed after 0.6 s: %1 file(s) in place at the destination, %2 left at "
                       "the source, temporaries %3")
            .arg(before)
            .arg(QDir(src).entryList(QDir::Files).size())
            .arg(hiddenTemporaries(dst).join(' ')));
    if (!p.start()) // the same program directory, journal and all
        return check(false, "program started again");
    const QString panel = p.panel("^After an interrupted command");
    say("  panel 4: " + panel);
    checkWhole(sums, src, dst);
    check(hiddenTemporaries(dst).isEmpty() && hiddenTemporaries(src).isEmpty(),
          "no temporary left");
    p.stop();
    ::umount2(QFile::encodeName(dst).constData(), MNT_DETACH);
}

void undoOntoFullDisk(const QString &exe, const QString &root) {
    say("2. Ctrl+Z of a move back onto a full tmpfs");
    const QString src = root + "/small", dst = root + "/disk/dst2";
    if (!mountTmpfs(src, "8m"))
        return check(false, "small tmpfs");
    QHash<QString, QByteArray> sums;
    makeFiles(src, 4, 1536 * 1024, sums);
    QDir().mkpath(dst);
    Program p(exe, src);
    if (!p.start())
        return check(false, "program started");
    p.selectAll(4);
    p.key("ctrl+x");
    p.key("ctrl+v");
    if (!p.answer("Save As", dst + "/x") ||
        !waitFor([&] { return QDir(dst).entryList(QDir::Files).size() == 4; }, 20000))
        return check(false, "the paste moved the files");
    QFile filler(src + "/filler.bin"); // the source volume fills up meanwhile
    filler.open(QIODevice::WriteOnly);
    const QByteArray block(1 << 16, 'f');
    while (filler.write(block) == block.size()) {
    }
    filler.close();
    p.key("ctrl+z");
    say("  panel 4: " + p.panel("^Undid Paste"));
    checkWhole(sums, src, dst);
    check(hiddenTemporaries(src).isEmpty(), "no temporary left on the full volume");
    p.stop();
    ::umount2(QFile::encodeName(src).constData(), MNT_DETACH);
}

void deleteOnVolumes(const QString &exe, const QString &root) {
    const QString uid = QString::number(::geteuid());
    struct Volume {
        const char *what, *dir;
    };
    for (const Volume &v :
         {Volume{"3. Delete on a tmpfs volume of its own, then Ctrl+Z", "vol"},
          Volume{"4a. Delete on a read-only volume", "ro"},
          Volume{"4b. Delete on a volume where no trash can be made", "blocked"}}) {
        say(v.what);
        const QString vol = root + "/" + v.dir;
        if (!mountTmpfs(vol, "4m"))
            return check(false, "tmpfs volume");
        QHash<QString, QByteArray> sums;
        makeFiles(vol, 2, 4096, sums);
        if (QLatin1String(v.dir) == "blocked")
            QFile(vol + "/.Trash-" + uid).open(QIODevice::WriteOnly);
        if (QLatin1String(v.dir) == "ro")
            ::mount(nullptr, QFile::encodeName(vol).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                    nullptr);
        Program p(exe, vol);
        if (!p.start())
            return check(false, "program started");
        p.click(p.fileRow());
        p.key("Delete");
        wait(1000);
        const bool gone = !QFile::exists(vol + "/big00.jpg");
        const QString trashed = vol + "/.Trash-" + uid + "/files/big00.jpg";
        if (QLatin1String(v.dir) == "vol") {
            check(gone && digest(trashed) == sums.value("big00.jpg") &&
                      QFile::exists(vol + "/.Trash-" + uid + "/info/big00.jpg.trashinfo"),
                  "the file is in the volume's own trash with its .trashinfo");
            p.key("ctrl+z");
            wait(1000);
            check(digest(vol + "/big00.jpg") == sums.value("big00.jpg"), "Ctrl+Z brought it back");
            say("  panel 4: " + p.panel("^Undid Delete"));
        } else if (QLatin1String(v.dir) == "ro") {
            check(!gone, "the file stays on the read-only volume");
            say("  panel 4: " + p.panel("left as they were"));
        } else {
            check(gone, "the file is deleted for good");
            say("  panel 4: " + p.panel("deleted for good"));
        }
        p.stop();
        ::umount2(QFile::encodeName(vol).constData(), MNT_DETACH);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc < 2) {
        std::printf("usage: bench_fault_runs <glimmerby executable> [files] [megabytes]\n");
        return 1;
    }
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
        return std::printf("fault runs cannot run: no private mount namespace (run as root): "
                           "%s\n",
                           strerror(errno)),
               1;
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable("xdotool").isEmpty() || qgetenv("DISPLAY").isEmpty())
        return std::printf("fault runs cannot run: they need xdotool and a display (xvfb-run)\n"),
               1;
    const QString exe = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    if (!QFileInfo(exe).isExecutable())
        return std::printf("fault runs cannot run: %s is not a program\n", qPrintable(exe)), 1;
    const int files = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    const int megabytes = argc > 3 ? std::max(1, atoi(argv[3])) : 30;
    glimmerby::testing::AccessibilityBus bus;
    if (!bus.start())
        return std::printf("fault runs cannot run: no dbus-daemon\n"), 1;
    g_bus = &bus;
    const QString base = qEnvironmentVariable("GLIMMERBY_BENCH_DIR", QDir::tempPath());
    QTemporaryDir root(base + "/glimmerby-faults-XXXXXX");
    killedMove(exe, root.path(), files, megabytes);
    undoOntoFullDisk(exe, root.path());
    deleteOnVolumes(exe, root.path());
    return g_failed ? 1 : 0;
}
