#include "organize/name_clash.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/split_path.h"
#include "browser/browser_controller.h"
#include "organize/destination.h"
#include "organize/free_name.h"
#include "organize/options_dialog.h"
#include "windows/form1.h"

#include <QFileInfo>

namespace glimmerby {

namespace {

enum Answer { OverwriteOne, OverwriteAll, RenameOne, RenameAll, Cancel, SkipOne, Undecided };

bool asks(int choice) {
    return choice == OverwriteOne || choice == RenameOne || choice == SkipOne ||
           choice == Undecided;
}

} // namespace

NameClash::NameClash(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

QString NameClash::destinationText() const {
    return m_ctx.state.DestinationDir;
}

QString NameClash::destinationDir() const {
    const QString dir = destinationText();
    if (dir.isEmpty() || !dir.startsWith(u'/') || !QFileInfo(dir).isDir())
        return QString();
    return dir.endsWith(u'/') ? dir : dir + u'/';
}

void NameClash::PrepareDestination(QString &path) {
    AppState &s = m_ctx.state;
    SplitPath(path, s.SrcDir, s.SrcName, s.SrcExt);
    QString dir = destinationText();
    if (!dir.isEmpty() && !dir.endsWith(u'/')) { // empty stays empty: it is no directory
        dir += u'/';
        SetDestinationDir(m_ctx, dir);
    }
    path = dir + s.SrcName + s.SrcExt;
    QString ext;
    SplitPath(path, s.DstDir, s.DstName, ext);
    s.DstExt = ext.toUpper();
    s.DestPath = s.DstDir + s.DstName + s.DstExt;
    m_ctx.form.setPanelText(3, QStringLiteral("Processing File:") + s.SourcePath() + u' ');
}

void NameClash::passOver(int error) {
    AppState &s = m_ctx.state;
    m_error = error;
    if (!m_heldChoice && s.ExistsChoice != SkipOne)
        m_heldChoice = s.ExistsChoice;
    s.ExistsChoice = SkipOne;
}

NameClash::Settled NameClash::settle(const QString &dir, QString &baseName, QString &ext) {
    AppState &s = m_ctx.state;
    // An answer set aside for one passed-over file comes back, unless a new command has
    // started since (it set ExistsChoice afresh).
    if (m_heldChoice) {
        if (s.ExistsChoice == SkipOne)
            s.ExistsChoice = *m_heldChoice;
        m_heldChoice.reset();
    }
    m_overwrite = false;
    m_error = 0;

    const NameLookup lookup = LookUpName(dir, baseName + ext, m_names);
    if (lookup.state == NameState::LookupError) {
        passOver(lookup.error);
        return Settled::Skip;
    }
    if (lookup.state == NameState::Free) {
        if (s.ExistsChoice == SkipOne) // "Skip One" was for the file that clashed
            s.ExistsChoice = Undecided;
        return Settled::Keep;
    }
    if (asks(s.ExistsChoice)) {
        s.DialogChoice = QStringLiteral("6");
        if (m_ctx.dialog) // closed without a choice: undecided
            m_ctx.dialog->ShowOptionsDialog(QStringLiteral("FileExists"), QStringLiteral("6"));
        bool ok = false;
        const int answer = s.DialogChoice.toInt(&ok);
        s.ExistsChoice = ok && answer >= OverwriteOne && answer <= Undecided ? answer : Undecided;
        // Closed without an answer: this file is left alone and the next clash asks again.
        if (s.ExistsChoice == Undecided)
            s.ExistsChoice = SkipOne;
    }
    switch (s.ExistsChoice) {
    case OverwriteOne:
    case OverwriteAll: {
        // The existing entry is written over under its own spelling.
        if (lookup.existing != baseName + ext) {
            const PathParts parts = splitPath(lookup.existing);
            baseName = parts.Name;
            ext = parts.Ext;
        }
        m_overwrite = true;
        return Settled::Keep;
    }
    case Cancel:
        if (m_ctx.browser)
            m_ctx.browser->RefreshFileList(s.ReselectName);
        s.ExistsChoice = Cancel;
        s.BatchBusy = 0;
        return Settled::Cancel;
    case RenameOne:
    case RenameAll: {
        const FreeName free = FindFreeName(dir, baseName, ext, m_names);
        if (free.baseName.isEmpty()) {
            passOver(free.error);
            return Settled::Skip;
        }
        baseName = free.baseName;
        return Settled::Renamed;
    }
    default:
        return Settled::Skip;
    }
}

bool NameClash::MakeUniqueDestName() {
    AppState &s = m_ctx.state;
    s.DestPath = s.DestinationPath(); // what the question shows
    return settle(s.DstDir, s.DstName, s.DstExt) == Settled::Renamed;
}

QString NameClash::MakeUniqueName(const QString &path) {
    PathParts parts = splitPath(path);
    settle(parts.Dir, parts.Name, parts.Ext);
    return parts.Name + parts.Ext;
}

} // namespace glimmerby
