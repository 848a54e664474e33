#pragma once
// The one owner of the running program: the shared state, the main window and the
// controllers, wired together. It runs start-up, the main window's load sequence and
// the shutdown that every way of closing ends in.

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/stale_temporaries.h"
#include "playback/media_player.h"
#include "windows/splash.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

namespace glimmerby {

class SingleInstance;
class InputBoxes;
class FileDialogs;
class TogglesController;
class Help;
class StatusLine;
class Trash;
class RunningLock;

struct StartOptions {
    QString appDir;        // the program's directory; empty: the executable's
    QString configHome;    // where settings go when appDir is read-only; empty: XDG
    QString lockDir;       // where the single-instance lock lives; empty: beside the settings
    QString homeTrash;     // the home trash; empty: $XDG_DATA_HOME/Trash
    PlayerOptions players; // audio/video outputs of the three players
};

class Application : public QObject {
    Q_OBJECT
  public:
    Application(MessageBoxes &boxes, const StartOptions &options = {});
    ~Application() override;

    // Start-up: refuses a second instance (false), settles the directories, reads the
    // start-up settings and loads and shows the main window with the command line.
    bool Main(const QString &commandLine);

    AppState &state() { return m_state; }
    Form1 *form() { return m_form.get(); }
    AppContext *context() { return m_ctx.get(); }

    // Runs the shutdown once: scratch files removed, settings saved, help closed.
    void shutdown();
    bool hasShutDown() const { return m_shutDown; }
    // The system asks the program to end (a termination signal), at any moment of the
    // run, start-up included: a start under the splash window loads the main window first,
    // the shutdown runs once (saving what the load has set so far), questions still open
    // are closed, and the window closes or is never shown.
    void requestTermination();

    // The splash window while it covers start-up; null otherwise.
    Splash *splash() const { return m_splash; }
    // The about window while it is open; null otherwise.
    Splash *aboutWindow() const { return m_about; }
    Help *help() const { return m_help.get(); }
    // Minimises the main window and shows the splash window as the about window.
    void ShowAboutWindow();

  signals:
    void mainWindowCreated(QWidget *window);

  private:
    void createWindow();
    void Form_Load(const QString &commandLine);
    void LoadSettings();
    void SaveSettings();
    void openCommandLine(const QString &commandLine);
    void endAfterTermination();
    void loadMainWindow(const QString &commandLine);
    void startSplash(const QString &commandLine);
    void Splash_Timer1();
    void finishHandOver();
    void advanceSplash(int units);

    MessageBoxes &m_boxes;
    StartOptions m_options;
    AppState m_state;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<Trash> m_trash;
    std::unique_ptr<RunningLock> m_running;
    qint64 m_startedNs = NowNs();
    bool m_ownsJournal = false;           // this process holds the lock: it keeps the journal
    QString m_recoveryText;               // what the start finished of a command cut short
    std::unique_ptr<InputBoxes> m_inputs; // the input boxes of the windows
    std::unique_ptr<FileDialogs> m_fileDialogs;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<AppContext> m_ctx;
    std::unique_ptr<IJL> m_codec;
    std::unique_ptr<StatusLine> m_status; // not a QObject: no parent deletes it
    TogglesController *m_toggles = nullptr;
    bool m_shutDown = false;
    bool m_terminating = false;
    QString m_settingsSource; // the file the settings are read from (see settingsSourceFor)
    std::unique_ptr<Help> m_help;
    QPointer<Splash> m_splash;
    QPointer<Splash> m_about;
    QString m_commandLine;      // for the main window loaded by the splash window
    bool m_loading = false;     // the main window's load sequence is running
    bool m_handOverDue = false; // the splash was closed during the load
};

} // namespace glimmerby
