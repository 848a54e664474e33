// Delete into the desktop's trash and Ctrl+Z in the real window, beside the system's own
// tools on the same files in the same run: Delete of many selected files against
// `gio trash` (GLib's implementation of the same trash layout), and the undo of a move of
// many files within one file system against `mv` of them back. Runs alternate; the median
// is reported.
//
// Arguments: files for the delete (1000), files for the undo (200), runs (5). Files live in
// $GLIMMERBY_BENCH_DIR (else the temporary directory); the trash is a fresh home trash on
// the same file system. Exits non-zero with a line saying why when it cannot run.

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/application.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/copy_move.h"
#include "organize/destination.h"
#include "organize/file_commands.h"
#include "organize/file_undo.h"
#include "windows/form1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
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

QStringList filesIn(const QString &dir) {
    QStringList out;
    for (const QString &name : QDir(dir).entryList(QDir::Files, QDir::Name))
        out << dir + u'/' + name;
    return out;
}

bool fill(const QString &dir, int count) {
    QDir().mkpath(dir);
    const QByteArray content(4096, 'p');
    for (int i = 0; i < count; ++i) {
        QFile f(dir + QStringLiteral("/track%1.mp3").arg(i, 5, 10, QChar(u'0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return false;
    }
    return true;
}

int fail(const char *why) {
    std::printf("bench_trash_undo cannot run: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication qtApp(argc, argv);
    const int deletes = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int moves = argc > 2 ? std::max(1, atoi(argv[2])) : 200;
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 5;
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        return fail("gio is not installed (libglib2.0-bin)");
    const QString base = qEnvironmentVariable("GLIMMERBY_BENCH_DIR", QDir::tempPath());
    QTemporaryDir work(base + QStringLiteral("/glimmerby-bench-XXXXXX"));
    if (!work.isValid())
        return fail("no working directory");
    const QString dataHome = work.filePath("data"), trash = dataHome + "/Trash";
    const QString files = work.filePath("files"), from = work.filePath("from"),
                  to = work.filePath("to");
    QDir().mkpath(to);

    QTemporaryDir appDir, lockDir;
    SilentBoxes boxes;
    StartOptions options;
    options.appDir = appDir.path();
    options.lockDir = lockDir.path();
    options.configHome = appDir.filePath("config");
    options.homeTrash = trash;
    options.players.audioOutput = "null";
    options.players.videoOutput = "null";
    QFile ini(appDir.filePath("Glimmerby.ini"));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("[UserProfile]\nShowSplash=False\n") <= 0)
        return fail("cannot write the settings file");
    ini.close();
    Application app(boxes, options);
    if (!app.Main(QString()))
        return fail("the program did not start");
    AppContext &ctx = *app.context();
    Form1 &form = *app.form();
    const auto selectAll = [&](const QString &dir) {
        ctx.browser->setDirectory(dir);
        form.File1->setPattern(QStringLiteral("*.*"));
        form.File1->refresh();
        for (int i = 0; i < form.File1->listCount(); ++i)
            form.File1->setSelected(i, true);
        return form.File1->listCount();
    };
    const auto emptyTrash = [&] { QDir(trash).removeRecursively(); };

    std::vector<double> ours, theirs, undo, mv;
    for (int r = 0; r < runs; ++r) {
        // Delete of every file of the folder, selected in the list.
        if (!fill(files, deletes) || selectAll(files) != deletes)
            return fail("cannot make the files to delete");
        QElapsedTimer t;
        t.start();
        ctx.files->DeleteSelectedFiles();
        ours.push_back(t.nsecsElapsed() / 1e9);
        if (!filesIn(files).isEmpty() || filesIn(trash + "/files").size() != deletes)
            return fail("the delete left files or did not trash them all");
        emptyTrash();

        // The same files to the same trash with gio, in one process.
        if (!fill(files, deletes))
            return fail("cannot make the files to delete");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        p.setProcessEnvironment(env);
        t.restart();
        p.start(gio, QStringList{QStringLiteral("trash")} + filesIn(files));
        p.waitForFinished(-1);
        theirs.push_back(t.nsecsElapsed() / 1e9);
        if (p.exitCode() != 0 || !filesIn(files).isEmpty())
            return fail("gio trash failed");
        emptyTrash();

        // A move of many files within one file system, then Ctrl+Z.
        QDir(from).removeRecursively();
        if (!fill(from, moves) || selectAll(from) != moves)
            return fail("cannot make the files to move");
        SetDestinationDir(ctx, to + u'/');
        ctx.copyMove->moveit_Click(0);
        if (filesIn(to).size() != moves)
            return fail("the move did not move every file");
        t.restart();
        ctx.undo->undoLast();
        undo.push_back(t.nsecsElapsed() / 1e9);
        if (filesIn(from).size() != moves)
            return fail("the undo did not bring every file back");
        // mv of them back, on the same files.
        if (selectAll(from) != moves)
            return fail("cannot select the files brought back");
        ctx.copyMove->moveit_Click(0);
        if (filesIn(to).size() != moves)
            return fail("the second move did not move every file");
        QStringList back = filesIn(to);
        back << from;
        t.restart();
        QProcess::execute(QStringLiteral("mv"), back);
        mv.push_back(t.nsecsElapsed() / 1e9);
        if (filesIn(from).size() != moves)
            return fail("mv did not move every file back");
    }
    std::printf("median of %d runs (seconds)\n", runs);
    std::printf("Delete of %d files to the trash  glimmerby %7.3f  gio trash %7.3f  ratio %.2f\n",
                deletes, median(ours), median(theirs), median(ours) / median(theirs));
    std::printf("Undo of a move of %d files      glimmerby %7.3f  mv back   %7.3f  ratio %.2f\n",
                moves, median(undo), median(mv), median(undo) / median(mv));
    return 0;
}
