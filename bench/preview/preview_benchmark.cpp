// Previewing 24-megapixel JPEG files in the real window: the time from the click to the
// fitted picture being drawn, beside `vipsthumbnail -s 650` on the same file; stepping to
// the next file after resting half a second; and the process's peak memory.

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
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <vector>

using namespace glimmerby;

namespace {

class SilentBoxes : public MessageBoxes {
  public:
    void show(const QString &, const QString &, BoxIcon) override {}
};

// A photograph-like picture: smooth gradients with fine noise, which compresses like a
// real photo rather than like a flat test card.
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
    return codec.JpegWrite(dib, path, 90);
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

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    QTemporaryDir media;
    if (!makeLargeJpeg(media.filePath("photo0.jpg")))
        return 1;
    for (int i = 1; i < 6; ++i)
        QFile::copy(media.filePath("photo0.jpg"),
                    media.filePath(QStringLiteral("photo%1.jpg").arg(i)));
    // The picture's own memory is not the preview's: start counting after making it.
    std::printf("peak memory after making the picture: %.0f MB (not counted)\n", peakMegabytes());

    QTemporaryDir appDir, lockDir;
    SilentBoxes boxes;
    StartOptions options;
    options.appDir = appDir.path();
    options.lockDir = lockDir.path();
    options.configHome = appDir.filePath("config");
    options.players.audioOutput = "null";
    {
        // Straight to the main window, without the splash window.
        QFile ini(appDir.filePath("Glimmerby.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[UserProfile]\nShowSplash=False\n");
    }
    Application app(boxes, options);
    app.Main({});
    Form1 &form = *app.form();
    form.resize(800, 600);
    AppContext &ctx = *app.context();
    ctx.browser->setDirectory(media.path());
    qtApp.processEvents();

    // Click to fitted picture drawn, nothing decoded ahead (a different file each time).
    std::vector<double> click;
    // Backwards, so that the picture decoded ahead (the next one) is never the one asked for.
    for (int i = 5; i > 0; --i) {
        form.File1->setListIndex(i);
        app.state().CurrentFile = form.File1->fullPath(i);
        QElapsedTimer t;
        t.start();
        ctx.picture->ShowPicture();
        form.photo->repaint();
        click.push_back(t.nsecsElapsed() / 1e6);
        QThread::msleep(600); // let any decode ahead finish so it does not slow the next
        qtApp.processEvents();
    }
    std::vector<double> vips;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.start("vipsthumbnail",
                {media.filePath("photo0.jpg"), "-s", "650", "-o", media.filePath("thumb.jpg")});
        p.waitForFinished(-1);
        vips.push_back(t.nsecsElapsed() / 1e6);
        if (p.exitCode() != 0)
            std::printf("vipsthumbnail failed: %s\n", p.readAllStandardError().constData());
    }

    // Stepping with a rest of half a second between steps.
    std::vector<double> steps;
    form.File1->setListIndex(0);
    app.state().CurrentFile = form.File1->fullPath(0);
    ctx.picture->ShowPicture();
    for (int i = 0; i < 10; ++i) {
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
    std::printf("click to fitted picture drawn: %.1f ms (median of 5)\n", c);
    std::printf("vipsthumbnail -s 650:          %.1f ms (ratio %.2f, goal <= 1)\n", v, c / v);
    std::printf("next picture after a rest:     %.1f ms (median of 10, worst %.1f; goal <= 50)\n",
                s, *std::max_element(steps.begin(), steps.end()));
    std::printf("peak memory while previewing:  %.0f MB (goal < 300)\n", peakMegabytes());
    app.form()->close();
    return 0;
}
