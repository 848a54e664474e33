#pragma once
// The one way the program asks the user for a file path. The windows use Qt's own file
// dialog; tests give the answers themselves.

#include <QString>
#include <QStringList>

namespace glimmerby {

struct FileRequest {
    QString title;
    QString directory;       // where the dialog starts (an existing directory)
    QString fileName;        // the name proposed
    QStringList nameFilters; // Qt name filters, "Movies (*.avi *.mpg)"
    int filterIndex = 0;     // the filter chosen at the start
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // An open-existing-file dialog; the chosen path, or an empty string on cancel.
    virtual QString openFile(const FileRequest &request) = 0;
    // A save-kind dialog that never asks about overwriting; the confirmed path, or an
    // empty string on cancel.
    virtual QString saveFile(const FileRequest &request) = 0;
};

} // namespace glimmerby
