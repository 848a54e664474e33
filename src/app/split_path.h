#pragma once
// The one splitter of a path into directory, base name and extension. It is lossless:
// directory + base name + extension gives the path back, character for character, so
// the commands that rebuild a source path from its parts act on the same file.

#include <QString>

namespace glimmerby {

struct AppState;

struct PathParts {
    QString Dir;  // up to and including the last "/"; empty when there is none
    QString Name; // the file name without its extension
    QString Ext;  // the last "." of the file name and what follows, case kept; may be empty
};

PathParts splitPath(const QString &fullPath);

// The same split into three output strings, which are overwritten.
void SplitPath(const QString &fullPath, QString &dirOut, QString &nameOut, QString &extOut);

// Splits fullPath into entry index of ClipDirs, ClipNames and ClipExts. The three lists
// are sized by the clipboard commands; an index that is not an entry of all three
// changes nothing and gives false.
bool SplitClipPath(const QString &fullPath, int index, AppState &state);

// AppDir for the directory holding the executable: a "/" is appended unless it already
// ends in one (the root "/"). An empty directory means the current one ("./").
QString appDirFor(const QString &executableDir);

} // namespace glimmerby
