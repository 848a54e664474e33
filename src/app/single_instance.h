#pragma once
// One running copy per settings file. The lock is a QLockFile beside the settings file
// (or, for tests, in a directory of their choice); a lock left by a process that died is
// taken over.

#include <QLockFile>
#include <QString>
#include <memory>

namespace glimmerby {

enum class InstanceLock {
    Acquired,      // this process is the one instance
    HeldByAnother, // another running process holds the lock
    Unavailable,   // the lock could not be made (no writable lock directory)
};

class SingleInstance {
  public:
    // appDir is the program directory; lockDir where the lock file goes.
    explicit SingleInstance(const QString &appDir, const QString &lockDir = defaultLockDir());
    // The lock of the settings file iniPath: a hidden file beside it, whatever the
    // environment, so that one settings file never has two writers.
    static QString besideSettings(const QString &iniPath);
    struct LockFile {
        QString path;
    };
    explicit SingleInstance(const LockFile &lockFile);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Tries once, without waiting. Only HeldByAnother means a second instance: when no
    // lock can be made at all the program still runs rather than never starting.
    InstanceLock tryAcquire();
    bool isHeld() const;
    // Gives the lock up (also done by the destructor).
    void release();

    QString lockFilePath() const { return m_path; }

    // $XDG_RUNTIME_DIR when it is a directory, otherwise the temporary directory.
    static QString defaultLockDir();
    // "glimmerby-<uid>-<hash of appDir>.lock"
    static QString lockFileName(const QString &appDir);

  private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace glimmerby
