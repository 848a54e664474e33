#pragma once
// Where the settings file and the scratch files live: beside the program when its
// directory is writable, otherwise (a system-wide install) in the user's configuration
// directory.

#include <QString>

namespace glimmerby {

// The user's configuration home: $XDG_CONFIG_HOME when it is an absolute path,
// otherwise ~/.config.
QString configHomeFromEnvironment();

// True when a file can be created in dir (tried for real, then removed).
bool isDirectoryWritable(const QString &dir);

// appDir (ending in "/") when a file can be created there; otherwise configHome +
// "/Glimmerby/", created as needed. The result always ends in "/". When even that
// directory cannot be created it is returned all the same: reads then give defaults
// and saves fail quietly.
QString dataDirFor(const QString &appDir, const QString &configHome);

// The user's pictures directory as the desktop names it (`xdg-user-dir PICTURES`), else
// the home directory when the tool is missing, fails or names no existing directory.
// Ends in "/". Waits for the tool (a few milliseconds, at most five seconds).
QString picturesDirectory();

// Deletes the scratch files "tmp.jpg", "tmp.bmp" (and "tmp.BMP") in dir (ending in "/") when they
// are there; anything that cannot be deleted is left in place.
void removeScratchFiles(const QString &dir);

// Deletes the hidden temporaries of the program's own writes (see CreateTemporaryFile)
// left in dir by a process killed while saving. Only regular files with exactly that
// name pattern go; anything else is left alone. Call it only while holding the lock.
void removeOwnTemporaries(const QString &dir);

} // namespace glimmerby
