#include "browser/directory_listing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace glimmerby {
namespace {

enum class EntryType { File, Directory, Other };

EntryType typeOf(int dirFd, const dirent *e) {
    switch (e->d_type) {
    case DT_REG:
        return EntryType::File;
    case DT_DIR:
        return EntryType::Directory;
    case DT_LNK:
    case DT_UNKNOWN: {
        // Links (and file systems that do not report types) need the one stat.
        struct stat st;
        if (fstatat(dirFd, e->d_name, &st, 0) != 0)
            return EntryType::Other;
        if (S_ISREG(st.st_mode))
            return EntryType::File;
        if (S_ISDIR(st.st_mode))
            return EntryType::Directory;
        return EntryType::Other;
    }
    default:
        return EntryType::Other;
    }
}

// Calls visit(name) for every non-hidden entry of the wanted type; false when the
// directory cannot be opened.
template <typename Visit> bool forEachEntry(const QString &dir, EntryType wanted, Visit visit) {
    const QByteArray encoded = QFile::encodeName(dir.isEmpty() ? QStringLiteral(".") : dir);
    DIR *d = opendir(encoded.constData());
    if (!d)
        return false;
    const int fd = dirfd(d);
    while (const dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue; // hidden entries, "." and ".."
        if (typeOf(fd, e) != wanted)
            continue;
        const QByteArray raw(e->d_name);
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != raw)
            continue; // not representable: it could not be opened by that name
        visit(name);
    }
    closedir(d);
    return true;
}

} // namespace

void sortNames(QStringList &names) {
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

DirectoryListing listFiles(const QString &dir, const FilePattern &pattern) {
    DirectoryListing out;
    out.readable = forEachEntry(dir, EntryType::File, [&](const QString &name) {
        if (pattern.matches(name))
            out.files.append(name);
    });
    sortNames(out.files);
    return out;
}

QStringList listSubdirectories(const QString &dir) {
    QStringList out;
    forEachEntry(dir, EntryType::Directory, [&](const QString &name) { out.append(name); });
    sortNames(out);
    return out;
}

QString joinPath(const QString &dir, const QString &name) {
    if (dir.endsWith(u'/'))
        return dir + name;
    return dir + u'/' + name;
}

} // namespace glimmerby

namespace glimmerby {

QString nearestUsableDirectory(const QString &path) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return {};
    for (QString p = QDir::cleanPath(path);;) {
        const QFileInfo info(p);
        if (info.isDir() && info.isReadable() && info.isExecutable())
            return p;
        const QString parent = info.path();
        if (parent == p)
            return {};
        p = parent;
    }
}

} // namespace glimmerby
