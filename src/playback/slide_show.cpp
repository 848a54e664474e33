#include "playback/slide_show.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "browser/media_kinds.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "windows/form1.h"

#include <QLocale>

#include <algorithm>

namespace glimmerby {

SlideShow::SlideShow(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    // A movie that cannot be opened never ends: the show goes on after the interval.
    connect(ctx.form.MediaPlayer2, &MediaPlayer::OpenFailed, this, [this] { applyTimerRule(); });
}

bool SlideShow::held() const {
    return m_ctx.state.BatchBusy != 0;
}

void SlideShow::Tick() {
    Form1 &f = m_ctx.form;
    f.Timer1->stop();
    if (held()) {
        // Stepping now would change the selection a batch walks or the file whose
        // description is being typed.
        if (m_ctx.state.SlideShowOn == 1)
            f.Timer1->start();
        return;
    }
    step();
    applyTimerRule();
}

bool SlideShow::advanceAfterEnd() {
    if (held()) {
        m_ctx.form.Timer1->start();
        return false;
    }
    step();
    return true;
}

void SlideShow::step() {
    AppState &s = m_ctx.state;
    m_ctx.preview->ShowNextFile();
    // A list where nothing can be shown would bring the box back at once for ever,
    // leaving no way to reach the toolbar: after a whole round of it the show stops.
    if (classify(s.CurrentFile, KindPlace::NextStep) != MediaKind::Unrecognized) {
        m_unrecognizedRun = 0;
        return;
    }
    ++m_unrecognizedRun;
    if (s.SlideShowOn == 1 && m_unrecognizedRun >= std::max(1, m_ctx.form.File1->listCount()))
        setOn(false);
}

void SlideShow::applyTimerRule() {
    const AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    if (s.SlideShowOn != 1) {
        m_unrecognizedRun = 0;
        f.Timer1->stop();
        return;
    }
    const MediaPlayer *movie = f.MediaPlayer2;
    const bool waitingForMovie =
        isSlideShowMovie(s.CurrentFile) && movie->hasFile() && movie->fileName() == s.CurrentFile;
    if (waitingForMovie)
        f.Timer1->stop();
    else
        f.Timer1->start();
}

void SlideShow::setOn(bool on) {
    AppState &s = m_ctx.state;
    s.SlideShowOn = on ? 1 : 0;
    m_unrecognizedRun = 0;
    if (QAction *button = m_ctx.form.toolbarButton(QStringLiteral("slideshow")))
        button->setChecked(on);
    applyTimerRule();
}

void SlideShow::setSpeed(int value) {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    s.SlideSpeed = static_cast<std::int16_t>(std::clamp(value, 1, 10000));
    f.Timer1->setInterval(s.SlideSpeed);
    f.dispspeed->setText(QLocale().toString(s.SlideSpeed / 1000.0, 'f', 1));
    f.dispspeed->setAccessibleName(f.dispspeed->text());
}

} // namespace glimmerby
