#pragma once
// One place that hears of every file command and of every file it has finished copying,
// moving, renaming, pasting or putting into the trash, so that what belongs to a file (its
// description) can follow it, and the journal and the undo history can record it.

#include "app/trash.h"

#include <QObject>
#include <QString>

namespace glimmerby {

class FileEvents : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // A command that writes, moves or deletes the user's files begins ("Delete", "Copy",
    // "Move", "Paste", "Rename", "Make Dir").
    void reportStarted(const QString &command) { emit commandStarted(command); }
    // Called before a file is copied or moved, so that the plan is on record first.
    void reportPlanned(const QString &source, const QString &destination, bool move) {
        emit filePlanned(source, destination, move);
    }
    // Called by copy, move, rename and paste once the destination holds the whole file.
    // replaced: what the destination held before, kept in the trash; trashedSource: a
    // source the picture pipeline put into the trash after converting it.
    void reportFinished(const QString &source, const QString &destination, bool moved,
                        const TrashedFile &replaced = {}, const TrashedFile &trashedSource = {}) {
        emit fileFinished(source, destination, moved);
        emit fileRecorded(source, destination, moved, replaced, trashedSource);
    }
    // A file went into the trash (a delete).
    void reportTrashed(const TrashedFile &item) { emit fileTrashed(item); }
    // A directory was made.
    void reportDirectoryMade(const QString &dir) { emit directoryMade(dir); }
    // Called when a command is over (listeners may write what they gathered).
    void reportBatchEnded() { emit batchEnded(); }

  signals:
    void commandStarted(const QString &command);
    void filePlanned(const QString &source, const QString &destination, bool move);
    void fileFinished(const QString &source, const QString &destination, bool moved);
    void fileRecorded(const QString &source, const QString &destination, bool moved,
                      const TrashedFile &replaced, const TrashedFile &trashedSource);
    void fileTrashed(const TrashedFile &item);
    void directoryMade(const QString &dir);
    void batchEnded();
};

} // namespace glimmerby
