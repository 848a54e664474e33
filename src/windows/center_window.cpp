#include "windows/center_window.h"

#include <QScreen>
#include <QWidget>

namespace glimmerby {

void CenterWindow(QWidget &window) {
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    // The frame's size, so that a decorated window is centred as a whole.
    const QSize size = window.frameGeometry().size();
    window.move(area.x() + area.width() / 2 - size.width() / 2,
                area.y() + area.height() / 2 - size.height() / 2);
}

} // namespace glimmerby
