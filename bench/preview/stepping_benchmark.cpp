// Memory while stepping quickly through large pictures in the real window: 40 JPEG files
// of 12 megapixels, Down pressed 2,400 times 15 ms apart with a pause of a second after
// every 120. Reports the resident memory at each pause, its plateau (the highest of the
// last five pauses) and the high-water mark of the whole run. Goal: under 300 MB.

#include "app/app_state.h"
#include "app/application.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "picture/cdibsection.h"
#include "picture/ijl.h"
#include "picture/picture_view.h"
#include "shell/key_commands.h"
#include "windows/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace glimmerby;

namespace {

constexpr int pictureCount = 40;
constexpr int presses = 2400;
constexpr int pressIntervalMs = 15;
constexpr int pressesPerPause = 120;
constexpr int pauseMs = 1000;

class SilentBoxes : public MessageBoxes {
  public:
    void show(const QString &, const QString &, BoxIcon) override {}
};

// A photograph-like 4000 x 3000 picture: smooth gradients under fine noise.
bool makeJpeg(const QString &path, int seed) {
    cDIBSection dib;
    if (!dib.Create(4000, 3000, 3))
        return false;
    std::mt19937 random(seed);
    for (int y = 0; y < 3000; ++y) {
        unsigned char *row = dib.TopRow(y);
        for (int x = 0; x < 4000; ++x) {
            const int noise = int(random() % 24);
            row[x * 3 + 0] = static_cast<unsigned char>((x / 16 + seed * 9 + noise) & 255);
            row[x * 3 + 1] = static_cast<unsigned char>((y / 12 + noise) & 255);
            row[x * 3 + 2] = static_cast<unsigned char>(((x + y) / 30 + noise) & 255);
        }
    }
    SilentBoxes boxes;
    IJL codec(boxes);
    return codec.JpegWrite(dib, path, 90);
}

// A line of /proc/self/status in megabytes ("VmRSS", "VmHWM").
double statusMegabytes(const char *key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble() /
                   1024.0;
    }
    return -1;
}

void runEventsFor(QApplication &qtApp, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        qtApp.processEvents();
        QThread::msleep(2);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QTemporaryDir media;
    // Four different pictures under forty names: every step decodes a file anew.
    for (int i = 0; i < 4; ++i)
        if (!makeJpeg(media.filePath(QStringLiteral("photo%1.jpg").arg(i, 2, 10, QChar('0'))),
                      i + 1))
            return 1;
    for (int i = 4; i < pictureCount; ++i)
        QFile::copy(media.filePath(QStringLiteral("photo%1.jpg").arg(i % 4, 2, 10, QChar('0'))),
                    media.filePath(QStringLiteral("photo%1.jpg").arg(i, 2, 10, QChar('0'))));
    // Making the pictures is not the program's memory: start the high-water mark afresh.
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
    }

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
    form.File1->setListIndex(0);
    app.state().CurrentFile = form.File1->fullPath(0);
    ctx.picture->ShowPicture();
    runEventsFor(qtApp, 500);
    std::printf("resident after the first picture: %.0f MB\n", statusMegabytes("VmRSS"));

    std::vector<double> atPauses;
    QElapsedTimer clock;
    clock.start();
    qint64 next = 0;
    for (int i = 1; i <= presses; ++i) {
        while (clock.elapsed() < next) {
            qtApp.processEvents();
            QThread::msleep(1);
        }
        next = clock.elapsed() + pressIntervalMs;
        ctx.keys->Form_KeyDown(Qt::Key_Down, Qt::NoModifier);
        qtApp.processEvents();
        if (i % pressesPerPause == 0) {
            runEventsFor(qtApp, pauseMs);
            atPauses.push_back(statusMegabytes("VmRSS"));
            std::printf("  after %4d presses: resident %.0f MB\n", i, atPauses.back());
            next = clock.elapsed();
        }
    }
    std::printf("last picture shown: %s (%s), %.1f s of stepping\n",
                qPrintable(QFileInfo(app.state().CurrentFile).fileName()),
                qPrintable(form.panelText(2).trimmed()), clock.elapsed() / 1000.0);
    const double plateau = *std::max_element(atPauses.end() - 5, atPauses.end());
    std::printf("resident plateau while stepping: %.0f MB (goal < 300)\n", plateau);
    std::printf("high-water mark of the run:      %.0f MB (goal < 300)\n",
                statusMegabytes("VmHWM"));
    form.close();
    return 0;
}
