#include "playback/media_player.h"

namespace glimmerby {

MediaPlayer::MediaPlayer(Role role, QWidget *parent, const PlayerOptions &options)
    : QWidget(parent), m_role(role), m_options(options) {}
MediaPlayer::~MediaPlayer() = default;
void MediaPlayer::setFileName(const QString &path) { m_fileName = path; }
void MediaPlayer::Play() {}
void MediaPlayer::Stop() {}
void MediaPlayer::Pause() {}
double MediaPlayer::CurrentPosition() const { return 0; }
void MediaPlayer::setCurrentPosition(double) {}
void MediaPlayer::setMute(bool mute) { m_muted = mute; }
void MediaPlayer::setDisplaySize(int size) { m_displaySize = size; }
void MediaPlayer::setControlsVisible(bool visible) { m_controlsVisible = visible; }

} // namespace glimmerby
