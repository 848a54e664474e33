#include "playback/control_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <cmath>

namespace glimmerby {

namespace {

// Slider steps per second.
constexpr int sliderScale = 10;

QString clockText(double seconds, bool withHours) {
    const qint64 total = qint64(std::max(0.0, std::floor(seconds)));
    const qint64 h = total / 3600, m = (total / 60) % 60, s = total % 60;
    if (withHours)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QChar('0'))
            .arg(s, 2, 10, QChar('0'));
    return QStringLiteral("%1:%2").arg(total / 60).arg(s, 2, 10, QChar('0'));
}

QToolButton *makeButton(QWidget *parent, QStyle::StandardPixmap icon, const QString &tip) {
    auto *button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    // Tab reaches it; a click leaves the keys with the player, which passes them on to
    // the window. Keys a button does not use go up to the player as well.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

ControlBar::ControlBar(QWidget *parent) : QWidget(parent) {
    m_playPause = makeButton(this, QStyle::SP_MediaPlay, tr("Play"));
    m_stop = makeButton(this, QStyle::SP_MediaStop, tr("Stop"));
    m_mute = makeButton(this, QStyle::SP_MediaVolume, tr("Mute"));
    m_mute->setCheckable(true);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setAccessibleName(tr("Position"));
    m_slider->setFocusPolicy(Qt::TabFocus);
    m_slider->setRange(0, 0);
    m_slider->setSingleStep(2 * sliderScale); // the arrow keys step as the window's keys do
    m_time = new QLabel(timeText(0, 0), this);
    // The time shown is the label's accessible name; its role is the description.
    m_time->setAccessibleDescription(tr("Position and length"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    layout->addWidget(m_playPause);
    layout->addWidget(m_stop);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_time);
    layout->addWidget(m_mute);

    connect(m_playPause, &QToolButton::clicked, this, &ControlBar::playPauseClicked);
    connect(m_stop, &QToolButton::clicked, this, &ControlBar::stopClicked);
    connect(m_mute, &QToolButton::clicked, this, &ControlBar::muteClicked);
    connect(m_slider, &QSlider::sliderReleased, this,
            [this] { emit seekRequested(double(m_slider->value()) / sliderScale); });
    connect(m_slider, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks on the groove and keys seek at once; dragging seeks on release.
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            emit seekRequested(double(m_slider->sliderPosition()) / sliderScale);
    });
}

void ControlBar::showState(double position, double duration, bool playing) {
    if (playing != m_playing) {
        m_playing = playing;
        m_playPause->setIcon(
            style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
        m_playPause->setToolTip(playing ? tr("Pause") : tr("Play"));
        m_playPause->setAccessibleName(m_playPause->toolTip());
    }
    if (!m_slider->isSliderDown()) {
        m_slider->setRange(0, int(std::max(0.0, duration) * sliderScale));
        m_slider->setPageStep(std::max(1, m_slider->maximum() / 10));
        m_slider->setValue(int(position * sliderScale));
    }
    m_time->setText(timeText(position, duration));
}

QList<QWidget *> ControlBar::controls() const {
    return {m_playPause, m_stop, m_slider, m_mute};
}

void ControlBar::showMuted(bool muted) {
    m_mute->setChecked(muted);
    m_mute->setIcon(
        style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
}

QString ControlBar::timeText(double position, double duration) {
    const bool hours = duration >= 3600 || position >= 3600;
    return clockText(position, hours) + QStringLiteral(" / ") + clockText(duration, hours);
}

} // namespace glimmerby
