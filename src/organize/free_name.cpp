#include "organize/free_name.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace glimmerby {

namespace {

QByteArray entryPath(const QString &dir, const QString &fileName) {
    QString path = dir;
    if (!path.endsWith(u'/'))
        path += u'/';
    return QFile::encodeName(path + fileName);
}

int encodedSize(const QString &name) {
    return int(QFile::encodeName(name).size());
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Reads the names of dir, case-folded. False (with errno) when it cannot be read.
bool readFoldedNames(const QString &dir, QSet<QString> &names, int &error) {
    DIR *d = ::opendir(QFile::encodeName(dir.isEmpty() ? QStringLiteral(".") : dir).constData());
    if (!d) {
        error = errno;
        return false;
    }
    errno = 0;
    while (const dirent *e = ::readdir(d))
        names.insert(QFile::decodeName(e->d_name).toCaseFolded());
    error = errno;
    ::closedir(d);
    return error == 0;
}

QString folderKey(const QString &dir) {
    if (dir.isEmpty())
        return QStringLiteral("./");
    return dir.endsWith(u'/') ? dir : dir + u'/';
}

} // namespace

NameIndex::Folder &NameIndex::folder(const QString &dir) {
    const QString key = folderKey(dir);
    auto found = m_folders.find(key);
    if (found != m_folders.end())
        return *found;
    Folder f;
    DIR *d = ::opendir(QFile::encodeName(key).constData());
    if (!d) {
        f.error = errno;
    } else {
        errno = 0;
        while (const dirent *e = ::readdir(d)) {
            const QString name = QFile::decodeName(e->d_name);
            f.spellings.insert(name.toCaseFolded(), name);
        }
        f.error = errno;
        ::closedir(d);
    }
    return *m_folders.insert(key, std::move(f));
}

NameLookup NameIndex::lookUp(const QString &dir, const QString &fileName) {
    NameLookup result;
    Folder &f = folder(dir);
    if (f.error != 0) {
        result.state = NameState::LookupError;
        result.error = f.error;
        m_folders.remove(folderKey(dir)); // read again next time
        return result;
    }
    const QString folded = fileName.toCaseFolded();
    const auto known = f.spellings.constFind(folded);
    if (known != f.spellings.constEnd()) {
        struct stat st {};
        if (::lstat(entryPath(dir, *known).constData(), &st) == 0) {
            result.state = NameState::Taken;
            result.existing = *known;
            return result;
        }
        // Gone since the folder was read, or noted but never made.
    }
    f.spellings.insert(folded, fileName);
    return result;
}

qsizetype NameIndex::entries(const QString &dir) {
    return folder(dir).spellings.size();
}

NameLookup LookUpName(const QString &dir, const QString &fileName, NameIndex *index) {
    NameLookup result;
    struct stat st {};
    if (::lstat(entryPath(dir, fileName).constData(), &st) == 0) {
        result.state = NameState::Taken;
        result.existing = fileName;
        return result;
    }
    if (errno != ENOENT) {
        result.state = NameState::LookupError;
        result.error = errno;
        return result;
    }
    if (index)
        return index->lookUp(dir, fileName);
    DIR *d = ::opendir(QFile::encodeName(dir.isEmpty() ? QStringLiteral(".") : dir).constData());
    if (!d) {
        result.state = NameState::LookupError;
        result.error = errno;
        return result;
    }
    errno = 0;
    while (const dirent *e = ::readdir(d)) {
        const QString name = QFile::decodeName(e->d_name);
        if (name.compare(fileName, Qt::CaseInsensitive) == 0) {
            result.state = NameState::Taken;
            result.existing = name;
            break;
        }
    }
    if (result.state == NameState::Free && errno != 0) {
        result.state = NameState::LookupError;
        result.error = errno;
    }
    ::closedir(d);
    return result;
}

QString incrementDigits(const QString &digits) {
    QString out = digits;
    for (qsizetype i = out.size() - 1; i >= 0; --i) {
        if (out[i] != u'9') {
            out[i] = QChar(out[i].unicode() + 1);
            return out;
        }
        out[i] = u'0';
    }
    return QStringLiteral("1") + out;
}

FreeNameCounter::FreeNameCounter(const QString &baseName, const QString &ext) : m_ext(ext) {
    qsizetype start = baseName.size();
    while (start > 0 && isAsciiDigit(baseName[start - 1]))
        --start;
    m_stem = baseName.left(start);
    m_digits = baseName.mid(start);
    if (m_digits.isEmpty())
        m_digits = QStringLiteral("0"); // the first step writes "1"
}

QString FreeNameCounter::next() {
    m_digits = incrementDigits(m_digits);
    while (encodedSize(m_stem + m_digits + m_ext) > MaxNameBytes) {
        if (m_stem.isEmpty())
            return QString();
        // Cut one character, never half of a surrogate pair.
        qsizetype cut = m_stem.size() - 1;
        if (cut > 0 && m_stem[cut].isLowSurrogate() && m_stem[cut - 1].isHighSurrogate())
            --cut;
        m_stem.truncate(cut);
    }
    return m_stem + m_digits;
}

FreeName FindFreeName(const QString &dir, const QString &baseName, const QString &ext,
                      NameIndex *index) {
    FreeName result;
    QSet<QString> folded;
    if (!index && !readFoldedNames(dir, folded, result.error))
        return result;
    FreeNameCounter counter(baseName, ext);
    // Every candidate is a new name; the directory cannot hold more entries than it listed.
    const qsizetype listed = index ? index->entries(dir) : folded.size();
    for (qsizetype tries = 0; tries <= listed + 16; ++tries) {
        const QString candidate = counter.next();
        if (candidate.isEmpty()) {
            result.error = ENAMETOOLONG;
            return result;
        }
        if (folded.contains((candidate + ext).toCaseFolded()))
            continue;
        // The listing may miss what appeared since or what it could not decode.
        const NameLookup lookup = LookUpName(dir, candidate + ext, index);
        if (lookup.state == NameState::LookupError) {
            result.error = lookup.error;
            return result;
        }
        if (lookup.state == NameState::Free) {
            result.baseName = candidate;
            return result;
        }
    }
    result.error = EEXIST;
    return result;
}

} // namespace glimmerby
