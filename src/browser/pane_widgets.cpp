#include "browser/pane_widgets.h"

#include "browser/directory_listing.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace glimmerby {

bool isMenuKey(int key, Qt::KeyboardModifiers modifiers) {
    const auto held = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    return key == Qt::Key_Menu || (key == Qt::Key_F10 && held == Qt::ShiftModifier);
}

// ---- DriveListBox ----

DriveListBox::DriveListBox(QWidget *parent) : QComboBox(parent) {
    setAccessibleName(QStringLiteral("Volume"));
    view()->setAccessibleName(QStringLiteral("Volumes"));
    refreshVolumes();
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            emit driveChanged(itemData(index).toString());
    });
}

void DriveListBox::refreshVolumes() {
    const QSignalBlocker block(this);
    const QString chosen = drive();
    clear();
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo &a, const QStorageInfo &b) {
        return a.rootPath() < b.rootPath();
    });
    for (const QStorageInfo &v : volumes) {
        if (!v.isValid() || !v.isReady())
            continue;
        const QString root = v.rootPath();
        const QString name = v.displayName();
        addItem(name == root ? root : root + QStringLiteral("  [") + name + u']', root);
    }
    const int keep = findData(chosen);
    setCurrentIndex(keep >= 0 ? keep : (count() > 0 ? 0 : -1));
}

QString DriveListBox::drive() const {
    return currentData().toString();
}

QString DriveListBox::volumeRootOf(const QString &path) {
    const QStorageInfo info(path);
    return info.isValid() ? info.rootPath() : QString();
}

void DriveListBox::setDriveForPath(const QString &path) {
    const QString root = volumeRootOf(path);
    int index = findData(root);
    if (index < 0 && !root.isEmpty()) {
        refreshVolumes(); // mounted since the list was made
        index = findData(root);
    }
    if (index >= 0 && index != currentIndex())
        setCurrentIndex(index); // emits driveChanged
}

void DriveListBox::keyPressEvent(QKeyEvent *e) {
    QComboBox::keyPressEvent(e);
    emit keyDown(e->key(), e->modifiers());
}

// ---- DirListBox ----

namespace {
constexpr int PathRole = Qt::UserRole;

QString normalizedDir(const QString &dir) {
    QString p = QDir::cleanPath(QDir(dir).absolutePath());
    return p.isEmpty() ? QStringLiteral("/") : p;
}
} // namespace

DirListBox::DirListBox(QWidget *parent) : QListWidget(parent) {
    setAccessibleName(QStringLiteral("Directory list"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const QString target = item->data(PathRole).toString();
        if (target != m_path)
            setPath(target);
    });
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        const QString target = item->data(PathRole).toString();
        if (target != m_path)
            setPath(target);
    });
}

bool DirListBox::setPath(const QString &dir) {
    if (dir.isEmpty())
        return false;
    const QString target = normalizedDir(dir);
    const QFileInfo info(target);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    m_path = target;
    fill();
    emit pathChanged(m_path);
    return true;
}

void DirListBox::refresh() {
    fill();
}

void DirListBox::fill() {
    const QSignalBlocker block(this);
    clear();
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    // The chain of ancestors from the root down to the path.
    QStringList chain;
    for (QString p = m_path;;) {
        chain.prepend(p);
        if (p == QLatin1String("/"))
            break;
        const QString parentDir = QFileInfo(p).path();
        if (parentDir == p)
            break;
        p = parentDir;
    }
    int level = 0;
    for (const QString &p : chain) {
        const QString label = p == QLatin1String("/") ? p : QFileInfo(p).fileName();
        auto *item = new QListWidgetItem(openIcon, QString(level * 2, u' ') + label, this);
        item->setData(PathRole, p);
        ++level;
    }
    QListWidgetItem *current = item(count() - 1);
    for (const QString &name : listSubdirectories(m_path)) {
        auto *item = new QListWidgetItem(closedIcon, QString(level * 2, u' ') + name, this);
        item->setData(PathRole, joinPath(m_path, name));
    }
    if (current) {
        setCurrentItem(current);
        scrollToItem(current);
    }
}

void DirListBox::keyPressEvent(QKeyEvent *e) {
    if (isMenuKey(e->key(), e->modifiers())) {
        e->accept();
        QListWidgetItem *item = currentItem();
        QPoint at;
        if (item) {
            scrollToItem(item);
            at = visualItemRect(item).bottomLeft();
        }
        emit mouseDown(Qt::RightButton, viewport()->mapToGlobal(at));
    } else {
        QListWidget::keyPressEvent(e);
    }
    emit keyDown(e->key(), e->modifiers());
}

void DirListBox::mousePressEvent(QMouseEvent *e) {
    if (e->button() == Qt::RightButton) {
        emit mouseDown(e->button(), e->globalPosition().toPoint());
        return;
    }
    QListWidget::mousePressEvent(e);
    emit mouseDown(e->button(), e->globalPosition().toPoint());
}

// ---- FileListBox ----

FileListBox::FileListBox(QWidget *parent) : QListView(parent) {
    setAccessibleName(QStringLiteral("File list"));
    setModel(&m_model);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(2000);
}

void FileListBox::setPath(const QString &dir) {
    m_path = dir;
    refresh();
}

void FileListBox::setPattern(const QString &pattern) {
    m_pattern = FilePattern(pattern);
    refresh();
}

void FileListBox::refresh() {
    DirectoryListing listing = m_path.isEmpty() ? DirectoryListing{} : listFiles(m_path, m_pattern);
    m_lastReadFailed = !listing.readable;
    m_names = std::move(listing.files);
    m_model.setStringList(m_names);
    emit listed();
}

void FileListBox::dropVanishedRows(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) {
        if (row < 0 || row >= m_names.size())
            continue;
        const QFileInfo entry(fullPath(row));
        if (!entry.exists() && !entry.isSymLink()) // a dangling link is still there
            m_names.removeAt(row);
    }
    m_model.setStringList(m_names);
    emit listed();
}

int FileListBox::listIndex() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

bool FileListBox::setListIndex(int index) {
    if (index < 0) {
        selectionModel()->clear();
        return true;
    }
    if (index >= m_names.size())
        return false;
    const QModelIndex i = m_model.index(index);
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
    scrollTo(i);
    return true;
}

bool FileListBox::isSelected(int index) const {
    return selectionModel()->isSelected(m_model.index(index));
}

void FileListBox::setSelected(int index, bool selected) {
    if (index < 0 || index >= m_names.size())
        return;
    selectionModel()->select(m_model.index(index), selected ? QItemSelectionModel::Select
                                                            : QItemSelectionModel::Deselect);
}

QList<int> FileListBox::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex &i : selectionModel()->selectedIndexes())
        rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString FileListBox::fullPath(int index) const {
    if (index < 0 || index >= m_names.size())
        return {};
    return joinPath(m_path, m_names[index]);
}

QPoint FileListBox::menuPoint() {
    const QList<int> rows = selectedRows();
    const int row = listIndex() >= 0 ? listIndex() : (rows.isEmpty() ? -1 : rows.first());
    QPoint at;
    if (row >= 0) {
        const QModelIndex index = m_model.index(row);
        scrollTo(index);
        at = visualRect(index).bottomLeft();
    }
    return viewport()->mapToGlobal(at);
}

void FileListBox::keyPressEvent(QKeyEvent *e) {
    if (!m_keysDown.contains(e->key()))
        m_keysDown << e->key();
    emit keyDown(e->key(), e->modifiers());
    e->accept(); // the list itself does not react
}

void FileListBox::keyReleaseEvent(QKeyEvent *e) {
    e->accept();
    if (!m_keysDown.removeOne(e->key()))
        return;
    emit keyUp(e->key(), e->modifiers());
}

void FileListBox::focusOutEvent(QFocusEvent *e) {
    m_keysDown.clear();
    QListView::focusOutEvent(e);
}

void FileListBox::mousePressEvent(QMouseEvent *e) {
    // A right-click opens the pop-up menu for the files already selected; it must not
    // change the selection the menu's commands act on.
    if (e->button() != Qt::RightButton)
        QListView::mousePressEvent(e);
    emit mouseDown(e->button(), e->modifiers(), e->globalPosition().toPoint());
}

} // namespace glimmerby
