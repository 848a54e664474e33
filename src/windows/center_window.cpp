#include "windows/center_window.h"

#include "shell/window_layout.h"

#include <QScreen>
#include <QWidget>

namespace glimmerby {

void CenterWindow(QWidget &window) {
    // On the screen of the main window (the owner of a dialog), in the part of it that
    // panels and docks leave free; a window larger than that keeps its title bar visible.
    const QWidget *owner = window.parentWidget() ? window.parentWidget()->window() : &window;
    const QScreen *screen = owner->screen() ? owner->screen() : window.screen();
    if (!screen)
        return;
    // The frame's size, so that a decorated window is centred as a whole.
    window.move(centredInArea(window.frameGeometry().size(), screen->availableGeometry()));
}

} // namespace glimmerby
