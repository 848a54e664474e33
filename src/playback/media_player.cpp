#include "playback/media_player.h"

#include "app/file_ops.h"
#include "playback/control_bar.h"
#include "playback/full_screen_window.h"
#include "playback/midi_engine.h"
#include "playback/mpv_engine.h"
#include "playback/video_view.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace glimmerby {

namespace {

constexpr int refreshIntervalMs = 250;

bool isMidiFile(const QString &path) {
    return path.endsWith(QLatin1String(".mid"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".midi"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".rmi"), Qt::CaseInsensitive);
}

// The render calls draw only for libmpv's own video output.
bool drawsIntoWindow(const PlayerOptions &options) {
    return options.videoOutput.isEmpty() || options.videoOutput == QLatin1String("libmpv");
}

} // namespace

MediaPlayer::MediaPlayer(Role role, QWidget *parent, const PlayerOptions &options)
    : QWidget(parent), m_role(role), m_options(options) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    if (role == Role::Movie) {
        // A black area until the movie picture is first shown: an OpenGL view in the window
        // would load the whole OpenGL stack at start, which a picture does not need.
        m_picture = new QWidget(this);
        QPalette black = m_picture->palette();
        black.setColor(QPalette::Window, Qt::black);
        m_picture->setPalette(black);
        m_picture->setAutoFillBackground(true);
        m_layout->addWidget(m_picture, 1);
    }
    if (role != Role::Music) {
        m_controls = new ControlBar(this);
        m_layout->addWidget(m_controls);
        connect(m_controls, &ControlBar::playPauseClicked, this, &MediaPlayer::togglePlay);
        connect(m_controls, &ControlBar::stopClicked, this, &MediaPlayer::Stop);
        connect(m_controls, &ControlBar::seekRequested, this, &MediaPlayer::setCurrentPosition);
        connect(m_controls, &ControlBar::muteClicked, this, &MediaPlayer::setMute);
        m_refresh.setInterval(refreshIntervalMs);
        connect(&m_refresh, &QTimer::timeout, this, &MediaPlayer::refreshControls);
        m_refresh.start();
        setFocusPolicy(Qt::StrongFocus);
    } else {
        setFocusPolicy(Qt::NoFocus);
        hide();
    }
}

MediaPlayer::~MediaPlayer() {
    m_refresh.stop();
    // The render context goes first, while the GL context it lives in still exists,
    // and before the decoder it belongs to.
    delete m_video;
    m_video = nullptr;
    delete m_fullScreen;
    m_fullScreen = nullptr;
    m_active = nullptr;
    m_midi.reset();
    m_mpv.reset();
}

void MediaPlayer::connectEngine(PlaybackEngine *engine) {
    // Only the engine now in use speaks for the player.
    connect(engine, &PlaybackEngine::started, this, [this, engine] {
        if (engine == m_active)
            emit NewStream();
    });
    connect(engine, &PlaybackEngine::finished, this, [this, engine] {
        if (engine == m_active) {
            refreshControls();
            emit EndOfStream();
        }
    });
    connect(engine, &PlaybackEngine::failed, this, [this, engine] {
        if (engine == m_active)
            emit OpenFailed();
    });
}

MpvEngine *MediaPlayer::mpvEngine() {
    if (!m_mpv) {
        MpvEngine::Config config;
        config.audioOutput = m_options.audioOutput;
        config.videoOutput = m_options.videoOutput;
        config.video = m_role == Role::Movie;
        m_mpv = std::make_unique<MpvEngine>(config);
        m_mpv->setMute(m_muted);
        m_mpv->setVolume(m_volume);
        connectEngine(m_mpv.get());
    }
    return m_mpv.get();
}

bool MediaPlayer::drawsPicture() const {
    return m_role == Role::Movie && drawsIntoWindow(m_options);
}

void MediaPlayer::makeVideoView() {
    if (m_video || !drawsPicture())
        return;
    m_video = new VideoView(mpvEngine(), this);
    connect(m_video, &VideoView::doubleClicked, this,
            [this] { setDisplaySize(m_fullScreen ? 4 : 3); });
    connect(m_video, &VideoView::surfaceReady, this, &MediaPlayer::openWaitingFile);
    QWidget *placeholder = m_picture;
    m_picture = m_video;
    delete m_layout->replaceWidget(placeholder, m_video); // the layout hands its old item over
    delete placeholder;
}

void MediaPlayer::showEvent(QShowEvent *event) {
    makeVideoView();
    QWidget::showEvent(event);
}

void MediaPlayer::openWaitingFile() {
    if (!m_waiting.active)
        return;
    const Waiting asked = m_waiting;
    m_waiting = {};
    m_mpv->load(m_fileName);
    if (asked.position > 0)
        m_mpv->setPosition(asked.position);
    if (asked.play)
        m_mpv->play();
    refreshControls();
}

MidiEngine *MediaPlayer::midiEngine() {
    if (!m_midi) {
        m_midi = std::make_unique<MidiEngine>(m_options.audioOutput);
        m_midi->setMute(m_muted);
        m_midi->setVolume(m_volume);
        connectEngine(m_midi.get());
    }
    return m_midi.get();
}

void MediaPlayer::setFileName(const QString &path) {
    m_waiting = {};
    if (path.isEmpty()) {
        if (m_active)
            m_active->close();
        m_fileName.clear();
        refreshControls();
        if (m_video)
            m_video->update();
        return;
    }
    if (!IsRegularFile(path)) {
        // A FIFO or a device would hold the player's reader for ever: it fails at once,
        // as a missing file does.
        if (m_active)
            m_active->close();
        m_fileName = path;
        refreshControls();
        QTimer::singleShot(0, this, [this, path] {
            if (m_fileName == path)
                emit OpenFailed();
        });
        return;
    }
    PlaybackEngine *engine = isMidiFile(path) ? static_cast<PlaybackEngine *>(midiEngine())
                                              : static_cast<PlaybackEngine *>(mpvEngine());
    if (m_active && m_active != engine)
        m_active->close();
    m_active = engine;
    m_fileName = path;
    if (engine == m_mpv.get() && drawsPicture() && !(m_video && m_video->hasSurface())) {
        // Opened before the picture can be drawn (the window is not on screen yet): libmpv
        // would give up the video, so the file waits for the surface.
        m_mpv->close();
        m_waiting.active = true;
    } else {
        engine->load(path);
    }
    refreshControls();
}

void MediaPlayer::Play() {
    if (m_waiting.active)
        m_waiting.play = true;
    else if (m_active && !m_fileName.isEmpty())
        m_active->play();
    refreshControls();
}

void MediaPlayer::Stop() {
    if (m_waiting.active)
        m_waiting.play = false, m_waiting.position = 0;
    else if (m_active)
        m_active->stop();
    refreshControls();
}

void MediaPlayer::Pause() {
    if (m_waiting.active)
        m_waiting.play = false;
    else if (m_active)
        m_active->pause();
    refreshControls();
}

void MediaPlayer::togglePlay() {
    if (isPlaying())
        Pause();
    else
        Play();
}

double MediaPlayer::CurrentPosition() const {
    if (m_waiting.active)
        return m_waiting.position;
    return m_active ? m_active->position() : 0;
}

void MediaPlayer::setCurrentPosition(double seconds) {
    if (m_waiting.active)
        m_waiting.position = std::max(0.0, seconds);
    else if (m_active)
        m_active->setPosition(seconds);
}

void MediaPlayer::setMute(bool mute) {
    m_muted = mute;
    if (m_mpv)
        m_mpv->setMute(mute);
    if (m_midi)
        m_midi->setMute(mute);
    if (m_controls)
        m_controls->showMuted(mute);
}

void MediaPlayer::setVolume(int percent) {
    m_volume = std::clamp(percent, 0, 100);
    if (m_mpv)
        m_mpv->setVolume(m_volume);
    if (m_midi)
        m_midi->setVolume(m_volume);
}

bool MediaPlayer::isPlaying() const {
    if (m_waiting.active)
        return m_waiting.play;
    return m_active && m_active->isPlaying();
}

double MediaPlayer::duration() const {
    return m_active ? m_active->duration() : 0;
}

bool MediaPlayer::hasFile() const {
    if (m_waiting.active)
        return true;
    return m_active && m_active->hasFile();
}

bool MediaPlayer::decoderMuted() const {
    if (m_active == m_midi.get() && m_midi)
        return m_muted; // FluidSynth is silenced through its gain, which we set
    // A decoder not made yet is given the state when it is made.
    return m_mpv ? m_mpv->decoderMuted() : m_muted;
}

QOpenGLWidget *MediaPlayer::videoWidget() const {
    return m_video;
}

QWidget *MediaPlayer::controlBar() const {
    return m_controls;
}

QList<QWidget *> MediaPlayer::controls() const {
    return m_controls ? m_controls->controls() : QList<QWidget *>();
}

QWidget *MediaPlayer::fullScreenWindow() const {
    return m_fullScreen;
}

void MediaPlayer::setDisplaySize(int size) {
    // Other sizes of the original control are not offered; asking for one changes nothing.
    if (size != 3 && size != 4)
        return;
    m_displaySize = size;
    if (size == 3)
        enterFullScreen();
    else
        leaveFullScreen();
}

void MediaPlayer::enterFullScreen() {
    if (m_role != Role::Movie || !m_picture || m_fullScreen)
        return;
    makeVideoView();
    m_fullScreen = new FullScreenWindow(m_picture);
    m_fullScreen->setWindowTitle(window()->windowTitle());
    connect(m_fullScreen, &FullScreenWindow::leaveRequested, this, [this] { setDisplaySize(4); });
    connect(m_fullScreen, &FullScreenWindow::keyPressed, this, &MediaPlayer::KeyDown);
    // Without a window manager the full-screen state alone does not size the window.
    if (QScreen *screen = window()->screen())
        m_fullScreen->setGeometry(screen->geometry());
    m_fullScreen->showFullScreen();
    m_fullScreen->activateWindow();
    m_fullScreen->setFocus(Qt::OtherFocusReason);
}

void MediaPlayer::leaveFullScreen() {
    if (!m_fullScreen)
        return;
    m_layout->insertWidget(0, m_picture, 1);
    m_picture->show();
    FullScreenWindow *gone = m_fullScreen;
    m_fullScreen = nullptr;
    gone->hide();
    // This may run inside the window's own key or mouse handler.
    gone->deleteLater();
}

void MediaPlayer::setControlsVisible(bool visible) {
    m_controlsVisible = visible;
    if (m_controls)
        m_controls->setVisible(visible);
}

void MediaPlayer::refreshControls() {
    if (!m_controls || !m_controls->isVisible())
        return;
    m_controls->showState(CurrentPosition(), duration(), isPlaying());
}

void MediaPlayer::keyPressEvent(QKeyEvent *event) {
    event->accept();
    emit KeyDown(event->key(), event->modifiers());
}

void MediaPlayer::focusInEvent(QFocusEvent *event) {
    QWidget::focusInEvent(event);
    emit GotFocus();
}

} // namespace glimmerby
