#pragma once
// The naming state of the file being copied, moved or converted, and the clash check: is
// the destination name free, and if not, what did the user answer (overwrite, rename with
// a counter, skip, cancel; once or for the rest of the command)?

#include <QObject>
#include <QString>

#include <optional>

namespace glimmerby {

struct AppContext;
class NameIndex;

// The clash answers (ExistsChoice) the commands act on.
inline constexpr int CancelCommand = 4; // "Cancel": the whole command ends
inline constexpr int SkipThisFile = 5;  // "Skip One", undecided, or a failed lookup

class NameClash : public QObject {
    Q_OBJECT
  public:
    explicit NameClash(AppContext &ctx);

    // Splits the source path into SrcDir, SrcName, SrcExt; on return path is the
    // destination (the destination directory, the source's base name and its upper-cased
    // extension), split into DstDir, DstName, DstExt and kept in DestPath. Panel 3 shows
    // the file being processed.
    void PrepareDestination(QString &path);

    // The clash check of the destination held in DstDir, DstName, DstExt: true when it
    // gave DstName a counter. Afterwards ExistsChoice holds the answer: 5 passes this
    // file over (skipped, undecided, or a lookup that failed), 4 cancels the command.
    bool MakeUniqueDestName();

    // The same for any path: the name with extension (no directory) to write it under.
    QString MakeUniqueName(const QString &path);

    // The copy and move destination, ending in "/"; empty unless it is the absolute path
    // of an existing directory.
    QString destinationDir() const;
    // The destination as it is shown and stored (it may be anything).
    QString destinationText() const;

    // After a check: the user answered to write over the existing entry, whose spelling
    // the checked name now has.
    bool overwriteChosen() const { return m_overwrite; }
    // After a check that passed the file over because its name could not be looked up or
    // no free name could be made: the errno; 0 otherwise.
    int lookupError() const { return m_error; }

    // The folder names a command reads once for all its checks; null outside a command.
    // Returns the index it replaces.
    NameIndex *setNameIndex(NameIndex *index) {
        NameIndex *before = m_names;
        m_names = index;
        return before;
    }

  private:
    enum class Settled { Keep, Renamed, Skip, Cancel };
    Settled settle(const QString &dir, QString &baseName, QString &ext);
    void passOver(int error);

    AppContext &m_ctx;
    bool m_overwrite = false;
    int m_error = 0;
    // An "All" answer set aside while one file is passed over for a failed lookup.
    std::optional<int> m_heldChoice;
    NameIndex *m_names = nullptr;
};

} // namespace glimmerby
