#pragma once
// Copying, moving and renaming a user's file so that nothing is lost or cut short: every
// write goes to a hidden temporary beside the destination and is renamed into place;
// without leave to replace, the rename never replaces what appeared meanwhile; a file is
// never copied or moved onto itself; a source is removed only by its own move, once the
// destination holds the whole content.

#include "app/trash.h"

#include <QHash>
#include <QString>

#include <vector>

namespace glimmerby {

enum class Outcome {
    Done,      // the destination holds the file (for a move, see sourceKept)
    Pending,   // a move across file systems waits in a DurableMoves for its source to go
    NameTaken, // something appeared under the destination name: nothing was written
    SameFile,  // source and destination are one file: nothing happened
    Failed,    // nothing changed at the destination; the source is as it was
};

// What to do when the destination name is taken.
enum class Clash { Keep, Replace };

// How often a command checks a name again that was taken between its clash check and its
// write, before it passes the file over.
inline constexpr int MaxNameRetries = 8;

struct TransferResult {
    Outcome outcome = Outcome::Failed;
    int error = 0;           // errno of Failed, or of a source that could not be removed
    bool sourceKept = false; // a move whose copy is in place but whose source stayed
    // An overwrite given a trash: what the destination held, kept there; or, on a volume
    // without a trash, replacedForGood.
    TrashedFile replaced;
    bool replacedForGood = false;
};

// What an overwrite did with the file it replaced, for the undo history: the trash entry,
// or (replaced for good, on a volume without a trash) an entry naming only destination;
// empty when nothing was replaced.
TrashedFile ReplacedRecord(const TransferResult &result, const QString &destination);

// True when both paths name one file (same device and inode; links followed).
bool SameFile(const QString &a, const QString &b);

// Copies source to destination. A new copy keeps the source's modification time and
// takes its mode less the umask; it is not synced to disk, as its source stays. A
// replaced file keeps its own mode and is synced before the rename; a link at the
// destination is replaced, not written through. Given keepReplaced, what an overwrite
// replaces goes into that trash first (a file that cannot be kept there is not replaced).
TransferResult CopyFileTo(const QString &source, const QString &destination, Clash clash,
                          Trash *keepReplaced = nullptr);

class DurableMoves;

// Moves source to destination: one rename within a file system (the inode kept); across
// file systems a copy (time and mode kept), synced, renamed into place, and only then the
// source removed. Given a DurableMoves, a move across file systems leaves the sync and the
// removal of its source to that group (Outcome::Pending).
TransferResult MoveFileTo(const QString &source, const QString &destination, Clash clash,
                          DurableMoves *group = nullptr, Trash *keepReplaced = nullptr);

// Renames within a directory or file system without replacing anything; a change of
// letter case alone goes through a temporary name.
TransferResult RenameFileTo(const QString &from, const QString &to);

// Moves across file systems whose copies are in place but not yet known to be on disk.
// flush() syncs the copies and their directories, then removes the sources: no source
// goes before its copy is durable. Copies start writing back as soon as they are made.
class DurableMoves {
  public:
    struct Finished {
        QString source, destination;
        int error = 0;           // errno when the copy could not be synced or the source stayed
        bool sourceKept = false; // true: the source is still there
        TrashedFile replaced;    // what the copy replaced, kept in the trash
    };
    ~DurableMoves();
    // Called before a copy towards destination is written.
    void prepare(const QString &destination);
    void add(const QString &source, const QString &destination, long long bytes,
             const TrashedFile &replaced = {});
    bool isEmpty() const { return m_moves.empty(); }
    // True once enough waits that syncing it now keeps the disk busy without stalls.
    bool wantsFlush() const;
    std::vector<Finished> flush();

  private:
    struct Move {
        QString source, destination;
        TrashedFile replaced;
    };
    std::vector<Move> m_moves;
    QHash<QString, int> m_directories; // destination directories, open for their sync
    long long m_bytes = 0;
};

} // namespace glimmerby
