#pragma once
// Hidden temporaries of Glimmerby's own writes that a killed process left behind (one of an
// older version, say, that kept no journal) are removed when their directory is listed, but
// only while no other Glimmerby of this user runs: its copy in progress must not lose the
// file it is writing.

#include <QString>

namespace glimmerby {

// A lock every running Glimmerby of this user holds shared, from start to end.
class RunningLock {
  public:
    // path: the lock file; empty: defaultPath().
    explicit RunningLock(const QString &path = QString());
    ~RunningLock();
    RunningLock(const RunningLock &) = delete;
    RunningLock &operator=(const RunningLock &) = delete;

    // True when no other process holds the lock (checked now).
    bool alone();
    // "$XDG_RUNTIME_DIR/glimmerby-<uid>.running", or the temporary directory's.
    static QString defaultPath();

  private:
    int m_fd = -1;
};

// Removes the regular files in dir that carry the name of Glimmerby's own temporaries and
// were last changed before startedNs (nanoseconds since the epoch): one being written now
// is newer. Returns how many went.
int RemoveStaleTemporaries(const QString &dir, qint64 startedNs);

// Now, in nanoseconds since the epoch (for startedNs).
qint64 NowNs();

} // namespace glimmerby
