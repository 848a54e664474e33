#pragma once
// The desktop's trash, laid out as the freedesktop.org Trash layout has it, so that
// the desktop's file manager lists what Glimmerby deleted or replaced and can put it back:
// the home trash for files on the home's file system, a volume's own ".Trash/<uid>" (only
// when ".Trash" is a sticky directory and not a link) or ".Trash-<uid>" on other volumes.
// Every step is ours: the directories are made and checked, the .trashinfo is created with
// O_EXCL (which reserves the name), and only then is the file renamed in.

#include <QHash>
#include <QString>
#include <sys/types.h>

namespace glimmerby {

// A file kept in a trash: where it came from and where it lies now.
struct TrashedFile {
    QString original; // the absolute path it had
    QString files;    // <trash>/files/<name>
    QString info;     // <trash>/info/<name>.trashinfo
    bool isEmpty() const { return files.isEmpty(); }
};

enum class TrashOutcome {
    Trashed, // the file is in the trash
    NoTrash, // the file's volume has no trash this user may use: nothing changed
    Failed,  // the file could not be moved (it is as it was); see error
};

struct TrashResult {
    TrashOutcome outcome = TrashOutcome::Failed;
    int error = 0;
    TrashedFile item;
};

class Trash {
  public:
    // homeTrash: "$XDG_DATA_HOME/Trash" (see homeTrashFromEnvironment); made when needed.
    explicit Trash(const QString &homeTrash);

    // $XDG_DATA_HOME/Trash when XDG_DATA_HOME is an absolute path, else
    // ~/.local/share/Trash.
    static QString homeTrashFromEnvironment();

    QString homeTrash() const { return m_home; }

    // Moves path (a file, link or directory) into the trash of its volume.
    TrashResult moveToTrash(const QString &path);

    // Puts a second name of path into the trash and leaves path itself in place: the
    // content stays reachable from the trash once path is replaced. Where the file system
    // has no hard links the file is moved in instead (then path is gone).
    TrashResult keepInTrash(const QString &path);

    // The trash directory (holding files/ and info/) for the volume of a file with the
    // given device, made and checked now; empty when the volume has none for this user.
    QString trashFor(const QString &path, dev_t device);

    // Forgets the directories found so far (they are checked again at the next use).
    void forget() { m_byDevice.clear(); }

  private:
    enum class Keep { Move, Link };
    TrashResult put(const QString &path, Keep keep);
    QString m_home;
    QHash<dev_t, QString> m_byDevice;
};

// Puts a trashed file back under to (never replacing anything there: EEXIST) and removes
// its .trashinfo. Returns 0 or the errno.
int RestoreFromTrash(const TrashedFile &item, const QString &to);

// Removes a trash entry whose file is still at its original place too (a second name
// made by keepInTrash that is not needed after all).
void DropTrashEntry(const TrashedFile &item);

// The content of a .trashinfo file for original (absolute; relative to topDir when that is
// not empty) deleted at the given local time text ("yyyy-MM-ddThh:mm:ss").
QByteArray TrashInfoText(const QString &original, const QString &topDir, const QString &when);

// The original path a .trashinfo names (relative paths taken against topDir); empty when
// the text is not a valid trash info.
QString OriginalFromTrashInfo(const QByteArray &text, const QString &topDir);

} // namespace glimmerby
