// Copy and move batches of many large files selected in the real window, beside the
// system's own tools on the same files: a copy within one disk against `cp -r`, a move
// within one file system against `mv`, a move from the disk to a tmpfs against `mv`, and
// a move from a tmpfs to the disk against `mv` followed by `sync`. Runs alternate, each
// after a `sync`; the median of the runs is reported.
//
// Arguments: number of files (200), megabytes each (4), runs (5). The disk side lives in
// $GLIMMERBY_BENCH_DIR (else the temporary directory), the tmpfs side in /dev/shm.

#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/copy_move.h"
#include "organize/destination.h"
#include "organize/file_transfer.h"
#include "support/bench_support.h"
#include "organize/file_undo.h"

#include <functional>

using namespace glimmerby;
using namespace glimmerby::bench;

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    startBenchmark(argv[0]);
    const int files = intArgument(argc, argv, 1, 200);
    const int megabytes = intArgument(argc, argv, 2, 4);
    const int runs = intArgument(argc, argv, 3, 5);
    requireTools({"cp", "mv", "sync"});
    const QString diskBase = qEnvironmentVariable("GLIMMERBY_BENCH_DIR", QDir::tempPath());
    QTemporaryDir disk(diskBase + QStringLiteral("/glimmerby-bench-XXXXXX"));
    QTemporaryDir shm(QStringLiteral("/dev/shm/glimmerby-bench-XXXXXX"));
    if (!disk.isValid())
        cannotRun(QStringLiteral("no temporary directory under ") + diskBase);
    if (!shm.isValid())
        cannotRun(QStringLiteral("no temporary directory under /dev/shm"));
    const QString src = disk.filePath("src"), dst = disk.filePath("dst"), ram = shm.filePath("ram");
    for (const QString &d : {src, dst, ram})
        QDir().mkpath(d);
    makeRandomFiles(src, files, megabytes, QStringLiteral("track"), QStringLiteral(".mp3"));
    syncAll();

    SandboxedApp sandbox;
    sandbox.start();
    AppContext &ctx = sandbox.ctx();
    Form1 &form = sandbox.form();
    // GLIMMERBY_BENCH_JOURNAL=0: the commands run without journal and undo history.
    const bool journal = qEnvironmentVariable("GLIMMERBY_BENCH_JOURNAL", "1") != "0";
    ctx.undo->setRecording(journal);
    std::printf("journal and undo history: %s\n", journal ? "on" : "off");

    // One batch in the window: every file of from selected, to as the destination.
    // GLIMMERBY_BENCH_CORE=1: the file operations alone, without the window's batch.
    const bool coreOnly = qEnvironmentVariableIntValue("GLIMMERBY_BENCH_CORE") == 1;
    auto core = [&](bool move, const QString &from, const QString &to) {
        QElapsedTimer t;
        t.start();
        DurableMoves group;
        for (const QString &f : filesIn(from)) {
            const QString target = to + u'/' + QFileInfo(f).fileName();
            move ? MoveFileTo(f, target, Clash::Keep, &group) : CopyFileTo(f, target, Clash::Keep);
        }
        group.flush();
        return t.nsecsElapsed() / 1e9;
    };
    auto ours = [&](bool move, const QString &from, const QString &to) {
        if (coreOnly)
            return core(move, from, to);
        SetDestinationDir(ctx, to + u'/');
        ctx.browser->setDirectory(from);
        form.File1->refresh();
        for (int i = 0; i < form.File1->listCount(); ++i)
            form.File1->setSelected(i, true);
        QElapsedTimer t;
        t.start();
        move ? ctx.copyMove->moveit_Click(0) : ctx.copyMove->Copyit_Click(0);
        const double seconds = t.nsecsElapsed() / 1e9;
        // A batch that did not do the work measured nothing.
        if (filesIn(to).size() != files)
            cannotRun(QStringLiteral("the batch left %1 of %2 files in %3 (panel 4: \"%4\")")
                          .arg(filesIn(to).size())
                          .arg(files)
                          .arg(to, form.panelText(4).trimmed()));
        return seconds;
    };
    auto tool = [&](const QString &program, QStringList arguments, bool thenSync) {
        return timeTool(program, arguments, thenSync) / 1e3;
    };

    struct Case {
        const char *name;
        const char *toolName;
        std::function<double()> ours, tool;
        std::function<void()> reset; // puts the files back in src, untimed
    };
    const std::vector<Case> cases = {
        {"copy within the disk", "cp -r", [&] { return ours(false, src, dst); },
         [&] {
             return tool("cp", {"-r", src + "/.", dst}, false);
         },
         [&] { emptyDir(dst); }},
        {"move within the file system", "mv", [&] { return ours(true, src, dst); },
         [&] {
             QStringList a = filesIn(src);
             a << dst;
             return tool("mv", a, false);
         },
         [&] { moveAll(dst, src); }},
        {"move disk to tmpfs", "mv", [&] { return ours(true, src, ram); },
         [&] {
             QStringList a = filesIn(src);
             a << ram;
             return tool("mv", a, false);
         },
         [&] { moveAll(ram, src); }},
        {"move tmpfs to disk", "mv + sync",
         [&] {
             moveAll(src, ram);
             syncAll();
             return ours(true, ram, src);
         },
         [&] {
             moveAll(src, ram);
             syncAll();
             QStringList a = filesIn(ram);
             a << src;
             return tool("mv", a, true);
         },
         [] {}},
    };

    std::printf("%d files of %d MB, median of %d runs (seconds)\n", files, megabytes, runs);
    bool lost = false;
    for (const Case &c : cases) {
        std::vector<double> a, b;
        for (int r = 0; r < runs; ++r) {
            syncAll();
            a.push_back(c.ours());
            c.reset();
            syncAll();
            b.push_back(c.tool());
            c.reset();
        }
        const int left = filesIn(src).size();
        lost = lost || left != files;
        std::printf("%-28s glimmerby %7.3f  %-9s %7.3f  ratio %.2f%s\n", c.name, median(a),
                    c.toolName, median(b), median(a) / median(b),
                    left == files ? "" : "  (files lost!)");
    }
    if (!sandbox.boxes.texts.isEmpty())
        std::printf("boxes shown: %s\n", qPrintable(sandbox.boxes.texts.join(" | ")));
    const int status = sandbox.finish();
    if (lost)
        cannotRun(QStringLiteral("files went missing from the source directory"));
    return status;
}
