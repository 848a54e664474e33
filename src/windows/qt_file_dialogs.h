#pragma once
// Real, modal file dialogs: Qt's own dialog, the same on every desktop.

#include "app/file_dialogs.h"

#include <functional>

class QFileDialog;
class QWidget;

namespace glimmerby {

class QtFileDialogs : public FileDialogs {
  public:
    QString openFile(const FileRequest &request) override;
    QString saveFile(const FileRequest &request) override;
    QWidget *parent = nullptr; // the window the dialogs belong to, once there is one
    // Called once a dialog is on the screen and waiting; tests answer it from here.
    std::function<void(QFileDialog &)> onShown;

  private:
    QString run(const FileRequest &request, bool save);
};

} // namespace glimmerby
