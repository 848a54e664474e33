#include "browser/grid_controller.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "browser/directory_listing.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "browser/thumbnail_maker.h"
#include "picture/status_line.h"
#include "shell/key_commands.h"
#include "shell/window_layout.h"
#include "windows/form1.h"
#include "windows/thumbnail_grid.h"

#include <QCursor>
#include <QFile>
#include <QSignalBlocker>
#include <QTimer>

#include <sys/stat.h>

namespace glimmerby {

namespace {

ThumbnailGrid::Look lookOf(CellKind kind) {
    switch (kind) {
    case CellKind::Sound:
        return ThumbnailGrid::Look::Sound;
    case CellKind::Midi:
        return ThumbnailGrid::Look::Midi;
    case CellKind::Other:
        return ThumbnailGrid::Look::Other;
    case CellKind::Picture:
    case CellKind::Movie:
        break;
    }
    return ThumbnailGrid::Look::Waiting;
}

} // namespace

ThumbnailGridController::ThumbnailGridController(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    Form1 &f = ctx.form;
    ThumbnailGrid *grid = f.Grid1;
    // One model and one selection for the list and the grid: a selection made in either
    // is the other's, so every file command works on what the grid selects.
    grid->setModel(f.File1->model());
    grid->setSelectionModel(f.File1->selectionModel());
    grid->hide();
    connect(f.File1, &FileListBox::listed, this, &ThumbnailGridController::onListed);
    connect(grid, &ThumbnailGrid::keyDown, this, [this](int key, Qt::KeyboardModifiers mods) {
        if (m_ctx.keys)
            m_ctx.keys->Form_KeyDown(key, mods);
    });
    connect(grid, &ThumbnailGrid::mouseDown, this, &ThumbnailGridController::onMouseDown);
    connect(grid, &ThumbnailGrid::cellActivated, this, [this] { showActivated(); });
    connect(grid, &ThumbnailGrid::viewMoved, this, [this] {
        // Scrolling sends many moves: the queue is put in order once they have settled.
        if (m_rescheduleDue)
            return;
        m_rescheduleDue = true;
        QTimer::singleShot(0, this, [this] {
            m_rescheduleDue = false;
            reschedule();
        });
    });
    connect(&f, &Form1::resized, this, &ThumbnailGridController::placeGrid);
    if (QAction *button = f.toolbarButton(QStringLiteral("thumbnails")))
        connect(button, &QAction::triggered, this, [this](bool checked) { setShown(checked); });
}

ThumbnailGridController::~ThumbnailGridController() = default;

void ThumbnailGridController::setShown(bool shown) {
    Form1 &f = m_ctx.form;
    if (QAction *button = f.toolbarButton(QStringLiteral("thumbnails"))) {
        const QSignalBlocker block(button);
        button->setChecked(shown);
    }
    m_ctx.state.ThumbnailGridSetting = shown ? QStringLiteral("True") : QStringLiteral("False");
    if (shown == m_shown)
        return;
    m_shown = shown;
    ThumbnailGrid *grid = f.Grid1;
    if (!shown) {
        if (m_workers)
            m_workers->clear();
        m_pending.clear();
        const bool hadFocus = grid->hasFocus();
        grid->hide();
        if (hadFocus)
            f.Text1->setFocus();
        return;
    }
    if (!m_workers) {
        m_workers = std::make_unique<ThumbnailWorkers>(ThumbnailCache());
        connect(m_workers.get(), &ThumbnailWorkers::made, this, &ThumbnailGridController::onMade);
    }
    placeGrid();
    grid->show();
    grid->raise();
    f.keepBarsOnTop();
    if (grid->currentIndex().isValid())
        grid->scrollTo(grid->currentIndex());
    grid->setFocus();
    onListed();
}

void ThumbnailGridController::placeGrid() {
    Form1 &f = m_ctx.form;
    const int top = f.Toolbar1->geometry().bottom() + 1;
    const int bottom = f.SB->geometry().top();
    f.Grid1->setGeometry(layout::PreviewLeft, top,
                         std::max(0, f.ScaleWidth() - layout::PreviewLeft),
                         std::max(0, bottom - top));
}

bool ThumbnailGridController::takesKey(int key) const {
    if (!m_shown)
        return false;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        return false;
    }
}

void ThumbnailGridController::gridKey(int key, Qt::KeyboardModifiers modifiers) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        showActivated();
        return;
    }
    // The selection moves without previewing or playing anything.
    m_ctx.form.Grid1->navigate(key, modifiers);
    followCurrent();
}

void ThumbnailGridController::followCurrent() {
    const FileListBox *list = m_ctx.form.File1;
    const int row = list->listIndex();
    if (row < 0)
        return;
    m_ctx.state.CurrentFile = list->fullPath(row);
    if (m_ctx.status)
        m_ctx.status->UpdateStatusLine();
}

void ThumbnailGridController::showListCurrent() {
    ThumbnailGrid *grid = m_ctx.form.Grid1;
    if (grid->currentIndex().isValid())
        grid->scrollTo(grid->currentIndex());
    followCurrent();
}

void ThumbnailGridController::onMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                          const QPoint &pos) {
    if (button == Qt::RightButton) {
        m_ctx.preview->PreviewClicked(button, modifiers, pos); // the file menu
        return;
    }
    followCurrent();
}

void ThumbnailGridController::showActivated() {
    if (m_ctx.form.File1->listIndex() < 0)
        return;
    // The file is shown as a click in the list shows it, in place of the grid.
    setShown(false);
    m_ctx.preview->PreviewClicked(Qt::LeftButton, Qt::NoModifier, QCursor::pos());
}

void ThumbnailGridController::onListed() {
    Form1 &f = m_ctx.form;
    ThumbnailGrid *grid = f.Grid1;
    const QString folder = f.File1->path();
    if (folder != m_folder) {
        // Another folder: its cells start afresh and late answers for the old one are
        // recognised by their generation and dropped.
        ++m_generation;
        m_folder = folder;
        m_stamps.clear();
        m_pending.clear();
        grid->clearCells();
        if (m_workers)
            m_workers->clear();
    }
    if (!m_shown)
        return;
    const QStringList &names = f.File1->items();
    QHash<QString, FileStamp> stamps;
    stamps.reserve(names.size());
    for (const QString &name : names) {
        const CellKind kind = cellKindOf(name);
        if (!isThumbnailed(kind)) {
            grid->setCell(name, lookOf(kind));
            continue;
        }
        struct stat st {};
        FileStamp stamp;
        if (::stat(QFile::encodeName(joinPath(folder, name)).constData(), &st) == 0)
            stamp = FileStamp{qint64(st.st_mtim.tv_sec), qint64(st.st_size)};
        const auto known = m_stamps.constFind(name);
        // A new file, or one changed since its cell was made, is made again.
        if (known == m_stamps.constEnd() || !(*known == stamp)) {
            grid->setCell(name, ThumbnailGrid::Look::Waiting);
            m_pending.remove(name);
        }
        stamps.insert(name, stamp);
    }
    m_stamps = std::move(stamps);
    grid->viewport()->update();
    reschedule();
}

void ThumbnailGridController::reschedule() {
    if (!m_shown || !m_workers)
        return;
    ThumbnailGrid *grid = m_ctx.form.Grid1;
    const QStringList &names = m_ctx.form.File1->items();
    QStringList order;
    QHash<QString, bool> pending;
    const auto want = [&](int row) {
        const QString &name = names[row];
        if (pending.contains(name) || grid->cell(name).look != ThumbnailGrid::Look::Waiting)
            return;
        pending.insert(name, true);
        order.append(joinPath(m_folder, name));
    };
    // What can be seen first, then on down the folder, then the part above.
    const QList<int> visible = grid->visibleRows();
    for (int row : visible)
        want(row);
    const int start = visible.isEmpty() ? 0 : visible.last() + 1;
    for (int i = 0; i < names.size(); ++i)
        want((start + i) % names.size());
    m_pending = std::move(pending);
    // A screen of more than one device pixel a pixel wants the large thumbnails.
    const int devicePixels = int(grid->iconPixels() * grid->devicePixelRatioF());
    m_workers->schedule(m_generation, order, thumbSizeFor(devicePixels));
    if (m_pending.isEmpty())
        emit cellsFilled();
}

void ThumbnailGridController::onMade(quint64 generation, const QString &path, const QImage &image,
                                     ThumbnailWorkers::Outcome outcome) {
    if (generation != m_generation)
        return;
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    ThumbnailGrid *grid = m_ctx.form.Grid1;
    if (outcome == ThumbnailWorkers::Outcome::Made)
        grid->setCell(name, ThumbnailGrid::Look::Picture, QPixmap::fromImage(image));
    else
        grid->setCell(name, ThumbnailGrid::Look::Damaged);
    const int row = m_ctx.form.File1->items().indexOf(name);
    if (row >= 0 && grid->isVisible())
        grid->update(grid->model()->index(row, 0));
    if (m_pending.remove(name) && m_pending.isEmpty())
        emit cellsFilled();
}

} // namespace glimmerby
