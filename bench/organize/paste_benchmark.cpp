// Pasting and deleting in the real window, beside the system's own tools on the same files:
// pasting copies within one file system against `cp`, pasting cut files from a tmpfs into a
// disk directory against `mv` followed by `sync`, and Delete in a directory of 20,000
// pictures (key to the next picture shown, decode-ahead warm) against one sorted `ls` of it.
// Runs alternate, each after a `sync`; the median of the runs is reported.
//
// Arguments: number of files (200), megabytes each (4), runs (3), pictures (20000). The disk
// side lives in $GLIMMERBY_BENCH_DIR (else the temporary directory). The tmpfs is mounted
// privately inside a new mount namespace, which needs root; without it that case is skipped.

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/application.h"
#include "app/file_dialogs.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "picture/cdibsection.h"
#include "picture/ijl.h"
#include "picture/picture_view.h"
#include "shell/key_commands.h"
#include "windows/form1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

using namespace glimmerby;

namespace {

class SilentBoxes : public MessageBoxes {
  public:
    void show(const QString &, const QString &, BoxIcon) override {}
};

// The paste target dialog answers with the directory set before each paste.
class TargetDialogs : public FileDialogs {
  public:
    QString openFile(const FileRequest &) override { return {}; }
    QString saveFile(const FileRequest &request) override {
        return target + u'/' + request.fileName;
    }
    QString target;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void run(const QString &program, const QStringList &arguments) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
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

// Moves everything with the tool, untimed.
void moveAll(const QString &from, const QString &to) {
    QStringList args = filesIn(from);
    if (args.isEmpty())
        return;
    args << to;
    run(QStringLiteral("mv"), args);
}

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

bool makeJpeg(const QString &path) {
    cDIBSection dib;
    if (!dib.Create(1600, 1200, 3))
        return false;
    std::mt19937 random(5);
    for (int y = 0; y < 1200; ++y) {
        unsigned char *row = dib.TopRow(y);
        for (int x = 0; x < 1600; ++x) {
            const int noise = int(random() % 24);
            row[x * 3 + 0] = static_cast<unsigned char>((x / 8 + noise) & 255);
            row[x * 3 + 1] = static_cast<unsigned char>((y / 6 + noise) & 255);
            row[x * 3 + 2] = static_cast<unsigned char>(((x + y) / 15 + noise) & 255);
        }
    }
    SilentBoxes boxes;
    IJL codec(boxes);
    return codec.JpegWrite(dib, path, 90);
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
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const int megabytes = argc > 2 ? std::max(1, atoi(argv[2])) : 4;
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 3;
    const int pictures = argc > 4 ? std::max(2, atoi(argv[4])) : 20000;
    const QString diskBase = qEnvironmentVariable("GLIMMERBY_BENCH_DIR", QDir::tempPath());
    const QString ramDir =
        QDir::tempPath() +
        QStringLiteral("/glimmerby-paste-tmpfs-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(ramDir);
    const QString noTmpfs = mountTmpfs(ramDir);

    QApplication qtApp(argc, argv);
    QTemporaryDir disk(diskBase + QStringLiteral("/glimmerby-bench-XXXXXX"));
    if (!disk.isValid())
        return 1;
    const QString src = disk.filePath("src"), dst = disk.filePath("dst"),
                  shots = disk.filePath("shots");
    for (const QString &d : {src, dst, shots})
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
    // One picture under many names: hard links list and delete like separate files.
    const QString first = shots + QStringLiteral("/photo00000.jpg");
    if (!makeJpeg(first))
        return 1;
    for (int i = 1; i < pictures; ++i) {
        const QString name = shots + QStringLiteral("/photo%1.jpg").arg(i, 5, 10, QChar(u'0'));
        if (::link(QFile::encodeName(first).constData(), QFile::encodeName(name).constData()))
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
    form.resize(800, 600);
    TargetDialogs dialogs;
    ctx.fileDialogs = &dialogs;

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
        ctx.keys->Form_KeyDown(Qt::Key_V, Qt::ControlModifier);
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
        double goal;
        std::function<double()> ours, tool;
        std::function<void()> reset; // puts the files back in src, untimed
    };
    std::vector<Case> cases = {
        {"paste copies, one disk", "cp", 1.1,
         [&] {
             const double s = paste("C", src, dst);
             if (filesIn(dst).size() != files)
                 std::printf("paste copies: %d files pasted\n", int(filesIn(dst).size()));
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
                             return paste("X", ramDir, src);
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
        std::printf("%-26s glimmerby %7.3f  %-9s %7.3f  ratio %.2f (goal <= %.1f)%s\n", c.name,
                    median(a), c.toolName, median(b), median(a) / median(b), c.goal,
                    left == files ? "" : "  (files lost!)");
        std::fflush(stdout);
    }
    if (!noTmpfs.isEmpty())
        std::printf("paste cut, tmpfs to disk   skipped: %s\n", qPrintable(noTmpfs));

    // Delete among the pictures: the picture shown, the next one decoded ahead, Delete
    // pressed, timed until the window shows another picture.
    ctx.browser->setDirectory(shots);
    form.File1->refresh();
    std::vector<double> del, list;
    const int deletes = std::max(runs, 5);
    for (int r = 0; r < deletes; ++r) {
        const int row = 100 + r * 50;
        form.File1->setListIndex(row);
        app.state().CurrentFile = form.File1->fullPath(row);
        ctx.picture->ShowPicture();
        runEventsFor(qtApp, 700); // decode-ahead warm
        const QString gone = app.state().CurrentFile;
        QElapsedTimer t;
        t.start();
        ctx.keys->Form_KeyDown(Qt::Key_Delete, Qt::NoModifier);
        while (app.state().CurrentFile == gone && t.elapsed() < 10000)
            qtApp.processEvents();
        qtApp.processEvents();
        del.push_back(t.nsecsElapsed() / 1e9);
        if (QFileInfo::exists(gone) || app.state().CurrentFile == gone)
            std::printf("delete run %d: file not deleted or no picture shown\n", r);
        list.push_back(tool(QStringLiteral("ls"), {shots}, false));
    }
    std::printf("%-26s glimmerby %7.3f  %-9s %7.3f  ratio %.2f (goal <= 4.0), %d runs\n",
                qPrintable(QStringLiteral("Delete among %1").arg(pictures)), median(del), "ls",
                median(list), median(del) / median(list), deletes);
    form.close();
    if (noTmpfs.isEmpty())
        ::umount2(QFile::encodeName(ramDir).constData(), MNT_DETACH);
    QDir().rmdir(ramDir);
    return 0;
}
