#pragma once
// Whether a name is free in a directory, and the free names made by a counter at the end
// of a base name (photo, photo1, photo2; img099, img100, img101).
//
// A name is taken when anything lies under it (a file, a directory, a link, even a
// dangling one) or when the directory holds an entry whose name equals it ignoring case,
// so that two names differing by case alone never arise. A failed lookup (permission,
// I/O) is neither free nor taken: the caller passes the file over.

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

// Looks fileName up in dir (which may or may not end in "/").
NameLookup LookUpName(const QString &dir, const QString &fileName);

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
FreeName FindFreeName(const QString &dir, const QString &baseName, const QString &ext);

} // namespace glimmerby
