// Lists a directory of 20,000 files with the "All" pattern into the real file list and
// compares the time with a sorted `ls` and with `find` matching the same 16 patterns: wall
// time, and processor time (ours on the UI thread, the tool's in its process), which a
// shared machine's load disturbs far less.
// Arguments: files (20000), rounds (7).

#include "browser/directory_listing.h"
#include "browser/media_kinds.h"
#include "browser/pane_widgets.h"
#include "support/bench_support.h"

using namespace glimmerby;
using namespace glimmerby::bench;

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    startBenchmark(argv[0]);
    const int files = intArgument(argc, argv, 1, 20000);
    const int rounds = intArgument(argc, argv, 2, 7);
    requireTools({"ls", "find"});
    QTemporaryDir dir;
    if (!dir.isValid())
        cannotRun(QStringLiteral("no temporary directory"));
    const char *endings[] = {".jpg", ".JPG", ".mpg",  ".avi", ".wav", ".mp3", ".txt", ".doc",
                             ".gif", ".bmp", ".jpeg", ".mov", ".asf", ".wmv", ".mid", ".dat"};
    for (int i = 0; i < files; ++i) {
        QFile f(dir.filePath(
            QStringLiteral("File %1 name%2").arg(i * 7919 % files).arg(endings[i % 16])));
        if (!f.open(QIODevice::WriteOnly))
            cannotRun(QStringLiteral("cannot make ") + f.fileName());
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
    std::vector<double> ours, core, ls, find, oursCpu, lsCpu;
    int listed = 0;
    for (int round = 0; round < rounds; ++round) {
        DirectoryListing listing;
        core.push_back(timeMs([&] { listing = listFiles(dir.path(), FilePattern(all)); }));
        const double cpu0 = threadCpuMs();
        ours.push_back(timeMs([&] {
            list.setPath(dir.path());
            list.setListIndex(0);
            app.processEvents();
        }));
        oursCpu.push_back(threadCpuMs() - cpu0);
        const double child0 = childrenCpuMs();
        ls.push_back(timeTool("ls", {"-1", dir.path()}));
        lsCpu.push_back(childrenCpuMs() - child0);
        find.push_back(timeTool("find", findArgs));
        listed = int(listing.files.size());
    }
    if (list.listCount() != listed || listed == 0)
        cannotRun(QStringLiteral("the file list holds %1 entries, the listing %2")
                      .arg(list.listCount())
                      .arg(listed));
    const double o = median(ours), l = median(ls), f = median(find);
    std::printf("files listed: %d, median of %d rounds\n", listed, rounds);
    std::printf("listing (read, match, sort): %.1f ms\n", median(core));
    std::printf("into the file list:          %.1f ms\n", o);
    std::printf("sorted ls:                   %.1f ms  (ratio %.2f, goal <= 0.8)\n", l, o / l);
    std::printf("processor time: file list %.1f ms, sorted ls %.1f ms (ratio %.2f, goal <= 0.8)\n",
                median(oursCpu), median(lsCpu), median(oursCpu) / median(lsCpu));
    std::printf("find, 16 patterns:           %.1f ms  (ratio %.2f)\n", f, o / f);
    return 0;
}
