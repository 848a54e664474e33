#pragma once
// Reading a directory for the file lists: names only, straight from the directory
// entries, without a stat per file, so that large directories list quickly.

#include "browser/media_kinds.h"

#include <QString>
#include <QStringList>

namespace glimmerby {

struct DirectoryListing {
    bool readable = false; // false when the directory could not be opened
    QStringList files;     // names of the matching files, sorted by name
};

// The files of dir (not directories, not hidden dot-files) whose names match the
// pattern, sorted by name ignoring case. Names that are not valid in the file-name
// encoding cannot be opened through a QString path and are left out.
DirectoryListing listFiles(const QString &dir, const FilePattern &pattern);

// The sub-directories of dir (not hidden ones), sorted by name ignoring case.
QStringList listSubdirectories(const QString &dir);

// The directory a browser can show for path: path itself when it is a directory that can
// be read and entered, else its nearest ancestor that can. Empty for a relative or empty
// path, or when not even the root can be read.
QString nearestUsableDirectory(const QString &path);

// The full path of an entry: the directory and the name with one "/" between them
// unless the directory already ends in "/".
QString joinPath(const QString &dir, const QString &name);

// Sorting used by every list: ignoring case, then exact order as a tie-breaker, so
// that names differing only in case keep a stable order.
void sortNames(QStringList &names);

} // namespace glimmerby
