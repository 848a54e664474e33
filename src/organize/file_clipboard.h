#pragma once
// The program's own file clipboard: cut and copy remember the selected files, paste moves
// or copies them into a directory the user confirms, settling name clashes on the way.

#include <QObject>
#include <QString>

namespace glimmerby {

struct AppContext;

class FileClipboard : public QObject {
    Q_OBJECT
  public:
    explicit FileClipboard(AppContext &ctx);

    // XCV: "X" cut, "C" copy, "V" paste; any other word only ends the command (the list is
    // refreshed and the first selected file selected).
    void Set_XCV(QString &XCV);

  private:
    void remember(const QString &op);
    void paste();
    void step(const QString &text);
    void end();

    AppContext &m_ctx;
    QString m_aboveName; // the entry above the first selected one when the command began
    QString m_ownName;   // the first selected entry
    QString m_report;    // what panel 4 says when the paste is over
};

} // namespace glimmerby
