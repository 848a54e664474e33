#pragma once
// The window's key command table. Keys reach it from the file list, the focus field and
// the movie player, and from the window itself while no control has the focus.

#include <QObject>
#include <QString>
#include <QStringList>

namespace glimmerby {

struct AppContext;
class CoverScreen;

class KeyCommands : public QObject {
    Q_OBJECT
  public:
    explicit KeyCommands(AppContext &ctx);

    // Carries out at most one command for the key. False (the key is left to the control
    // that has it) only while another command or a batch runs; true otherwise. Tab and
    // Shift+Tab move the focus and Shift+F10 and the Menu key open the file menu, before
    // the table, which would take every key.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers shift);

    // The cover screen Esc brings up.
    CoverScreen *coverScreen() const { return m_cover; }

    // The volume controls V starts, the first one found on PATH.
    static const QList<QStringList> &mixers();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    bool windowKey(int key, Qt::KeyboardModifiers shift);
    void command(int key, Qt::KeyboardModifiers shift);
    void applyTimerRule();
    void playSelected();
    void showCoverScreen();
    void spaceKey();
    void seek(double seconds);
    void deleteKey();
    void musicKey(int key);
    void toggleSlideShow();
    void refreshKey();
    void toggleControls();
    void clipboardKey(const QString &word);
    void startMixer();
    QString firstSelectedName() const;

    AppContext &m_ctx;
    CoverScreen *m_cover = nullptr;
    bool m_lastKeyRepeated = false; // the key being handled is an auto-repeat
};

} // namespace glimmerby
