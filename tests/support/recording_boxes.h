#pragma once
// Message boxes that tests read instead of answering on screen.

#include "app/message_boxes.h"

#include <QStringList>

namespace glimmerby {

class RecordingBoxes : public MessageBoxes {
public:
    void show(const QString &text, const QString &title, BoxIcon icon = BoxIcon::None) override {
        texts.append(text);
        titles.append(title);
        icons.append(icon);
    }
    void clear() {
        texts.clear();
        titles.clear();
        icons.clear();
    }
    QStringList texts;
    QStringList titles;
    QList<BoxIcon> icons;
};

} // namespace glimmerby
