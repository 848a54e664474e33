// Runs one action in a process of its own and reports through its exit code:
//   lock <appDir> <lockDir>      take the instance lock, print "locked" or "refused",
//                                then hold it until standard input closes
//   save-settings <iniPath>      save settings that differ from the file; exit 0 when the
//                                save reported failure and the file is byte for byte as
//                                before with no stray file beside it
//   fsize-save <iniPath> <bytes> the same under a file size limit of <bytes>
//   data-dir <appDir> <configHome> print the data directory chosen
#include "app/data_dir.h"
#include "app/settings_store.h"
#include "app/single_instance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <sys/resource.h>

using namespace glimmerby;

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int failedSaveKeepsFile(const QString &iniPath) {
    const QByteArray before = readAll(iniPath);
    const QStringList entriesBefore =
        QFileInfo(iniPath).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    SettingsToSave values;
    values.LastDirPath = QString(900, QLatin1Char('d'));
    values.LastSaveToPath = QString(900, QLatin1Char('s'));
    values.EditorPath = QStringLiteral("/usr/bin/other-editor");
    if (saveSettings(iniPath, values))
        return 10; // reported success although it could not be written
    if (readAll(iniPath) != before)
        return 11; // the old file was damaged
    const QStringList entriesAfter =
        QFileInfo(iniPath).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (entriesAfter != entriesBefore)
        return 12; // a temporary file was left behind
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString mode = args[1];
    if (mode == QLatin1String("lock") && args.size() == 4) {
        SingleInstance instance(args[2], args[3]);
        const InstanceLock result = instance.tryAcquire();
        std::cout << (result == InstanceLock::Acquired ? "locked" : "refused") << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return 0;
    }
    if (mode == QLatin1String("save-settings"))
        return failedSaveKeepsFile(args[2]);
    if (mode == QLatin1String("fsize-save") && args.size() == 4) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = args[3].toULongLong();
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
        return failedSaveKeepsFile(args[2]);
    }
    if (mode == QLatin1String("data-dir") && args.size() == 4) {
        std::cout << dataDirFor(args[2], args[3]).toStdString() << std::endl;
        return 0;
    }
    return 2;
}
