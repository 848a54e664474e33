// How long the INI store takes on a large description file: one load and look-up (what
// showing a description costs) and one load-change-save (what writing one costs).
#include "app/ini_file.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace glimmerby;

int main() {
    QTemporaryDir dir;
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
            return 1;
    }
    const int rounds = 50;
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
            return 2;
    }
    const double writeMs = double(timer.nsecsElapsed()) / 1e6 / rounds;
    std::printf("%d entries: load + last-key look-up %.2f ms, load + write + atomic save %.2f ms"
                " (%lld)\n",
                entries, readMs, writeMs, static_cast<long long>(total));
    return 0;
}
