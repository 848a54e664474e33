#pragma once
// The small options window that settles a name clash, asks what to do with a picture, or
// lets the user choose (and make) the copy/move destination directory. It is made for one
// question and closed by the first answer; its owner configures it for the question and
// reads the answer afterwards.

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include <array>
#include <functional>

namespace glimmerby {

class DriveListBox;
class DirListBox;
class PictureBox;
class ImageControl;

class DialogBox : public QDialog {
    Q_OBJECT
  public:
    // mainWindow is restored when the dialog closes while it is minimized.
    explicit DialogBox(QWidget *mainWindow = nullptr);

    std::array<QPushButton *, 6> C{}; // the answers; the index is the answer
    QPushButton *Command1 = nullptr;  // "MkDir"
    DriveListBox *Drive1 = nullptr;
    DirListBox *Dir1 = nullptr;
    QLabel *Label2 = nullptr;       // one line: the file or path asked about
    QLabel *Label1 = nullptr;       // the message, several lines
    PictureBox *Picture1 = nullptr; // a surface over the whole inner area
    ImageControl *Image1 = nullptr; // the question sign

    // Sets a button's caption (and the name it is announced by).
    void setButtonCaption(int index, const QString &caption);
    // Gives the dialog a height in twips at the screen's resolution and a width that
    // holds the controls shown.
    void setHeightTwips(int twips);
    static constexpr int DesignHeight = 2600; // twips
    static constexpr int DesignWidth = 8400;

    // The (existing) directory the lists show when the dialog comes up.
    void setStartDirectory(const QString &dir) { m_startDirectory = dir; }
    // What "MkDir" does with the directory list's path (ending in "/"): its owner asks for
    // and makes the new directory, answering true when one was made.
    std::function<bool(const QString &parent)> makeDirectory;
    // The answer of a dialog closed by its window frame, without a choice.
    void setClosedAnswer(const QString &answer) { m_closedAnswer = answer; }

    // After the dialog closed: the button index as text, "4" for Escape, or the closed
    // answer. Empty while it is open.
    QString choice() const { return m_choice; }
    // True when a button closed the dialog; chosenDir() is then the directory list's path
    // ending in "/".
    bool buttonPressed() const { return m_buttonPressed; }
    QString chosenDir() const { return m_chosenDir; }

    // The dialog's events, public so that the owner and tests can run them.
    void Form_Activate();
    void Drive1_Change(const QString &root);
    void C_Click(int index);
    void Command1_Click();

    void done(int result) override;

  protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

  signals:
    // "MkDir" made this directory.
    void directoryMade(const QString &dir);

  private:
    void answer(const QString &choice);

    QWidget *m_mainWindow = nullptr;
    QString m_startDirectory;
    QString m_closedAnswer = QStringLiteral("4");
    QString m_choice;
    QString m_chosenDir;
    bool m_buttonPressed = false;
    bool m_activated = false;
};

// A directory path as the program keeps it: ending in "/" (empty stays empty).
QString withTrailingSlash(const QString &dir);

} // namespace glimmerby
