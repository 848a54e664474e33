#include "browser/thumbnail_workers.h"

#include "browser/thumbnail_maker.h"
#include "picture/picture_decoder.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <malloc.h>
#include <sys/stat.h>

namespace glimmerby {

ThumbnailWorkers::ThumbnailWorkers(ThumbnailCache cache, int threads, QObject *parent)
    : QObject(parent), m_cache(std::move(cache)) {
    qRegisterMetaType<glimmerby::ThumbnailWorkers::Outcome>();
    const int count = threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this] { run(); });
}

ThumbnailWorkers::~ThumbnailWorkers() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread &t : m_threads)
        t.join();
}

void ThumbnailWorkers::schedule(quint64 generation, const QStringList &paths, ThumbSize size) {
    std::deque<Job> jobs; // made before the lock, which the workers wait for meanwhile
    for (const QString &path : paths)
        jobs.push_back(Job{generation, path, size, HoldsWholePicture(path)});
    {
        const std::lock_guard lock(m_mutex);
        m_queue.clear();
        for (Job &job : jobs)
            if (!m_inProgress.contains(job.path))
                m_queue.push_back(std::move(job));
    }
    m_wake.notify_all();
}

void ThumbnailWorkers::clear() {
    const std::lock_guard lock(m_mutex);
    m_queue.clear();
    if (m_busy == 0)
        m_idle.notify_all();
}

void ThumbnailWorkers::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && m_busy == 0; });
}

void ThumbnailWorkers::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || nextToStart() != m_queue.end(); });
            if (m_stop)
                return;
            const auto next = nextToStart();
            job = std::move(*next);
            m_queue.erase(next);
            m_inProgress.insert(job.path);
            ++m_busy;
            m_heavyBusy += job.heavy;
        }
        work(job);
        // The hundreds of megabytes a whole-picture decode took go back to the system now,
        // rather than staying with this thread beside the next decode on another.
        if (job.heavy)
            malloc_trim(0);
        const std::lock_guard lock(m_mutex);
        m_inProgress.remove(job.path);
        m_heavyBusy -= job.heavy;
        if (--m_busy == 0 && m_queue.empty())
            m_idle.notify_all();
        if (job.heavy) // a worker may be waiting for it
            m_wake.notify_all();
    }
}

std::deque<ThumbnailWorkers::Job>::iterator ThumbnailWorkers::nextToStart() {
    // Pictures whose decoders hold them whole are made one at a time: two at once would
    // take their memory together, and the decoders of most spread over the cores anyway.
    return std::find_if(m_queue.begin(), m_queue.end(),
                        [this](const Job &job) { return !job.heavy || m_heavyBusy == 0; });
}

void ThumbnailWorkers::work(const Job &job) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(job.path);
    // Only regular files are read: a FIFO would block the worker for good.
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        emit made(job.generation, job.path, {}, Outcome::Damaged);
        return;
    }
    const std::int64_t mtime = st.st_mtim.tv_sec;
    const int pixels = thumbPixels(job.size);
    const bool cacheable = !isInsideThumbnailCache(job.path, m_cache.root());
    if (cacheable) {
        ThumbLookup found = m_cache.find(job.path, mtime, job.size);
        if (found.state == ThumbLookup::State::Fresh) {
            QImage image = std::move(found.image);
            if (image.width() > pixels || image.height() > pixels)
                image = image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            emit made(job.generation, job.path, image, Outcome::Made);
            return;
        }
        if (found.state == ThumbLookup::State::Failed) {
            emit made(job.generation, job.path, {}, Outcome::Damaged);
            return;
        }
    }
    const MadeThumbnail thumb = makeThumbnail(job.path, cellKindOf(job.path), pixels);
    if (cacheable) {
        if (thumb.image.isNull())
            m_cache.storeFailure(job.path, mtime, st.st_size);
        else
            m_cache.store(job.path, mtime, st.st_size, thumb.image, job.size, thumb.natural);
    }
    emit made(job.generation, job.path, thumb.image,
              thumb.image.isNull() ? Outcome::Damaged : Outcome::Made);
}

} // namespace glimmerby
