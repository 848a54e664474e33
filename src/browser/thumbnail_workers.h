#pragma once
// The threads that make a folder's thumbnails: one per core, each taking the next file
// from one shared queue, looking in the desktop's cache first and filling it with what it
// makes. They never touch a widget: every result is handed to the owner's thread through
// the made() signal. Scheduling replaces the whole queue, so the owner can put the visible
// cells first and drop the work of a folder the user has left.

#include "browser/thumbnail_cache.h"

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace glimmerby {

class ThumbnailWorkers : public QObject {
    Q_OBJECT
  public:
    enum class Outcome { Made, Damaged };
    Q_ENUM(Outcome)

    // threads <= 0: one per core.
    explicit ThumbnailWorkers(ThumbnailCache cache, int threads = 0, QObject *parent = nullptr);
    ~ThumbnailWorkers() override;

    int threadCount() const { return int(m_threads.size()); }
    const ThumbnailCache &cache() const { return m_cache; }

    // Replaces everything still waiting by paths, done in that order; results carry the
    // generation so that the owner can tell a left folder's late answers apart. Files
    // being made now are finished.
    void schedule(quint64 generation, const QStringList &paths, ThumbSize size);
    // Drops everything still waiting.
    void clear();
    // Waits until nothing is waiting or being made (for tests and benchmarks).
    void waitIdle();

  signals:
    // On the owner's thread: the thumbnail of path (null image when Damaged).
    void made(quint64 generation, const QString &path, const QImage &image,
              glimmerby::ThumbnailWorkers::Outcome outcome);

  private:
    struct Job {
        quint64 generation = 0;
        QString path;
        ThumbSize size = ThumbSize::Normal;
        bool heavy = false; // HoldsWholePicture
    };
    void run();
    std::deque<Job>::iterator nextToStart();
    void work(const Job &job);

    const ThumbnailCache m_cache;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    QSet<QString> m_inProgress; // paths being made now: never queued twice
    int m_busy = 0;
    int m_heavyBusy = 0;
    bool m_stop = false;
    std::vector<std::thread> m_threads; // last: started once everything above exists
};

} // namespace glimmerby
