#pragma once
// The toolbar's toggles, the two check boxes, the three scroll bars with the size field,
// the progress procedures and the tool tips.

#include <QElapsedTimer>
#include <QObject>
#include <QScrollBar>
#include <QString>

namespace glimmerby {

struct AppContext;

class TogglesController : public QObject {
    Q_OBJECT
  public:
    explicit TogglesController(AppContext &ctx);

    void Ck_Click(int index);
    void HS_Change(int index);
    // The scroll-bar handler's work for a value, whether or not the bar could take it.
    void applyScroll(int index, int value);
    void T_Change();
    void Toolbar1_ButtonClick(const QString &key);
    void settooltipson();
    void settooltipsoff();
    // The value steps exactly on every call; the window repaints and handles clicks and
    // keys at most every progressEventIntervalMs.
    void pbplus1(const QString &text);
    void pb1plus1();
    static constexpr int progressEventIntervalMs = 40;
    // For tests that need events at every step: 0 processes them on every call.
    void setProgressEventInterval(int ms) { m_progressEventInterval = ms; }
    // Sets a scroll bar only when the value lies in its range; otherwise it keeps its place.
    static bool setScrollValue(QScrollBar *bar, int value);

  signals:
    void exitRequested();
    void aboutRequested();
    void helpRequested();

  protected:
    // With tool tips off no control of the window shows one, not even the toolbar's,
    // which would otherwise show their buttons' texts.
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void letEventsIn();

    AppContext &m_ctx;
    QElapsedTimer m_sinceEvents;
    int m_progressEventInterval = progressEventIntervalMs;
};

} // namespace glimmerby
