#include "organize/copy_move.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/file_events.h"
#include "organize/file_transfer.h"
#include "organize/name_clash.h"
#include "shell/toggles_controller.h"
#include "windows/form1.h"

#include "picture/picture_modifier.h"

#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>

namespace glimmerby {

namespace {

// How often a name taken between the check and the write is checked again.
constexpr int MaxNameRetries = 8;

} // namespace

CopyMove::CopyMove(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    Form1 &f = ctx.form;
    for (int i = 0; i < int(f.Copyit.size()); ++i)
        connect(f.Copyit[i], &QAction::triggered, this, [this, i] { Copyit_Click(i); });
    for (int i = 0; i < int(f.moveit.size()); ++i)
        connect(f.moveit[i], &QAction::triggered, this, [this, i] { moveit_Click(i); });
}

CopyMove::~CopyMove() = default;

void CopyMove::step(const QString &text) {
    if (m_ctx.toggles)
        m_ctx.toggles->pbplus1(text);
}

void CopyMove::stopPreview() {
    m_ctx.form.MediaPlayer2->Stop();
    m_ctx.form.MediaPlayer2->setFileName(QString());
}

bool CopyMove::isPicture() const {
    const QString &ext = m_ctx.state.DstExt;
    return ext == QLatin1String(".JPG") || ext == QLatin1String(".GIF") ||
           ext == QLatin1String(".JPEG") || ext == QLatin1String(".BMP");
}

void CopyMove::passOver(int error) {
    ++m_passedOver;
    if (m_firstReason.isEmpty())
        m_firstReason = QString::fromLocal8Bit(std::strerror(error ? error : EIO));
}

void CopyMove::startCommand() {
    Form1 &f = m_ctx.form;
    f.PB->setValue(0);
    f.PB->show();
    m_ctx.state.ExistsChoice = 6;
    m_passedOver = 0;
    m_replacedForGood = 0;
    m_firstReason.clear();
}

void CopyMove::Copyit_Click(int index) {
    if (m_running)
        return;
    startCommand();
    switch (index) {
    case 0:
        runBatch(Command::Copy);
        break;
    case 1:
        runBatch(Command::Convert);
        break;
    case 2:
        runBatch(Command::Thumb);
        break;
    default:
        endReset();
        break;
    }
}

void CopyMove::moveit_Click(int index) {
    if (m_running)
        return;
    startCommand();
    if (index == 0)
        runBatch(Command::Move);
    else
        endReset();
}

void CopyMove::runBatch(Command command) {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    m_running = true;
    s.BatchBusy = -1;
    s.ReselectName.clear();

    // The batch works on the list as it is now: progress steps let other clicks through.
    const QString dir = f.File1->path();
    const QStringList names = f.File1->items();
    const QList<int> rows = f.File1->selectedRows();
    const QSet<int> selected(rows.begin(), rows.end());
    m_firstSelected = rows.isEmpty() ? QString() : names.value(rows.first());
    if (!rows.isEmpty()) {
        const int first = rows.first();
        s.ReselectName =
            command == Command::Move ? (first > 0 ? names[first - 1] : QString()) : names[first];
    }
    if (command == Command::Move)
        m_moves = std::make_unique<DurableMoves>();
    if (m_ctx.fileEvents) // recorded for the journal and Ctrl+Z
        m_ctx.fileEvents->reportStarted(command == Command::Move ? QStringLiteral("Move")
                                                                 : QStringLiteral("Copy"));
    // Nothing is written unless the destination is the absolute path of a directory.
    m_destinationOk = !m_ctx.clash->destinationDir().isEmpty();

    f.PB1->setRange(0, std::max<int>(1, names.size())); // a maximum of 0 would be a busy bar
    f.PB1->setValue(0);
    const QString separator = dir.endsWith(u'/') ? QString() : QStringLiteral("/");
    for (int i = 0; i < names.size(); ++i) {
        if (m_ctx.toggles)
            m_ctx.toggles->pb1plus1();
        if (!selected.contains(i))
            continue;
        const QString source = dir + separator + names[i];
        if (handleFile(command, source) == Step::Cancel) {
            cancelEnd(command);
            return;
        }
        if (m_moves && m_moves->wantsFlush())
            finishMoves();
    }
    normalEnd(command);
}

CopyMove::Step CopyMove::handleFile(Command command, const QString &source) {
    AppState &s = m_ctx.state;
    QString path = source;
    m_ctx.clash->PrepareDestination(path);
    const bool destinationOk = m_destinationOk;

    if (command == Command::Convert || command == Command::Thumb) {
        if (!isPicture()) {
            m_ctx.boxes.show(QStringLiteral("Can't Modify This Type of file"), QString());
            return Step::Next;
        }
        if (!destinationOk) {
            passOver(ENOTDIR);
            return Step::Next;
        }
        stopPreview();
        step(QStringLiteral("Start Modify"));
        return modify(command == Command::Convert ? QStringLiteral("Convert")
                                                  : QStringLiteral("Thumb"),
                      source, false);
    }

    if (!destinationOk) {
        passOver(ENOTDIR);
        return Step::Next;
    }
    const bool move = command == Command::Move;
    stopPreview();
    if (isPicture() && s.ModifyEnabled == 1) {
        step(QStringLiteral("Start Modify"));
        return modify(move ? QStringLiteral("ModifyMove") : QStringLiteral("ModifyCopy"), source,
                      move);
    }
    step(QStringLiteral("Check Name"));
    m_ctx.clash->MakeUniqueDestName();
    if (const auto settled = settledByClash())
        return *settled;
    step(QStringLiteral("Final Save"));
    return transfer(move, source);
}

std::optional<CopyMove::Step> CopyMove::settledByClash() {
    const AppState &s = m_ctx.state;
    if (s.ExistsChoice == CancelCommand)
        return Step::Cancel;
    if (s.ExistsChoice == SkipThisFile) {
        if (m_ctx.clash->lookupError() != 0)
            passOver(m_ctx.clash->lookupError());
        return Step::Next;
    }
    return std::nullopt; // write the file
}

CopyMove::Step CopyMove::transfer(bool move, const QString &source) {
    AppState &s = m_ctx.state;
    for (int attempt = 0; attempt < MaxNameRetries; ++attempt) {
        const QString destination = s.DestinationPath();
        const Clash clash = m_ctx.clash->overwriteChosen() ? Clash::Replace : Clash::Keep;
        if (m_ctx.fileEvents)
            m_ctx.fileEvents->reportPlanned(source, destination, move);
        const TransferResult r =
            move ? MoveFileTo(source, destination, clash, m_moves.get(), m_ctx.trash)
                 : CopyFileTo(source, destination, clash, m_ctx.trash);
        m_replacedForGood += r.replacedForGood ? 1 : 0;
        switch (r.outcome) {
        case Outcome::Done:
            if (r.sourceKept)
                passOver(r.error);
            if (m_ctx.fileEvents)
                m_ctx.fileEvents->reportFinished(source, destination, move && !r.sourceKept,
                                                 ReplacedRecord(r, destination));
            if (move && SameFile(s.SrcDir, s.DstDir))
                s.ReselectName = s.DstName + s.DstExt; // renamed in place: keep it selected
            return Step::Next;
        case Outcome::Pending:
        case Outcome::SameFile:
            return Step::Next;
        case Outcome::Failed:
            passOver(r.error);
            return Step::Next;
        case Outcome::NameTaken:
            // Something appeared under the name since the check: check again.
            m_ctx.clash->MakeUniqueDestName();
            if (const auto settled = settledByClash())
                return *settled;
            break;
        }
    }
    passOver(EEXIST);
    return Step::Next;
}

CopyMove::Step CopyMove::modify(const QString &stepWord, const QString &source, bool move) {
    AppState &s = m_ctx.state;
    if (!m_ctx.modifier) {
        passOver(ENOSYS);
        return Step::Next;
    }
    // The pipeline's clash check is this batch's own.
    m_ctx.modifier->setClashCheck([this] { return m_ctx.clash->MakeUniqueDestName(); });
    m_ctx.modifier->ModifyPicture(stepWord);
    if (const auto settled = settledByClash())
        return *settled;
    const QString destination = s.DestinationPath();
    if (m_ctx.fileEvents && QFileInfo::exists(destination)) {
        const bool gone = !QFileInfo::exists(source) || SameFile(source, destination);
        m_ctx.fileEvents->reportFinished(source, destination, move && gone,
                                         m_ctx.modifier->lastReplaced(),
                                         m_ctx.modifier->lastTrashedSource());
    }
    return Step::Next;
}

void CopyMove::finishMoves() {
    if (!m_moves)
        return;
    for (const DurableMoves::Finished &done : m_moves->flush()) {
        if (done.sourceKept)
            passOver(done.error);
        if (m_ctx.fileEvents)
            m_ctx.fileEvents->reportFinished(done.source, done.destination, !done.sourceKept,
                                             done.replaced);
    }
}

void CopyMove::normalEnd(Command command) {
    AppState &s = m_ctx.state;
    finishMoves();
    m_moves.reset();
    if (command == Command::Thumb)
        s.ReselectName = m_firstSelected;
    if (m_ctx.browser)
        m_ctx.browser->RefreshFileList(s.ReselectName);
    s.BatchBusy = 0;
    endReset();
    if (m_ctx.fileEvents)
        m_ctx.fileEvents->reportBatchEnded();
}

void CopyMove::cancelEnd(Command command) {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    finishMoves();
    m_moves.reset();
    f.PB1->setValue(0);
    step(QString());
    f.PB->setValue(0);
    f.PB->hide();
    if (command == Command::Move)
        f.setPanelText(3, m_ctx.clash->destinationText() + QStringLiteral("  "));
    if (m_ctx.browser)
        m_ctx.browser->RefreshFileList(s.ReselectName);
    s.BatchBusy = 0;
    m_running = false;
    showPassedOver();
    if (m_ctx.fileEvents)
        m_ctx.fileEvents->reportBatchEnded();
}

void CopyMove::endReset() {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    f.PB1->setValue(0);
    step(QString());
    f.PB->setValue(0);
    f.PB->hide();
    if (QAction *useProps = f.toolbarButton(QStringLiteral("useprops")))
        useProps->setChecked(false);
    s.ModifyEnabled = 0;
    m_running = false;
    showPassedOver();
}

void CopyMove::showPassedOver() {
    QStringList said;
    if (m_passedOver > 0)
        said << QStringLiteral("%1 file(s) left as they were: %2")
                    .arg(m_passedOver)
                    .arg(m_firstReason);
    if (m_replacedForGood > 0)
        said << QStringLiteral("%1 file(s) replaced for good: no trash on that volume")
                    .arg(m_replacedForGood);
    if (!said.isEmpty())
        m_ctx.form.setPanelText(4, said.join(QStringLiteral("; ")));
}

} // namespace glimmerby
