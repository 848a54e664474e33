// Copy and move batches of many large files selected in the real window, beside the
// system's own tools on the same files: a copy within one disk against `cp -r`, a move
// within one file system against `mv`, a move from the disk to a tmpfs against `mv`, and
// a move from a tmpfs to the disk against `mv` followed by `sync`. Runs alternate, each
// after a `sync`; the median of the runs is reported.
//
// Arguments: number of files (200), megabytes each (4), runs (5). The disk side lives in
// $GLIMMERBY_BENCH_DIR (else the temporary directory), the tmpfs side in /dev/shm.

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/application.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/copy_move.h"
#include "organize/file_transfer.h"
#include "organize/file_undo.h"
#include "windows/form1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace glimmerby;

namespace {

class SilentBoxes : public MessageBoxes {
  public:
    void show(const QString &, const QString &, BoxIcon) override {}
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void run(const QString &program, const QStringList &arguments) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(-1);
}

void syncAll() {
    run(QStringLiteral("sync"), {});
}

QStringList filesIn(const QString &dir) {
    QStringList out;
    for (const QString &name : QDir(dir).entryList(QDir::Files, QDir::Name))
        out << dir + u'/' + name;
    return out;
}

void emptyDir(const QString &dir) {
    for (const QString &f : filesIn(dir))
        QFile::remove(f);
}

// Moves everything back with the tool, untimed.
void moveAll(const QString &from, const QString &to) {
    QStringList args = filesIn(from);
    if (args.isEmpty())
        return;
    args << to;
    run(QStringLiteral("mv"), args);
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const int megabytes = argc > 2 ? std::max(1, atoi(argv[2])) : 4;
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;
    const QString diskBase = qEnvironmentVariable("GLIMMERBY_BENCH_DIR", QDir::tempPath());
    QTemporaryDir disk(diskBase + QStringLiteral("/glimmerby-bench-XXXXXX"));
    QTemporaryDir shm(QStringLiteral("/dev/shm/glimmerby-bench-XXXXXX"));
    if (!disk.isValid() || !shm.isValid())
        return 1;
    const QString src = disk.filePath("src"), dst = disk.filePath("dst"), ram = shm.filePath("ram");
    for (const QString &d : {src, dst, ram})
        QDir().mkpath(d);

    std::mt19937_64 random(11);
    QByteArray block(megabytes * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < files; ++i) {
        for (qsizetype k = 0; k + 8 <= block.size(); k += 8) {
            const quint64 v = random();
            memcpy(block.data() + k, &v, 8);
        }
        QFile f(src + QStringLiteral("/track%1.mp3").arg(i, 4, 10, QChar(u'0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(block) != block.size())
            return 1;
    }
    syncAll();

    QTemporaryDir appDir, lockDir;
    SilentBoxes boxes;
    StartOptions options;
    options.appDir = appDir.path();
    options.lockDir = lockDir.path();
    options.configHome = appDir.filePath("config");
    options.players.audioOutput = "null";
    options.players.videoOutput = "null";
    // Straight to the main window, without the splash.
    QFile ini(appDir.filePath("Glimmerby.ini"));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("[UserProfile]\nShowSplash=False\n") <= 0)
        return 1;
    ini.close();
    Application app(boxes, options);
    if (!app.Main(QString()))
        return 1;
    AppContext &ctx = *app.context();
    Form1 &form = *app.form();
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
        form.moveit[0]->setText(to);
        form.Copyit[0]->setText(to);
        ctx.browser->setDirectory(from);
        form.File1->refresh();
        for (int i = 0; i < form.File1->listCount(); ++i)
            form.File1->setSelected(i, true);
        QElapsedTimer t;
        t.start();
        move ? ctx.copyMove->moveit_Click(0) : ctx.copyMove->Copyit_Click(0);
        return t.nsecsElapsed() / 1e9;
    };
    auto tool = [&](const QString &program, QStringList arguments, bool thenSync) {
        QElapsedTimer t;
        t.start();
        run(program, arguments);
        if (thenSync)
            syncAll();
        return t.nsecsElapsed() / 1e9;
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
        std::printf("%-28s glimmerby %7.3f  %-9s %7.3f  ratio %.2f%s\n", c.name, median(a),
                    c.toolName, median(b), median(a) / median(b),
                    left == files ? "" : "  (files lost!)");
        std::fflush(stdout);
    }
    return 0;
}
