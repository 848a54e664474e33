#include "organize/file_commands.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "app/trash.h"
#include "organize/file_events.h"
#include "windows/form1.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace glimmerby {

void ShowFileError(MessageBoxes &boxes) {
    boxes.show(QStringLiteral(
                   "File Error: Check Path to PSP in Glimmerby.INI file or Refresh the FileList"),
               ProgramTitle);
}

FileCommands::FileCommands(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    startDetached = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
}

void FileCommands::DeleteSelectedFiles() {
    deleteRows(m_ctx.form.File1->selectedRows());
}

void FileCommands::deleteRows(const QList<int> &rows) {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    // A previewed movie must be released before its file can go.
    f.MediaPlayer2->releaseFile();
    // The neighbour above the last deleted file is where the selection goes afterwards.
    for (int row : rows)
        s.ReselectName = row > 0 ? f.File1->item(row - 1) : QString();
    QStringList paths;
    for (int row : rows)
        paths << f.File1->fullPath(row);
    removeFiles(paths);
    // The list loses what went; the directory is read again once, by the refresh below.
    f.File1->dropVanishedRows(rows);
    const int i = s.ReselectName.isEmpty() ? -1 : f.File1->items().indexOf(s.ReselectName);
    if (i < 0) {
        m_ctx.browser->RefreshFileList(s.ReselectName);
        showReport();
        return;
    }
    f.File1->setListIndex(i + 1 > f.File1->listCount() - 1 ? f.File1->listCount() - 1 : i);
    m_ctx.preview->ShowNextFile();
    m_ctx.browser->RefreshFileList(s.ReselectName);
    showReport();
}

void FileCommands::showReport() {
    if (!m_lastReport.isEmpty())
        m_ctx.form.setPanelText(4, m_lastReport);
}

void FileCommands::removeFiles(const QStringList &paths) {
    FileEvents *events = m_ctx.fileEvents;
    if (events)
        events->reportStarted(QStringLiteral("Delete"));
    int forGood = 0, stayed = 0;
    QString reason;
    for (const QString &path : paths) {
        const TrashResult r = m_ctx.trash ? m_ctx.trash->moveToTrash(path) : TrashResult{};
        if (r.outcome == TrashOutcome::Trashed) {
            if (events)
                events->reportTrashed(r.item);
            continue;
        }
        // No trash on this volume: deleted as ever, and said so. A file that cannot go
        // (read-only, vanished) is passed over.
        int error = r.error;
        if (r.outcome == TrashOutcome::NoTrash || !m_ctx.trash) {
            if (::unlink(QFile::encodeName(path).constData()) == 0) {
                ++forGood;
                continue;
            }
            error = errno;
        }
        ++stayed;
        if (reason.isEmpty())
            reason = QString::fromLocal8Bit(std::strerror(error ? error : EIO));
    }
    if (events)
        events->reportBatchEnded();
    m_lastReport.clear();
    if (forGood > 0)
        m_lastReport = QStringLiteral("%1 file(s) deleted for good: no trash on that volume")
                           .arg(forGood);
    if (stayed > 0)
        m_lastReport += (m_lastReport.isEmpty() ? QString() : QStringLiteral("; ")) +
                        QStringLiteral("%1 file(s) left as they were: %2").arg(stayed).arg(reason);
}

void FileCommands::OpenInEditor() {
    const QString editor = m_ctx.state.EditorPath;
    const QString file = m_ctx.state.CurrentFile;
    const QFileInfo program(editor);
    if (!program.isFile() || !program.isExecutable() || !QFileInfo(file).isFile()) {
        ShowFileError(m_ctx.boxes);
        return;
    }
    // The picture is one argument; no shell sees the path.
    if (!startDetached(editor, {file}))
        ShowFileError(m_ctx.boxes);
}

} // namespace glimmerby
