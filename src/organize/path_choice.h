#pragma once
// Small pieces of the path commands that need no window: the file dialog's filters per
// file-kind entry, the directory a dialog starts in, and which rename answers are names.

#include <QString>
#include <QStringList>

namespace glimmerby {

// The paste dialog's filters for an entry of the file-kind box (0 to 4), as Qt name
// filters; an empty list for any other index (the dialog keeps its last filters).
QStringList requestFilters(int kindIndex);

// A filter string of description and pattern pairs separated by "|" as Qt name filters:
// ";" between patterns becomes a blank, "*.*" becomes "*".
QStringList qtNameFilters(const QString &pairs);

// The directory itself when it exists, else its nearest existing ancestor; empty when
// none exists (a relative path that leads nowhere).
QString nearestExistingDirectory(const QString &dir);

// True when name can stand as one entry of a directory: not empty, not "." or "..",
// no "/" and no NUL.
bool isPlainFileName(const QString &name);

// The system's text for an errno value.
QString errnoText(int error);

} // namespace glimmerby
