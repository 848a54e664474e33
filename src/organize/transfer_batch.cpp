#include "organize/transfer_batch.h"

#include "app/trash.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "organize/name_clash.h"
#include "organize/path_choice.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace glimmerby {

namespace {

QString fileNameOf(const QString &path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

TransferBatch::TransferBatch(AppContext &ctx)
    : m_ctx(ctx), m_moves(std::make_unique<DurableMoves>()) {
    if (m_ctx.clash)
        m_namesBefore = m_ctx.clash->setNameIndex(&m_names);
}

TransferBatch::~TransferBatch() {
    // A command that ended without finish() still lets no moved source wait unsynced.
    if (!m_finished)
        finish();
    if (m_ctx.clash)
        m_ctx.clash->setNameIndex(m_namesBefore);
}

bool TransferBatch::sameDevice(const QString &source, const QString &destination) {
    const auto deviceOf = [this](const QString &path) {
        const QString dir = path.left(path.lastIndexOf(u'/') + 1);
        auto known = m_devices.constFind(dir);
        if (known == m_devices.constEnd()) {
            struct stat st {};
            known = m_devices.insert(
                dir, ::stat(QFile::encodeName(dir).constData(), &st) == 0 ? qint64(st.st_dev) : -1);
        }
        return *known;
    };
    const qint64 device = deviceOf(source);
    return device >= 0 && device == deviceOf(destination);
}

QString TransferBatch::reasonFor(int error) {
    return errnoText(error ? error : EIO);
}

QString TransferBatch::sameFileReason() {
    return QStringLiteral("Source and destination are the same file");
}

void TransferBatch::record(const FileRecord &record) {
    ++m_files;
    if (record.outcome == FileOutcome::PassedOver || record.sourceKept) {
        if (m_passedOver++ == 0)
            m_firstPassed = record;
    }
    if (record.outcome == FileOutcome::Done)
        m_descriptions.fileFinished(record.source, record.destination,
                                    record.way != Way::Copy && !record.sourceKept);
    if (m_ctx.fileEvents)
        m_ctx.fileEvents->reportOutcome(record);
}

void TransferBatch::passOver(Way way, const QString &source, const QString &destination,
                             const QString &reason) {
    FileRecord r;
    r.outcome = FileOutcome::PassedOver;
    r.way = way;
    r.source = source;
    r.destination = destination;
    r.reason = reason;
    record(r);
}

void TransferBatch::passOver(Way way, const QString &source, const QString &destination,
                             int error) {
    passOver(way, source, destination, reasonFor(error));
}

std::optional<FileOutcome> TransferBatch::settledByClash(Way way, const QString &source,
                                                         const QString &destination) {
    const int choice = m_ctx.state.ExistsChoice;
    if (choice != CancelCommand && choice != SkipThisFile)
        return std::nullopt; // write the file
    const int error = m_ctx.clash ? m_ctx.clash->lookupError() : 0;
    if (choice == SkipThisFile && error != 0) {
        passOver(way, source, destination, error);
        return FileOutcome::PassedOver;
    }
    FileRecord r;
    r.outcome = choice == CancelCommand ? FileOutcome::Cancelled : FileOutcome::Skipped;
    r.way = way;
    r.source = source;
    r.destination = destination;
    record(r);
    return r.outcome;
}

FileOutcome TransferBatch::transfer(Way way, const QString &source, const QString &destination,
                                    const Recheck &recheck) {
    QString target = destination;
    for (int attempt = 0; attempt < MaxNameRetries; ++attempt) {
        const Clash clash =
            m_ctx.clash && m_ctx.clash->overwriteChosen() ? Clash::Replace : Clash::Keep;
        TransferResult r;
        if (m_ctx.fileEvents) // the plan is on record before the file is touched
            m_ctx.fileEvents->reportPlanned(source, target, way != Way::Copy,
                                            way != Way::Copy && sameDevice(source, target));
        // What an overwrite replaces goes into the trash first.
        switch (way) {
        case Way::Copy:
            r = CopyFileTo(source, target, clash, m_ctx.trash);
            break;
        case Way::Move:
            r = MoveFileTo(source, target, clash, m_moves.get(), m_ctx.trash);
            break;
        case Way::Rename:
            // Overwriting is one rename onto the chosen file, never a delete first.
            r = clash == Clash::Replace
                    ? MoveFileTo(source, target, Clash::Replace, nullptr, m_ctx.trash)
                    : RenameFileTo(source, target);
            break;
        }
        FileRecord done;
        done.way = way;
        done.source = source;
        done.destination = target;
        done.replaced = ReplacedRecord(r, target);
        m_replacedForGood += r.replacedForGood ? 1 : 0;
        switch (r.outcome) {
        case Outcome::Done:
            done.outcome = FileOutcome::Done;
            done.sourceKept = r.sourceKept;
            if (r.sourceKept)
                done.reason = reasonFor(r.error);
            record(done);
            return FileOutcome::Done;
        case Outcome::Pending:
            // Recorded when its copy is on disk; a long batch syncs now and then.
            if (m_moves->wantsFlush())
                finishMoves();
            return FileOutcome::Done;
        case Outcome::SameFile:
            // Two names of one file: writing would gain nothing, and a move would leave
            // both names; the user is told instead.
            passOver(way, source, target, sameFileReason());
            return FileOutcome::PassedOver;
        case Outcome::Failed:
            passOver(way, source, target, r.error);
            return FileOutcome::PassedOver;
        case Outcome::NameTaken:
            // Something appeared under the name since the check: check again.
            if (!recheck)
                break;
            target = recheck(target);
            if (const auto settled = settledByClash(way, source, target))
                return *settled;
            continue;
        }
        break;
    }
    passOver(way, source, target, EEXIST);
    return FileOutcome::PassedOver;
}

void TransferBatch::finishMoves() {
    for (const DurableMoves::Finished &f : m_moves->flush()) {
        FileRecord done;
        done.outcome = FileOutcome::Done;
        done.way = Way::Move;
        done.source = f.source;
        done.destination = f.destination;
        done.sourceKept = f.sourceKept;
        done.replaced = f.replaced;
        if (f.sourceKept)
            done.reason = reasonFor(f.error);
        record(done);
    }
}

QString TransferBatch::finish() {
    finishMoves();
    m_finished = true;
    const DescriptionFollower::Result followed = m_descriptions.flush();
    if (m_ctx.fileEvents)
        m_ctx.fileEvents->reportBatchEnded();

    QStringList parts;
    if (m_passedOver == 1 && m_files == 1 && m_firstPassed.way == Way::Rename)
        parts << QStringLiteral("%1 was left as it was: %2")
                     .arg(fileNameOf(m_firstPassed.source), m_firstPassed.reason);
    else if (m_passedOver > 0)
        parts << QStringLiteral("%1 file(s) left as they were: %2")
                     .arg(m_passedOver)
                     .arg(m_firstPassed.reason);
    if (m_replacedForGood > 0)
        parts << QStringLiteral("%1 file(s) replaced for good: no trash on that volume")
                     .arg(m_replacedForGood);
    if (followed.notFollowed > 0)
        parts << QStringLiteral("%1 description(s) did not follow: %2 could not be written")
                     .arg(followed.notFollowed)
                     .arg(followed.firstRefused);
    return parts.join(QStringLiteral("; "));
}

} // namespace glimmerby
