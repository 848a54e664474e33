#include "organize/path_commands.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/file_dialogs.h"
#include "app/input_boxes.h"
#include "app/split_path.h"
#include "browser/pane_widgets.h"
#include "organize/destination.h"
#include "organize/make_directory.h"
#include "organize/options_dialog.h"
#include "organize/path_choice.h"
#include "windows/dialog_box.h"
#include "organize/file_undo.h"
#include "windows/form1.h"

#include <QDir>
#include <QFileInfo>

namespace glimmerby {

PathCommands::PathCommands(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

void PathCommands::setDestination(const QString &dir) {
    SetDestinationDir(m_ctx, dir);
}

void PathCommands::SetDestPath() {
    AppState &s = m_ctx.state;
    if (!m_ctx.dialog)
        return;
    // Closed without a choice: "Cancel", nothing changes.
    m_ctx.dialog->ShowOptionsDialog(QStringLiteral("DIRCALL"), QStringLiteral("5"));
    if (s.DialogChoice == QLatin1String("0"))
        setDestination(s.DialogDir);
}

void PathCommands::MakeDir_Click() {
    Form1 &f = m_ctx.form;
    if (!m_ctx.inputs)
        return;
    const std::optional<QString> made =
        AskAndMakeDirectory(*m_ctx.inputs, m_ctx.boxes, withTrailingSlash(f.Dir1->path()));
    if (!made)
        return;
    ReportDirectoryMade(m_ctx, *made);
    f.Dir1->refresh();
    setDestination(*made);
}

void PathCommands::setpsppath() {
    AppState &s = m_ctx.state;
    if (!m_ctx.fileDialogs)
        return;
    const PathParts editor = splitPath(s.EditorPath);
    FileRequest request;
    request.directory = nearestExistingDirectory(editor.Dir);
    request.fileName = editor.Name + editor.Ext;
    request.nameFilters = {QStringLiteral("All Files (*)")};
    const QString chosen = m_ctx.fileDialogs->openFile(request);
    if (!chosen.isEmpty())
        s.EditorPath = chosen;
}

std::optional<QString> PathCommands::RequestNewPath(const QString &CurrentPathAndFile) {
    if (!m_ctx.fileDialogs)
        return std::nullopt;
    const PathParts parts = splitPath(CurrentPathAndFile);
    const QStringList filters = requestFilters(m_ctx.form.Combo1->currentIndex());
    if (!filters.isEmpty())
        m_lastFilters = filters;
    FileRequest request;
    request.directory = nearestExistingDirectory(parts.Dir);
    request.fileName = parts.Name;
    request.nameFilters = m_lastFilters;
    const QString chosen = m_ctx.fileDialogs->saveFile(request);
    if (chosen.isEmpty())
        return std::nullopt;
    return withTrailingSlash(QFileInfo(chosen).path());
}

} // namespace glimmerby
