#pragma once
// Commands on the files of the list: deleting the selected files and opening the current
// picture in the external editor.

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace glimmerby {

struct AppContext;
class MessageBoxes;

// The box of a command whose file or editor program is not there: "File Error: Check Path
// to PSP in Glimmerby.INI file or Refresh the FileList".
void ShowFileError(MessageBoxes &boxes);

class FileCommands : public QObject {
    Q_OBJECT
  public:
    explicit FileCommands(AppContext &ctx);

    // Deletes every selected file of the list without asking, then selects a neighbour.
    void DeleteSelectedFiles();
    // The same for the given rows of the list only.
    void deleteRows(const QList<int> &rows);
    // Starts the editor on CurrentFile, detached; a missing editor or file is reported.
    void OpenInEditor();

    // How external programs are started; tests watch the calls instead.
    std::function<bool(const QString &program, const QStringList &arguments)> startDetached;

  private:
    // Puts each file into the trash (or, on a volume without one, deletes it); panel 4
    // then says what went for good and what stayed.
    void removeFiles(const QStringList &paths);
    void showReport();
    AppContext &m_ctx;
    QString m_lastReport; // what the last delete could not put into the trash
};

} // namespace glimmerby
