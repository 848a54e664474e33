#include "organize/file_undo.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/file_ops.h"
#include "app/split_path.h"
#include "browser/browser_controller.h"
#include "organize/file_events.h"
#include "organize/file_transfer.h"
#include "organize/free_name.h"
#include "shell/toggles_controller.h"
#include "windows/form1.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

namespace {

QString reasonOf(int error) {
    return QString::fromLocal8Bit(std::strerror(error ? error : EIO));
}

QString fileNameOf(const QString &path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString directoryOf(const QString &path) {
    return path.left(path.lastIndexOf(u'/') + 1);
}

} // namespace

void ReportDirectoryMade(AppContext &ctx, const QString &dir) {
    if (FileEvents *events = ctx.fileEvents) {
        events->reportStarted(QStringLiteral("Make Dir"));
        events->reportDirectoryMade(dir);
        events->reportBatchEnded();
    }
}

FileUndo::FileUndo(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    if (FileEvents *events = ctx.fileEvents) {
        connect(events, &FileEvents::commandStarted, this, &FileUndo::onStarted);
        connect(events, &FileEvents::filePlanned, this, &FileUndo::onPlanned);
        connect(events, &FileEvents::fileSettled, this, &FileUndo::onSettled);
        connect(events, &FileEvents::fileTrashed, this, &FileUndo::onTrashed);
        connect(events, &FileEvents::directoryMade, this, &FileUndo::onDirectoryMade);
        connect(events, &FileEvents::batchEnded, this, &FileUndo::onEnded);
    }
    if (QAction *undo = ctx.form.mnuUndo)
        connect(undo, &QAction::triggered, this, &FileUndo::undoLast);
    updateMenu();
}

FileUndo::~FileUndo() = default;

RecoveryReport FileUndo::start(const QString &journalPath) {
    JournalContents contents = FileJournal::read(journalPath);
    std::vector<FileStep> recovered;
    const RecoveryReport report = RecoverPendingSteps(contents.pending, recovered);
    for (FileCommand &c : contents.finished)
        m_history.push(std::move(c));
    // A command cut short is kept with what it did, and what recovery finished for it.
    for (FileCommand &c : contents.unfinished) {
        for (const FileStep &s : recovered)
            c.steps.push_back(s);
        recovered.clear();
        if (c.name != QLatin1String("Undo"))
            m_history.push(std::move(c));
    }
    m_journal = std::make_unique<FileJournal>(journalPath);
    if (!m_journal->start(m_history.commands()))
        m_journal.reset();
    updateMenu();
    return report;
}

void FileUndo::updateMenu() {
    if (QAction *undo = m_ctx.form.mnuUndo) {
        undo->setText(caption());
        undo->setEnabled(canUndo());
    }
    emit historyChanged();
}

// ---- Recording -------------------------------------------------------------------------

void FileUndo::onStarted(const QString &command) {
    if (m_undoing || !m_recording)
        return;
    if (m_current)
        onEnded(); // the last one never said it ended
    m_current = FileCommand{m_journal ? m_journal->begin(command) : 0, command, {}};
}

void FileUndo::onPlanned(const QString &source, const QString &destination, bool move,
                         bool atomic) {
    if (!m_recording)
        return;
    if (!m_current && !m_undoing)
        onStarted(move ? QStringLiteral("Move") : QStringLiteral("Copy"));
    if (m_journal && m_current)
        m_journal->planned(m_current->id, move ? StepKind::Move : StepKind::Copy, source,
                           destination, !atomic);
    m_currentSyncs = m_currentSyncs || !atomic;
}

void FileUndo::onSettled(const FileRecord &settled) {
    if (settled.outcome != FileOutcome::Done)
        return;
    const QString &source = settled.source, &destination = settled.destination;
    const bool moved = settled.way != Way::Copy && !settled.sourceKept;
    const TrashedFile &replaced = settled.replaced, &trashedSource = settled.trashedSource;
    FileStep step;
    // A picture written over its own source is undone like a copy over a file.
    step.kind = source != destination && (moved || !trashedSource.isEmpty()) ? StepKind::Move
                                                                             : StepKind::Copy;
    step.from = source;
    step.to = destination;
    step.replaced = replaced;
    step.trashed = trashedSource;
    record(step, settled.way == Way::Rename ? QStringLiteral("Rename")
                 : moved                    ? QStringLiteral("Move")
                                            : QStringLiteral("Copy"));
}

void FileUndo::onTrashed(const TrashedFile &item) {
    FileStep step;
    step.kind = StepKind::Trash;
    step.from = item.original;
    step.trashed = item;
    record(step, QStringLiteral("Delete"));
}

void FileUndo::onDirectoryMade(const QString &dir) {
    FileStep step;
    step.kind = StepKind::MakeDir;
    step.to = dir;
    record(step, QStringLiteral("Make Dir"));
}

void FileUndo::record(FileStep step, const QString &impliedCommand) {
    if (m_undoing || !m_recording)
        return;
    if (!m_current)
        onStarted(impliedCommand);
    step.made = FileIdentity::of(step.to);
    if (m_journal)
        m_journal->done(m_current->id, step);
    m_current->steps.push_back(std::move(step));
}

void FileUndo::onEnded() {
    if (m_undoing || !m_current)
        return;
    if (m_journal)
        m_journal->end(m_current->id, m_currentSyncs);
    m_currentSyncs = false;
    m_history.push(std::move(*m_current));
    m_current.reset();
    updateMenu();
}

// ---- Undoing ---------------------------------------------------------------------------

QString FileUndo::freeTarget(const QString &path) {
    const QString dir = directoryOf(path);
    const QString name = fileNameOf(path);
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno != ENOENT)
            return {}; // cannot tell: left where it is
        // Free unless another entry has the name in other letter case. Each directory is
        // read once per undo rather than once per file.
        auto names = m_foldedNames.find(dir);
        if (names == m_foldedNames.end()) {
            QSet<QString> folded;
            for (const QString &entry : QDir(dir).entryList(QDir::AllEntries | QDir::Hidden |
                                                            QDir::System | QDir::NoDotAndDotDot))
                folded.insert(entry.toCaseFolded());
            names = m_foldedNames.insert(dir, folded);
        }
        if (!names->contains(name.toCaseFolded())) {
            names->insert(name.toCaseFolded());
            return path;
        }
    }
    // Taken since: the next free counter name, as any clash would get.
    const PathParts parts = splitPath(path);
    const FreeName free = FindFreeName(dir, parts.Name, parts.Ext);
    if (free.baseName.isEmpty())
        return {};
    m_foldedNames[dir].insert((free.baseName + parts.Ext).toCaseFolded());
    return dir + free.baseName + parts.Ext;
}

bool FileUndo::sendToTrash(const QString &path, Tally &t, const FileStep &step) {
    const TrashResult r = m_ctx.trash ? m_ctx.trash->moveToTrash(path) : TrashResult{};
    if (r.outcome == TrashOutcome::Trashed)
        return true;
    // What a command made (a copy) may go for good where there is no trash: its source
    // is still there.
    if ((r.outcome == TrashOutcome::NoTrash || !m_ctx.trash) &&
        ::unlink(QFile::encodeName(path).constData()) == 0)
        return true;
    ++t.failed;
    if (t.reason.isEmpty())
        t.reason = reasonOf(r.error ? r.error : errno);
    t.again.push_back(step);
    return false;
}

void FileUndo::restoreReplaced(const FileStep &step, Tally &t) {
    if (step.replaced.original.isEmpty())
        return;
    if (step.replaced.isEmpty()) {
        ++t.lost; // replaced where there was no trash
        return;
    }
    const QString target = freeTarget(step.to);
    if (target.isEmpty() || RestoreFromTrash(step.replaced, target) != 0)
        ++t.changed; // emptied from the trash meanwhile
}

void FileUndo::undoStep(const FileStep &step, qint64 journalId, Tally &t) {
    switch (step.kind) {
    case StepKind::Trash: {
        const QString target = freeTarget(step.from);
        const int error = target.isEmpty() ? ENAMETOOLONG : RestoreFromTrash(step.trashed, target);
        if (error == ENOENT) {
            ++t.changed; // no longer in the trash
        } else if (error != 0) {
            ++t.failed;
            if (t.reason.isEmpty())
                t.reason = reasonOf(error);
            t.again.push_back(step);
        } else {
            ++t.undone;
            t.reselect = fileNameOf(target);
        }
        return;
    }
    case StepKind::MakeDir:
        if (::rmdir(QFile::encodeName(step.to).constData()) == 0)
            ++t.undone;
        else
            ++t.changed; // not empty any more, or gone
        return;
    case StepKind::Copy:
        if (!step.made.matches(step.to)) {
            ++t.changed;
            return;
        }
        if (!sendToTrash(step.to, t, step))
            return;
        restoreReplaced(step, t);
        ++t.undone;
        return;
    case StepKind::Move:
        break;
    }
    if (!step.made.matches(step.to)) {
        ++t.changed;
        return;
    }
    const QString back = freeTarget(step.from);
    if (back.isEmpty()) {
        ++t.failed;
        if (t.reason.isEmpty())
            t.reason = reasonOf(ENAMETOOLONG);
        t.again.push_back(step);
        return;
    }
    if (!step.trashed.isEmpty()) {
        // Moved through the picture pipeline: the source comes back from the trash and the
        // picture made from it goes there.
        if (const int error = RestoreFromTrash(step.trashed, back)) {
            ++(error == ENOENT ? t.changed : t.failed);
            if (error != ENOENT && t.reason.isEmpty())
                t.reason = reasonOf(error);
            return;
        }
        if (!sendToTrash(step.to, t, step))
            return;
    } else {
        const QString backDir = directoryOf(back);
        auto device = m_devices.find(backDir);
        if (device == m_devices.end()) {
            struct stat dir {};
            device =
                m_devices.insert(backDir, ::stat(QFile::encodeName(backDir).constData(), &dir) == 0
                                              ? qint64(dir.st_dev)
                                              : -1);
        }
        TransferResult r;
        if (*device == qint64(step.made.device)) {
            // Within one file system a move back is a single rename that replaces nothing;
            // it cannot be cut short half-way, so it needs no plan on record.
            const int error = RenameNoReplace(QFile::encodeName(step.to), QFile::encodeName(back));
            r.outcome = error == 0 ? Outcome::Done : Outcome::Failed;
            r.error = error;
        } else {
            if (m_journal)
                m_journal->planned(journalId, StepKind::Move, step.to, back);
            r = MoveFileTo(step.to, back, Clash::Keep);
        }
        if (r.outcome != Outcome::Done) {
            ++t.failed;
            if (t.reason.isEmpty())
                t.reason = reasonOf(r.error);
            t.again.push_back(step);
            return;
        }
        m_descriptions.fileFinished(step.to, back, !r.sourceKept); // goes back with it
    }
    t.reselect = fileNameOf(back);
    restoreReplaced(step, t);
    ++t.undone;
}

void FileUndo::undoLast() {
    if (m_current)
        onEnded(); // a command that never said it ended
    if (m_history.isEmpty() || m_undoing)
        return;
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    FileCommand command = m_history.takeLast();
    m_undoing = true;
    const std::int16_t busy = s.BatchBusy;
    s.BatchBusy = -1;
    // A previewed movie is released before its file moves.
    f.MediaPlayer2->Stop();
    f.MediaPlayer2->setFileName(QString());
    const qint64 id = m_journal ? m_journal->begin(QStringLiteral("Undo")) : 0;
    f.PB->setValue(0);
    f.PB->show();
    f.PB1->setRange(0, std::max<int>(1, int(command.steps.size())));
    f.PB1->setValue(0);
    Tally t;
    m_foldedNames.clear();
    m_devices.clear();
    for (auto step = command.steps.rbegin(); step != command.steps.rend(); ++step) {
        if (m_ctx.toggles) {
            m_ctx.toggles->pb1plus1();
            m_ctx.toggles->pbplus1(QStringLiteral("Undo"));
        }
        undoStep(*step, id, t);
    }
    if (m_journal) {
        m_journal->undone(command.id);
        m_journal->end(id, false);
    }
    m_descriptions.flush(); // the descriptions that went back are written
    m_undoing = false;
    // What could not be undone now (a full disk, say) stays on the list for another try.
    if (!t.again.empty()) {
        std::reverse(t.again.begin(), t.again.end());
        onStarted(command.name);
        for (FileStep &step : t.again) {
            if (m_journal)
                m_journal->done(m_current->id, step);
            m_current->steps.push_back(std::move(step));
        }
        onEnded();
    }
    m_foldedNames.clear();
    m_devices.clear();
    f.PB1->setValue(0);
    if (m_ctx.toggles)
        m_ctx.toggles->pbplus1(QString());
    f.PB->setValue(0);
    f.PB->hide();
    s.BatchBusy = busy;
    if (m_ctx.browser)
        m_ctx.browser->RefreshFileList(t.reselect.isEmpty() ? s.ReselectName : t.reselect);

    QString text = QStringLiteral("Undid %1").arg(UndoCaption(&command).mid(5));
    if (t.changed > 0)
        text += QStringLiteral("; %1 file(s) left as they changed since").arg(t.changed);
    if (t.failed > 0)
        text += QStringLiteral("; %1 file(s) not undone: %2").arg(t.failed).arg(t.reason);
    if (t.lost > 0)
        text += QStringLiteral("; %1 replaced file(s) were replaced for good and cannot come back")
                    .arg(t.lost);
    f.setPanelText(4, text);
    updateMenu();
}

} // namespace glimmerby
