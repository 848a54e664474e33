#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace glimmerby {

SingleInstance::SingleInstance(const QString &appDir, const QString &lockDir)
    : m_path(QDir(lockDir).filePath(lockFileName(appDir))),
      m_lock(std::make_unique<QLockFile>(m_path)) {
    // A running instance holds its lock for as long as it runs, however long that is:
    // only a lock whose process is gone counts as stale.
    m_lock->setStaleLockTime(0);
}

SingleInstance::SingleInstance(const LockFile &lockFile)
    : m_path(lockFile.path), m_lock(std::make_unique<QLockFile>(m_path)) {
    m_lock->setStaleLockTime(0);
}

QString SingleInstance::besideSettings(const QString &iniPath) {
    const QFileInfo info(iniPath);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lock");
}

SingleInstance::~SingleInstance() {
    release();
}

InstanceLock SingleInstance::tryAcquire() {
    if (m_lock->isLocked())
        return InstanceLock::Acquired;
    if (m_lock->tryLock(0))
        return InstanceLock::Acquired;
    if (m_lock->error() == QLockFile::LockFailedError)
        return InstanceLock::HeldByAnother;
    return InstanceLock::Unavailable;
}

bool SingleInstance::isHeld() const {
    return m_lock->isLocked();
}

void SingleInstance::release() {
    if (m_lock->isLocked())
        m_lock->unlock();
}

QString SingleInstance::defaultLockDir() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    return QDir::tempPath();
}

QString SingleInstance::lockFileName(const QString &appDir) {
    const QByteArray hash =
        QCryptographicHash::hash(appDir.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("glimmerby-%1-%2.lock")
        .arg(QString::number(::getuid()), QString::fromLatin1(hash));
}

} // namespace glimmerby
