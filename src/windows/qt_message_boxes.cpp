#include "windows/qt_message_boxes.h"

#include <QMessageBox>

namespace glimmerby {

void QtMessageBoxes::show(const QString &text, const QString &title, BoxIcon icon) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case BoxIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case BoxIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case BoxIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case BoxIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace glimmerby
