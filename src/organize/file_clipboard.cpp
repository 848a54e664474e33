#include "organize/file_clipboard.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/message_boxes.h"
#include "app/split_path.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/name_clash.h"
#include "organize/path_commands.h"
#include "organize/transfer_batch.h"
#include "shell/toggles_controller.h"
#include "windows/form1.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

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
    m_report.clear();
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

void FileClipboard::step(const QString &text) {
    if (m_ctx.toggles)
        m_ctx.toggles->pbplus1(text);
}

void FileClipboard::paste() {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    if (s.ClipCount < 0 || !m_ctx.paths || !m_ctx.clash)
        return;
    if (s.PasteDir.isEmpty())
        s.PasteDir = s.ClipDirs.value(0);
    // Nothing is pasted where the user did not confirm.
    const std::optional<QString> target =
        m_ctx.paths->RequestNewPath(s.PasteDir + s.ClipNames.value(0) + s.ClipExts.value(0));
    if (!target)
        return;
    s.PasteDir = *target;
    f.PB1->setRange(0, s.ClipCount + 1);
    f.PB1->setValue(0);
    f.PB->show();
    s.ExistsChoice = 6;
    s.BatchBusy = -1; // until the end: no key or menu runs inside the paste
    f.MediaPlayer2->releaseFile();
    TransferBatch batch(m_ctx);
    if (m_ctx.fileEvents) // recorded for the journal and Ctrl+Z
        m_ctx.fileEvents->reportStarted(QStringLiteral("Paste"));
    const auto recheck = [this](const QString &taken) {
        return m_ctx.state.PasteDir + m_ctx.clash->MakeUniqueName(taken);
    };
    for (int k = 0; k <= s.ClipCount; ++k) {
        if (m_ctx.toggles)
            m_ctx.toggles->pb1plus1();
        step(QStringLiteral("Check Name"));
        const QString source = s.ClipDirs.value(k) + s.ClipNames.value(k) + s.ClipExts.value(k);
        const Way way = s.ClipOps.value(k) == QLatin1String("X") ? Way::Move : Way::Copy;
        s.DestPath = s.PasteDir + s.ClipNames.value(k) + s.ClipExts.value(k);
        struct stat st {};
        if (::lstat(QFile::encodeName(source).constData(), &st) != 0) {
            // Gone since it was cut or copied: nothing to ask about.
            batch.passOver(way, source, s.DestPath, errno);
            continue;
        }
        const QString name = m_ctx.clash->MakeUniqueName(s.DestPath);
        if (const auto settled = batch.settledByClash(way, source, s.PasteDir + name)) {
            if (*settled == FileOutcome::Cancelled)
                break;
            continue;
        }
        if (name.contains(u'~')) {
            m_ctx.boxes.show(
                QStringLiteral("I'm going to try this ") +
                    (way == Way::Move ? QStringLiteral("Move") : QStringLiteral("Copy")) +
                    QStringLiteral(", but this file (") + name + QStringLiteral(") has a \n") +
                    QStringLiteral("    ~    \nchar in it and I don't like them I may or may not "
                                   "do what you want..."),
                QString());
        }
        step(QStringLiteral("Final Save"));
        if (batch.transfer(way, source, s.PasteDir + name, recheck) == FileOutcome::Cancelled)
            break;
        s.ReselectName = way == Way::Move ? m_aboveName : m_ownName;
    }
    m_report = batch.finish();
}

void FileClipboard::end() {
    Form1 &f = m_ctx.form;
    f.PB1->setValue(0);
    f.setPanelText(4, QString());
    f.PB->setValue(0);
    f.PB->hide();
    m_ctx.state.BatchBusy = 0;
    m_ctx.browser->RefreshFileList(m_ctx.state.ReselectName);
    // A paste onto a full or read-only disk must not look done.
    if (!m_report.isEmpty())
        f.setPanelText(4, m_report);
}

} // namespace glimmerby
