#pragma once
// Decodes the picture the user is likely to look at next on a worker thread, so that
// stepping through a directory of large pictures shows each one at once. Only the quick
// preview decode runs here; anything that must report to the user (a damaged or unreadable
// file) is decoded again on the UI thread, which shows the messages.

#include "picture/cdibsection.h"

#include <QDateTime>
#include <QSize>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace glimmerby {

class DecodeAhead {
  public:
    DecodeAhead();
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead &) = delete;
    DecodeAhead &operator=(const DecodeAhead &) = delete;

    // Queues a preview decode of path for target, replacing what was queued before; a
    // decode already running finishes first.
    void prefetch(const QString &path, QSize target);
    // When path was decoded (or is being decoded) for target and the file has not changed
    // since, waits for it and hands the picture over. False otherwise, and for a decode
    // that failed.
    bool take(const QString &path, QSize target, cDIBSection &into, QSize &natural);

  private:
    struct Job {
        QString path;
        QSize target;
        QDateTime modified;
        qint64 size = -1;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 changedNs = 0;
        bool operator==(const Job &o) const {
            return path == o.path && target == o.target && modified == o.modified &&
                   size == o.size && device == o.device && inode == o.inode &&
                   changedNs == o.changedNs;
        }
    };
    static Job jobFor(const QString &path, QSize target);
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_hasQueued = false;
    Job m_queued;
    bool m_running = false;
    Job m_current;
    bool m_hasResult = false;
    Job m_resultJob;
    bool m_resultOk = false;
    cDIBSection m_result;
    // The worker's own: the bitmap it decodes into and the file's bytes. Results and the
    // shown picture trade bitmaps by swapping, so the same few buffers serve every step.
    cDIBSection m_work;
    QByteArray m_fileBuffer;
    QSize m_resultNatural;
    std::thread m_thread; // last: starts once everything above exists
};

} // namespace glimmerby
