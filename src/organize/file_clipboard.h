#pragma once
// The program's own file clipboard: cut and copy remember the selected files, paste moves
// or copies them into a directory the user confirms, settling name clashes on the way.

#include <QObject>
#include <QString>

namespace glimmerby {

struct AppContext;
class DurableMoves;

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
    // One remembered file into PasteDir under name; false when the user cancelled.
    bool transfer(const QString &source, QString name, bool cut, DurableMoves &moves);
    void step(const QString &text);
    void passOver(int error);
    void end();

    AppContext &m_ctx;
    QString m_aboveName; // the entry above the first selected one when the command began
    QString m_ownName;   // the first selected entry
    int m_passedOver = 0;
    int m_replacedForGood = 0; // overwrites on a volume without a trash
    QString m_firstReason;
};

} // namespace glimmerby
