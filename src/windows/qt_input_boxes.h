#pragma once
// Real, modal input boxes.

#include "app/input_boxes.h"

class QWidget;

namespace glimmerby {

class QtInputBoxes : public InputBoxes {
  public:
    QString ask(const QString &prompt, const QString &title, const QString &defaultText) override;
    QWidget *parent = nullptr; // the window the boxes belong to, once there is one
};

} // namespace glimmerby
