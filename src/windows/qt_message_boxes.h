#pragma once
// Real, modal message boxes.

#include "app/message_boxes.h"

class QWidget;

namespace glimmerby {

class QtMessageBoxes : public MessageBoxes {
  public:
    void show(const QString &text, const QString &title, BoxIcon icon = BoxIcon::None) override;
    QWidget *parent = nullptr; // the window the boxes belong to, once there is one
};

} // namespace glimmerby
