// The progress procedures in the real window, which holds the movie player's OpenGL view:
// 20,000 pb1plus1 calls beside a sorted `ls` of a 20,000-file directory, and 4,000
// pbplus1 calls beside `jpegtran -rotate 90` on a 12-megapixel JPEG. Also the cost of
// one step that processes events every time, for comparison.

#include "shell/toggles_controller.h"
#include "support/bench_support.h"

using namespace glimmerby;
using namespace glimmerby::bench;

namespace {

// Wall time of an outside program in milliseconds; the best of three runs.
double runMs(const QString &program, const QStringList &arguments) {
    double best = -1;
    for (int i = 0; i < 3; ++i) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        p.start(program, arguments);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return -1;
        const double ms = t.nsecsElapsed() / 1e6;
        if (best < 0 || ms < best)
            best = ms;
    }
    return best;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    startBenchmark(argv[0]);
    // Arguments: files listed and pb1plus1 calls (20000), pbplus1 calls (4000).
    const int listedFiles = intArgument(argc, argv, 1, 20000);
    const int pbCalls = intArgument(argc, argv, 2, 4000);
    requireTools({"ls", "jpegtran"}, QStringLiteral("libjpeg-turbo-progs"));
    QTemporaryDir work;
    if (!work.isValid())
        cannotRun(QStringLiteral("no temporary directory"));
    const QString listed = work.filePath("listed");
    QDir().mkpath(listed);
    for (int i = 0; i < listedFiles; ++i)
        QFile(QStringLiteral("%1/file%2.jpg").arg(listed).arg(i, 5, 10, QChar('0')))
            .open(QIODevice::WriteOnly);
    const QString photo = work.filePath("photo.jpg");
    makePhotoJpeg(photo, 4000, 3000, 11);

    SandboxedApp sandbox;
    sandbox.start(true);
    Form1 &form = sandbox.form();
    form.MediaPlayer2->show();
    for (int i = 0; i < 20; ++i)
        qtApp.processEvents();
    TogglesController &toggles = *sandbox.ctx().toggles;

    // One step with its events processed every time, as a batch would without the limit.
    const int everyTime = 200;
    const double unthrottled = timeMs([&] {
        for (int i = 0; i < everyTime; ++i) {
            form.PB->setValue(form.PB->value() % form.PB->maximum() + 1);
            form.setPanelText(4, QStringLiteral("Step %1... ").arg(i));
            QCoreApplication::processEvents();
        }
    });

    // The step alone, without any event processing, to tell the two costs apart.
    const double stepsOnly = timeMs([&] {
        form.PB1->setUpdatesEnabled(false);
        for (int i = 0; i < listedFiles; ++i)
            form.PB1->setValue(form.PB1->value() % form.PB1->maximum() + 1);
        form.PB1->setUpdatesEnabled(true);
    });
    for (int i = 0; i < 5; ++i)
        qtApp.processEvents();
    const double pb1 = timeMs([&] {
        for (int i = 0; i < listedFiles; ++i)
            toggles.pb1plus1();
    });
    const double pb = timeMs([&] {
        for (int i = 0; i < pbCalls; ++i)
            toggles.pbplus1(QStringLiteral("Converting"));
    });

    const double ls = runMs(QStringLiteral("ls"), {listed});
    const double jpegtran = runMs(QStringLiteral("jpegtran"),
                                  {QStringLiteral("-rotate"), QStringLiteral("90"),
                                   QStringLiteral("-outfile"), work.filePath("turned.jpg"), photo});

    std::printf("step with events every time: %.3f ms a call (%d calls)\n", unthrottled / everyTime,
                everyTime);
    if (ls < 0 || jpegtran < 0)
        cannotRun(QStringLiteral("ls or jpegtran failed"));
    std::printf("%d steps without events: %.1f ms\n", listedFiles, stepsOnly);
    std::printf("%d pb1plus1: %.1f ms; sorted ls of %d files: %.1f ms -> %s\n", listedFiles, pb1,
                listedFiles, ls, pb1 <= ls ? "met" : "NOT met");
    std::printf("%d pbplus1: %.1f ms; jpegtran -rotate 90 on 12 MP: %.1f ms; goal 25 %%: %.1f "
                "ms -> %s\n",
                pbCalls, pb, jpegtran, jpegtran * 0.25, pb <= jpegtran * 0.25 ? "met" : "NOT met");
    return sandbox.finish();
}
