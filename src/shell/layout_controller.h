#pragma once
// Keeps the main window usable at any size: the minimum size and the elements that
// follow the right and bottom edges.

#include <QObject>

namespace glimmerby {

struct AppContext;

class LayoutController : public QObject {
    Q_OBJECT
  public:
    explicit LayoutController(AppContext &ctx);
    void Form_Resize();

  private:
    AppContext &m_ctx;
};

} // namespace glimmerby
