#pragma once
// Message boxes that nobody reads: the fuzzers only look for crashes and bad memory use.

#include "app/message_boxes.h"

namespace glimmerby {

class QuietBoxes : public MessageBoxes {
  public:
    void show(const QString &, const QString &, BoxIcon) override {}
};

} // namespace glimmerby
