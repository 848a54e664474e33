#pragma once
// Decodes the pictures the user is likely to look at next on worker threads, so that
// stepping through a directory of large pictures shows each one at once. Only the quick
// preview decode runs here; anything that must report to the user (a damaged or unreadable
// file) is decoded again on the UI thread, which shows the messages.

#include "picture/cdibsection.h"

#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace glimmerby {

class DecodeAhead {
  public:
    // One worker a core, two at most: the next picture and the one after. Pictures whose
    // decoders hold the whole picture (HoldsWholePicture) are decoded one at a time.
    DecodeAhead();
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead &) = delete;
    DecodeAhead &operator=(const DecodeAhead &) = delete;

    // The pictures to decode for target, the most wanted first, in place of those wanted
    // before. What was decoded, or is being decoded, for `keep` stays for take(); other
    // pictures no longer wanted are let go (a decode already running finishes first).
    void want(const QStringList &paths, QSize target, const QString &keep = {});
    // When path was decoded (or is being decoded) for target and the file has not changed
    // since, waits for it and hands the picture over. False otherwise, and for a decode
    // that failed; a decode of path that has not started yet is dropped.
    bool take(const QString &path, QSize target, cDIBSection &into, QSize &natural);
    // Before the caller decodes a picture whose decoder holds all of it (HoldsWholePicture):
    // what is queued is let go, and a whole-picture decode running for another picture is
    // waited for, so that two such pictures never take their memory at once. A decode of
    // `keep` stays for take(), and when there is one nothing is waited for.
    void makeRoomFor(const QString &keep, QSize target);
    // Keeps a copy of a picture just shown, so that stepping back to it (Up after Down, or
    // through a short folder again) shows it at once; take() hands it over while the file
    // is unchanged. The last few are kept, within a few tens of megabytes.
    void remember(const QString &path, QSize target, const cDIBSection &picture, QSize natural);

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
    enum class State { Queued, Running, Done };
    struct Slot {
        Job job;
        bool heavy = false;
        State state = State::Queued;
        bool wanted = true; // false: let go once its decode ends
        bool ok = false;
        cDIBSection picture;
        QSize natural;
    };
    struct Shown {
        Job job;
        cDIBSection picture;
        QSize natural;
    };
    static constexpr std::size_t ShownKept = 4;
    static constexpr std::int64_t ShownBytes = std::int64_t(64) << 20;
    static Job jobFor(const QString &path, QSize target);
    std::list<Slot>::iterator find(const Job &job);
    std::list<Shown>::iterator findShown(const Job &job);
    std::list<Slot>::iterator nextToStart();
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    int m_heavyRunning = 0;
    std::list<Slot> m_slots;            // the most wanted first; iterators stay valid while running
    std::list<Shown> m_shown;           // the latest first
    std::vector<std::thread> m_workers; // last: they start once everything above exists
};

} // namespace glimmerby
