// Time to the first picture: the real executable started from a fresh program directory
// with a photo on its command line, timed from the process start until the picture's
// pixels are on the screen (read back from the X server of a private Xvfb), beside qimgv
// and geeqie doing the same in the same run. A 17.9-megapixel and an 800 x 450 JPEG,
// median of 5 (or RUNS) after one warm-up each. Also reports the split: process start to window
// shown, window shown to picture.
//
// Usage: bench_startup PATH-TO-GLIMMERBY [RUNS]  (qimgv and geeqie are timed when installed;
// RUNS after the warm-up, 5 by default). Ends non-zero when Glimmerby never showed a picture.

#include "app/message_boxes.h"
#include "picture/cdibsection.h"
#include "picture/ijl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

using namespace glimmerby;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int screenWidth = 1600, screenHeight = 1200;
constexpr int rowStep = 16;         // screen rows read per poll: every 16th
constexpr int picturePixels = 1500; // picture-coloured pixels in those rows that mean "shown"
constexpr int timeoutMs = 20000;

class SilentBoxes : public MessageBoxes {
  public:
    void show(const QString &, const QString &, BoxIcon) override {}
};

// A photograph-like picture (smooth gradients under fine noise) in shades of magenta that
// no viewer's own interface uses, so that its pixels can be told apart on the screen.
bool makeJpeg(const QString &path, int width, int height) {
    cDIBSection dib;
    if (!dib.Create(width, height, 3))
        return false;
    std::mt19937 random(11);
    for (int y = 0; y < height; ++y) {
        unsigned char *row = dib.TopRow(y);
        for (int x = 0; x < width; ++x) {
            const int noise = int(random() % 40);
            row[x * 3 + 0] = static_cast<unsigned char>(170 + (x * 45 / width) + noise / 2); // B
            row[x * 3 + 1] = static_cast<unsigned char>(10 + (y * 50 / height) + noise);     // G
            row[x * 3 + 2] = static_cast<unsigned char>(175 + ((x + y) * 40 / (width + height)) +
                                                        noise / 2); // R
        }
    }
    SilentBoxes boxes;
    IJL codec(boxes);
    return codec.JpegWrite(dib, path, 90);
}

bool isPicturePixel(unsigned long pixel) {
    const int r = int((pixel >> 16) & 255), g = int((pixel >> 8) & 255), b = int(pixel & 255);
    return r > 150 && b > 150 && g < 120;
}

// A window may go between listing it and asking about it: that is no reason to stop.
int ignoreXErrors(Display *, XErrorEvent *) {
    return 0;
}

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Xvfb {
    QProcess server;
    Display *display = nullptr;
    QString name;

    bool start() {
        for (int n = 140; n < 240; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            name = QStringLiteral(":%1").arg(n);
            server.start("Xvfb", {name, "-screen", "0",
                                  QStringLiteral("%1x%2x24").arg(screenWidth).arg(screenHeight),
                                  "-nolisten", "tcp", "-br"});
            if (!server.waitForStarted(5000))
                return false;
            for (int i = 0; i < 100 && !display; ++i) {
                QThread::msleep(50);
                display = XOpenDisplay(name.toLatin1().constData());
            }
            if (display) {
                XSetErrorHandler(ignoreXErrors);
                return true;
            }
            server.kill();
            server.waitForFinished();
        }
        return false;
    }
    ~Xvfb() {
        if (display)
            XCloseDisplay(display);
        server.terminate();
        server.waitForFinished(5000);
    }

    // A top-level window of some size is mapped.
    bool windowShown() const {
        Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, root, &root, &parent, &children, &count))
            return false;
        bool shown = false;
        for (unsigned int i = 0; i < count && !shown; ++i) {
            XWindowAttributes a;
            if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable &&
                a.width >= 100 && a.height >= 100)
                shown = true;
        }
        if (children)
            XFree(children);
        return shown;
    }

    int picturePixelsOnScreen() const {
        int found = 0;
        const Window root = DefaultRootWindow(display);
        for (int y = rowStep / 2; y < screenHeight; y += rowStep) {
            XImage *row = XGetImage(display, root, 0, y, screenWidth, 1, AllPlanes, ZPixmap);
            if (!row)
                continue;
            for (int x = 0; x < screenWidth; ++x)
                found += isPicturePixel(XGetPixel(row, x, 0)) ? 1 : 0;
            XDestroyImage(row);
        }
        return found;
    }
};

struct Viewer {
    QString name;
    QString program;
    bool glimmerby = false;
};

struct Run {
    double window = -1;  // process start to the first window mapped
    double picture = -1; // process start to the picture on the screen
};

std::optional<Run> timeOne(Xvfb &x, const Viewer &viewer, const QString &picture) {
    QTemporaryDir home, programDir;
    QDir(home.path()).mkpath(".config");
    QDir(home.path()).mkpath(".cache");
    QDir(home.path()).mkpath(".local/share");
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.filePath("runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString program = viewer.program;
    if (viewer.glimmerby) {
        program = programDir.filePath("glimmerby");
        QFile::copy(viewer.program, program);
        QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
        QFile ini(programDir.filePath("Glimmerby.ini"));
        if (!ini.open(QIODevice::WriteOnly))
            return std::nullopt;
        // An 800 x 600 window (sizes in twips at 96 dots per inch).
        ini.write("[UserProfile]\nShowSplash=False\nForm Width=12000\nForm Height=9000\n"
                  "Form Left=0\nForm Top=0\n");
    }
    std::vector<QByteArray> env;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        for (const char *drop :
             {"DISPLAY=", "HOME=", "XDG_", "DBUS_SESSION_BUS_ADDRESS=", "QT_QPA_PLATFORM="})
            if (entry.startsWith(drop))
                goto skip;
        env.push_back(entry);
    skip:;
    }
    env.push_back("DISPLAY=" + x.name.toLatin1());
    env.push_back("HOME=" + home.path().toLocal8Bit());
    env.push_back("XDG_CONFIG_HOME=" + home.filePath(".config").toLocal8Bit());
    env.push_back("XDG_CACHE_HOME=" + home.filePath(".cache").toLocal8Bit());
    env.push_back("XDG_DATA_HOME=" + home.filePath(".local/share").toLocal8Bit());
    env.push_back("XDG_RUNTIME_DIR=" + home.filePath("runtime").toLocal8Bit());
    std::vector<char *> envp;
    for (QByteArray &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    QByteArray exe = QFile::encodeName(program), arg = QFile::encodeName(picture);
    char *argv[] = {exe.data(), arg.data(), nullptr};

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const Clock::time_point t0 = Clock::now();
    const int spawned = posix_spawn(&pid, exe.constData(), &files, &attr, argv, envp.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0)
        return std::nullopt;

    const pid_t group = pid;
    Run run;
    while (msSince(t0) < timeoutMs) {
        if (run.window < 0 && x.windowShown())
            run.window = msSince(t0);
        if (x.picturePixelsOnScreen() >= picturePixels) {
            run.picture = msSince(t0);
            if (run.window < 0)
                run.window = run.picture;
            break;
        }
        QThread::usleep(1000);
    }
    kill(-group, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = 0;
            break;
        }
        QThread::msleep(30);
    }
    kill(-group, SIGKILL); // the viewer if it is still there, and anything it left behind
    if (pid)
        waitpid(pid, nullptr, 0);
    // Let the screen clear before the next start.
    for (int i = 0; i < 100 && (x.windowShown() || x.picturePixelsOnScreen() > 0); ++i)
        QThread::msleep(20);
    if (run.picture < 0)
        return std::nullopt;
    return run;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        std::fprintf(stderr, "bench_startup: cannot run: usage: bench_startup PATH-TO-GLIMMERBY "
                             "[RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    const QString glimmerby = QString::fromLocal8Bit(argv[1]);
    std::vector<Viewer> viewers{{"Glimmerby", QFileInfo(glimmerby).absoluteFilePath(), true}};
    for (const char *peer : {"qimgv", "geeqie"}) {
        const QString path = QStandardPaths::findExecutable(peer);
        if (!path.isEmpty())
            viewers.push_back({peer, path, false});
        else
            std::printf("%s is not installed: not measured\n", peer);
    }

    QTemporaryDir media;
    const QString large = media.filePath("large.jpg"), small = media.filePath("small.jpg");
    if (!makeJpeg(large, 5640, 3172) || !makeJpeg(small, 800, 450)) {
        std::fprintf(stderr, "bench_startup: cannot run: the pictures could not be made\n");
        return 2;
    }
    Xvfb x;
    if (!x.start()) {
        std::fprintf(stderr, "bench_startup: cannot run: Xvfb could not be started\n");
        return 2;
    }
    std::printf("screen %dx%d on %s; median of %d after one warm-up\n", screenWidth, screenHeight,
                qPrintable(x.name), runs);

    struct Result {
        double picture, window;
    };
    std::vector<std::vector<Result>> results(viewers.size());
    const QStringList pictures{large, small};
    for (const QString &picture : pictures) {
        for (size_t v = 0; v < viewers.size(); ++v) {
            std::vector<double> pictureTimes, windowTimes;
            for (int i = 0; i < runs + 1; ++i) {
                const std::optional<Run> run = timeOne(x, viewers[v], picture);
                if (!run) {
                    std::printf("  %s: no picture within %d ms\n", qPrintable(viewers[v].name),
                                timeoutMs);
                    continue;
                }
                std::printf("  %s %s run %d: window %.1f ms, picture %.1f ms\n",
                            qPrintable(viewers[v].name), qPrintable(QFileInfo(picture).fileName()),
                            i, run->window, run->picture);
                if (i == 0)
                    continue; // warm-up
                pictureTimes.push_back(run->picture);
                windowTimes.push_back(run->window);
            }
            results[v].push_back({median(pictureTimes), median(windowTimes)});
        }
    }

    const char *labels[] = {"17.9 MP (5640 x 3172)", "800 x 450"};
    for (size_t p = 0; p < 2; ++p) {
        std::printf("\n%s:\n", labels[p]);
        double fastestPeer = -1;
        for (size_t v = 1; v < viewers.size(); ++v)
            if (results[v][p].picture > 0 &&
                (fastestPeer < 0 || results[v][p].picture < fastestPeer))
                fastestPeer = results[v][p].picture;
        for (size_t v = 0; v < viewers.size(); ++v) {
            const Result &r = results[v][p];
            std::printf("  %-10s picture on screen %7.1f ms  (window shown %7.1f ms, window to "
                        "picture %7.1f ms)\n",
                        qPrintable(viewers[v].name), r.picture, r.window, r.picture - r.window);
        }
        if (fastestPeer > 0)
            std::printf("  Glimmerby / faster peer: %.2f (goal <= 1.0)\n",
                        results[0][p].picture / fastestPeer);
    }
    for (size_t p = 0; p < 2; ++p)
        if (results[0][p].picture < 0) {
            std::fprintf(stderr, "bench_startup: cannot run: Glimmerby never showed %s\n",
                         labels[p]);
            return 1;
        }
    return 0;
}
