#pragma once
// What the benchmarks share: a real Glimmerby in a program directory of its own, message
// boxes that stay silent, an answer for any dialog that opens anyway, a guard that ends a
// stalled run, medians, outside tools and the process's memory.
//
// A benchmark runs to its end unattended. When it cannot run (a tool missing, the window
// not made, a dialog nobody expected, no progress for too long) it says why in one line
// starting with its name and ends with a non-zero status.

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/application.h"
#include "app/message_boxes.h"
#include "picture/cdibsection.h"
#include "picture/ijl.h"
#include "windows/form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace glimmerby::bench {

// The benchmark's name for its report lines (the program's own name).
inline QString &benchName() {
    static QString name = QStringLiteral("benchmark");
    return name;
}

// Ends the run: the reason on one line, status 2.
[[noreturn]] inline void cannotRun(const QString &why) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: cannot run: %s\n", qPrintable(benchName()), qPrintable(why));
    std::fflush(stderr);
    std::exit(2);
}

// A run that makes no progress for this long is stalled: it is ended from a signal handler
// with one line, as nothing on the UI thread can be trusted to run any more.
inline void stallGuard(int seconds) {
    static char message[256];
    std::snprintf(message, sizeof message, "%s: cannot run: still running after %d s, stalled\n",
                  qPrintable(benchName()), seconds);
    std::signal(SIGALRM, [](int) {
        const ssize_t ignored = ::write(STDERR_FILENO, message, std::strlen(message));
        (void)ignored;
        ::_exit(3);
    });
    ::alarm(unsigned(seconds));
}

// Names the benchmark, guards it against stalls and sets stdout unbuffered, so that a
// figure printed before a failure is not lost. The guard's default suits the full runs;
// GLIMMERBY_BENCH_STALL_SECONDS overrides it.
inline void startBenchmark(const char *argv0, int stallSeconds = 3600) {
    benchName() = QFileInfo(QString::fromLocal8Bit(argv0)).fileName();
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int asked = qEnvironmentVariableIntValue("GLIMMERBY_BENCH_STALL_SECONDS");
    stallGuard(asked > 0 ? asked : stallSeconds);
}

// The positional argument at index, at least least; fallback when it is not given.
inline int intArgument(int argc, char **argv, int index, int fallback, int least = 1) {
    if (argc <= index)
        return fallback;
    bool ok = false;
    const int value = QString::fromLocal8Bit(argv[index]).toInt(&ok);
    if (!ok)
        cannotRun(QStringLiteral("argument %1 (\"%2\") is not a number")
                      .arg(index)
                      .arg(QString::fromLocal8Bit(argv[index])));
    return std::max(least, value);
}

// Message boxes that nobody sees; the texts are kept for the report.
class SilentBoxes : public MessageBoxes {
  public:
    void show(const QString &text, const QString &, BoxIcon) override { texts << text; }
    QStringList texts;
};

// Answers every dialog that opens on the screen: "Cancel" where it has one, else it is
// closed. A benchmark answers the dialogs it expects itself; what reaches this one was not
// expected, so the run's figures are not to be trusted and it ends non-zero (see failed()).
class DialogAnswerer : public QObject {
  public:
    DialogAnswerer() {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { answerOpenDialogs(); });
        m_timer.start();
    }
    const QStringList &answered() const { return m_answered; }
    bool failed() const { return !m_answered.isEmpty(); }
    // Prints what was answered; true when nothing was.
    bool report() const {
        for (const QString &d : m_answered)
            std::fprintf(stderr, "%s: an unexpected dialog was answered: %s\n",
                         qPrintable(benchName()), qPrintable(d));
        return m_answered.isEmpty();
    }

  private:
    void answerOpenDialogs() {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QDialog *>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            m_answered << dialog->windowTitle();
            if (m_answered.size() > 50)
                cannotRun(QStringLiteral("dialog \"%1\" keeps opening").arg(dialog->windowTitle()));
            QAbstractButton *cancel = nullptr;
            for (QAbstractButton *b : dialog->findChildren<QAbstractButton *>())
                if (b->isVisible() && b->text().remove(u'&') == QLatin1String("Cancel"))
                    cancel = b;
            if (cancel)
                cancel->click();
            else
                dialog->reject();
        }
    }
    QTimer m_timer;
    QStringList m_answered;
};

// A real Glimmerby in a program directory of its own (its settings, scratch files and
// single-instance lock belong to the benchmark alone), straight to the main window without
// the splash, silent players, silent boxes and an answer for stray dialogs.
struct SandboxedApp {
    QTemporaryDir appDir;
    QTemporaryDir lockDir;
    SilentBoxes boxes;
    DialogAnswerer dialogs;
    std::unique_ptr<Application> app;

    // withVideo: the movie player draws its picture. The window is 800 x 600.
    void start(bool withVideo = false, const QString &commandLine = {}) {
        if (!appDir.isValid() || !lockDir.isValid())
            cannotRun(QStringLiteral("no temporary directory for the program"));
        // Deleted files go to a home trash of the benchmark's own, not the user's.
        qputenv("XDG_DATA_HOME", QFile::encodeName(appDir.filePath(QStringLiteral("data"))));
        QFile ini(appDir.filePath(QStringLiteral("Glimmerby.ini")));
        if (!ini.open(QIODevice::WriteOnly) || ini.write("[UserProfile]\nShowSplash=False\n") <= 0)
            cannotRun(QStringLiteral("cannot write the settings file ") + ini.fileName());
        ini.close();
        StartOptions options;
        options.appDir = appDir.path();
        options.lockDir = lockDir.path();
        options.configHome = appDir.filePath(QStringLiteral("config"));
        options.players.audioOutput = QStringLiteral("null");
        if (!withVideo)
            options.players.videoOutput = QStringLiteral("null");
        app = std::make_unique<Application>(boxes, options);
        if (!app->Main(commandLine))
            cannotRun(QStringLiteral("the program did not start"));
        if (!app->form() || !app->context())
            cannotRun(QStringLiteral("the program started without its main window"));
        form().resize(800, 600);
        QApplication::processEvents();
    }
    Form1 &form() { return *app->form(); }
    AppContext &ctx() { return *app->context(); }
    AppState &state() { return app->state(); }
    // Closes the window; the exit status for the run (1 when a stray dialog was answered).
    int finish() {
        if (app && app->form())
            app->form()->close();
        QApplication::processEvents();
        return dialogs.report() ? 0 : 1;
    }
};

// ---- Figures ----

inline double median(std::vector<double> v) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double best(const std::vector<double> &v) {
    return v.empty() ? -1 : *std::min_element(v.begin(), v.end());
}

// Milliseconds taken by work.
template <typename Work> double timeMs(Work &&work) {
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

// Processor time of this thread and of the finished child processes, in milliseconds: on a
// shared machine these move far less with the load than wall time does.
inline double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
inline double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}
inline double childrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// A line of /proc/self/status in megabytes ("VmRSS", "VmHWM").
inline double statusMegabytes(const char *key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble() /
                   1024.0;
    return -1;
}

// Starts the high-water mark afresh: making the media is not the program's memory.
inline void resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Lets the window run for ms milliseconds.
inline void runEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents();
        QThread::msleep(2);
    }
}

// Runs the window until done() answers true or timeoutMs has passed, the way a window
// idles: the thread sleeps in the event loop between events, woken by a tick every tickMs
// to ask again. A loop that polls without sleeping takes a core from the program's own
// worker threads and so slows what it measures. Returns done()'s last answer.
template <typename Done> bool runEventsUntil(Done &&done, int timeoutMs, int tickMs = 2) {
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(tickMs);
    bool finished = done();
    while (!finished && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        finished = done();
    }
    return finished;
}

// Shows the list's file at `from`, then steps on with ShowNextFile `steps` times, each after
// a rest of restMs with the window idle (decoding ahead has its chance); the milliseconds
// each step took to the picture drawn. Needs browser/preview_dispatcher.h,
// picture/picture_view.h and windows/picture_widgets.h.
template <typename Context, typename Window>
std::vector<double> stepTimesAfterRest(Context &ctx, Window &form, AppState &state, int steps,
                                       int restMs = 500, int from = 0) {
    std::vector<double> times;
    form.File1->setListIndex(from);
    state.CurrentFile = form.File1->fullPath(from);
    ctx.picture->ShowPicture();
    for (int i = 0; i < steps; ++i) {
        runEventsFor(restMs);
        QElapsedTimer t;
        t.start();
        ctx.preview->ShowNextFile();
        form.photo->repaint();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return times;
}

// ---- Outside tools ----

// Ends the run when one of the tools is not installed.
inline void requireTools(const QStringList &tools, const QString &package = {}) {
    for (const QString &tool : tools)
        if (QStandardPaths::findExecutable(tool).isEmpty())
            cannotRun(tool + QStringLiteral(" is not installed") +
                      (package.isEmpty() ? QString() : QStringLiteral(" (") + package + u')'));
}

// Runs a tool to its end, output discarded; false when it failed. A tool that cannot be
// started at all ends the run.
inline bool runTool(const QString &program, const QStringList &arguments) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, arguments);
    if (!p.waitForStarted(-1))
        cannotRun(program + QStringLiteral(" could not be started"));
    p.waitForFinished(-1);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Milliseconds a tool takes; a failing tool ends the run.
inline double timeTool(const QString &program, const QStringList &arguments,
                       bool thenSync = false) {
    QElapsedTimer t;
    t.start();
    if (!runTool(program, arguments))
        cannotRun(program + QStringLiteral(" failed: ") + arguments.join(u' ').left(200));
    if (thenSync)
        runTool(QStringLiteral("sync"), {});
    return t.nsecsElapsed() / 1e6;
}

inline void syncAll() {
    runTool(QStringLiteral("sync"), {});
}

// ---- Files ----

inline QStringList filesIn(const QString &dir) {
    QStringList out;
    for (const QString &name : QDir(dir).entryList(QDir::Files, QDir::Name))
        out << dir + u'/' + name;
    return out;
}

inline void emptyDir(const QString &dir) {
    for (const QString &f : filesIn(dir))
        QFile::remove(f);
}

// Moves every file of from into to with mv, untimed.
inline void moveAll(const QString &from, const QString &to) {
    QStringList args = filesIn(from);
    if (args.isEmpty())
        return;
    args << to;
    if (!runTool(QStringLiteral("mv"), args))
        cannotRun(QStringLiteral("mv could not put the files back from ") + from);
}

// Files of random bytes, megabytes each, named prefix0000 + ending.
inline void makeRandomFiles(const QString &dir, int count, int megabytes, const QString &prefix,
                            const QString &ending) {
    std::mt19937_64 random(11);
    QByteArray block(qsizetype(megabytes) * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < count; ++i) {
        for (qsizetype k = 0; k + 8 <= block.size(); k += 8) {
            const quint64 v = random();
            std::memcpy(block.data() + k, &v, 8);
        }
        QFile f(dir + u'/' + prefix + QStringLiteral("%1").arg(i, 4, 10, QChar(u'0')) + ending);
        if (!f.open(QIODevice::WriteOnly) || f.write(block) != block.size())
            cannotRun(QStringLiteral("cannot write ") + f.fileName());
    }
}

// A photograph-like JPEG at quality 90: smooth gradients under fine noise, which
// compresses like a real photo rather than like a flat test card.
inline void makePhotoJpeg(const QString &path, int width, int height, int seed = 7) {
    cDIBSection dib;
    if (!dib.Create(width, height, 3))
        cannotRun(QStringLiteral("no memory for a %1 x %2 picture").arg(width).arg(height));
    std::mt19937 random{unsigned(seed)};
    for (int y = 0; y < height; ++y) {
        unsigned char *row = dib.TopRow(y);
        for (int x = 0; x < width; ++x) {
            const int noise = int(random() % 24);
            row[x * 3 + 0] = static_cast<unsigned char>((x * 250 / width + seed * 9 + noise) & 255);
            row[x * 3 + 1] = static_cast<unsigned char>((y * 250 / height + noise) & 255);
            row[x * 3 + 2] =
                static_cast<unsigned char>(((x + y) * 150 / (width + height) + noise) & 255);
        }
    }
    SilentBoxes boxes;
    IJL codec(boxes);
    if (!codec.JpegWrite(dib, path, 90))
        cannotRun(QStringLiteral("cannot write the picture ") + path);
}

} // namespace glimmerby::bench
