#pragma once
// The window's key commands. Keys reach them from the file list, the focus field and
// the movie player as well as from the window itself.

#include <QObject>

namespace glimmerby {

struct AppContext;

class KeyCommands : public QObject {
    Q_OBJECT
  public:
    explicit KeyCommands(AppContext &ctx);
    // Carries out at most one command for the key; true when one was carried out.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers shift);

  private:
    AppContext &m_ctx;
};

} // namespace glimmerby
