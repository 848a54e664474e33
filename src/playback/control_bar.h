#pragma once
// The player's own controls: play/pause, stop, a seek slider with position and
// length, and mute. It shows what it is told and reports what the user asks for.

#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

namespace glimmerby {

class ControlBar : public QWidget {
    Q_OBJECT
  public:
    explicit ControlBar(QWidget *parent = nullptr);

    void showState(double position, double duration, bool playing);
    void showMuted(bool muted);
    QList<QWidget *> controls() const; // left to right

    // "m:ss / m:ss", or with hours when the length needs them.
    static QString timeText(double position, double duration);

  signals:
    void playPauseClicked();
    void stopClicked();
    void seekRequested(double seconds);
    void muteClicked(bool mute);

  private:
    QToolButton *m_playPause;
    QToolButton *m_stop;
    QSlider *m_slider;
    QLabel *m_time;
    QToolButton *m_mute;
    bool m_playing = false;
};

} // namespace glimmerby
