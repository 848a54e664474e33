#include "organize/rename_command.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/input_boxes.h"
#include "app/message_boxes.h"
#include "app/split_path.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/file_commands.h"
#include "organize/name_clash.h"
#include "organize/path_choice.h"
#include "organize/transfer_batch.h"
#include "windows/dialog_box.h"
#include "windows/form1.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace glimmerby {

RenameCommand::RenameCommand(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

void RenameCommand::ReName() {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    if (!m_ctx.inputs || !m_ctx.clash)
        return;
    s.ExistsChoice = 6;
    f.MediaPlayer2->releaseFile(); // a previewed movie lets go of its file
    const QList<int> rows = f.File1->selectedRows();
    if (rows.isEmpty())
        return; // the directory itself is not the user's file to rename here
    const QString oldName = f.File1->item(rows.first());
    const QString d = withTrailingSlash(f.File1->path());
    const PathParts parts = splitPath(d + oldName);
    const QString answer =
        m_ctx.inputs->ask(QStringLiteral("Rename File: ") + oldName + QStringLiteral("\n\nTo: "),
                          QStringLiteral("Rename File"), parts.Name);
    const QString newName = answer + parts.Ext;
    // Only a name in this directory: "/" would move the file away, ".." aim at the parent.
    if (answer.isEmpty() || !isPlainFileName(answer) || !isPlainFileName(newName))
        return;
    if (newName.compare(oldName, Qt::CaseInsensitive) == 0)
        return;
    struct stat st {};
    if (::lstat(QFile::encodeName(d + oldName).constData(), &st) != 0) {
        ShowFileError(m_ctx.boxes);
        return;
    }
    s.DestPath = d + newName;
    QString target = d + m_ctx.clash->MakeUniqueName(d + newName);
    TransferBatch batch(m_ctx);
    if (m_ctx.fileEvents) // recorded for the journal and Ctrl+Z
        m_ctx.fileEvents->reportStarted(QStringLiteral("Rename"));
    FileOutcome outcome = FileOutcome::Skipped;
    if (const auto settled = batch.settledByClash(Way::Rename, d + oldName, target)) {
        outcome = *settled;
    } else {
        outcome = batch.transfer(Way::Rename, d + oldName, target, [&](const QString &) {
            target = d + m_ctx.clash->MakeUniqueName(d + newName); // taken meanwhile: ask again
            return target;
        });
    }
    const QString report = batch.finish();
    if (outcome == FileOutcome::Done)
        m_ctx.browser->RefreshFileList(QFileInfo(target).fileName());
    else if (outcome == FileOutcome::PassedOver)
        m_ctx.browser->RefreshFileList(oldName);
    // The status line says why nothing changed, or that the description stayed behind.
    if (!report.isEmpty())
        f.setPanelText(4, report);
}

} // namespace glimmerby
