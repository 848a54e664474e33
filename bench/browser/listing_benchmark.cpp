// Lists a directory of 20,000 files with the "All" pattern into the real file list and
// compares the time with a sorted `ls` and with `find` matching the same 16 patterns.

#include "browser/directory_listing.h"
#include "browser/media_kinds.h"
#include "browser/pane_widgets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace glimmerby;

namespace {

double medianMs(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeCommand(const QString &program, const QStringList &args) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    p.waitForFinished(-1);
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const char *endings[] = {".jpg", ".JPG", ".mpg",  ".avi", ".wav", ".mp3", ".txt", ".doc",
                             ".gif", ".bmp", ".jpeg", ".mov", ".asf", ".wmv", ".mid", ".dat"};
    for (int i = 0; i < 20000; ++i) {
        QFile f(dir.filePath(
            QStringLiteral("File %1 name%2").arg(i * 7919 % 20000).arg(endings[i % 16])));
        f.open(QIODevice::WriteOnly);
    }
    const QString all = filterChoices()[4].pattern;
    QStringList findArgs{dir.path(), "-maxdepth", "1", "-type", "f", "("};
    const QStringList globs = all.split(';');
    for (int i = 0; i < globs.size(); ++i) {
        if (i > 0)
            findArgs << "-o";
        findArgs << "-iname" << globs[i];
    }
    findArgs << ")";

    FileListBox list;
    list.setPattern(all);
    std::vector<double> ours, core, ls, find;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer t;
        t.start();
        const DirectoryListing listing = listFiles(dir.path(), FilePattern(all));
        core.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        list.setPath(dir.path());
        list.setListIndex(0);
        app.processEvents();
        ours.push_back(t.nsecsElapsed() / 1e6);
        ls.push_back(timeCommand("ls", {"-1", dir.path()}));
        find.push_back(timeCommand("find", findArgs));
        if (round == 0)
            std::printf("files listed: %d\n", int(listing.files.size()));
    }
    const double o = medianMs(ours), l = medianMs(ls), f = medianMs(find);
    std::printf("listing (read, match, sort): %.1f ms\n", medianMs(core));
    std::printf("into the file list:          %.1f ms\n", o);
    std::printf("sorted ls:                   %.1f ms  (ratio %.2f, goal <= 2)\n", l, o / l);
    std::printf("find, 16 patterns:           %.1f ms  (ratio %.2f)\n", f, o / f);
    return 0;
}
