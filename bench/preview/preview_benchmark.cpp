// Previewing 24-megapixel JPEG files in the real window: the time from the click to the
// fitted picture being drawn, beside `vipsthumbnail -s 650` on the same file; stepping to
// the next file after resting half a second; and the process's peak memory.

#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "picture/picture_view.h"
#include "support/bench_support.h"
#include "windows/picture_widgets.h"

#include <sys/resource.h>
#include <unistd.h>

using namespace glimmerby;
using namespace glimmerby::bench;

namespace {

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    startBenchmark(argv[0]);
    // Arguments: picture width (6000; the height is two thirds of it), steps (10).
    const int width = intArgument(argc, argv, 1, 6000, 16);
    const int stepCount = intArgument(argc, argv, 2, 10);
    requireTools({"vipsthumbnail"}, QStringLiteral("libvips-tools"));
    QTemporaryDir media;
    if (!media.isValid())
        cannotRun(QStringLiteral("no temporary directory"));
    // Every picture is looked at once only, as the window keeps the last few shown: clicked
    // 5 to 1, stepped from 6 on. The names are hard links to one file.
    const QString first = media.filePath("photo000.jpg");
    makePhotoJpeg(first, width, width * 2 / 3);
    for (int i = 1; i < 7 + stepCount; ++i) {
        const QString name =
            media.filePath(QStringLiteral("photo%1.jpg").arg(i, 3, 10, QChar(u'0')));
        if (::link(QFile::encodeName(first).constData(), QFile::encodeName(name).constData()) != 0)
            cannotRun(QStringLiteral("no second name for the picture"));
    }
    // The picture's own memory is not the preview's: start counting after making it.
    std::printf("peak memory after making the picture: %.0f MB (not counted)\n", peakMegabytes());

    SandboxedApp sandbox;
    sandbox.start(true);
    Form1 &form = sandbox.form();
    AppContext &ctx = sandbox.ctx();
    Application &app = *sandbox.app;
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
    for (int i = 0; i < 5; ++i)
        vips.push_back(
            timeTool("vipsthumbnail", {first, "-s", "650", "-o", media.filePath("thumb.jpg")}));

    // Stepping with a rest of half a second between steps.
    const std::vector<double> steps = stepTimesAfterRest(ctx, form, app.state(), stepCount, 500, 6);

    const double c = median(click), v = median(vips), s = median(steps);
    std::printf("click to fitted picture drawn: %.1f ms (median of 5)\n", c);
    std::printf("vipsthumbnail -s 650:          %.1f ms (ratio %.2f, goal <= 1)\n", v, c / v);
    std::printf("next picture after a rest:     %.1f ms (median of %d, worst %.1f; goal <= 50)\n",
                s, stepCount, *std::max_element(steps.begin(), steps.end()));
    std::printf("peak memory while previewing:  %.0f MB (goal < 300)\n", peakMegabytes());
    return sandbox.finish();
}
