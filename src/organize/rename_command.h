#pragma once
// "ReName File": the first selected file gets a new base name in its own directory; its
// extension stays.

#include <QObject>

namespace glimmerby {

struct AppContext;

class RenameCommand : public QObject {
    Q_OBJECT
  public:
    explicit RenameCommand(AppContext &ctx);
    void ReName();

  private:
    AppContext &m_ctx;
};

} // namespace glimmerby
