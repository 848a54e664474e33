// The thumbnail grid on a folder of 1,000 JPEG photographs of 12 megapixels, in the real
// window under Xvfb, with a desktop thumbnail cache of its own:
//  - cold cache: the first screen of cells after G, all 1,000 thumbnails, and the same files
//    through `vipsthumbnail -s 128` on both cores (xargs -P 2) for comparison;
//  - warm cache (the folder left and visited again): the first screen and all cells;
//  - how long a key waited to be handled while the thumbnails were made, and the
//    resident memory throughout.
// The photographs are made once into $GLIMMERBY_BENCH_DIR (default: a folder in the
// temporary directory) and reused by later runs.

#include "app/app_state.h"
#include "app/application.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/grid_controller.h"
#include "browser/pane_widgets.h"
#include "picture/cdibsection.h"
#include "picture/ijl.h"
#include "shell/key_commands.h"
#include "support/bench_support.h"
#include "windows/form1.h"
#include "windows/thumbnail_grid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sys/resource.h>

using namespace glimmerby;

namespace {

constexpr int distinctPhotos = 8;

// A photograph-like picture (4000 x 3000 in the full run): smooth gradients under fine
// noise.
bool makeJpeg(const QString &path, int seed, int width) {
    const int height = width * 3 / 4;
    cDIBSection dib;
    if (!dib.Create(width, height, 3))
        return false;
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        unsigned char *row = dib.TopRow(y);
        for (int x = 0; x < width; ++x) {
            const int noise = int(random() % 24);
            row[x * 3 + 0] = static_cast<unsigned char>((x / 16 + seed * 9 + noise) & 255);
            row[x * 3 + 1] = static_cast<unsigned char>((y / 12 + noise) & 255);
            row[x * 3 + 2] = static_cast<unsigned char>(((x + y) / 30 + noise) & 255);
        }
    }
    bench::SilentBoxes boxes;
    IJL codec(boxes);
    return codec.JpegWrite(dib, path, 90);
}

QString photoName(int i) {
    return QStringLiteral("photo%1.jpg").arg(i, 4, 10, QChar('0'));
}

// The folder of photographs, made when it is not complete.
bool preparePhotos(const QString &dir, int photoCount, int width) {
    QDir().mkpath(dir);
    for (int i = 0; i < photoCount; ++i) {
        const QString path = dir + u'/' + photoName(i);
        if (QFileInfo(path).size() > 0)
            continue;
        if (i < distinctPhotos) {
            if (!makeJpeg(path, i + 1, width))
                return false;
        } else if (!QFile::copy(dir + u'/' + photoName(i % distinctPhotos), path)) {
            return false;
        }
    }
    return true;
}

// Processor seconds (user and system) of this process, or of its finished children.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Watches the grid's keys: how long each posted key waited before it was handled.
class KeyWatch : public QObject {
  public:
    QElapsedTimer clock;
    qint64 postedAt = -1;
    qint64 worst = 0;
    int handled = 0;
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::KeyPress && postedAt >= 0) {
            worst = std::max(worst, clock.elapsed() - postedAt);
            ++handled;
            postedAt = -1;
        }
        return false;
    }
};

struct Filling {
    double firstScreen = -1; // seconds from the start to the visible cells filled
    double all = -1;         // seconds to every cell filled
};

// Runs the window until every cell is filled; keys are posted to the grid every 100 ms
// and the resident memory is sampled.
Filling runUntilFilled(ThumbnailGridController &grid, ThumbnailGrid *view, KeyWatch &keys,
                       double &peakMb, int timeoutMs) {
    Filling f;
    QElapsedTimer t;
    t.start();
    qint64 nextKey = 50;
    int direction = 0;
    bench::runEventsUntil(
        [&] {
            if (f.firstScreen < 0) {
                const QList<int> rows = view->visibleRows();
                bool filled = !rows.isEmpty();
                for (int row : rows)
                    if (view->cell(view->model()->index(row, 0).data().toString()).look ==
                        ThumbnailGrid::Look::Waiting)
                        filled = false;
                if (filled)
                    f.firstScreen = t.elapsed() / 1000.0;
            }
            if (grid.pendingCount() == 0 && f.firstScreen >= 0) {
                f.all = t.elapsed() / 1000.0;
                return true;
            }
            if (t.elapsed() >= nextKey && keys.postedAt < 0) {
                nextKey = t.elapsed() + 100;
                keys.postedAt = keys.clock.elapsed();
                const int key = (direction++ % 2) ? Qt::Key_Left : Qt::Key_Right;
                QCoreApplication::postEvent(view,
                                            new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
                peakMb = std::max(peakMb, bench::statusMegabytes("VmRSS"));
            }
            return false;
        },
        timeoutMs);
    peakMb = std::max(peakMb, bench::statusMegabytes("VmRSS"));
    return f;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    bench::startBenchmark(argv[0]);
    // Arguments: photographs (1000), their width (4000; the height is three quarters).
    const int photoCount = bench::intArgument(argc, argv, 1, 1000);
    const int width = bench::intArgument(argc, argv, 2, 4000, 16);
    bench::requireTools({"vipsthumbnail"}, QStringLiteral("libvips-tools"));
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    const bool fullRun = photoCount == 1000 && width == 4000;
    const QString dir =
        qEnvironmentVariable("GLIMMERBY_BENCH_DIR", QDir::tempPath() + "/glimmerby-bench-grid") +
        (fullRun ? QString() : QStringLiteral("-%1-%2").arg(photoCount).arg(width));
    std::printf("photographs in %s\n", qPrintable(dir));
    if (!preparePhotos(dir, photoCount, width))
        bench::cannotRun(QStringLiteral("the photographs could not be made in ") + dir);
    QTemporaryDir cacheHome, elsewhere, vipsOut;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5"); // the high-water mark starts after the photographs were made
    }

    bench::SandboxedApp sandbox;
    sandbox.start();
    Form1 &form = sandbox.form();
    form.resize(1024, 768);
    AppContext &ctx = sandbox.ctx();
    ctx.browser->setDirectory(dir);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        qtApp.processEvents();
    if (form.File1->listCount() != photoCount)
        bench::cannotRun(QStringLiteral("%1 files listed, %2 expected")
                             .arg(form.File1->listCount())
                             .arg(photoCount));

    KeyWatch keys;
    keys.clock.start();
    form.Grid1->installEventFilter(&keys);
    double peak = 0;
    std::printf("%d workers, window 1024 x 768\n", QThread::idealThreadCount());
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    ctx.keys->Form_KeyDown(Qt::Key_G, Qt::NoModifier);
    const Filling cold = runUntilFilled(*ctx.grid, form.Grid1, keys, peak, 600000);
    const double gridCpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    const qint64 coldWorstKey = keys.worst;
    const int coldKeys = keys.handled;
    std::printf("visible cells: %d\n", int(form.Grid1->visibleRows().size()));
    std::printf("cold cache: first screen %.3f s, all %d in %.2f s (%.1f per second)\n",
                cold.firstScreen, photoCount, cold.all, photoCount / cold.all);
    std::printf("  longest wait of a key while thumbnailing: %lld ms over %d keys\n",
                static_cast<long long>(coldWorstKey), coldKeys);

    // The same files through vipsthumbnail on both cores.
    QProcess xargs;
    xargs.start(QStringLiteral("xargs"), {"-0", "-P", "2", "-n", "25", vips, "-s", "128", "-o",
                                          vipsOut.path() + QStringLiteral("/%s.png")});
    const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer vt;
    vt.start();
    QByteArray list;
    for (int i = 0; i < photoCount; ++i)
        list += QFile::encodeName(dir + u'/' + photoName(i)) + '\0';
    xargs.write(list);
    xargs.closeWriteChannel();
    xargs.waitForFinished(-1);
    const double vipsSeconds = vt.elapsed() / 1000.0;
    const double vipsCpu = cpuSeconds(RUSAGE_CHILDREN) - childrenBefore;
    const int vipsMade = int(QDir(vipsOut.path()).entryList(QDir::Files).size());
    std::printf("vipsthumbnail -s 128, xargs -P 2: %d in %.2f s; grid / vips = %.2fx\n", vipsMade,
                vipsSeconds, cold.all / vipsSeconds);
    // On a machine shared with other work the wall times drift with the load; the
    // processor time each side spent does not.
    std::printf("processor time: grid %.1f s (window included), vipsthumbnail %.1f s; %.2fx\n",
                gridCpu, vipsCpu, gridCpu / vipsCpu);

    // Warm: the folder left and visited again reads every thumbnail from the cache.
    ctx.browser->setDirectory(elsewhere.path());
    qtApp.processEvents();
    ctx.browser->setDirectory(dir);
    keys.worst = 0;
    const Filling warm = runUntilFilled(*ctx.grid, form.Grid1, keys, peak, 120000);
    std::printf("warm cache: first screen %.3f s, all in %.2f s\n", warm.firstScreen, warm.all);
    std::printf("resident memory: peak sampled %.0f MB, high-water mark %.0f MB\n", peak,
                bench::statusMegabytes("VmHWM"));

    const auto goal = [](bool met) { return met ? "met" : "NOT met"; };
    std::printf("\ngoals%s:\n",
                fullRun ? "" : " (measured on 1,000 photographs of 4000 x 3000 only)");
    std::printf("  first screen within 1.0 s (cold): %.3f s, %s\n", cold.firstScreen,
                goal(cold.firstScreen >= 0 && cold.firstScreen <= 1.0));
    std::printf("  at least 40 per second: %.1f, %s\n", photoCount / cold.all,
                goal(photoCount / cold.all >= 40));
    std::printf("  at most 1.0x vipsthumbnail's time: %.2fx, %s\n", cold.all / vipsSeconds,
                goal(cold.all <= vipsSeconds));
    std::printf("  warm first screen within 0.3 s: %.3f s, %s\n", warm.firstScreen,
                goal(warm.firstScreen >= 0 && warm.firstScreen <= 0.3));
    std::printf("  warm all within 3 s: %.2f s, %s\n", warm.all,
                goal(warm.all >= 0 && warm.all <= 3));
    std::printf("  a key handled within 50 ms: %lld ms, %s\n", static_cast<long long>(coldWorstKey),
                goal(coldWorstKey <= 50));
    std::printf("  resident memory under 300 MB: %.0f MB, %s\n", bench::statusMegabytes("VmHWM"),
                goal(bench::statusMegabytes("VmHWM") < 300));
    return sandbox.finish();
}
