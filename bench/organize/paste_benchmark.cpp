// Pasting and deleting in the real window, beside the system's own tools on the same files:
// pasting copies within one file system against `cp`, pasting cut files from a tmpfs into a
// disk directory against `mv` followed by `sync`, and Delete in a directory of 20,000
// pictures (key to the next picture shown, decode-ahead warm) against one sorted `ls` of it.
// Runs alternate, each after a `sync`; the median of the runs is reported.
//
// Arguments: number of files (200), megabytes each (4), runs (3), pictures (20000). The disk
// side lives in $GLIMMERBY_BENCH_DIR (else the temporary directory). The tmpfs is mounted
// privately inside a new mount namespace, which needs root; without it that case is skipped.

#include "app/file_dialogs.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "picture/picture_view.h"
#include "shell/key_commands.h"
#include "support/bench_support.h"

#include <cerrno>
#include <functional>
#include <sched.h>
#include <sys/mount.h>

using namespace glimmerby;
using namespace glimmerby::bench;

namespace {

// The paste target dialog answers with the directory set before each paste.
class TargetDialogs : public FileDialogs {
  public:
    QString openFile(const FileRequest &) override { return {}; }
    QString saveFile(const FileRequest &request) override {
        return target + u'/' + request.fileName;
    }
    QString target;
};

// A private tmpfs at dir, or the reason there is none. Must run before any thread starts.
QString mountTmpfs(const QString &dir) {
    if (::geteuid() != 0)
        return QStringLiteral("not root");
    if (::unshare(CLONE_NEWNS) != 0)
        return QStringLiteral("unshare -m: ") + QString::fromLocal8Bit(std::strerror(errno));
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=2g") != 0)
        return QStringLiteral("mount: ") + QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

} // namespace

int main(int argc, char *argv[]) {
    startBenchmark(argv[0]);
    const int files = intArgument(argc, argv, 1, 200);
    const int megabytes = intArgument(argc, argv, 2, 4);
    const int runs = intArgument(argc, argv, 3, 3);
    const int pictures = intArgument(argc, argv, 4, 20000, 2);
    const QString diskBase = qEnvironmentVariable("GLIMMERBY_BENCH_DIR", QDir::tempPath());
    const QString ramDir =
        QDir::tempPath() +
        QStringLiteral("/glimmerby-paste-tmpfs-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(ramDir);
    const QString noTmpfs = mountTmpfs(ramDir);

    QApplication qtApp(argc, argv);
    requireTools({"cp", "mv", "ls", "sync"});
    QTemporaryDir disk(diskBase + QStringLiteral("/glimmerby-bench-XXXXXX"));
    if (!disk.isValid())
        cannotRun(QStringLiteral("no temporary directory under ") + diskBase);
    const QString src = disk.filePath("src"), dst = disk.filePath("dst"),
                  shots = disk.filePath("shots");
    for (const QString &d : {src, dst, shots})
        QDir().mkpath(d);
    makeRandomFiles(src, files, megabytes, QStringLiteral("track"), QStringLiteral(".mp3"));
    // One picture under many names: hard links list and delete like separate files.
    const QString first = shots + QStringLiteral("/photo00000.jpg");
    makePhotoJpeg(first, 1600, 1200, 5);
    for (int i = 1; i < pictures; ++i) {
        const QString name = shots + QStringLiteral("/photo%1.jpg").arg(i, 5, 10, QChar(u'0'));
        if (::link(QFile::encodeName(first).constData(), QFile::encodeName(name).constData()))
            cannotRun(QStringLiteral("cannot link ") + name);
    }
    syncAll();

    SandboxedApp sandbox;
    sandbox.start();
    AppContext &ctx = sandbox.ctx();
    Form1 &form = sandbox.form();
    Application &app = *sandbox.app;
    TargetDialogs dialogs;
    ctx.fileDialogs = &dialogs;

    double lastCpu = 0; // processor time of the last timed run, milliseconds
    // Every file of from selected, Ctrl+word (C or X) pressed, then Ctrl+V pasting into to;
    // the paste alone is timed.
    auto paste = [&](const QString &word, const QString &from, const QString &to) {
        ctx.browser->setDirectory(from);
        form.File1->refresh();
        for (int i = 0; i < form.File1->listCount(); ++i)
            form.File1->setSelected(i, true);
        ctx.keys->Form_KeyDown(word == QLatin1String("X") ? Qt::Key_X : Qt::Key_C,
                               Qt::ControlModifier);
        dialogs.target = to;
        QElapsedTimer t;
        t.start();
        const double cpu0 = processCpuMs();
        ctx.keys->Form_KeyDown(Qt::Key_V, Qt::ControlModifier);
        lastCpu = processCpuMs() - cpu0;
        return t.nsecsElapsed() / 1e9;
    };
    auto tool = [&](const QString &program, QStringList arguments, bool thenSync) {
        const double cpu0 = childrenCpuMs();
        const double ms = timeTool(program, arguments, thenSync);
        lastCpu = childrenCpuMs() - cpu0;
        return ms / 1e3;
    };

    struct Case {
        const char *name;
        const char *toolName;
        double goal;
        std::function<double()> ours, tool;
        std::function<void()> reset; // puts the files back in src, untimed
    };
    std::vector<Case> cases = {
        {"paste copies, one disk", "cp", 1.1,
         [&] {
             const double s = paste("C", src, dst);
             if (filesIn(dst).size() != files)
                 cannotRun(QStringLiteral("paste copies: %1 of %2 files pasted")
                               .arg(filesIn(dst).size())
                               .arg(files));
             return s;
         },
         [&] {
             QStringList a = filesIn(src);
             a << dst;
             return tool("cp", a, false);
         },
         [&] { emptyDir(dst); }},
    };
    if (noTmpfs.isEmpty()) {
        cases.push_back({"paste cut, tmpfs to disk", "mv + sync", 1.3,
                         [&] {
                             moveAll(src, ramDir);
                             syncAll();
                             const double s = paste("X", ramDir, src);
                             if (filesIn(src).size() != files)
                                 cannotRun(QStringLiteral("paste cut: %1 of %2 files pasted")
                                               .arg(filesIn(src).size())
                                               .arg(files));
                             return s;
                         },
                         [&] {
                             moveAll(src, ramDir);
                             syncAll();
                             QStringList a = filesIn(ramDir);
                             a << src;
                             return tool("mv", a, true);
                         },
                         [] {}});
    }

    std::printf("%d files of %d MB, median of %d runs (seconds)\n", files, megabytes, runs);
    for (const Case &c : cases) {
        std::vector<double> a, b, aCpu, bCpu;
        for (int r = 0; r < runs; ++r) {
            syncAll();
            a.push_back(c.ours());
            aCpu.push_back(lastCpu);
            c.reset();
            syncAll();
            b.push_back(c.tool());
            bCpu.push_back(lastCpu);
            c.reset();
        }
        std::printf("%-26s processor time: glimmerby %.3f s, %s %.3f s (ratio %.2f)\n", c.name,
                    median(aCpu) / 1e3, c.toolName, median(bCpu) / 1e3,
                    median(aCpu) / median(bCpu));
        const int left = filesIn(src).size();
        std::printf("%-26s glimmerby %7.3f  %-9s %7.3f  ratio %.2f (goal <= %.1f)%s\n", c.name,
                    median(a), c.toolName, median(b), median(a) / median(b), c.goal,
                    left == files ? "" : "  (files lost!)");
        if (left != files)
            cannotRun(QStringLiteral("%1 of %2 source files left after \"%3\"")
                          .arg(left)
                          .arg(files)
                          .arg(QLatin1String(c.name)));
    }
    if (!noTmpfs.isEmpty())
        std::printf("paste cut, tmpfs to disk   skipped: %s\n", qPrintable(noTmpfs));

    // Delete among the pictures: the picture shown, the next one decoded ahead, Delete
    // pressed, timed until the window shows another picture.
    ctx.browser->setDirectory(shots);
    form.File1->refresh();
    std::vector<double> del, list;
    const int deletes = std::min(std::max(runs, 5), pictures - 2);
    for (int r = 0; r < deletes; ++r) {
        const int row = std::max(0, std::min(100 + r * 50, form.File1->listCount() - 2));
        form.File1->setListIndex(row);
        app.state().CurrentFile = form.File1->fullPath(row);
        ctx.picture->ShowPicture();
        runEventsFor(700); // decode-ahead warm
        const QString gone = app.state().CurrentFile;
        QElapsedTimer t;
        t.start();
        ctx.keys->Form_KeyDown(Qt::Key_Delete, Qt::NoModifier);
        runEventsUntil([&] { return app.state().CurrentFile != gone; }, 10000, 1);
        qtApp.processEvents();
        del.push_back(t.nsecsElapsed() / 1e9);
        if (QFileInfo::exists(gone) || app.state().CurrentFile == gone)
            cannotRun(QStringLiteral("delete run %1: file not deleted or no picture shown").arg(r));
        list.push_back(tool(QStringLiteral("ls"), {shots}, false));
    }
    std::printf("%-26s glimmerby %7.3f  %-9s %7.3f  ratio %.2f (goal <= 4.0), %d runs\n",
                qPrintable(QStringLiteral("Delete among %1").arg(pictures)), median(del), "ls",
                median(list), median(del) / median(list), deletes);
    const int status = sandbox.finish();
    if (noTmpfs.isEmpty())
        ::umount2(QFile::encodeName(ramDir).constData(), MNT_DETACH);
    QDir().rmdir(ramDir);
    return status;
}
