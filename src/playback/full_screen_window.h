#pragma once
// The top-level window that holds the movie picture while it is shown full screen.

#include <QWidget>

namespace glimmerby {

class FullScreenWindow : public QWidget {
    Q_OBJECT
  public:
    explicit FullScreenWindow(QWidget *content);

  signals:
    void leaveRequested(); // Esc, a double-click or closing the window
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);

  protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};

} // namespace glimmerby
