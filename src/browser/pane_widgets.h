#pragma once
// The three browser panes: a drive list, a directory list showing the tree around its
// path, and a file list showing the files of its directory that match its pattern.

#include "browser/media_kinds.h"

#include <QComboBox>
#include <QListView>
#include <QListWidget>
#include <QStringListModel>

namespace glimmerby {

// Shift+F10 or the Menu key: the keyboard's way to open a control's pop-up menu.
bool isMenuKey(int key, Qt::KeyboardModifiers modifiers);

// The mounted, ready volumes. "The drive of a path" is the volume that holds it.
class DriveListBox : public QComboBox {
    Q_OBJECT
  public:
    explicit DriveListBox(QWidget *parent = nullptr);
    void refreshVolumes();
    QString drive() const; // the chosen volume's root path
    // Chooses the volume holding path (no signal when it already is the chosen one).
    void setDriveForPath(const QString &path);
    // The root of the volume that holds path.
    static QString volumeRootOf(const QString &path);

  signals:
    void driveChanged(const QString &root); // the user or the program chose another volume
    void keyDown(int key, Qt::KeyboardModifiers modifiers);

  protected:
    void keyPressEvent(QKeyEvent *e) override;
};

// A directory list: the ancestors of the path, the path itself, then its sub-directories.
class DirListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit DirListBox(QWidget *parent = nullptr);
    QString path() const { return m_path; }
    // Makes dir the path; false (and nothing changes) when it cannot be read.
    bool setPath(const QString &dir);
    void refresh(); // re-reads the sub-directories of the path

  signals:
    void pathChanged(const QString &path);
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void mouseDown(Qt::MouseButton button, const QPoint &globalPos);

  protected:
    // The menu keys open the directory menu at the current directory, as a right-click.
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

  private:
    void fill();
    QString m_path;
};

// The file list: names only, several selectable. Keys do not move it: they are handed
// on through keyDown/keyUp, as the main window's key commands drive the program.
class FileListBox : public QListView {
    Q_OBJECT
  public:
    explicit FileListBox(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    void setPath(const QString &dir); // re-reads
    QString pattern() const { return m_pattern.text(); }
    void setPattern(const QString &pattern); // re-reads
    void refresh();                          // re-reads the directory; clears the selection
    // Drops the given rows whose files are gone, without reading the directory again.
    void dropVanishedRows(QList<int> rows);
    bool lastReadFailed() const { return m_lastReadFailed; }

    int listCount() const { return m_names.size(); }
    QString item(int index) const { return m_names.value(index); }
    const QStringList &items() const { return m_names; }
    int listIndex() const; // the current entry, -1 when none
    // Makes index the current entry and selects it alone (-1 clears); false when out of range.
    bool setListIndex(int index);
    bool isSelected(int index) const;
    void setSelected(int index, bool selected);
    QList<int> selectedRows() const;   // ascending
    QString fullPath(int index) const; // path and name joined
    // Where a menu opened from the keyboard goes: under the current entry (scrolled into
    // view), or the list's corner when there is none. Global coordinates.
    QPoint menuPoint();

  signals:
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos);
    void listed(); // after every re-read

  protected:
    void keyPressEvent(QKeyEvent *e) override;
    // Only the release of a key pressed here counts: Tab's release arrives in the list
    // Tab moved the focus to, and must not send the focus away again.
    void keyReleaseEvent(QKeyEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void keyboardSearch(const QString &) override {} // typing never jumps to a name

  private:
    QList<int> m_keysDown; // keys pressed while the list had the focus, not yet released
    QString m_path;
    FilePattern m_pattern;
    QStringList m_names;
    QStringListModel m_model;
    bool m_lastReadFailed = false;
};

} // namespace glimmerby
