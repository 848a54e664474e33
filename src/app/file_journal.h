#pragma once
// The journal of file commands, a text file in the settings directory. A command writes
// its plan for each file before touching it and what became of the file afterwards, so
// that the undo history survives a restart and a command cut short (a crash, a kill, a
// power cut) can be finished at the next start. A plan is written before its file is
// touched (a killed process loses none), records of what is done are written with the next
// plan or end, and the journal is synced in groups and at the end of every command.
//
// Lines, fields separated by tabs, each field percent-encoded:
//   C id name            a command begins
//   P id kind from to    a step is about to start
//   D id kind from to identity replaced trashed   the step is done
//   E id                 the command ended
//   U id                 the command was undone

#include "app/file_history.h"

#include <QString>
#include <vector>

namespace glimmerby {

// What the journal held at start.
struct JournalContents {
    std::vector<FileCommand> finished;   // oldest first; undone ones left out
    std::vector<FileCommand> unfinished; // cut short: their done steps
    std::vector<FileStep> pending;       // planned steps of those that never finished
};

// What the recovery of commands cut short did.
struct RecoveryReport {
    int temporariesRemoved = 0;
    int sourcesRemoved = 0; // moves finished: the copy was whole, the source went
    int copiesRemoved = 0;  // copies that were not whole: the source stays
    bool isEmpty() const { return temporariesRemoved + sourcesRemoved + copiesRemoved == 0; }
    QString text() const; // for panel 4
};

class FileJournal {
  public:
    explicit FileJournal(const QString &path);
    ~FileJournal();

    static JournalContents read(const QString &path);

    // Rewrites the journal to hold only history (a temporary renamed over it), then opens
    // it for appending. False when it cannot be written: commands then run unjournaled.
    bool start(const std::deque<FileCommand> &history);

    qint64 begin(const QString &name);
    // A plan is written at once unless now is false (a step that cannot be cut short).
    void planned(qint64 id, StepKind kind, const QString &from, const QString &to, bool now = true);
    void done(qint64 id, const FileStep &step);
    // Ends a command; synced unless durable is false (an undo, whose record is only needed
    // for the history: its moves make their own copies durable before any source goes).
    void end(qint64 id, bool durable = true);
    void undone(qint64 id);
    // Makes what was written durable (fdatasync).
    void sync();
    // True once so much was planned since the last sync that it is time for one.
    bool wantsSync() const { return m_sinceSync >= 256; }

    QString path() const { return m_path; }

  private:
    void append(const QByteArray &line, bool now = true);
    QByteArray m_waiting; // done records not yet written
    QString m_path;
    int m_fd = -1;
    qint64 m_nextId = 1;
    int m_sinceSync = 0;
};

// Finishes what commands cut short left: temporaries of unfinished copies go; a move whose
// copy is whole removes its source, one whose copy is not removes the copy and keeps the
// source. Steps found done are added to recovered (for the undo history).
RecoveryReport RecoverPendingSteps(const std::vector<FileStep> &pending,
                                   std::vector<FileStep> &recovered);

} // namespace glimmerby
