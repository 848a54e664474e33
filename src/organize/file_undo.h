#pragma once
// Ctrl+Z for file commands: every command that copies, moves, renames, pastes, deletes or
// makes a directory is recorded (in the journal first, then in the history of the last 50),
// and the last one can be undone, then the one before it. What a file command finds
// changed since (another size, time or inode) is left as it is and counted.

#include "app/file_history.h"
#include "app/file_journal.h"
#include "organize/description_follower.h"
#include "organize/file_events.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace glimmerby {

struct AppContext;

// Records a directory made by "Make Dir Here" or "MkDir" as a command of its own.
void ReportDirectoryMade(AppContext &ctx, const QString &dir);

class FileUndo : public QObject {
    Q_OBJECT
  public:
    explicit FileUndo(AppContext &ctx);
    ~FileUndo() override;

    // Reads the journal at path, finishes what commands cut short left behind, takes the
    // history it holds, and journals every command from now on. Returns what it finished.
    RecoveryReport start(const QString &journalPath);

    // Undoes the last command of the history (Ctrl+Z, the "Undo" menu item).
    void undoLast();
    bool canUndo() const { return !m_history.isEmpty(); }
    // "Undo Move of 12 files"; "Undo" when there is nothing to undo.
    QString caption() const { return UndoCaption(m_history.last()); }
    const UndoHistory &history() const { return m_history; }
    // Off: commands are neither journaled nor recorded (to measure what recording costs).
    void setRecording(bool on) { m_recording = on; }

  signals:
    void historyChanged();

  private:
    struct Tally {
        int undone = 0, changed = 0, failed = 0, lost = 0;
        QString reason;
        QString reselect;
        std::vector<FileStep> again; // steps to try again at the next Ctrl+Z
    };
    void onStarted(const QString &command);
    void onPlanned(const QString &source, const QString &destination, bool move, bool atomic);
    void onSettled(const FileRecord &record);
    void onTrashed(const TrashedFile &item);
    void onDirectoryMade(const QString &dir);
    void onEnded();
    void record(FileStep step, const QString &impliedCommand);
    void undoStep(const FileStep &step, qint64 journalId, Tally &t);
    bool sendToTrash(const QString &path, Tally &t, const FileStep &step);
    void restoreReplaced(const FileStep &step, Tally &t);
    // path when its name is free now, else the next free counter name; empty when none.
    QString freeTarget(const QString &path);
    void updateMenu();

    AppContext &m_ctx;
    std::unique_ptr<FileJournal> m_journal;
    UndoHistory m_history;
    std::optional<FileCommand> m_current;
    // The command in progress wrote a plan that had to reach the journal at once (a copy, a
    // move across file systems): its end is synced too. A command of renames alone leaves
    // nothing half-done, and its end reaches the disk with the file system's next commit.
    bool m_currentSyncs = false;
    bool m_undoing = false;
    bool m_recording = true;
    DescriptionFollower m_descriptions;          // descriptions going back with their files
    QHash<QString, QSet<QString>> m_foldedNames; // during an undo: each directory's names
    QHash<QString, qint64> m_devices;            // during an undo: each directory's device, or -1
};

} // namespace glimmerby
