#include "organize/file_transfer.h"

#include "app/file_ops.h"

#include <QFile>
#include <QHash>
#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

namespace {

QByteArray encoded(const QString &path) {
    return QFile::encodeName(path);
}

QString directoryOf(const QString &path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString fileNameOf(const QString &path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// Creates a hidden temporary file beside path; returns 0 or an errno.
int MakeTemporaryBeside(const QString &path, int &fd, QByteArray &temporary) {
    QString created;
    fd = CreateTemporaryFile(directoryOf(path), fileNameOf(path), created);
    if (fd < 0)
        return errno;
    temporary = encoded(created);
    return 0;
}

// Copies everything from in to out (both at offset 0): a clone where the file system
// shares blocks, else copy_file_range, else reads and writes. Returns 0 or an errno.
int copyContent(int in, int out) {
    if (::ioctl(out, FICLONE, in) == 0)
        return 0;
    bool inKernel = true;
    off_t done = 0;
    for (;;) {
        if (inKernel) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n > 0) {
                done += n;
                continue;
            }
            if (n == 0)
                return 0;
            if (errno == EINTR)
                continue;
            if (done == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                              errno == EOPNOTSUPP || errno == EBADF)) {
                inKernel = false;
                continue;
            }
            return errno;
        }
        static constexpr std::size_t Chunk = 128 * 1024; // stays in the cache
        static thread_local std::vector<unsigned char> buffer(Chunk);
        const ssize_t n = ::read(in, buffer.data(), Chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0;
        if (const int error = WriteAll(out, buffer.data(), std::size_t(n)))
            return error;
    }
}

enum class Durability { None, Now, StartWriteBack };

struct CopyPlan {
    mode_t mode;
    bool keepOwner;
    Durability durability;
};

// Makes a complete copy of the open source under a temporary name in destDir. Returns 0
// with the temporary's path, or an errno (nothing left behind).
int copyToTemporary(int in, const struct stat &st, const QString &destination, const CopyPlan &plan,
                    QByteArray &temporary) {
    int fd = -1;
    if (const int error = MakeTemporaryBeside(destination, fd, temporary))
        return error;
    int error = copyContent(in, fd);
    struct stat written {};
    if (error == 0 && ::fstat(fd, &written) != 0)
        error = errno;
    struct stat source {};
    if (error == 0 && ::fstat(in, &source) == 0 && written.st_size != source.st_size)
        error = EIO; // the source changed under the copy
    if (error == 0 && ::fchmod(fd, plan.mode) != 0)
        error = errno;
    if (error == 0 && plan.keepOwner &&
        (written.st_uid != st.st_uid || written.st_gid != st.st_gid))
        (void)::fchown(fd, st.st_uid, st.st_gid); // only where allowed
    if (error == 0) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::futimens(fd, times) != 0)
            error = errno;
    }
    if (error == 0 && plan.durability == Durability::Now && ::fsync(fd) != 0)
        error = errno;
    if (error == 0 && plan.durability == Durability::StartWriteBack)
        (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.constData());
    return error;
}

// Before an overwrite: what destination holds goes into the trash (as a second name where
// the file system allows, so that the name is never empty). Returns 0 or the errno that
// keeps the overwrite from happening.
int keepWhatIsReplaced(const QString &destination, Trash *trash, TransferResult &result) {
    struct stat st {};
    if (!trash || ::lstat(encoded(destination).constData(), &st) != 0)
        return 0;
    // A file never takes the place of a directory: that would send a whole folder away.
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    const TrashResult kept = trash->keepInTrash(destination);
    if (kept.outcome == TrashOutcome::Trashed)
        result.replaced = kept.item;
    else if (kept.outcome == TrashOutcome::NoTrash)
        result.replacedForGood = true;
    else
        return kept.error ? kept.error : EIO;
    return 0;
}

// After a failed overwrite: the destination as it was, the trash without its entry.
void giveBackReplaced(const QString &destination, TransferResult &result) {
    if (result.replaced.isEmpty())
        return;
    struct stat st {};
    if (::lstat(encoded(destination).constData(), &st) == 0)
        DropTrashEntry(result.replaced);
    else
        RestoreFromTrash(result.replaced, destination);
    result.replaced = {};
}

// Puts the temporary in place and, where asked, makes the directory entry durable.
TransferResult placeTemporary(const QByteArray &temporary, const QString &destination, Clash clash,
                              bool syncDirectory, Trash *keepReplaced = nullptr) {
    TransferResult result;
    const QByteArray target = encoded(destination);
    int error = clash == Clash::Replace ? keepWhatIsReplaced(destination, keepReplaced, result) : 0;
    if (error == 0)
        error = clash == Clash::Replace
                    ? (::rename(temporary.constData(), target.constData()) == 0 ? 0 : errno)
                    : RenameNoReplace(temporary, target);
    if (error != 0) {
        giveBackReplaced(destination, result);
        ::unlink(temporary.constData());
        result.outcome = error == EEXIST ? Outcome::NameTaken : Outcome::Failed;
        result.error = error;
        return result;
    }
    if (syncDirectory)
        SyncDirectory(directoryOf(destination));
    result.outcome = Outcome::Done;
    return result;
}

bool sameInode(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

TransferResult failed(int error) {
    TransferResult result;
    result.outcome = Outcome::Failed;
    result.error = error;
    return result;
}

} // namespace

TrashedFile ReplacedRecord(const TransferResult &result, const QString &destination) {
    if (result.replacedForGood)
        return {destination, {}, {}};
    return result.replaced;
}

bool SameFile(const QString &a, const QString &b) {
    struct stat sa {
    }, sb{};
    return ::stat(encoded(a).constData(), &sa) == 0 && ::stat(encoded(b).constData(), &sb) == 0 &&
           sameInode(sa, sb);
}

TransferResult CopyFileTo(const QString &source, const QString &destination, Clash clash,
                          Trash *keepReplaced) {
    const int in = ::open(encoded(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return failed(errno);
    struct stat st {};
    if (::fstat(in, &st) != 0)
        st.st_mode = 0;
    if (!S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(in);
        return failed(error);
    }
    struct stat existing {};
    const bool exists = ::lstat(encoded(destination).constData(), &existing) == 0;
    struct stat target {};
    if (::stat(encoded(destination).constData(), &target) == 0 && sameInode(st, target)) {
        ::close(in);
        TransferResult result;
        result.outcome = Outcome::SameFile;
        return result;
    }
    if (exists && clash == Clash::Keep) {
        ::close(in);
        TransferResult result;
        result.outcome = Outcome::NameTaken;
        result.error = EEXIST;
        return result;
    }
    const bool replacing = exists && clash == Clash::Replace;
    CopyPlan plan;
    plan.mode = replacing && S_ISREG(existing.st_mode) ? (existing.st_mode & 07777)
                                                       : (st.st_mode & 07777 & ~CurrentUmask());
    plan.keepOwner = false;
    // A new copy needs no sync: its source stays. A replaced file must be whole on disk
    // before the old one goes.
    plan.durability = replacing ? Durability::Now : Durability::None;
    QByteArray temporary;
    const int error = copyToTemporary(in, st, destination, plan, temporary);
    ::close(in);
    if (error != 0)
        return failed(error);
    return placeTemporary(temporary, destination, clash, replacing, keepReplaced);
}

TransferResult MoveFileTo(const QString &source, const QString &destination, Clash clash,
                          DurableMoves *group, Trash *keepReplaced) {
    const QByteArray from = encoded(source);
    const QByteArray to = encoded(destination);
    struct stat st {};
    if (::lstat(from.constData(), &st) != 0)
        return failed(errno);
    struct stat target {};
    if (::lstat(to.constData(), &target) == 0) {
        struct stat followed {
        }, sourceFollowed{};
        if (sameInode(st, target) || (::stat(to.constData(), &followed) == 0 &&
                                      ::stat(from.constData(), &sourceFollowed) == 0 &&
                                      sameInode(sourceFollowed, followed))) {
            TransferResult result;
            result.outcome = Outcome::SameFile;
            return result;
        }
        if (clash == Clash::Keep) {
            TransferResult result;
            result.outcome = Outcome::NameTaken;
            result.error = EEXIST;
            return result;
        }
    }
    TransferResult kept;
    int error = clash == Clash::Replace ? keepWhatIsReplaced(destination, keepReplaced, kept) : 0;
    if (error == 0)
        error = clash == Clash::Replace
                    ? (::rename(from.constData(), to.constData()) == 0 ? 0 : errno)
                    : RenameNoReplace(from, to);
    if (error == 0) {
        TransferResult result = kept;
        result.outcome = Outcome::Done;
        return result;
    }
    // Across file systems the copy keeps what it replaces itself, just before its rename.
    giveBackReplaced(destination, kept);
    if (error != EXDEV) {
        TransferResult result;
        result.outcome = error == EEXIST ? Outcome::NameTaken : Outcome::Failed;
        result.error = error;
        return result;
    }

    // Across file systems: a whole, synced copy in place before the source goes.
    if (!S_ISREG(st.st_mode))
        return failed(EXDEV);
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        return failed(errno);
    if (group)
        group->prepare(destination);
    CopyPlan plan;
    plan.mode = st.st_mode & 07777;
    plan.keepOwner = true;
    plan.durability = group ? Durability::StartWriteBack : Durability::Now;
    QByteArray temporary;
    const int copyError = copyToTemporary(in, st, destination, plan, temporary);
    ::close(in);
    if (copyError != 0)
        return failed(copyError);
    TransferResult result =
        placeTemporary(temporary, destination, clash, group == nullptr, keepReplaced);
    if (result.outcome != Outcome::Done)
        return result;
    if (group) {
        group->add(source, destination, st.st_size, result.replaced);
        result.outcome = Outcome::Pending;
        return result;
    }
    if (::unlink(from.constData()) != 0) {
        result.sourceKept = true;
        result.error = errno;
    }
    return result;
}

TransferResult RenameFileTo(const QString &from, const QString &to) {
    const QByteArray source = encoded(from);
    const QByteArray target = encoded(to);
    struct stat st {
    }, existing{};
    if (::lstat(source.constData(), &st) != 0)
        return failed(errno);
    if (::lstat(target.constData(), &existing) == 0 && sameInode(st, existing)) {
        if (from == to || fileNameOf(from).compare(fileNameOf(to), Qt::CaseInsensitive) != 0) {
            TransferResult result;
            result.outcome = Outcome::SameFile;
            return result;
        }
        // A change of letter case: on a file system that ignores case both names are
        // one entry, so the file goes through a free temporary name.
        int fd = -1;
        QByteArray temporary;
        if (const int error = MakeTemporaryBeside(to, fd, temporary))
            return failed(error);
        ::close(fd);
        if (::rename(source.constData(), temporary.constData()) != 0) {
            const int error = errno;
            ::unlink(temporary.constData());
            return failed(error);
        }
        if (const int error = RenameNoReplace(temporary, target)) {
            ::rename(temporary.constData(), source.constData()); // back where it was
            TransferResult result = failed(error);
            if (error == EEXIST)
                result.outcome = Outcome::NameTaken;
            return result;
        }
        TransferResult result;
        result.outcome = Outcome::Done;
        return result;
    }
    return MoveFileTo(from, to, Clash::Keep);
}

DurableMoves::~DurableMoves() {
    flush();
}

void DurableMoves::prepare(const QString &destination) {
    // Opened before the copy is written, so that the sync reports any failed write-back.
    const QString dir = directoryOf(destination);
    if (!m_directories.contains(dir))
        m_directories.insert(dir,
                             ::open(encoded(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

void DurableMoves::add(const QString &source, const QString &destination, long long bytes,
                       const TrashedFile &replaced) {
    m_moves.push_back({source, destination, replaced});
    m_bytes += bytes;
}

bool DurableMoves::wantsFlush() const {
    return m_bytes >= 256LL * 1024 * 1024 || m_moves.size() >= 256;
}

std::vector<DurableMoves::Finished> DurableMoves::flush() {
    std::vector<Finished> out;
    out.reserve(m_moves.size());
    // One sync of each destination's file system writes the copies and their directory
    // entries at once (syncing file by file costs a journal commit each); it reports any
    // write-back error since the copies were made.
    QHash<QString, int> syncError; // per destination directory
    for (const Move &m : m_moves) {
        const QString dir = directoryOf(m.destination);
        if (!syncError.contains(dir)) {
            const int fd = m_directories.value(dir, -1);
            syncError.insert(dir, fd < 0 ? EIO : ::syncfs(fd) == 0 ? 0 : errno);
        }
        Finished f;
        f.source = m.source;
        f.destination = m.destination;
        f.replaced = m.replaced;
        f.error = syncError.value(dir);
        out.push_back(f);
    }
    for (Finished &f : out) {
        // A copy that could not be made durable keeps its source.
        if (f.error != 0 || ::unlink(encoded(f.source).constData()) != 0) {
            if (f.error == 0)
                f.error = errno;
            f.sourceKept = true;
        }
    }
    for (const int fd : std::as_const(m_directories))
        if (fd >= 0)
            ::close(fd);
    m_directories.clear();
    m_moves.clear();
    m_bytes = 0;
    return out;
}

} // namespace glimmerby
