#include "windows/thumbnail_grid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

namespace glimmerby {

namespace {
constexpr int IconPixels = 128;
constexpr int CellMargin = 6;
} // namespace

ThumbnailGrid::ThumbnailGrid(QWidget *parent) : QListView(parent) {
    setObjectName(QStringLiteral("Grid1"));
    setAccessibleName(QStringLiteral("Thumbnails"));
    setAccessibleDescription(QStringLiteral("Thumbnail grid of the file list"));
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setTextElideMode(Qt::ElideMiddle);
    setIconSize(QSize(IconPixels, IconPixels));
    const int labelHeight = fontMetrics().height();
    setGridSize(QSize(IconPixels + 2 * CellMargin, IconPixels + labelHeight + 3 * CellMargin));
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(32);
    setItemDelegate(new ThumbnailDelegate(this));
}

void ThumbnailGrid::setCell(const QString &name, Look look, const QPixmap &picture) {
    m_cells.insert(name, Cell{look, picture});
}

void ThumbnailGrid::clearCells() {
    m_cells.clear();
    viewport()->update();
}

void ThumbnailGrid::navigate(int key, Qt::KeyboardModifiers modifiers) {
    // The view's own moving: by cell and row, by screen, to the ends.
    QKeyEvent e(QEvent::KeyPress, key, modifiers);
    QListView::keyPressEvent(&e);
}

QList<int> ThumbnailGrid::visibleRows() const {
    QList<int> rows;
    if (!isVisible() || !model())
        return rows;
    const QRect area = viewport()->rect();
    const int count = model()->rowCount(rootIndex());
    // The cells are laid out in rows from the top-left: start at the first one seen and
    // walk on until a cell lies below the area.
    QModelIndex first = indexAt(QPoint(CellMargin, CellMargin));
    int row = first.isValid() ? first.row() : 0;
    // indexAt misses in the gaps between cells: back up to the row's start.
    while (row > 0 && visualRect(model()->index(row - 1, 0, rootIndex())).intersects(area))
        --row;
    for (; row < count; ++row) {
        const QRect r = visualRect(model()->index(row, 0, rootIndex()));
        if (r.top() > area.bottom())
            break;
        if (r.intersects(area))
            rows.append(row);
    }
    return rows;
}

void ThumbnailGrid::keyPressEvent(QKeyEvent *e) {
    emit keyDown(e->key(), e->modifiers());
    e->accept();
}

void ThumbnailGrid::mousePressEvent(QMouseEvent *e) {
    // A right-click opens the menu for what is selected already: it leaves the selection.
    if (e->button() != Qt::RightButton)
        QListView::mousePressEvent(e);
    emit mouseDown(e->button(), e->modifiers(), e->globalPosition().toPoint());
}

void ThumbnailGrid::mouseDoubleClickEvent(QMouseEvent *e) {
    const QModelIndex index = indexAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && index.isValid())
        emit cellActivated(index.row());
}

void ThumbnailGrid::resizeEvent(QResizeEvent *e) {
    QListView::resizeEvent(e);
    emit viewMoved();
}

void ThumbnailGrid::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    emit viewMoved();
}

ThumbnailDelegate::ThumbnailDelegate(ThumbnailGrid *grid)
    : QStyledItemDelegate(grid), m_grid(grid) {}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const {
    return m_grid->gridSize() - QSize(2, 2);
}

void ThumbnailDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const {
    const QString name = index.data(Qt::DisplayRole).toString();
    const ThumbnailGrid::Cell cell = m_grid->cell(name);
    const QRect r = option.rect;
    const QPalette &pal = option.palette;
    painter->save();
    if (option.state & QStyle::State_Selected)
        painter->fillRect(r, pal.highlight());
    const int icon = m_grid->iconPixels();
    const QRect square(r.left() + (r.width() - icon) / 2, r.top() + CellMargin, icon, icon);
    const QStyle *style = m_grid->style();
    auto drawIcon = [&](QStyle::StandardPixmap which) {
        const QPixmap pm = style->standardIcon(which).pixmap(48, 48);
        painter->drawPixmap(square.center() - QPoint(24, 24), pm);
    };
    switch (cell.look) {
    case ThumbnailGrid::Look::Picture: {
        QSize size = cell.picture.size();
        size.scale(square.size().boundedTo(size), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), size);
        target.moveCenter(square.center());
        painter->drawPixmap(target, cell.picture);
        break;
    }
    case ThumbnailGrid::Look::Damaged: {
        // A plain mark: a crossed frame and the word.
        const QRect mark = square.adjusted(24, 24, -24, -24);
        painter->setPen(QPen(pal.color(QPalette::Text), 1));
        painter->drawRect(mark);
        painter->drawLine(mark.topLeft(), mark.bottomRight());
        painter->drawLine(mark.topRight(), mark.bottomLeft());
        painter->drawText(square.adjusted(0, 0, 0, -4), Qt::AlignHCenter | Qt::AlignBottom,
                          QStringLiteral("damaged"));
        break;
    }
    case ThumbnailGrid::Look::Sound:
        drawIcon(QStyle::SP_MediaVolume);
        break;
    case ThumbnailGrid::Look::Midi:
        drawIcon(QStyle::SP_MediaVolume);
        painter->setPen(pal.color(QPalette::Text));
        painter->drawText(square.adjusted(0, 0, 0, -16), Qt::AlignHCenter | Qt::AlignBottom,
                          QStringLiteral("MIDI"));
        break;
    case ThumbnailGrid::Look::Other:
        drawIcon(QStyle::SP_FileIcon);
        break;
    case ThumbnailGrid::Look::Waiting:
        painter->setPen(pal.color(QPalette::Mid));
        painter->drawRect(square.adjusted(0, 0, -1, -1));
        break;
    }
    const QRect label(r.left() + 2, square.bottom() + CellMargin, r.width() - 4,
                      option.fontMetrics.height());
    painter->setPen(pal.color((option.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                      : QPalette::Text));
    painter->drawText(label, Qt::AlignHCenter | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(name, Qt::ElideMiddle, label.width()));
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

} // namespace glimmerby
