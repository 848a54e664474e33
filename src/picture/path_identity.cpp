#include "picture/path_identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace glimmerby {

bool PathTaken(const QString &path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0)
        return true;
    if (errno != ENOENT)
        return true;
    const QFileInfo info(path);
    QDir dir = info.dir();
    if (!dir.exists())
        return false; // nothing can be under the name; the write will fail on its own
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QString name = info.fileName();
    return std::any_of(entries.begin(), entries.end(), [&](const QString &entry) {
        return entry.compare(name, Qt::CaseInsensitive) == 0;
    });
}

bool SameFile(const QString &a, const QString &b) {
    struct stat sa {
    }, sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace glimmerby
