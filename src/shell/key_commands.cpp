#include "shell/key_commands.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "browser/preview_dispatcher.h"
#include "windows/form1.h"

namespace glimmerby {

KeyCommands::KeyCommands(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

bool KeyCommands::Form_KeyDown(int key, Qt::KeyboardModifiers) {
    if (m_ctx.state.BatchBusy != 0)
        return false;
    // Stepping through the list is what the arrow keys do in every viewer.
    switch (key) {
    case Qt::Key_Down:
    case Qt::Key_Right:
    case Qt::Key_PageDown:
        m_ctx.preview->ShowNextFile();
        m_ctx.preview->applyTimerRule();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Left:
    case Qt::Key_PageUp:
        m_ctx.preview->ShowPreviousFile();
        m_ctx.preview->applyTimerRule();
        return true;
    default:
        return false;
    }
}

} // namespace glimmerby
