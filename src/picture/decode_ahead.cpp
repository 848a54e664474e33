#include "picture/decode_ahead.h"

#include "picture/picture_decoder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

DecodeAhead::DecodeAhead() {
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
    for (unsigned i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { run(); });
}

DecodeAhead::~DecodeAhead() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
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

std::list<DecodeAhead::Slot>::iterator DecodeAhead::find(const Job &job) {
    return std::find_if(m_slots.begin(), m_slots.end(),
                        [&](const Slot &s) { return s.wanted && s.job == job; });
}

std::list<DecodeAhead::Shown>::iterator DecodeAhead::findShown(const Job &job) {
    return std::find_if(m_shown.begin(), m_shown.end(),
                        [&](const Shown &s) { return s.job == job; });
}

namespace {

bool copyPicture(const cDIBSection &from, cDIBSection &to) {
    if (!to.Recreate(from.dib_width(), from.dib_height(), from.dib_channels()))
        return false;
    std::memcpy(to.DIBSectionBitsPtr(), from.DIBSectionBitsPtr(), std::size_t(from.ImageSize()));
    return true;
}

} // namespace

void DecodeAhead::remember(const QString &path, QSize target, const cDIBSection &picture,
                           QSize natural) {
    if (picture.IsEmpty() || picture.ImageSize() > ShownBytes / 2)
        return;
    const Job job = jobFor(path, target);
    if (job.size < 0)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (const auto same = findShown(job); same != m_shown.end()) // handed over from here
            return m_shown.splice(m_shown.begin(), m_shown, same);
    }
    cDIBSection copy;
    if (!copyPicture(picture, copy))
        return;
    std::lock_guard lock(m_mutex);
    Shown &shown = m_shown.emplace_front();
    shown.job = job;
    shown.picture.Swap(copy);
    shown.natural = natural;
    std::int64_t bytes = 0;
    std::size_t kept = 0;
    for (auto s = m_shown.begin(); s != m_shown.end(); ++kept) {
        bytes += s->picture.ImageSize();
        if (kept >= ShownKept || bytes > ShownBytes) {
            m_shown.erase(s, m_shown.end());
            break;
        }
        ++s;
    }
}

void DecodeAhead::want(const QStringList &paths, QSize target, const QString &keep) {
    std::vector<Job> jobs;
    for (const QString &path : paths)
        if (path != keep)
            jobs.push_back(jobFor(path, target));
    const Job kept = keep.isEmpty() ? Job{} : jobFor(keep, target);
    {
        std::lock_guard lock(m_mutex);
        // A picture shown a moment ago is handed over from its copy, not decoded again.
        std::erase_if(jobs, [this](const Job &job) { return findShown(job) != m_shown.end(); });
        const auto rank = [&](const Slot &s) {
            if (!keep.isEmpty() && s.job == kept)
                return -1;
            const auto at = std::find(jobs.begin(), jobs.end(), s.job);
            return at == jobs.end() ? int(jobs.size()) : int(at - jobs.begin());
        };
        for (auto s = m_slots.begin(); s != m_slots.end();) {
            s->wanted = s->wanted && rank(*s) < int(jobs.size());
            if (!s->wanted && s->state != State::Running)
                s = m_slots.erase(s);
            else
                ++s;
        }
        for (const Job &job : jobs) {
            // A decode let go while it runs is wanted again rather than started twice.
            const auto same = std::find_if(m_slots.begin(), m_slots.end(),
                                           [&](const Slot &s) { return s.job == job; });
            if (same == m_slots.end()) {
                Slot &slot = m_slots.emplace_back();
                slot.job = job;
                slot.heavy = HoldsWholePicture(job.path);
            } else
                same->wanted = true;
        }
        m_slots.sort([&](const Slot &a, const Slot &b) { return rank(a) < rank(b); });
    }
    m_wake.notify_all();
}

bool DecodeAhead::take(const QString &path, QSize target, cDIBSection &into, QSize &natural) {
    const Job wanted = jobFor(path, target);
    std::unique_lock lock(m_mutex);
    if (const auto shown = findShown(wanted); shown != m_shown.end()) {
        if (!copyPicture(shown->picture, into))
            return false;
        natural = shown->natural;
        m_shown.splice(m_shown.begin(), m_shown, shown);
        return true;
    }
    const auto slot = find(wanted);
    if (slot == m_slots.end())
        return false;
    if (slot->state == State::Queued) {
        // Not started yet: decoding it here is no slower than waiting for a worker.
        m_slots.erase(slot);
        return false;
    }
    m_wake.wait(lock, [&] { return slot->state == State::Done; });
    const bool ok = slot->ok;
    if (ok) {
        into.Swap(slot->picture);
        natural = slot->natural;
    }
    m_slots.erase(slot);
    return ok;
}

void DecodeAhead::makeRoomFor(const QString &keep, QSize target) {
    want({}, target, keep);
    const Job kept = jobFor(keep, target);
    std::unique_lock lock(m_mutex);
    // Decoded or being decoded already: take() hands it over and nothing is decoded beside
    // whatever else runs, which may go on for the picture after it.
    const auto ready = find(kept);
    if ((ready != m_slots.end() && ready->state != State::Queued) ||
        findShown(kept) != m_shown.end())
        return;
    m_wake.wait(lock, [&] {
        return std::none_of(m_slots.begin(), m_slots.end(), [&](const Slot &s) {
            return s.state == State::Running && s.heavy && !(s.wanted && s.job == kept);
        });
    });
}

std::list<DecodeAhead::Slot>::iterator DecodeAhead::nextToStart() {
    return std::find_if(m_slots.begin(), m_slots.end(), [this](const Slot &s) {
        return s.state == State::Queued && (!s.heavy || m_heavyRunning == 0);
    });
}

void DecodeAhead::run() {
    // Work ahead gives way to what the user asked for: the workers, and the threads their
    // decoders start, run below the UI thread's priority.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    // Each worker keeps its own file buffer, whose memory serves every decode.
    QByteArray fileBuffer;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || nextToStart() != m_slots.end(); });
        if (m_stop)
            return;
        const auto slot = nextToStart();
        slot->state = State::Running;
        m_heavyRunning += slot->heavy;
        const Job job = slot->job;
        lock.unlock();

        cDIBSection picture;
        QSize natural;
        const bool ok = ReadPictureForDisplay(picture, job.path, job.target, natural, fileBuffer);

        lock.lock();
        m_heavyRunning -= slot->heavy;
        if (slot->wanted) {
            slot->picture.Swap(picture);
            slot->natural = natural;
            slot->ok = ok;
            slot->state = State::Done;
        } else {
            m_slots.erase(slot);
        }
        // Also wakes a worker held back by a heavy decode.
        m_wake.notify_all();
    }
}

} // namespace glimmerby
