#include "app/file_history.h"

#include <QFile>
#include <sys/stat.h>

namespace glimmerby {

FileIdentity FileIdentity::of(const QString &path) {
    FileIdentity id;
    struct stat st {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = S_ISDIR(st.st_mode) ? 0 : st.st_size;
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

bool FileIdentity::matches(const QString &path) const {
    const FileIdentity now = of(path);
    return isKnown() && now.isKnown() && now.device == device && now.inode == inode &&
           now.size == size && now.modifiedNs == modifiedNs;
}

QString UndoCaption(const FileCommand *command) {
    if (!command)
        return QStringLiteral("Undo");
    if (command->name == QLatin1String("Make Dir"))
        return QStringLiteral("Undo Make Dir");
    const int files = int(command->steps.size());
    return QStringLiteral("Undo %1 of %2 file%3")
        .arg(command->name)
        .arg(files)
        .arg(files == 1 ? QString() : QStringLiteral("s"));
}

void UndoHistory::push(FileCommand command) {
    if (command.steps.empty())
        return;
    m_commands.push_back(std::move(command));
    while (int(m_commands.size()) > Depth)
        m_commands.pop_front();
}

FileCommand UndoHistory::takeLast() {
    FileCommand last = std::move(m_commands.back());
    m_commands.pop_back();
    return last;
}

} // namespace glimmerby
