#include "playback/playback_controller.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "playback/control_bar.h"
#include "playback/slide_show.h"
#include "windows/form1.h"

#include <QApplication>

namespace glimmerby {

namespace {

constexpr int duckedVolume = 25;         // percent of the music's volume under a movie
constexpr int duckWatchIntervalMs = 200; // how often the movie player's sound is checked

} // namespace

PlaybackController::PlaybackController(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    Form1 &f = ctx.form;
    connect(f.MediaPlayer1, &MediaPlayer::EndOfStream, this, &PlaybackController::onMusicEnd);
    connect(f.MediaPlayer1, &MediaPlayer::NewStream, this, [this] { m_musicFailures = 0; });
    connect(f.MediaPlayer1, &MediaPlayer::OpenFailed, this, [this] {
        // Opening the next track from inside the failed one's report would nest one
        // failure in the next; take it up once the report is over.
        QTimer::singleShot(0, this, [this, opening = m_musicOpening] {
            if (opening == m_musicOpening)
                onMusicFailed();
        });
    });
    connect(f.MediaPlayer2, &MediaPlayer::EndOfStream, this, &PlaybackController::onMovieEnd);
    connect(f.MediaPlayer2, &MediaPlayer::NewStream, this, &PlaybackController::onMovieNewStream);
    connect(f.MediaPlayer2, &MediaPlayer::GotFocus, this, &PlaybackController::onMovieGotFocus);
    connect(f.MP, &MediaPlayer::EndOfStream, this, &PlaybackController::onSoundEnd);

    // The movie player's own mute button is the same switch as the toolbar's.
    if (auto *bar = qobject_cast<ControlBar *>(f.MediaPlayer2->controlBar())) {
        disconnect(bar, &ControlBar::muteClicked, f.MediaPlayer2, nullptr);
        connect(bar, &ControlBar::muteClicked, this, [this] { ToggleMute(); });
    }

    m_duckWatch.setInterval(duckWatchIntervalMs);
    connect(&m_duckWatch, &QTimer::timeout, this, &PlaybackController::updateDucking);
    m_duckWatch.start();
}

QString PlaybackController::musicPath() const {
    const FileListBox *list = m_ctx.form.File2;
    QString dir = list->path();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir + list->item(list->listIndex());
}

void PlaybackController::playCurrentTrack() {
    MediaPlayer *music = m_ctx.form.MediaPlayer1;
    ++m_musicOpening;
    music->setFileName(musicPath());
    music->Play();
    updateDucking();
}

void PlaybackController::playFirstTrack() {
    FileListBox *list = m_ctx.form.File2;
    m_musicFailures = 0;
    if (list->listCount() == 0)
        return; // nothing to play: never the directory itself
    list->setListIndex(0);
    playCurrentTrack();
}

void PlaybackController::playNextTrack() {
    FileListBox *list = m_ctx.form.File2;
    const int count = list->listCount();
    if (count == 0)
        return;
    const int index = list->listIndex();
    list->setListIndex(index + 1 > count - 1 ? 0 : index + 1);
    playCurrentTrack();
}

void PlaybackController::StartMusic() {
    m_ctx.form.toolbarButton(QStringLiteral("play"))->setChecked(true);
    playFirstTrack();
}

void PlaybackController::startMusicFromButton() {
    playFirstTrack();
}

void PlaybackController::StopMusic() {
    m_ctx.form.toolbarButton(QStringLiteral("play"))->setChecked(false);
    pauseMusic();
}

void PlaybackController::pauseMusic() {
    ++m_musicOpening; // a failure still on its way no longer moves the music on
    m_ctx.form.MediaPlayer1->Pause();
}

void PlaybackController::NextMusicTrack() {
    Form1 &f = m_ctx.form;
    f.MediaPlayer2->releaseFile();
    m_musicFailures = 0;
    playNextTrack();
}

void PlaybackController::ToggleMute() {
    setMute(m_ctx.state.MuteState != 1);
}

void PlaybackController::setMute(bool mute) {
    m_ctx.state.MuteState = mute ? 1 : 0;
    m_ctx.form.MediaPlayer2->setMute(mute);
    m_ctx.form.toolbarButton(QStringLiteral("mute"))->setChecked(mute);
    updateDucking();
}

void PlaybackController::onMusicEnd() {
    playNextTrack(); // the "play" button is not consulted
}

void PlaybackController::onMusicFailed() {
    // A damaged or vanished track is skipped; a whole round of them in a row ends the music.
    const int count = m_ctx.form.File2->listCount();
    if (count == 0 || ++m_musicFailures >= count)
        return;
    playNextTrack();
}

void PlaybackController::focusKeyField() {
    // Keys typed into a field must stay there: as commands, Delete would delete files.
    Form1 &f = m_ctx.form;
    QWidget *focus = QApplication::focusWidget();
    if (focus && (focus == f.Text2 || focus == f.T[0] ||
                  std::find(f.MT.begin(), f.MT.end(), focus) != f.MT.end()))
        return;
    f.Text1->setFocus();
}

void PlaybackController::onMovieEnd() {
    AppState &s = m_ctx.state;
    if (s.SlideShowOn != 1)
        m_ctx.form.MediaPlayer2->releaseFile();
    else if (!m_ctx.slideShow->advanceAfterEnd())
        return;
    focusKeyField();
    m_ctx.slideShow->applyTimerRule();
    updateDucking();
}

void PlaybackController::onSoundEnd() {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    // Once another file is shown the sound plays on hidden; its end is no longer news.
    if (f.MP->fileName() != s.CurrentFile)
        return;
    if (s.SlideShowOn != 1)
        f.MediaPlayer2->releaseFile();
    else if (!m_ctx.slideShow->advanceAfterEnd())
        return;
    m_ctx.slideShow->applyTimerRule();
}

void PlaybackController::onMovieNewStream() {
    Form1 &f = m_ctx.form;
    f.MediaPlayer2->setMute(m_ctx.state.MuteState == 1);
    f.Timer1->stop();
    updateDucking();
}

void PlaybackController::onMovieGotFocus() {
    Form1 &f = m_ctx.form;
    const QSize size(f.ScaleWidth() - 150, f.ScaleHeight() - 65);
    if (size.width() > 0 && size.height() > 0)
        f.MediaPlayer2->resize(size);
    m_ctx.browser->closingCall();
}

void PlaybackController::updateDucking() {
    const MediaPlayer *movie = m_ctx.form.MediaPlayer2;
    const int volume = movie->isPlaying() && !movie->isMuted() ? duckedVolume : 100;
    if (volume == m_musicVolume)
        return;
    m_musicVolume = volume;
    m_ctx.form.MediaPlayer1->setVolume(volume);
}

} // namespace glimmerby
