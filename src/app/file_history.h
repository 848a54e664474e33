#pragma once
// What a finished file command did, step by step, in enough detail to undo it: which file
// it made or moved (and what that file was when the command left it, so that a file
// changed since is left alone), and what it put into the trash. The last commands are kept
// for Ctrl+Z.

#include "app/trash.h"

#include <QString>
#include <deque>
#include <sys/types.h>
#include <vector>

namespace glimmerby {

// What a file was when a command left it: the same inode, size and modification time
// means nobody has changed it since.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    static FileIdentity of(const QString &path); // size -1 when path is not there
    bool isKnown() const { return size >= 0; }
    bool matches(const QString &path) const;
};

enum class StepKind { Copy, Move, Trash, MakeDir };

struct FileStep {
    StepKind kind = StepKind::Copy;
    QString from;         // the source (Trash: the file; MakeDir: empty)
    QString to;           // the file made or moved (Trash: empty; MakeDir: the directory)
    FileIdentity made;    // what `to` was when the step ended
    TrashedFile replaced; // what `to` replaced, kept in the trash
    TrashedFile trashed;  // Trash: the file; a move through the picture pipeline: its source
};

struct FileCommand {
    qint64 id = 0;
    QString name; // "Delete", "Copy", "Move", "Paste", "Rename", "Make Dir"
    std::vector<FileStep> steps;
};

// The text of the "Undo" menu item for a command ("Undo Move of 12 files"); "Undo" for
// none.
QString UndoCaption(const FileCommand *command);

class UndoHistory {
  public:
    static constexpr int Depth = 50;
    // Keeps a command with at least one step; the oldest beyond Depth is forgotten.
    void push(FileCommand command);
    const FileCommand *last() const { return m_commands.empty() ? nullptr : &m_commands.back(); }
    FileCommand takeLast();
    bool isEmpty() const { return m_commands.empty(); }
    int size() const { return int(m_commands.size()); }
    const std::deque<FileCommand> &commands() const { return m_commands; }

  private:
    std::deque<FileCommand> m_commands;
};

} // namespace glimmerby
