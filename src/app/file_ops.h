#pragma once
// The file operations every command that writes a user's file goes through, so that a
// target is either the complete new content or left exactly as it was: the bytes go to a
// hidden temporary file beside the target, which is flushed to disk and only then renamed
// over the target.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <sys/types.h>

namespace glimmerby {

// The process's umask, read without changing it.
mode_t CurrentUmask();

// The mode a new file gets: 0666 less the process's umask.
mode_t NewFileMode();

// Creates a new, empty hidden temporary file in dir for a file to be called fileName
// (".<fileName>.glimmerby-XXXXXX", or ".glimmerby-XXXXXX" for very long names). It is
// created with 0666, so the umask and a default ACL of the directory apply as to any new
// file. Returns the open descriptor (close-on-exec) and sets tempPath, or -1 with errno set.
int CreateTemporaryFile(const QString &dir, const QString &fileName, QString &tempPath);

// True when name is one of the temporary names CreateTemporaryFile makes.
bool IsOwnTemporaryName(const QString &name);

// Writes all of data to fd, going on after short writes. Returns 0 or the errno (EIO when
// the file takes no more bytes).
int WriteAll(int fd, const unsigned char *data, std::size_t size);

// fsyncs a directory so that a rename in it is durable. Returns 0 or the errno.
int SyncDirectory(const QString &dir);

// The file a chain of symbolic links ends at (relative links resolved against the
// directory of the link). path itself when it is not a link; the last name reached when
// a link in the chain dangles. Empty on a loop or a chain longer than 40 links.
QString ResolveLinkChain(const QString &path);

// True when path (links followed) is a regular file. Pictures and media are only loaded
// from regular files: a FIFO or a device would block the load or never end.
bool IsRegularFile(const QString &path);

// Reads the whole of a regular file of at most maxBytes into data, opening it without
// blocking. Returns 0, or the errno: ENOENT for anything that is not a regular file (as
// for a missing one), EFBIG when it is larger than maxBytes, EIO when it changed size.
int ReadRegularFile(const QString &path, qint64 maxBytes, QByteArray &data);

// Renames from (encoded path) to to without replacing anything there: EEXIST when the name
// is taken. Returns 0 or the errno.
int RenameNoReplace(const QByteArray &from, const QByteArray &to);

// Makes exactly one directory (mode 0777 less the umask): one that exists already or
// whose parent is missing is an error. Returns 0 or the errno.
int MakeOneDirectory(const QString &path);

// Writes data as the whole content of path. Returns 0 on success or the errno of the
// first failing step. On failure the temporary file is removed and an existing target is
// untouched. A new file gets NewFileMode(); a replaced file keeps its mode and, where this
// process may set them, its owner and group. A symbolic link at path is replaced, not
// followed.
//
// With ReplaceMode::NoReplace nothing under the name (a file, a link, anything) is ever
// replaced: the result is then EEXIST and nothing is left behind.
enum class ReplaceMode { Replace, NoReplace };
int ReplaceFileContents(const QString &path, const unsigned char *data, std::size_t size,
                        ReplaceMode mode = ReplaceMode::Replace);
int ReplaceFileContents(const QString &path, const QByteArray &data);

} // namespace glimmerby
