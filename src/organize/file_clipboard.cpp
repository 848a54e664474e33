#include "organize/file_clipboard.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/split_path.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "windows/form1.h"

namespace glimmerby {

FileClipboard::FileClipboard(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

void FileClipboard::Set_XCV(QString &XCV) {
    AppState &s = m_ctx.state;
    const FileListBox *list = m_ctx.form.File1;
    s.ReselectName.clear();
    m_aboveName.clear();
    m_ownName.clear();
    const QList<int> rows = list->selectedRows();
    if (!rows.isEmpty()) {
        const int i = rows.first();
        m_aboveName = i > 0 ? list->item(i - 1) : QString();
        m_ownName = list->item(i);
        s.ReselectName = m_ownName;
    }
    if (XCV == QLatin1String("X") || XCV == QLatin1String("C"))
        remember(XCV);
    else if (XCV == QLatin1String("V"))
        paste();
    end();
}

void FileClipboard::remember(const QString &op) {
    AppState &s = m_ctx.state;
    const FileListBox *list = m_ctx.form.File1;
    s.ClipDirs.clear();
    s.ClipNames.clear();
    s.ClipExts.clear();
    s.ClipOps.clear();
    s.ClipCount = -1;
    // Nothing is touched now: a cut file moves only when it is pasted.
    for (int row : list->selectedRows()) {
        ++s.ClipCount;
        s.ClipDirs.append(QString());
        s.ClipNames.append(QString());
        s.ClipExts.append(QString());
        s.ClipOps.append(op);
        SplitClipPath(list->fullPath(row), s.ClipCount, s);
    }
}

void FileClipboard::paste() {
    // Pasting arrives with the safe copy and move.
}

void FileClipboard::end() {
    Form1 &f = m_ctx.form;
    f.PB1->setValue(0);
    f.PB->setValue(0);
    f.PB->hide();
    m_ctx.browser->RefreshFileList(m_ctx.state.ReselectName);
}

} // namespace glimmerby
