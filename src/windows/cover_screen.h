#pragma once
// The cover screen: the main window goes to the task bar and a harmless chart fills the
// screen until Escape or closing brings the window back.

#include <QImage>
#include <QObject>
#include <QPointer>

namespace glimmerby {

struct AppContext;
class DialogBox;

class CoverScreen : public QObject {
    Q_OBJECT
  public:
    explicit CoverScreen(AppContext &ctx);
    ~CoverScreen() override;

    // Minimises the main window and shows the chart (only one, however often asked).
    void show();
    // The window while it is up, else null.
    DialogBox *window() const { return m_box; }

  private:
    AppContext &m_ctx;
    QPointer<DialogBox> m_box;
};

// The chart the cover screen shows: bars on a grid, drawn for the given size.
QImage drawCoverChart(QSize size);

} // namespace glimmerby
