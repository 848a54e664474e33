#pragma once
// The browser panes' behaviour: drive, directory and file list events, the filter box,
// the pop-up menus and refresh-and-select.

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QString>

namespace glimmerby {

struct AppContext;

class BrowserController : public QObject {
    Q_OBJECT
  public:
    explicit BrowserController(AppContext &ctx);

    // Fills the filter box with its five entries (without choosing one).
    void fillFilterBox();
    // The filter box's change handling.
    void ApplyFilter();
    // Re-lists the directory and selects name (ignoring case), else the first entry, and
    // previews it by kind. An empty list leaves CurrentFile as it was.
    void RefreshFileList(const QString &name);
    // The request every pane handler ends with.
    void closingCall();

    // Sets the directory list (and so the file lists); false when it cannot be read.
    bool setDirectory(const QString &dir);

  private:
    void onDriveChanged(const QString &root);
    void onDirectoryChanged(const QString &path);
    void onDirMouseDown(Qt::MouseButton button, const QPoint &globalPos);
    void onFileKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void onFileKeyUp();
    void onFileMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                         const QPoint &globalPos);

    AppContext &m_ctx;
    QHash<QString, QString> m_driveDirs; // the last directory shown on each volume
};

} // namespace glimmerby
