#pragma once
// Whether a name is free in a directory, and the free names made by a counter at the end
// of a base name (photo, photo1, photo2; img099, img100, img101).
//
// A name is taken when anything lies under it (a file, a directory, a link, even a
// dangling one) or when the directory holds an entry whose name equals it ignoring case,
// so that two names differing by case alone never arise. A failed lookup (permission,
// I/O) is neither free nor taken: the caller passes the file over.

#include <QHash>
#include <QSet>
#include <QString>

namespace glimmerby {

// The longest file name, in bytes of its encoded form.
constexpr int MaxNameBytes = 255;

enum class NameState { Free, Taken, LookupError };

struct NameLookup {
    NameState state = NameState::Free;
    QString existing; // when taken: the entry's own spelling
    int error = 0;    // when the lookup failed: its errno
};

// The names of directories, each read once, for the many lookups of one command: a
// command of a thousand files into one folder would otherwise read the folder a thousand
// times. Only the other-case check uses it: an exact name is still looked up on disk every
// time, and an entry found here is checked to be there still. What it can miss is an
// other-case name made meanwhile by another program.
class NameIndex {
  public:
    // dir's entry equal to fileName ignoring case (fileName itself is known not to exist).
    // A free name is noted as about to be made, so that a later file of the command with
    // the same name in other letters sees it.
    NameLookup lookUp(const QString &dir, const QString &fileName);
    // How many entries dir had when it was read, with those noted since.
    qsizetype entries(const QString &dir);

  private:
    struct Folder {
        QHash<QString, QString> spellings; // case-folded name -> the entry's own spelling
        int error = 0;                     // errno when the folder could not be read
    };
    Folder &folder(const QString &dir);
    QHash<QString, Folder> m_folders; // by directory, ending in "/"
};

// Looks fileName up in dir (which may or may not end in "/"). With an index, the
// directory is read once for all the lookups made through it.
NameLookup LookUpName(const QString &dir, const QString &fileName, NameIndex *index = nullptr);

// The counter: successive candidates for a base name. Only trailing ASCII digits count;
// they are incremented as text (any number of digits), keep their width by leading zeros
// and grow when they must (pic05 -> pic06, img099 -> img100 -> img101); a base name
// without digits gains "1" (x -> x1 -> x2). Each step replaces the digits the step before
// wrote (day9 -> day10 -> day11). The text before the counter is cut at a character
// boundary when base name, counter and ext would not fit in MaxNameBytes.
class FreeNameCounter {
  public:
    FreeNameCounter(const QString &baseName, const QString &ext);
    // The next candidate base name; empty when no name of at most MaxNameBytes can be made.
    QString next();

  private:
    QString m_stem;   // the text before the counter
    QString m_digits; // the counter as last written (empty before the first step)
    QString m_ext;
};

// Adds one to a string of ASCII digits, as text: "099" -> "100", "99" -> "100".
QString incrementDigits(const QString &digits);

struct FreeName {
    QString baseName; // empty when none was found
    int error = 0;    // errno of a failed lookup; ENAMETOOLONG when no name fits
};

// The first counter name for baseName + ext that is free in dir.
FreeName FindFreeName(const QString &dir, const QString &baseName, const QString &ext,
                      NameIndex *index = nullptr);

} // namespace glimmerby
