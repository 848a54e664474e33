#include "app/data_dir.h"

#include "app/file_ops.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>

namespace glimmerby {

QString configHomeFromEnvironment() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

bool isDirectoryWritable(const QString &dir) {
    if (!QFileInfo(dir).isDir())
        return false;
    // Permission bits do not tell about read-only mounts or access lists; creating a
    // file does.
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".glimmerby-probe-XXXXXX")));
    return probe.open();
}

QString dataDirFor(const QString &appDir, const QString &configHome) {
    if (isDirectoryWritable(appDir))
        return appDir.endsWith(QLatin1Char('/')) ? appDir : appDir + QLatin1Char('/');
    QString dir = configHome;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    dir += QStringLiteral("Glimmerby/");
    QDir().mkpath(dir);
    return dir;
}

QString picturesDirectory() {
    QString dir;
    QProcess tool;
    tool.start(QStringLiteral("xdg-user-dir"), {QStringLiteral("PICTURES")});
    if (tool.waitForFinished(5000) && tool.exitStatus() == QProcess::NormalExit &&
        tool.exitCode() == 0) {
        QByteArray out = tool.readAllStandardOutput();
        if (out.endsWith('\n'))
            out.chop(1);
        dir = QFile::decodeName(out);
    }
    if (!QDir::isAbsolutePath(dir) || !QFileInfo(dir).isDir())
        dir = QDir::homePath();
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

void removeScratchFiles(const QString &dir) {
    // "tmp.BMP" is the picture pipeline's own scratch file; on a case-sensitive file
    // system it is not "tmp.bmp", and a copy left by a crash would otherwise stay forever.
    for (const char *name : {"tmp.jpg", "tmp.bmp", "tmp.BMP"}) {
        const QString path = dir + QLatin1String(name);
        const QFileInfo info(path);
        // Only files: a directory that happens to carry the name is not ours.
        if (info.isFile() || info.isSymLink())
            QFile::remove(path);
    }
}

void removeOwnTemporaries(const QString &dir) {
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!IsOwnTemporaryName(name))
            continue;
        const QString path = QDir(dir).filePath(name);
        const QFileInfo info(path);
        if (info.isFile() && !info.isSymLink())
            QFile::remove(path);
    }
}

} // namespace glimmerby
