#pragma once
// Places a top-level window in the middle of the screen it is on.

class QWidget;

namespace glimmerby {

void CenterWindow(QWidget &window);

} // namespace glimmerby
