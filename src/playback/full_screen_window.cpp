#include "playback/full_screen_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace glimmerby {

FullScreenWindow::FullScreenWindow(QWidget *content) : QWidget(nullptr, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    content->show();
}

bool FullScreenWindow::event(QEvent *event) {
    // Tab would move the focus instead of reaching the key handling.
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    }
    return QWidget::event(event);
}

void FullScreenWindow::keyPressEvent(QKeyEvent *event) {
    event->accept();
    if (event->key() == Qt::Key_Escape)
        emit leaveRequested();
    else
        emit keyPressed(event->key(), event->modifiers());
}

void FullScreenWindow::mouseDoubleClickEvent(QMouseEvent *event) {
    event->accept();
    emit leaveRequested();
}

void FullScreenWindow::closeEvent(QCloseEvent *event) {
    // The window belongs to the player: closing it only leaves full screen.
    event->ignore();
    emit leaveRequested();
}

} // namespace glimmerby
