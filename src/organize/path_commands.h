#pragma once
// The commands that choose paths: the copy/move destination, a new directory beside the
// ones listed, the external editor's program file, and the directory a paste goes to.

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace glimmerby {

struct AppContext;

class PathCommands : public QObject {
    Q_OBJECT
  public:
    explicit PathCommands(AppContext &ctx);

    // "Set Dest Path" and "Set Path / MkDir": the directory question; "Set Dir" makes the
    // chosen directory the destination.
    void SetDestPath();
    // "Make Dir Here": one new directory inside the listed one, which becomes the
    // destination. A failure is reported and the destination stays.
    void MakeDir_Click();
    // "Set PSP Path": the editor's program file, chosen in a file dialog.
    void setpsppath();
    // Asks for a file path in a dialog starting at the given path's directory (or its
    // nearest existing ancestor), proposing its base name, with the filters of the
    // file-kind box. The directory of the confirmed path ending in "/"; nothing on cancel.
    std::optional<QString> RequestNewPath(const QString &CurrentPathAndFile);

  private:
    void setDestination(const QString &dir);

    AppContext &m_ctx;
    QStringList m_lastFilters; // the paste dialog keeps them for an entry without its own
};

} // namespace glimmerby
