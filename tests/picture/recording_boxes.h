#pragma once
// Message boxes that only remember what they were asked to show.

#include "app/message_boxes.h"

#include <QList>

namespace glimmerby {

struct ShownBox {
    QString text;
    QString title;
    BoxIcon icon;
};

class RecordingBoxes : public MessageBoxes {
  public:
    void show(const QString &text, const QString &title, BoxIcon icon) override {
        shown.append({text, title, icon});
    }
    QList<ShownBox> shown;
};

} // namespace glimmerby
