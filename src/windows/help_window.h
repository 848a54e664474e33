#pragma once
// The program's help: the user guide "GLIMMERBY.HLP" (HTML) shown in a window of its own,
// "Glimmerby Help". The file lies beside the executable in the build tree and in the
// installed share directory otherwise.

#include <QPointer>
#include <QString>

#include <QTextBrowser>

namespace glimmerby {

inline const QString HelpFileName = QStringLiteral("GLIMMERBY.HLP");
inline const QString HelpWindowTitle = QStringLiteral("Glimmerby Help");

// The help file for a program directory: appDir + "GLIMMERBY.HLP" when it exists, else
// the installed one reached from appDir; empty when there is none.
QString findHelpFile(const QString &appDir);

class Help {
  public:
    Help() = default;
    ~Help();
    Help(const Help &) = delete;
    Help &operator=(const Help &) = delete;

    // Keeps the main window and finds the help file.
    void InitHelp(QWidget &mainWindow, const QString &appDir);
    // Opens the help window, or raises the one that is open; without a file, nothing.
    void ShowHelp();
    // Closes the help window if it is open.
    void CloseHelp();

    QString helpFile() const { return m_file; }
    QTextBrowser *window() const { return m_window; }

  private:
    QWidget *m_main = nullptr;
    QString m_file;
    QPointer<QTextBrowser> m_window;
};

} // namespace glimmerby
