#include "app/file_ops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

namespace {

const QString TemporaryMark = QStringLiteral(".glimmerby-");
constexpr int TemporaryRandomLength = 6;
// Longest file name whose temporary still fits in NAME_MAX (255 bytes).
constexpr int LongestNameWithOwnTemporary = 200;

QString RandomSuffix() {
    static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < TemporaryRandomLength; ++i)
        suffix +=
            QLatin1Char(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)]);
    return suffix;
}

} // namespace

// The umask without changing it: a umask(0) / umask(old) pair would let a file created
// meanwhile by another thread get the wrong mode.
mode_t CurrentUmask() {
    // Read with plain calls: this runs once for every file a command writes.
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char text[4096];
        const ssize_t n = ::read(fd, text, sizeof text - 1);
        ::close(fd);
        if (n > 0) {
            text[n] = '\0';
            if (const char *line = std::strstr(text, "\nUmask:")) {
                char *end = nullptr;
                const unsigned long mask = std::strtoul(line + 8, &end, 8);
                if (end != line + 8)
                    return mode_t(mask & 0777);
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

int WriteAll(int fd, const unsigned char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        data += written;
        size -= std::size_t(written);
    }
    return 0;
}

mode_t NewFileMode() {
    return 0666 & ~CurrentUmask();
}

int CreateTemporaryFile(const QString &dir, const QString &fileName, QString &tempPath) {
    const QString base = QFile::encodeName(fileName).size() > LongestNameWithOwnTemporary
                             ? TemporaryMark
                             : QLatin1Char('.') + fileName + TemporaryMark;
    const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = prefix + base + RandomSuffix();
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            tempPath = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

bool IsOwnTemporaryName(const QString &name) {
    const qsizetype mark = name.lastIndexOf(TemporaryMark);
    if (!name.startsWith(QLatin1Char('.')) || mark < 0 ||
        name.size() - mark - TemporaryMark.size() != TemporaryRandomLength)
        return false;
    for (qsizetype i = mark + TemporaryMark.size(); i < name.size(); ++i) {
        const QChar c = name[i];
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            return false;
    }
    return true;
}

int SyncDirectory(const QString &dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

QString ResolveLinkChain(const QString &path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops <= 40; ++hops) {
        const QByteArray native = QFile::encodeName(current);
        struct stat info {};
        if (::lstat(native.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        QByteArray target(4096, '\0');
        const ssize_t length = ::readlink(native.constData(), target.data(), target.size());
        if (length <= 0 || length >= target.size())
            return {};
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        current = QDir::cleanPath(QDir::isAbsolutePath(next) ? next
                                                             : QFileInfo(current).absolutePath() +
                                                                   QLatin1Char('/') + next);
    }
    return {};
}

bool IsRegularFile(const QString &path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

int ReadRegularFile(const QString &path, qint64 maxBytes, QByteArray &data) {
    data.clear();
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (!S_ISREG(info.st_mode))
        error = ENOENT;
    else if (info.st_size > maxBytes)
        error = EFBIG;
    if (error == 0) {
        data.resize(qsizetype(info.st_size));
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, std::size_t(data.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            done += n;
        }
    }
    ::close(fd);
    if (error != 0)
        data.clear();
    return error;
}

int RenameNoReplace(const QByteArray &from, const QByteArray &to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ENOTSUP)
        return errno;
    // A file system without the flag: a hard link never replaces either.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

int MakeOneDirectory(const QString &path) {
    if (path.isEmpty())
        return ENOENT;
    return ::mkdir(QFile::encodeName(path).constData(), 0777) == 0 ? 0 : errno;
}

int ReplaceFileContents(const QString &path, const unsigned char *data, std::size_t size,
                        ReplaceMode mode) {
    const QFileInfo info(path);
    const QString dir = info.absolutePath();
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());

    QString tempPath;
    const int fd = CreateTemporaryFile(dir, info.fileName(), tempPath);
    if (fd < 0)
        return errno;
    const QByteArray temp = QFile::encodeName(tempPath);

    int error = WriteAll(fd, data, size);
    struct stat old {};
    if (error == 0 && mode == ReplaceMode::Replace && ::lstat(target.constData(), &old) == 0 &&
        S_ISREG(old.st_mode)) {
        // Owner first: a change of owner clears the set-id bits the mode then restores.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0)
                (void)::fchown(fd, uid_t(-1), old.st_gid);
        }
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && mode == ReplaceMode::NoReplace)
        error = RenameNoReplace(temp, target);
    else if (error == 0 && ::rename(temp.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        return error;
    }
    SyncDirectory(dir);
    return 0;
}

int ReplaceFileContents(const QString &path, const QByteArray &data) {
    return ReplaceFileContents(path, reinterpret_cast<const unsigned char *>(data.constData()),
                               std::size_t(data.size()));
}

} // namespace glimmerby
