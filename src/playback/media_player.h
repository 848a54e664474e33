#pragma once
// The embedded media player: one class for the large movie player, the small sound
// player and the hidden background-music player.

#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

class QOpenGLWidget;
class QVBoxLayout;

namespace glimmerby {

class ControlBar;
class FullScreenWindow;
class MidiEngine;
class MpvEngine;
class PlaybackEngine;
class VideoView;

struct PlayerOptions {
    QString audioOutput; // empty: the system's default output (falls back to none)
    QString videoOutput; // empty: render into the window
};

class MediaPlayer : public QWidget {
    Q_OBJECT
  public:
    enum class Role {
        Movie, // video inside the window, with a control bar
        Sound, // a compact strip of controls, audio only
        Music  // hidden, audio only
    };

    explicit MediaPlayer(Role role, QWidget *parent = nullptr, const PlayerOptions &options = {});
    ~MediaPlayer() override;

    Role role() const { return m_role; }

    // Opens the file; "" closes it and releases the file so that it can be moved,
    // renamed or deleted at once. A file that cannot be opened plays nothing and
    // reports nothing but OpenFailed.
    void setFileName(const QString &path);
    QString fileName() const { return m_fileName; }
    // Stops the player and closes its file, so that the file can be moved, renamed or
    // deleted at once.
    void releaseFile() { setFileName(QString()); }

    void Play();  // starts or resumes the loaded file; after its end, plays it again
    void Stop();  // stops playing and goes back to the start
    void Pause(); // pauses
    double CurrentPosition() const;
    void setCurrentPosition(double seconds);
    void setMute(bool mute);
    bool isMuted() const { return m_muted; }
    void setVolume(int percent); // 0 to 100, apart from mute
    int volume() const { return m_volume; }
    void setDisplaySize(int size); // 4: fitted to the player's area, 3: full screen
    int displaySize() const { return m_displaySize; }
    void setControlsVisible(bool visible); // all four control-bar flags at once
    bool controlsVisible() const { return m_controlsVisible; }

    bool isPlaying() const;
    double duration() const;   // seconds; 0 until the file is open
    bool hasFile() const;      // a file is open (or opening) in the decoder
    bool decoderMuted() const; // the mute state the decoder itself reports

    // For the window and its tests: the movie picture (Movie role with a picture,
    // else null), the control bar, and the full-screen window while there is one.
    QOpenGLWidget *videoWidget() const;
    QWidget *controlBar() const;
    // The control bar's controls, left to right, in the order Tab reaches them.
    QList<QWidget *> controls() const;
    QWidget *fullScreenWindow() const;

  signals:
    void EndOfStream(); // the loaded file played to its end
    void NewStream();   // a newly opened file begins playing
    void KeyDown(int key, Qt::KeyboardModifiers shift);
    void GotFocus();
    void OpenFailed(); // the loaded file could not be played

  protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

  private:
    Role m_role;
    PlayerOptions m_options;
    QString m_fileName;
    bool m_muted = false;
    int m_volume = 100;
    int m_displaySize = 4;
    bool m_controlsVisible = true;

    // Each decoder is made when it is first needed: a start that shows a picture pays
    // for none of them.
    std::unique_ptr<MpvEngine> m_mpv;
    std::unique_ptr<MidiEngine> m_midi;
    PlaybackEngine *m_active = nullptr;
    QVBoxLayout *m_layout = nullptr;
    VideoView *m_video = nullptr;
    QWidget *m_picture = nullptr; // the video view, or a black area when none is drawn
    ControlBar *m_controls = nullptr;
    FullScreenWindow *m_fullScreen = nullptr;
    QTimer m_refresh;

    // A file opened in the movie player before its picture can be drawn waits here, with
    // what was asked of it meanwhile, and opens once the picture's surface exists.
    struct Waiting {
        bool active = false;
        bool play = false;
        double position = 0;
    } m_waiting;

    void connectEngine(PlaybackEngine *engine);
    MpvEngine *mpvEngine();
    MidiEngine *midiEngine();
    bool drawsPicture() const;
    void makeVideoView();
    void openWaitingFile();
    void refreshControls();
    void togglePlay();
    void enterFullScreen();
    void leaveFullScreen();
};

} // namespace glimmerby
