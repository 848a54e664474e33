#pragma once
// The one loop that takes files one by one to their destinations for copy, move, rename and
// paste. Every file ends in one FileRecord, which passes through record(): there the files
// left as they were are counted (with the first reason), descriptions are noted to follow
// their files, and FileEvents is told. finish() ends the command and answers what panel 4
// says about it.

#include "organize/description_follower.h"
#include "organize/file_events.h"
#include "organize/file_transfer.h"
#include "organize/free_name.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace glimmerby {

struct AppContext;

class TransferBatch {
  public:
    explicit TransferBatch(AppContext &ctx);
    ~TransferBatch();
    TransferBatch(const TransferBatch &) = delete;
    TransferBatch &operator=(const TransferBatch &) = delete;

    // Runs the clash check again for a destination found taken at the write; answers the
    // destination to try next (ExistsChoice says whether there is one).
    using Recheck = std::function<QString(const QString &taken)>;

    // After a clash check for source: the outcome its answer settles, already recorded
    // (Cancelled, Skipped, or PassedOver when the name could not be looked up); nothing
    // when the file is to be written to destination.
    std::optional<FileOutcome> settledByClash(Way way, const QString &source,
                                              const QString &destination);

    // Takes source to destination, the clash check having answered: free, or to be
    // replaced. A name taken meanwhile is checked again through recheck, at most
    // MaxNameRetries times. Never a copy or move onto the file itself. A move across file
    // systems is recorded once its copy is on disk (it answers Done before that).
    FileOutcome transfer(Way way, const QString &source, const QString &destination,
                         const Recheck &recheck);

    // The file could not be handled: it is as it was, for the reason given.
    void passOver(Way way, const QString &source, const QString &destination,
                  const QString &reason);
    void passOver(Way way, const QString &source, const QString &destination, int error);

    // Every outcome of the command comes through here, exactly once per file.
    void record(const FileRecord &record);

    // Ends the command: moves across file systems are finished, descriptions written, and
    // FileEvents told. Answers the text for panel 4: how many files were left as they
    // were and the first reason, and descriptions that did not follow; empty when every
    // file went as asked.
    QString finish();

    int passedOver() const { return m_passedOver; }

    // How a file left as it was reads: "<reason>" of errno values.
    static QString reasonFor(int error);
    // The reason of a copy or move onto the file itself.
    static QString sameFileReason();

  private:
    void finishMoves();

    AppContext &m_ctx;
    std::unique_ptr<DurableMoves> m_moves;
    DescriptionFollower m_descriptions;
    int m_files = 0;           // outcomes recorded
    int m_passedOver = 0;      // of which left as they were
    int m_replacedForGood = 0; // overwrites on a volume without a trash
    FileRecord m_firstPassed;
    bool m_finished = false;
    // Whether the folders of source and destination lie on one file system (a move
    // between them is a single rename); each folder's device is looked up once.
    bool sameDevice(const QString &source, const QString &destination);
    QHash<QString, qint64> m_devices;
    NameIndex m_names;                  // the destination folders, read once
    NameIndex *m_namesBefore = nullptr; // the clash check's index before this command
};

} // namespace glimmerby
