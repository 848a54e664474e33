#pragma once
// The thumbnail grid: the file list's own entries shown as cells of pictures with their
// names below, in the preview area. It shares the file list's model and selection, so a
// selection made in either is the other's. Keys are handed to the key commands, which
// give the moving keys back through navigate().

#include <QHash>
#include <QListView>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace glimmerby {

class ThumbnailGrid : public QListView {
    Q_OBJECT
  public:
    // What a cell shows.
    enum class Look { Waiting, Picture, Damaged, Sound, Midi, Other };
    struct Cell {
        Look look = Look::Waiting;
        QPixmap picture;
    };

    explicit ThumbnailGrid(QWidget *parent = nullptr);

    // The cells, by file name. Names without a cell show as waiting.
    void setCell(const QString &name, Look look, const QPixmap &picture = {});
    void clearCells();
    Cell cell(const QString &name) const { return m_cells.value(name); }
    int cellCount() const { return int(m_cells.size()); }
    int iconPixels() const { return iconSize().width(); }

    // Moves the current cell as the key would (arrows, Page Up/Down, Home, End), Shift
    // and Ctrl extending the selection as in the list.
    void navigate(int key, Qt::KeyboardModifiers modifiers);
    // The rows whose cells can be seen now, top-left first; empty when hidden.
    QList<int> visibleRows() const;

  signals:
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                   const QPoint &globalPos);
    void cellActivated(int row);
    void viewMoved(); // scrolled or resized: other cells can be seen

  protected:
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyboardSearch(const QString &) override {}

  private:
    QHash<QString, Cell> m_cells;
};

// Paints one cell: the picture (or the mark of its kind) centred in a square, and the
// name below it, cut in the middle when it is too long.
class ThumbnailDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    explicit ThumbnailDelegate(ThumbnailGrid *grid);
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

  private:
    ThumbnailGrid *m_grid;
};

} // namespace glimmerby
