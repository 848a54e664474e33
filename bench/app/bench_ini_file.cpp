// How long the INI store takes on a large description file: one load and look-up (what
// showing a description costs) and one load-change-save (what writing one costs).
#include "app/ini_file.h"
#include "support/bench_support.h"

using namespace glimmerby;
using namespace glimmerby::bench;

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    startBenchmark(argv[0]);
    QTemporaryDir dir;
    if (!dir.isValid())
        cannotRun(QStringLiteral("no temporary directory"));
    const QString path = dir.filePath("PicText.ini");
    const int entries = 5000;
    {
        QByteArray content = "[PictureText]\r\n";
        for (int i = 0; i < entries; ++i)
            content += "picture_" + QByteArray::number(i) +
                       "=\xDB"
                       "A description of picture " +
                       QByteArray::number(i) + " on a sunny day\xDB\r\n";
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            cannotRun(QStringLiteral("cannot write ") + path);
    }
    const int rounds = intArgument(argc, argv, 1, 50);
    QElapsedTimer timer;
    timer.start();
    qsizetype total = 0;
    for (int i = 0; i < rounds; ++i) {
        const IniDocument doc = IniDocument::load(path);
        total +=
            doc.profileString("PictureText", "PICTURE_" + QByteArray::number(entries - 1 - i), {})
                .size();
    }
    const double readMs = double(timer.nsecsElapsed()) / 1e6 / rounds;
    timer.restart();
    for (int i = 0; i < rounds; ++i) {
        if (!WriteProfileString(path, "PictureText", QString("picture_%1").arg(i * 97),
                                QString("changed %1").arg(i)))
            cannotRun(QStringLiteral("WriteProfileString failed on ") + path);
    }
    const double writeMs = double(timer.nsecsElapsed()) / 1e6 / rounds;
    std::printf("%d entries: load + last-key look-up %.2f ms, load + write + atomic save %.2f ms"
                " (%lld)\n",
                entries, readMs, writeMs, static_cast<long long>(total));
    return 0;
}
