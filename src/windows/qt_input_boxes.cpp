#include "windows/qt_input_boxes.h"

#include <QInputDialog>

namespace glimmerby {

QString QtInputBoxes::ask(const QString &prompt, const QString &title, const QString &defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

} // namespace glimmerby
