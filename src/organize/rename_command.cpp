#include "organize/rename_command.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/input_boxes.h"
#include "app/message_boxes.h"
#include "app/split_path.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/file_events.h"
#include "organize/file_transfer.h"
#include "organize/name_clash.h"
#include "organize/path_choice.h"
#include "windows/dialog_box.h"
#include "windows/form1.h"

#include <QFile>

#include <sys/stat.h>

namespace glimmerby {

namespace {} // namespace

RenameCommand::RenameCommand(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

void RenameCommand::ReName() {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    if (!m_ctx.inputs || !m_ctx.clash)
        return;
    s.ExistsChoice = 6;
    f.MediaPlayer2->Stop();
    f.MediaPlayer2->setFileName(QString()); // a previewed movie is released
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
        m_ctx.boxes.show(QStringLiteral("File Error: Check Path to PSP in Glimmerby.INI file or "
                                        "Refresh the FileList"),
                         ProgramTitle);
        return;
    }
    s.DestPath = d + newName;
    QString name = m_ctx.clash->MakeUniqueName(d + newName);
    if (s.ExistsChoice == SkipThisFile && m_ctx.clash->lookupError() != 0) {
        // The name could not be looked up (too long, no permission): say why.
        f.setPanelText(4, QStringLiteral("%1 was left as it was: %2")
                              .arg(oldName, errnoText(m_ctx.clash->lookupError())));
        return;
    }
    if (s.ExistsChoice == CancelCommand || s.ExistsChoice == SkipThisFile)
        return;
    TransferResult result;
    if (m_ctx.fileEvents) // recorded for the journal and Ctrl+Z
        m_ctx.fileEvents->reportStarted(QStringLiteral("Rename"));
    QString target;
    for (int attempt = 0; attempt < 4; ++attempt) {
        target = d + name;
        if (m_ctx.fileEvents)
            m_ctx.fileEvents->reportPlanned(d + oldName, target, true);
        // Overwriting is one rename onto the chosen file (what it replaces kept in the
        // trash), never a delete first.
        result = m_ctx.clash->overwriteChosen()
                     ? MoveFileTo(d + oldName, target, Clash::Replace, nullptr, m_ctx.trash)
                     : RenameFileTo(d + oldName, target);
        if (result.outcome != Outcome::NameTaken)
            break;
        name = m_ctx.clash->MakeUniqueName(d + newName); // taken meanwhile: ask again
        if (s.ExistsChoice == CancelCommand || s.ExistsChoice == SkipThisFile)
            return;
    }
    if (result.outcome == Outcome::Done) {
        if (m_ctx.fileEvents) {
            m_ctx.fileEvents->reportFinished(d + oldName, d + name, true,
                                             ReplacedRecord(result, target));
            m_ctx.fileEvents->reportBatchEnded();
        }
        if (result.replacedForGood) {
            m_ctx.browser->RefreshFileList(name);
            f.setPanelText(
                4, QStringLiteral("%1 replaced for good: no trash on that volume").arg(name));
            return;
        }
    } else if (result.outcome == Outcome::Failed || result.outcome == Outcome::NameTaken) {
        // The old file stays; the status line says why nothing changed.
        m_ctx.browser->RefreshFileList(oldName);
        f.setPanelText(4, QStringLiteral("%1 was left as it was: %2")
                              .arg(oldName, errnoText(result.error ? result.error : EEXIST)));
        return;
    }
    m_ctx.browser->RefreshFileList(name);
}

} // namespace glimmerby
