#pragma once
// Message boxes that tests read instead of answering on screen.

#include "app/message_boxes.h"

#include <QList>
#include <QStringList>

namespace glimmerby {

struct ShownBox {
    QString text;
    QString title;
    BoxIcon icon;
};

class RecordingBoxes : public MessageBoxes {
  public:
    void show(const QString &text, const QString &title, BoxIcon icon = BoxIcon::None) override {
        shown.append({text, title, icon});
    }
    QStringList texts() const {
        QStringList out;
        for (const ShownBox &b : shown)
            out << b.text;
        return out;
    }
    QStringList titles() const {
        QStringList out;
        for (const ShownBox &b : shown)
            out << b.title;
        return out;
    }
    QList<ShownBox> shown;
};

} // namespace glimmerby
