#include "app/trash.h"
#include "app/file_ops.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

namespace {

const QString InfoSuffix = QStringLiteral(".trashinfo");
constexpr int NameMax = 255;

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

QString parentOf(const QString &path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// A directory of this user's own that is not a link: made (0700) when missing.
bool ownDirectory(const QString &dir) {
    const QByteArray d = native(dir);
    if (::mkdir(d.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::lstat(d.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// A directory (not a link) at dir, with every missing ancestor made 0700.
bool makePath(const QString &dir) {
    struct stat st {};
    if (::lstat(native(dir).constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (dir == QLatin1String("/") || !makePath(parentOf(dir)))
        return false;
    return ::mkdir(native(dir).constData(), 0700) == 0 || errno == EEXIST;
}

// files/ and info/ inside a trash directory, made and checked.
bool hasTrashLayout(const QString &trash) {
    return ownDirectory(trash + QStringLiteral("/files")) &&
           ownDirectory(trash + QStringLiteral("/info"));
}

// The top of the mounted volume that holds dir (whose device is device).
QString volumeTop(QString dir, dev_t device) {
    while (dir != QLatin1String("/")) {
        const QString parent = parentOf(dir);
        struct stat st {};
        if (::stat(native(parent).constData(), &st) != 0 || st.st_dev != device)
            break;
        dir = parent;
    }
    return dir;
}

// The name under which a file called name is kept in the trash: the n-th candidate,
// short enough that "<name>.trashinfo" still fits in a file name.
QString candidateName(const QString &name, int n) {
    QString stem = name, ext;
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0) {
        stem = name.left(dot);
        ext = name.mid(dot);
    }
    if (n > 1)
        stem += QStringLiteral(".%1").arg(n);
    const int room = NameMax - int(native(InfoSuffix).size());
    while (!stem.isEmpty() && native(stem + ext).size() > room) {
        stem.chop(1);
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
    }
    if (native(stem + ext).size() > room)
        ext = ext.left(8);
    return stem + ext;
}

QString deletionTime() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'hh:mm:ss"));
}

} // namespace

Trash::Trash(const QString &homeTrash) : m_home(QDir::cleanPath(homeTrash)) {}

QString Trash::homeTrashFromEnvironment() {
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!dataHome.isEmpty() && QDir::isAbsolutePath(dataHome))
        return QDir::cleanPath(dataHome) + QStringLiteral("/Trash");
    return QDir::homePath() + QStringLiteral("/.local/share/Trash");
}

QString Trash::trashFor(const QString &path, dev_t device) {
    if (const auto found = m_byDevice.constFind(device); found != m_byDevice.cend())
        return *found;
    QString trash;
    struct stat home {};
    if (!m_home.isEmpty() && makePath(m_home) && ::stat(native(m_home).constData(), &home) == 0 &&
        home.st_dev == device && hasTrashLayout(m_home))
        trash = m_home;
    if (trash.isEmpty()) {
        const QString top = volumeTop(parentOf(QDir::cleanPath(path)), device);
        const QString root = top == QLatin1String("/") ? QString() : top;
        const QString uid = QString::number(::geteuid());
        // A shared .Trash counts only when no user could have swapped it for a link or
        // left it open to others' renames: a real directory with the sticky bit.
        struct stat shared {};
        const QString sharedDir = root + QStringLiteral("/.Trash");
        if (::lstat(native(sharedDir).constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
            (shared.st_mode & S_ISVTX) && ownDirectory(sharedDir + u'/' + uid) &&
            hasTrashLayout(sharedDir + u'/' + uid))
            trash = sharedDir + u'/' + uid;
        else if (const QString own = root + QStringLiteral("/.Trash-") + uid;
                 ownDirectory(own) && hasTrashLayout(own))
            trash = own;
        struct stat st {};
        if (!trash.isEmpty() &&
            (::stat(native(trash).constData(), &st) != 0 || st.st_dev != device))
            trash.clear();
    }
    if (!trash.isEmpty())
        m_byDevice.insert(device, trash);
    return trash;
}

TrashResult Trash::moveToTrash(const QString &path) {
    return put(path, Keep::Move);
}

TrashResult Trash::keepInTrash(const QString &path) {
    return put(path, Keep::Link);
}

TrashResult Trash::put(const QString &path, Keep keep) {
    TrashResult result;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QByteArray source = native(absolute);
    struct stat st {};
    if (::lstat(source.constData(), &st) != 0) {
        result.error = errno;
        return result;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString trash = trashFor(absolute, st.st_dev);
        if (trash.isEmpty()) {
            result.outcome = TrashOutcome::NoTrash;
            return result;
        }
        // Paths in a volume's own trash are kept relative to the volume's top, so that
        // they stay right wherever the volume is mounted next time.
        const bool home = trash == m_home;
        const QString top = home                                         ? QString()
                            : trash.contains(QStringLiteral("/.Trash/")) ? parentOf(parentOf(trash))
                                                                         : parentOf(trash);
        const QByteArray text = TrashInfoText(absolute, home ? QString() : top, deletionTime());
        const QString name = absolute.mid(absolute.lastIndexOf(u'/') + 1);
        int error = ENOENT;
        for (int n = 1; n < 10000; ++n) {
            const QString candidate = candidateName(name, n);
            const QString info = trash + QStringLiteral("/info/") + candidate + InfoSuffix;
            const QString files = trash + QStringLiteral("/files/") + candidate;
            // The O_EXCL create of the .trashinfo is what reserves the name.
            const int fd = ::open(native(info).constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0) {
                error = errno;
                if (error == EEXIST)
                    continue;
                break;
            }
            const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
            error = written ? 0 : (errno ? errno : EIO);
            if (::close(fd) != 0 && error == 0)
                error = errno;
            const QByteArray filesName = native(files);
            if (error == 0) {
                if (keep == Keep::Link) {
                    error = ::link(source.constData(), filesName.constData()) == 0 ? 0 : errno;
                    if (error != 0 && error != EEXIST && error != EXDEV && error != ENOENT)
                        error = RenameNoReplace(source, filesName); // no hard links here
                } else {
                    error = RenameNoReplace(source, filesName);
                }
            }
            if (error != 0)
                ::unlink(native(info).constData());
            if (error == EEXIST)
                continue; // a stray file without its info: the next name
            if (error == 0) {
                result.outcome = TrashOutcome::Trashed;
                result.error = 0;
                result.item = {absolute, files, info};
                return result;
            }
            break;
        }
        if (error == ENOENT && attempt == 0 && ::lstat(source.constData(), &st) == 0) {
            forget(); // the trash went away meanwhile: set it up again
            continue;
        }
        result.error = error;
        // A rename across mounts of one device (a bind mount): this trash cannot hold it.
        result.outcome = error == EXDEV ? TrashOutcome::NoTrash : TrashOutcome::Failed;
        return result;
    }
    return result;
}

int RestoreFromTrash(const TrashedFile &item, const QString &to) {
    if (item.isEmpty())
        return ENOENT;
    const int error = RenameNoReplace(native(item.files), native(to));
    if (error == 0)
        ::unlink(native(item.info).constData());
    return error;
}

void DropTrashEntry(const TrashedFile &item) {
    if (item.isEmpty())
        return;
    ::unlink(native(item.files).constData());
    ::unlink(native(item.info).constData());
}

QByteArray TrashInfoText(const QString &original, const QString &topDir, const QString &when) {
    QByteArray path = native(original);
    if (!topDir.isEmpty()) {
        const QByteArray top = native(topDir) + '/';
        if (path.startsWith(top))
            path = path.mid(top.size());
    }
    return "[Trash Info]\nPath=" + QUrl::toPercentEncoding(path, "/") +
           "\nDeletionDate=" + when.toLatin1() + "\n";
}

QString OriginalFromTrashInfo(const QByteArray &text, const QString &topDir) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != "[Trash Info]")
        return {};
    for (const QByteArray &line : lines) {
        if (line.startsWith('['))
            if (line.trimmed() != "[Trash Info]")
                break;
        if (!line.startsWith("Path="))
            continue;
        const QString path = QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(5)));
        if (path.startsWith(u'/'))
            return path;
        return topDir.isEmpty() ? QString() : QDir::cleanPath(topDir + u'/' + path);
    }
    return {};
}

} // namespace glimmerby
