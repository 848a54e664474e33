#pragma once
// Background music, the mute switch and what the three players' notifications do.
// The routines are public for the toolbar and the key commands.

#include <QObject>
#include <QTimer>

namespace glimmerby {

struct AppContext;

class PlaybackController : public QObject {
    Q_OBJECT
  public:
    explicit PlaybackController(AppContext &ctx);

    // "play" pressed, then the directory's first sound plays.
    void StartMusic();
    // "play" released, the music paused; its file stays loaded.
    void StopMusic();
    // Releases the movie player, then the next sound of the directory plays.
    void NextMusicTrack();
    // Flips MuteState, the movie player's mute and the "mute" button.
    void ToggleMute();

    // The toolbar's variants: "play" leaves its button as the click left it.
    void startMusicFromButton();
    void pauseMusic();
    void setMute(bool mute);

    // The music's volume in percent: 25 while the movie player sounds, else 100.
    int musicVolume() const { return m_musicVolume; }

  private:
    void playFirstTrack();
    void playNextTrack();
    void playCurrentTrack();
    QString musicPath() const;

    void onMusicEnd();
    void onMusicFailed();
    void onMovieEnd();
    void onMovieNewStream();
    void onMovieGotFocus();
    void onSoundEnd();
    void focusKeyField();
    void updateDucking();

    AppContext &m_ctx;
    int m_musicFailures = 0;    // tracks in a row that could not be played
    quint64 m_musicOpening = 0; // counts the tracks opened, so late failures are told apart
    int m_musicVolume = 100;
    QTimer m_duckWatch;
};

} // namespace glimmerby
