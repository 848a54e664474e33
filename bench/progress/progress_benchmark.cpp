// The progress procedures in the real window, which holds the movie player's OpenGL view:
// 20,000 pb1plus1 calls beside a sorted `ls` of a 20,000-file directory, and 4,000
// pbplus1 calls beside `jpegtran -rotate 90` on a 12-megapixel JPEG. Also the cost of
// one step that processes events every time, for comparison.

#include "app/app_state.h"
#include "app/application.h"
#include "app/message_boxes.h"
#include "picture/cdibsection.h"
#include "picture/ijl.h"
#include "shell/toggles_controller.h"
#include "windows/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

using namespace glimmerby;

namespace {

class SilentBoxes : public MessageBoxes {
  public:
    void show(const QString &, const QString &, BoxIcon) override {}
};

bool makeJpeg(const QString &path, int width, int height) {
    cDIBSection dib;
    if (!dib.Create(width, height, 3))
        return false;
    std::mt19937 random(11);
    for (int y = 0; y < height; ++y) {
        unsigned char *row = dib.TopRow(y);
        for (int x = 0; x < width; ++x) {
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

template <typename F> double timeMs(F &&work) {
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    QTemporaryDir work;
    const QString listed = work.filePath("listed");
    QDir().mkpath(listed);
    for (int i = 0; i < 20000; ++i)
        QFile(QStringLiteral("%1/file%2.jpg").arg(listed).arg(i, 5, 10, QChar('0')))
            .open(QIODevice::WriteOnly);
    const QString photo = work.filePath("photo.jpg");
    if (!makeJpeg(photo, 4000, 3000))
        return 1;

    QTemporaryDir appDir, lockDir;
    SilentBoxes boxes;
    StartOptions options;
    options.appDir = appDir.path();
    options.lockDir = lockDir.path();
    options.configHome = appDir.filePath("config");
    options.players.audioOutput = "null";
    Application app(boxes, options);
    app.Main({});
    Form1 &form = *app.form();
    form.resize(800, 600);
    form.MediaPlayer2->show();
    for (int i = 0; i < 20; ++i)
        qtApp.processEvents();
    TogglesController &toggles = *app.context()->toggles;

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
        for (int i = 0; i < 20000; ++i)
            form.PB1->setValue(form.PB1->value() % form.PB1->maximum() + 1);
        form.PB1->setUpdatesEnabled(true);
    });
    for (int i = 0; i < 5; ++i)
        qtApp.processEvents();
    const double pb1 = timeMs([&] {
        for (int i = 0; i < 20000; ++i)
            toggles.pb1plus1();
    });
    const double pb = timeMs([&] {
        for (int i = 0; i < 4000; ++i)
            toggles.pbplus1(QStringLiteral("Converting"));
    });

    const double ls = runMs(QStringLiteral("ls"), {listed});
    const double jpegtran = runMs(QStringLiteral("jpegtran"),
                                  {QStringLiteral("-rotate"), QStringLiteral("90"),
                                   QStringLiteral("-outfile"), work.filePath("turned.jpg"), photo});

    std::printf("step with events every time: %.3f ms a call (%d calls)\n", unthrottled / everyTime,
                everyTime);
    std::printf("20000 steps without events: %.1f ms\n", stepsOnly);
    std::printf("20000 pb1plus1: %.1f ms; sorted ls of 20000 files: %.1f ms -> %s\n", pb1, ls,
                ls >= 0 && pb1 <= ls ? "met" : "NOT met");
    std::printf("4000 pbplus1: %.1f ms; jpegtran -rotate 90 on 12 MP: %.1f ms; goal 25 %%: %.1f "
                "ms -> %s\n",
                pb, jpegtran, jpegtran * 0.25,
                jpegtran >= 0 && pb <= jpegtran * 0.25 ? "met" : "NOT met");
    return 0;
}
