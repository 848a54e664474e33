#pragma once
// The embedded media player: one class for the large movie player, the small sound
// player and the hidden background-music player.

#include <QString>
#include <QWidget>

namespace glimmerby {

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
    // renamed or deleted at once.
    void setFileName(const QString &path);
    QString fileName() const { return m_fileName; }

    void Play();  // starts or resumes the loaded file
    void Stop();  // stops playing
    void Pause(); // pauses
    double CurrentPosition() const;
    void setCurrentPosition(double seconds);
    void setMute(bool mute);
    bool isMuted() const { return m_muted; }
    void setDisplaySize(int size); // 4: fitted to the player's area, 3: full screen
    int displaySize() const { return m_displaySize; }
    void setControlsVisible(bool visible); // all four control-bar flags at once
    bool controlsVisible() const { return m_controlsVisible; }

signals:
    void EndOfStream(); // the loaded file played to its end
    void NewStream();   // a newly opened file begins playing
    void KeyDown(int key, Qt::KeyboardModifiers shift);
    void GotFocus();

private:
    Role m_role;
    PlayerOptions m_options;
    QString m_fileName;
    bool m_muted = false;
    int m_displaySize = 4;
    bool m_controlsVisible = true;
};

} // namespace glimmerby
