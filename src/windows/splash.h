#pragma once
// The splash window: shown while the main window loads, with a progress bar, and again
// as the about window with "Close" and "Help". Its load fills the name and version line,
// the notes text and the version labels; the timers' hand-over is driven by the owner.

#include <QDateTime>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <array>

namespace glimmerby {

// "GLIMMERBY  1.0.0": the executable's file name in capitals, two blanks, the version.
QString splashTitleLine(const QString &executablePath);
// The four lines of the notes text, each ended by CR LF.
QString splashNotes();
// L(0) to L(5): prefix and value; "Compiled: " is the executable's modification time.
std::array<QString, 6> versionLines(const QString &executablePath);

class Splash : public QWidget {
    Q_OBJECT
  public:
    explicit Splash(QWidget *parent = nullptr);

    QLabel *Label1;
    QPlainTextEdit *Text1;
    std::array<QLabel *, 6> L;
    QProgressBar *SPB;
    QTimer *Timer1;        // hand-over to the main window
    QTimer *Timer2;        // progress ticks
    QPushButton *Command1; // "Close"
    QPushButton *Command2; // "Help"

    int tickCount = 0; // Timer1's ticks since the window was loaded
    int elapsed = 0;   // milliseconds counted by Timer2

    // The about window's look: no timers, no progress bar, the two buttons.
    void useAsAbout();

  signals:
    void closing(); // the window is being closed (by "Close", its frame or the program)

  protected:
    void closeEvent(QCloseEvent *e) override;

  private:
    void Timer2_Timer();
};

} // namespace glimmerby
