#include "browser/directory_listing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

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

// The name of an entry as a string. Nearly every name is plain ASCII, which reads the same
// in every encoding: only the others go through the file-name encoding and back, and are
// not usable when that changes them (they could not be opened by that name).
QString nameOf(const char *raw, bool &usable) {
    const std::size_t length = std::strlen(raw);
    bool ascii = true;
    for (std::size_t i = 0; i < length && ascii; ++i)
        ascii = static_cast<unsigned char>(raw[i]) < 0x80;
    if (ascii)
        return QString::fromLatin1(raw, qsizetype(length));
    const QByteArray bytes(raw, qsizetype(length));
    QString name = QFile::decodeName(bytes);
    usable = QFile::encodeName(name) == bytes;
    return name;
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
        bool usable = true;
        const QString name = nameOf(e->d_name, usable);
        if (usable)
            visit(name);
    }
    closedir(d);
    return true;
}

} // namespace

void sortNames(QStringList &names) {
    // Comparing ignoring case folds both names at every comparison, which made the sort the
    // largest part of listing a big directory. The first sixteen characters of a name, when
    // they are ASCII, are folded once and packed into four integers whose order is theirs;
    // they decide most comparisons. Names that tie there, or start with other characters,
    // are compared in full, so the order is exactly that of the full comparison.
    constexpr qsizetype HeadLength = 16;
    struct Keyed {
        quint64 head[HeadLength / 4];
        bool hasHead;
        qsizetype index;
    };
    std::vector<Keyed> keyed(std::size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        Keyed &k = keyed[std::size_t(i)];
        k = {{0, 0, 0, 0}, true, i};
        const QString &name = names[i];
        for (qsizetype c = 0; c < HeadLength && c < name.size(); ++c) {
            char16_t u = name[c].unicode();
            if (u >= 0x80) {
                k.hasHead = false;
                break;
            }
            if (u >= 'A' && u <= 'Z')
                u = char16_t(u - 'A' + 'a');
            k.head[c / 4] |= quint64(u) << (48 - 16 * (c % 4));
        }
    }
    std::sort(keyed.begin(), keyed.end(), [&names](const Keyed &x, const Keyed &y) {
        if (x.hasHead && y.hasHead)
            for (int w = 0; w < HeadLength / 4; ++w)
                if (x.head[w] != y.head[w])
                    return x.head[w] < y.head[w];
        const QString &a = names[x.index];
        const QString &b = names[y.index];
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const Keyed &k : keyed)
        sorted.append(names[k.index]);
    names = std::move(sorted);
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
