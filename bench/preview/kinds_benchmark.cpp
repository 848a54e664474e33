// Previewing 24-megapixel pictures of today's kinds (PNG, WebP, TIFF, HEIC) in the real
// window: for each kind, the time from the click to the fitted picture being drawn beside
// `vipsthumbnail -s 650` on the same file in the same run, the next picture after a rest
// of half a second, and at the end the process's peak memory. Goals: at most 1.0x
// vipsthumbnail, at most 50 ms for the next picture, under 300 MB.

#include "app/app_state.h"
#include "app/application.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "picture/cdibsection.h"
#include "picture/ijl.h"
#include "picture/picture_view.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace glimmerby;

namespace {

constexpr int copies = 4; // clicked backwards 3, 2, 1; stepped from 0

class SilentBoxes : public MessageBoxes {
  public:
    int shown = 0;
    void show(const QString &text, const QString &, BoxIcon) override {
        ++shown;
        std::printf("box: %s\n", qPrintable(text));
    }
};

// A photograph-like 6000 x 4000 picture: smooth gradients under fine noise.
bool makeLargeJpeg(const QString &path) {
    cDIBSection dib;
    if (!dib.Create(6000, 4000, 3))
        return false;
    std::mt19937 random(7);
    for (int y = 0; y < 4000; ++y) {
        unsigned char *row = dib.TopRow(y);
        for (int x = 0; x < 6000; ++x) {
            const int noise = int(random() % 24);
            row[x * 3 + 0] = static_cast<unsigned char>((x / 24 + noise) & 255);
            row[x * 3 + 1] = static_cast<unsigned char>((y / 16 + noise) & 255);
            row[x * 3 + 2] = static_cast<unsigned char>(((x + y) / 40 + noise) & 255);
        }
    }
    SilentBoxes boxes;
    IJL codec(boxes);
    return codec.JpegWrite(dib, path, 92);
}

bool run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::printf("%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return false;
    }
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Starts the high-water mark afresh (what getrusage reports too).
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

struct Kind {
    const char *name;
    const char *ending;
};

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    for (const char *tool : {"vips", "vipsthumbnail", "heif-enc"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            std::printf("cannot run: %s is not installed (scripts/setup.sh installs it)\n", tool);
            return 2;
        }
    QTemporaryDir media;
    const QString jpeg = media.filePath("source.jpg");
    if (!makeLargeJpeg(jpeg)) {
        std::printf("cannot run: the 24-megapixel source picture could not be made\n");
        return 2;
    }
    const Kind kinds[] = {{"PNG", "png"}, {"WebP", "webp"}, {"TIFF", "tif"}, {"HEIC", "heic"}};
    std::printf("making the 24-megapixel pictures (HEIC takes a while)...\n");
    for (const Kind &k : kinds) {
        const QString dir = media.filePath(k.ending);
        QDir().mkpath(dir);
        const QString first = dir + "/photo0." + k.ending;
        const bool made =
            QByteArray(k.ending) == "heic"
                ? run("heif-enc", {"-q", "80", "-p", "preset=fast", jpeg, "-o", first})
            : QByteArray(k.ending) == "webp" ? run("vips", {"copy", jpeg, first + "[Q=85]"})
                                             : run("vips", {"copy", jpeg, first});
        if (!made) {
            std::printf("cannot run: the %s picture could not be made\n", k.name);
            return 2;
        }
        for (int i = 1; i < copies; ++i)
            QFile::copy(first, dir + QStringLiteral("/photo%1.").arg(i) + k.ending);
    }
    std::printf("peak memory after making the pictures: %.0f MB (not counted)\n", peakMegabytes());
    resetPeak();

    QTemporaryDir appDir, lockDir;
    SilentBoxes boxes;
    StartOptions options;
    options.appDir = appDir.path();
    options.lockDir = lockDir.path();
    options.configHome = appDir.filePath("config");
    options.players.audioOutput = "null";
    {
        QFile ini(appDir.filePath("Glimmerby.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[UserProfile]\nShowSplash=False\n");
    }
    Application app(boxes, options);
    app.Main({});
    Form1 &form = *app.form();
    form.resize(800, 600);
    AppContext &ctx = *app.context();

    bool met = true;
    std::printf("\n%-5s %10s %14s %7s %12s %12s\n", "kind", "click ms", "vipsthumb ms", "ratio",
                "next ms", "next worst");
    double peak = peakMegabytes(); // the window's own
    for (const Kind &k : kinds) {
        peak = std::max(peak, peakMegabytes());
        resetPeak();
        const QString dir = media.filePath(k.ending);
        ctx.browser->setDirectory(dir);
        qtApp.processEvents();
        std::vector<double> click;
        for (int i = copies - 1; i > 0; --i) { // backwards: nothing decoded ahead is asked for
            form.File1->setListIndex(i);
            app.state().CurrentFile = form.File1->fullPath(i);
            QElapsedTimer t;
            t.start();
            ctx.picture->ShowPicture();
            form.photo->repaint();
            click.push_back(t.nsecsElapsed() / 1e6);
            QThread::msleep(1500); // let the decode ahead finish so it does not slow the next
            qtApp.processEvents();
        }
        std::vector<double> vips;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer t;
            t.start();
            if (!run("vipsthumbnail",
                     {dir + "/photo0." + k.ending, "-s", "650", "-o", media.filePath("thumb.jpg")}))
                return 2;
            vips.push_back(t.nsecsElapsed() / 1e6);
        }
        std::vector<double> steps;
        form.File1->setListIndex(0);
        app.state().CurrentFile = form.File1->fullPath(0);
        ctx.picture->ShowPicture();
        for (int i = 0; i < 2 * copies; ++i) {
            QElapsedTimer rest;
            rest.start();
            while (rest.elapsed() < 500) {
                qtApp.processEvents();
                QThread::msleep(5);
            }
            QElapsedTimer t;
            t.start();
            ctx.preview->ShowNextFile();
            form.photo->repaint();
            steps.push_back(t.nsecsElapsed() / 1e6);
        }
        const double c = median(click), v = median(vips), s = median(steps);
        const double worst = *std::max_element(steps.begin(), steps.end());
        std::printf("%-5s %10.1f %14.1f %7.2f %12.1f %12.1f\n", k.name, c, v, c / v, s, worst);
        std::printf("      (shown %d x %d, status line %s, peak memory %.0f MB)\n",
                    form.photo->width(), form.photo->height(), qPrintable(form.panelText(2)),
                    peakMegabytes());
        met = met && c <= v && s <= 50;
        qtApp.processEvents();
    }
    peak = std::max(peak, peakMegabytes());
    std::printf("\npeak memory while previewing: %.0f MB (goal < 300)\n", peak);
    std::printf("goals (click <= 1.0x vipsthumbnail, next <= 50 ms, memory < 300 MB): %s\n",
                met && peak < 300 && boxes.shown == 0 ? "met" : "NOT met");
    app.form()->close();
    return 0;
}
