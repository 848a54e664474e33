// Descriptions on a 10,000-entry PicText.ini (~1 MB), against the shell tools doing the
// same on the same disk: reading the last key (grep -m1) and storing a middle key
// (sed -i and sync). Medians of several runs; prints the ratios.
//   bench_descriptions [directory]   (default: a temporary directory)
//   bench_descriptions [directory [rounds]]   (default: a temporary directory, 21 rounds)
#include "shell/picture_text.h"
#include "support/bench_support.h"

#include <functional>

using namespace glimmerby;
using namespace glimmerby::bench;

namespace {

double medianMs(int rounds, const std::function<bool(int)> &run) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        if (!run(i))
            return -1;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool shell(const QString &script) {
    return QProcess::execute("sh", {"-c", script}) == 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    startBenchmark(argv[0]);
    requireTools({"sh", "grep", "sed", "sync"});
    QTemporaryDir tmp(argc > 1 && argv[1][0] ? QString::fromLocal8Bit(argv[1]) + "/bench-XXXXXX"
                                             : QDir::tempPath() + "/bench-XXXXXX");
    if (!tmp.isValid())
        cannotRun(QStringLiteral("no temporary directory"));
    const QString dir = tmp.path() + '/';
    const QString path = dir + "PicText.ini";
    const int entries = 10000;
    {
        QByteArray content = "[PictureText]\r\n";
        for (int i = 0; i < entries; ++i)
            content += "picture_" + QByteArray::number(i) + "=\xDB" +
                       "A description of picture number " + QByteArray::number(i) +
                       ", taken on a sunny day at the sea with friends and family\xDB\r\n";
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            cannotRun(QStringLiteral("cannot write ") + path);
        std::printf("PicText.ini: %d entries, %lld bytes\n", entries,
                    static_cast<long long>(content.size()));
    }
    const int rounds = intArgument(argc, argv, 2, 21);
    const QString last = QString("picture_%1").arg(entries - 1);
    const QString middle = QString("picture_%1").arg(entries / 2);

    const double readOurs = medianMs(
        rounds, [&](int) { return ReadPictureText(dir, last).startsWith("A description"); });
    const double readGrep = medianMs(rounds, [&](int) {
        return shell(QString("grep -m1 -F '%1=' '%2' >/dev/null").arg(last, path));
    });
    const double storeOurs = medianMs(rounds, [&](int i) {
        return WritePictureText(dir, middle, QString("new text %1").arg(i));
    });
    const double storeSed = medianMs(rounds, [&](int i) {
        return shell(
            QString("sed -i 's/^%1=.*/%1=new %3/' '%2' && sync '%2'").arg(middle, path).arg(i));
    });
    if (readOurs < 0 || readGrep < 0 || storeOurs < 0 || storeSed < 0)
        cannotRun(QStringLiteral("a read or a store failed"));
    std::printf("read last key:   ReadPictureText %.2f ms, grep -m1 %.2f ms, ratio %.2f\n",
                readOurs, readGrep, readOurs / readGrep);
    std::printf("store middle key: WritePictureText %.2f ms, sed -i + sync %.2f ms, ratio %.2f\n",
                storeOurs, storeSed, storeOurs / storeSed);
    return 0;
}
