#include "picture/replace_file.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

namespace {

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
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

// Renames without ever replacing the target; where the file system refuses the flag, a
// hard link (which fails on an existing name) and the removal of the temporary.
int RenameNoReplace(const char *from, const char *to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(from, to) != 0)
        return errno;
    ::unlink(from);
    return 0;
}

} // namespace

int ReplaceFileContents(const QString &path, const unsigned char *data, std::size_t size,
                        ReplaceMode replaceMode) {
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray pattern =
        QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    if (info.fileName().size() > 200) // keep the temporary name within NAME_MAX
        pattern = QFile::encodeName(info.absolutePath()) + "/.glimmerby.XXXXXX";

    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return errno;
    struct stat old {};
    const mode_t mode =
        ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
    int error = WriteAll(fd, data, size);
    if (error == 0 && ::fchmod(fd, mode) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && replaceMode == ReplaceMode::NoReplace)
        error = RenameNoReplace(pattern.constData(), target.constData());
    else if (error == 0 && ::rename(pattern.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(pattern.constData());
        return error;
    }
    // Make the rename itself durable.
    const int dir = ::open(QFile::encodeName(info.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

} // namespace glimmerby
