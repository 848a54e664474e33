#include "picture/decode_ahead.h"

#include "picture/picture_decoder.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace glimmerby {

DecodeAhead::DecodeAhead() : m_thread([this] { run(); }) {}

DecodeAhead::~DecodeAhead() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

DecodeAhead::Job DecodeAhead::jobFor(const QString &path, QSize target) {
    // A rename or a paste over the file can keep its name, size and time of change; the
    // inode and the status change time tell the new file from the old.
    Job job{path, target, {}, -1};
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        job.modified = QFileInfo(path).lastModified();
        job.size = st.st_size;
        job.device = st.st_dev;
        job.inode = st.st_ino;
        job.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    }
    return job;
}

void DecodeAhead::prefetch(const QString &path, QSize target) {
    Job job = jobFor(path, target);
    {
        std::lock_guard lock(m_mutex);
        if ((m_running && m_current == job) || (m_hasResult && m_resultJob == job))
            return;
        m_queued = std::move(job);
        m_hasQueued = true;
    }
    m_wake.notify_all();
}

bool DecodeAhead::take(const QString &path, QSize target, cDIBSection &into, QSize &natural) {
    const Job wanted = jobFor(path, target);
    std::unique_lock lock(m_mutex);
    if (m_hasQueued && m_queued == wanted && !m_running) {
        // Not started yet: decoding it here is no slower than waiting for the worker.
        m_hasQueued = false;
        return false;
    }
    m_wake.wait(lock, [&] { return !(m_running && m_current == wanted); });
    if (!m_hasResult || !(m_resultJob == wanted) || !m_resultOk)
        return false;
    // The bitmap shown until now goes to the worker, which decodes the next one into it.
    into.Swap(m_result);
    natural = m_resultNatural;
    m_hasResult = false;
    return true;
}

void DecodeAhead::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_hasQueued; });
        if (m_stop)
            return;
        m_current = std::move(m_queued);
        m_hasQueued = false;
        m_running = true;
        const Job job = m_current;
        lock.unlock();

        QSize natural;
        const bool ok = ReadPictureForDisplay(m_work, job.path, job.target, natural, m_fileBuffer);

        lock.lock();
        m_result.Swap(m_work);
        m_resultJob = job;
        m_resultOk = ok;
        m_resultNatural = natural;
        m_hasResult = true;
        m_running = false;
        lock.unlock();
        m_wake.notify_all();
        lock.lock();
    }
}

} // namespace glimmerby
