#include "app/split_path.h"

#include "app/app_state.h"

namespace glimmerby {

PathParts splitPath(const QString &fullPath) {
    PathParts parts;
    const qsizetype slash = fullPath.lastIndexOf(QLatin1Char('/'));
    parts.Dir = fullPath.left(slash + 1);
    const QString fileName = fullPath.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        parts.Name = fileName;
    } else {
        parts.Name = fileName.left(dot);
        parts.Ext = fileName.mid(dot);
    }
    return parts;
}

void SplitPath(const QString &fullPath, QString &dirOut, QString &nameOut, QString &extOut) {
    // fullPath may be one of the outputs: split first, assign after.
    PathParts parts = splitPath(fullPath);
    dirOut = std::move(parts.Dir);
    nameOut = std::move(parts.Name);
    extOut = std::move(parts.Ext);
}

bool SplitClipPath(const QString &fullPath, int index, AppState &state) {
    if (index < 0 || index >= state.ClipDirs.size() || index >= state.ClipNames.size() ||
        index >= state.ClipExts.size())
        return false;
    SplitPath(fullPath, state.ClipDirs[index], state.ClipNames[index], state.ClipExts[index]);
    return true;
}

QString appDirFor(const QString &executableDir) {
    if (executableDir.isEmpty())
        return QStringLiteral("./");
    if (executableDir.endsWith(QLatin1Char('/')))
        return executableDir;
    return executableDir + QLatin1Char('/');
}

} // namespace glimmerby
