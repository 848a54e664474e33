#include "organize/copy_move.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "organize/file_transfer.h"
#include "organize/name_clash.h"
#include "organize/transfer_batch.h"
#include "shell/toggles_controller.h"
#include "windows/form1.h"

#include "picture/picture_modifier.h"

#include <QSet>
#include <algorithm>
#include <cerrno>
#include <iterator>

namespace glimmerby {

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
    m_ctx.form.MediaPlayer2->releaseFile();
}

bool CopyMove::isPicture() const {
    // The destination's extension, in capitals: the first kinds, then today's.
    static const char *const pictures[] = {".JPG", ".GIF",  ".JPEG", ".BMP",  ".PNG",  ".WEBP",
                                           ".TIF", ".TIFF", ".HEIC", ".HEIF", ".AVIF", ".SVG"};
    const QString &ext = m_ctx.state.DstExt;
    return std::any_of(std::begin(pictures), std::end(pictures),
                       [&](const char *p) { return ext == QLatin1String(p); });
}

void CopyMove::startCommand() {
    Form1 &f = m_ctx.form;
    f.PB->setValue(0);
    f.PB->show();
    m_ctx.state.ExistsChoice = 6;
    m_report.clear();
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
    m_batch = std::make_unique<TransferBatch>(m_ctx);
    if (m_ctx.fileEvents) // recorded for the journal and Ctrl+Z
        m_ctx.fileEvents->reportStarted(command == Command::Move ? QStringLiteral("Move")
                                                                 : QStringLiteral("Copy"));
    // Nothing is written unless the destination is the absolute path of a directory.
    m_destinationOk = !m_ctx.clash->destinationDir().isEmpty();
    m_movesInPlace = m_destinationOk &&
                     SameFile(dir.endsWith(u'/') ? dir : dir + u'/', m_ctx.clash->destinationDir());

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
    }
    normalEnd(command);
}

CopyMove::Step CopyMove::handleFile(Command command, const QString &source) {
    AppState &s = m_ctx.state;
    QString path = source;
    m_ctx.clash->PrepareDestination(path);
    const bool move = command == Command::Move;
    const Way way = move ? Way::Move : Way::Copy;

    if (command == Command::Convert || command == Command::Thumb) {
        if (!isPicture()) {
            m_ctx.boxes.show(QStringLiteral("Can't Modify This Type of file"), QString());
            FileRecord refused; // told by its box, so not counted
            refused.way = way;
            refused.source = source;
            refused.destination = path;
            m_batch->record(refused);
            return Step::Next;
        }
        if (!m_destinationOk) {
            m_batch->passOver(way, source, path, ENOTDIR);
            return Step::Next;
        }
        stopPreview();
        step(QStringLiteral("Start Modify"));
        return modify(command == Command::Convert ? QStringLiteral("Convert")
                                                  : QStringLiteral("Thumb"),
                      source, false);
    }

    if (!m_destinationOk) {
        m_batch->passOver(way, source, path, ENOTDIR);
        return Step::Next;
    }
    stopPreview();
    if (isPicture() && s.ModifyEnabled == 1) {
        step(QStringLiteral("Start Modify"));
        return modify(move ? QStringLiteral("ModifyMove") : QStringLiteral("ModifyCopy"), source,
                      move);
    }
    step(QStringLiteral("Check Name"));
    m_ctx.clash->MakeUniqueDestName();
    if (const auto settled = m_batch->settledByClash(way, source, s.DestinationPath()))
        return *settled == FileOutcome::Cancelled ? Step::Cancel : Step::Next;
    step(QStringLiteral("Final Save"));
    const FileOutcome outcome =
        m_batch->transfer(way, source, s.DestinationPath(), [this](const QString &) {
            m_ctx.clash->MakeUniqueDestName();
            return m_ctx.state.DestinationPath();
        });
    if (outcome == FileOutcome::Done && move && m_movesInPlace)
        s.ReselectName = s.DstName + s.DstExt; // renamed in place: keep it selected
    return outcome == FileOutcome::Cancelled ? Step::Cancel : Step::Next;
}

CopyMove::Step CopyMove::modify(const QString &stepWord, const QString &source, bool move) {
    AppState &s = m_ctx.state;
    const Way way = move ? Way::Move : Way::Copy;
    if (!m_ctx.modifier) {
        m_batch->passOver(way, source, s.DestinationPath(), ENOSYS);
        return Step::Next;
    }
    // The pipeline's clash check is this batch's own.
    m_ctx.modifier->setClashCheck([this] { return m_ctx.clash->MakeUniqueDestName(); });
    const ModifyResult result = m_ctx.modifier->ModifyPicture(stepWord);
    switch (result.kind) {
    case ModifyResult::Kind::Settled: {
        const auto settled = m_batch->settledByClash(way, source, s.DestinationPath());
        return settled == FileOutcome::Cancelled ? Step::Cancel : Step::Next;
    }
    case ModifyResult::Kind::NotWritten:
        m_batch->passOver(way, source, result.destination, result.reason);
        return Step::Next;
    case ModifyResult::Kind::Written: {
        FileRecord done;
        done.outcome = FileOutcome::Done;
        done.way = way;
        done.source = source;
        done.destination = result.destination;
        done.sourceKept = result.sourceKept;
        done.reason = result.reason;
        done.replaced = result.replaced;
        done.trashedSource = result.trashedSource;
        m_batch->record(done);
        return Step::Next;
    }
    }
    return Step::Next;
}

void CopyMove::finishBatch() {
    if (m_batch)
        m_report = m_batch->finish();
    m_batch.reset();
}

void CopyMove::normalEnd(Command command) {
    AppState &s = m_ctx.state;
    finishBatch();
    if (command == Command::Thumb)
        s.ReselectName = m_firstSelected;
    if (m_ctx.browser)
        m_ctx.browser->RefreshFileList(s.ReselectName);
    s.BatchBusy = 0;
    endReset();
}

void CopyMove::cancelEnd(Command command) {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    finishBatch();
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
    if (!m_report.isEmpty())
        f.setPanelText(4, m_report);
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
    // A batch that left files as they were, or descriptions behind, must not look done.
    if (!m_report.isEmpty())
        f.setPanelText(4, m_report);
}

} // namespace glimmerby
