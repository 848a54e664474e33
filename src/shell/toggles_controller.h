#pragma once
// The toolbar's toggles, the two check boxes, the three scroll bars with the size field,
// the progress procedures and the tool tips.

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
    void T_Change();
    void Toolbar1_ButtonClick(const QString &key);
    void settooltipson();
    void settooltipsoff();
    void pbplus1(const QString &text);
    void pb1plus1();
    // Sets a scroll bar only when the value lies in its range; otherwise it keeps its place.
    static bool setScrollValue(QScrollBar *bar, int value);

  signals:
    void exitRequested();
    void aboutRequested();
    void helpRequested();
    void musicToggled(bool on);

  private:
    AppContext &m_ctx;
};

} // namespace glimmerby
