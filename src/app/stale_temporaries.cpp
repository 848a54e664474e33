#include "app/stale_temporaries.h"

#include "app/file_ops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

RunningLock::RunningLock(const QString &path) {
    const QString file = path.isEmpty() ? defaultPath() : path;
    m_fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd >= 0)
        ::flock(m_fd, LOCK_SH);
}

RunningLock::~RunningLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RunningLock::alone() {
    if (m_fd < 0)
        return false; // cannot tell: nothing is removed
    // Turning the shared lock into an exclusive one succeeds only when no other process
    // holds it; it is turned back at once.
    const bool alone = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    ::flock(m_fd, LOCK_SH);
    return alone;
}

QString RunningLock::defaultPath() {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir) || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/glimmerby-%1.running").arg(::geteuid());
}

qint64 NowNs() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int RemoveStaleTemporaries(const QString &dir, qint64 startedNs) {
    DIR *d = ::opendir(QFile::encodeName(dir).constData());
    if (!d)
        return 0;
    int removed = 0;
    while (const dirent *e = ::readdir(d)) {
        if (e->d_name[0] != '.' || !IsOwnTemporaryName(QFile::decodeName(e->d_name)))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        const qint64 changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        if (changed < startedNs && ::unlinkat(::dirfd(d), e->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(d);
    return removed;
}

} // namespace glimmerby
