#pragma once
// Whether a name is taken and whether two paths are one file.

#include <QString>

namespace glimmerby {

// A name is taken when anything is found under it (a file, a directory, a link, a dangling
// link), when its directory holds an entry whose name equals it ignoring case, or when it
// cannot be looked up.
bool PathTaken(const QString &path);

// Two paths are one file when both exist and share device and inode.
bool SameFile(const QString &a, const QString &b);

} // namespace glimmerby
