#include "organize/file_clipboard.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/message_boxes.h"
#include "app/split_path.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/file_events.h"
#include "organize/file_transfer.h"
#include "organize/name_clash.h"
#include "organize/path_choice.h"
#include "organize/path_commands.h"
#include "shell/toggles_controller.h"
#include "windows/form1.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace glimmerby {

namespace {
constexpr int MaxNameRetries = 4;
} // namespace

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
    m_passedOver = 0;
    m_replacedForGood = 0;
    m_firstReason.clear();
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

void FileClipboard::passOver(int error) {
    ++m_passedOver;
    if (m_firstReason.isEmpty())
        m_firstReason = errnoText(error ? error : EIO);
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
    f.MediaPlayer2->Stop();
    f.MediaPlayer2->setFileName(QString());
    DurableMoves moves;
    if (m_ctx.fileEvents) // recorded for the journal and Ctrl+Z
        m_ctx.fileEvents->reportStarted(QStringLiteral("Paste"));
    for (int k = 0; k <= s.ClipCount; ++k) {
        if (m_ctx.toggles)
            m_ctx.toggles->pb1plus1();
        step(QStringLiteral("Check Name"));
        const QString source = s.ClipDirs.value(k) + s.ClipNames.value(k) + s.ClipExts.value(k);
        const bool cut = s.ClipOps.value(k) == QLatin1String("X");
        struct stat st {};
        if (::lstat(QFile::encodeName(source).constData(), &st) != 0) {
            passOver(errno); // gone since it was cut or copied: nothing to ask about
            continue;
        }
        s.DestPath = s.PasteDir + s.ClipNames.value(k) + s.ClipExts.value(k);
        QString name = m_ctx.clash->MakeUniqueName(s.DestPath);
        if (s.ExistsChoice == CancelCommand)
            break;
        if (s.ExistsChoice == SkipThisFile) {
            if (m_ctx.clash->lookupError() != 0)
                passOver(m_ctx.clash->lookupError());
            continue;
        }
        if (name.contains(u'~')) {
            m_ctx.boxes.show(
                QStringLiteral("I'm going to try this ") +
                    (cut ? QStringLiteral("Move") : QStringLiteral("Copy")) +
                    QStringLiteral(", but this file (") + name + QStringLiteral(") has a \n") +
                    QStringLiteral("    ~    \nchar in it and I don't like them I may or may not "
                                   "do what you want..."),
                QString());
        }
        step(QStringLiteral("Final Save"));
        if (!transfer(source, name, cut, moves))
            break;
        s.ReselectName = cut ? m_aboveName : m_ownName;
    }
    for (const DurableMoves::Finished &done : moves.flush()) {
        if (done.sourceKept)
            passOver(done.error);
        if (m_ctx.fileEvents)
            m_ctx.fileEvents->reportFinished(done.source, done.destination, !done.sourceKept,
                                             done.replaced);
    }
    if (m_ctx.fileEvents)
        m_ctx.fileEvents->reportBatchEnded();
}

bool FileClipboard::transfer(const QString &source, QString name, bool cut, DurableMoves &moves) {
    AppState &s = m_ctx.state;
    for (int attempt = 0; attempt < MaxNameRetries; ++attempt) {
        const QString destination = s.PasteDir + name;
        const Clash clash = m_ctx.clash->overwriteChosen() ? Clash::Replace : Clash::Keep;
        if (m_ctx.fileEvents)
            m_ctx.fileEvents->reportPlanned(source, destination, cut);
        const TransferResult r = cut ? MoveFileTo(source, destination, clash, &moves, m_ctx.trash)
                                     : CopyFileTo(source, destination, clash, m_ctx.trash);
        if (r.replacedForGood)
            ++m_replacedForGood;
        switch (r.outcome) {
        case Outcome::Done:
            if (r.sourceKept)
                passOver(r.error);
            if (m_ctx.fileEvents)
                m_ctx.fileEvents->reportFinished(source, destination, cut && !r.sourceKept,
                                                 ReplacedRecord(r, destination));
            return true;
        case Outcome::Pending:
        case Outcome::SameFile:
            return true;
        case Outcome::Failed:
            passOver(r.error);
            return true;
        case Outcome::NameTaken:
            // Something appeared under the name since the check: check again.
            name = m_ctx.clash->MakeUniqueName(destination);
            if (s.ExistsChoice == CancelCommand)
                return false;
            if (s.ExistsChoice == SkipThisFile) {
                if (m_ctx.clash->lookupError() != 0)
                    passOver(m_ctx.clash->lookupError());
                return true;
            }
            break;
        }
    }
    passOver(EEXIST);
    return true;
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
    QStringList said;
    if (m_passedOver > 0)
        said << QStringLiteral("%1 file(s) left as they were: %2")
                    .arg(m_passedOver)
                    .arg(m_firstReason);
    if (m_replacedForGood > 0)
        said << QStringLiteral("%1 file(s) replaced for good: no trash on that volume")
                    .arg(m_replacedForGood);
    if (!said.isEmpty())
        f.setPanelText(4, said.join(QStringLiteral("; ")));
}

} // namespace glimmerby
