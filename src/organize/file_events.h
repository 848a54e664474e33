#pragma once
// One place that hears what became of every file a command copied, moved, renamed, pasted
// or wrote through the picture pipeline: whatever keeps track of the user's files (a
// journal, an undo list) listens here.

#include "app/trash.h"

#include <QObject>
#include <QString>

namespace glimmerby {

// How a command meant to take a file along.
enum class Way {
    Copy,   // the source stays; the destination is new or replaced
    Move,   // the source name goes once the destination holds the file
    Rename, // a move within one directory, by "ReName File"
};

// What became of one file.
enum class FileOutcome {
    Done,       // the destination holds the file (for a move, see sourceKept)
    Skipped,    // the user's answer left it alone ("Skip One", a question closed unanswered)
    PassedOver, // it could not be handled and is as it was; reason says why
    Cancelled,  // "Cancel": this file and the rest of the command were left alone
};

struct FileRecord {
    FileOutcome outcome = FileOutcome::Skipped;
    Way way = Way::Copy;
    QString source;
    QString destination;     // where it went, or was to go
    bool sourceKept = false; // Done by a move whose source could not be removed
    QString reason;          // PassedOver, or sourceKept: the reason as the user reads it
    // Done by an overwrite: what the destination held, kept in the trash (naming only the
    // destination when it was replaced for good); a source the picture pipeline put into
    // the trash after converting it.
    TrashedFile replaced;
    TrashedFile trashedSource;
};

class FileEvents : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Called by the transfer loop once for every file of a command, when its outcome is
    // final (a move across file systems once its copy is on disk).
    void reportOutcome(const FileRecord &record) { emit fileSettled(record); }
    // A command that writes, moves or deletes the user's files begins ("Delete", "Copy",
    // "Move", "Paste", "Rename", "Make Dir").
    void reportStarted(const QString &command) { emit commandStarted(command); }
    // Called before a file is copied or moved, so that the plan is on record first.
    // atomic: the file goes by one rename, which no crash can cut short half-way, so its
    // plan need not reach the journal before the file is touched.
    void reportPlanned(const QString &source, const QString &destination, bool move,
                       bool atomic = false) {
        emit filePlanned(source, destination, move, atomic);
    }
    // An undo took a file back (its description follows it).
    void reportFinished(const QString &source, const QString &destination, bool moved) {
        emit fileTakenBack(source, destination, moved);
    }
    // A file went into the trash (a delete).
    void reportTrashed(const TrashedFile &item) { emit fileTrashed(item); }
    // A directory was made.
    void reportDirectoryMade(const QString &dir) { emit directoryMade(dir); }
    // Called when a command that handled files is over.
    void reportBatchEnded() { emit batchEnded(); }

  signals:
    void fileSettled(const glimmerby::FileRecord &record);
    void commandStarted(const QString &command);
    void filePlanned(const QString &source, const QString &destination, bool move, bool atomic);
    void fileTakenBack(const QString &source, const QString &destination, bool moved);
    void fileTrashed(const glimmerby::TrashedFile &item);
    void directoryMade(const QString &dir);
    void batchEnded();
};

} // namespace glimmerby
