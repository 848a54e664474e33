#pragma once
// The thumbnail grid's behaviour: turning it on and off (key G, the "Thumbnails" button,
// the "Thumbnail Grid" setting), keeping its cells in step with the file list, handing the
// files to the workers (visible cells first) and acting on clicks, Enter and the moving
// keys, which belong to the grid while it is shown.

#include "browser/thumbnail_workers.h"

#include <QHash>
#include <QObject>
#include <QPoint>
#include <memory>

namespace glimmerby {

struct AppContext;

class ThumbnailGridController : public QObject {
    Q_OBJECT
  public:
    explicit ThumbnailGridController(AppContext &ctx);
    ~ThumbnailGridController() override;

    bool isShown() const { return m_shown; }
    void setShown(bool shown);
    void toggle() { setShown(!m_shown); }
    // The list's current file becomes the grid's: its cell is scrolled into view and it is
    // the current file, without previewing anything.
    void showListCurrent();

    // While the grid is shown: the arrows, Page Up/Down, Home/End and Enter are its own.
    bool takesKey(int key) const;
    void gridKey(int key, Qt::KeyboardModifiers modifiers);

    // Places the grid over the preview area (after the window changed size).
    void placeGrid();

    // The workers, once the grid was first shown (tests and benchmarks wait on them).
    ThumbnailWorkers *workers() const { return m_workers.get(); }
    // Thumbnails still expected for the current folder.
    int pendingCount() const { return int(m_pending.size()); }

  signals:
    void cellsFilled(); // every cell of the folder has its picture or mark

  private:
    struct FileStamp {
        qint64 mtime = -1;
        qint64 size = -1;
        bool operator==(const FileStamp &o) const { return mtime == o.mtime && size == o.size; }
    };
    void onListed();
    void reschedule();
    void onMade(quint64 generation, const QString &path, const QImage &image,
                ThumbnailWorkers::Outcome outcome);
    void onMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos);
    void showActivated();
    void followCurrent();

    AppContext &m_ctx;
    std::unique_ptr<ThumbnailWorkers> m_workers;
    bool m_shown = false;
    quint64 m_generation = 0;
    QString m_folder;                   // the folder the cells belong to
    QHash<QString, FileStamp> m_stamps; // name -> the file as its cell shows it
    QHash<QString, bool> m_pending;     // names waiting for the workers
    bool m_rescheduleDue = false;
};

} // namespace glimmerby
