#include "shell/toggles_controller.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "browser/media_kinds.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "picture/status_line.h"
#include "playback/playback_controller.h"
#include "playback/slide_show.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QApplication>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace glimmerby {

TogglesController::TogglesController(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    Form1 &f = ctx.form;
    for (int i = 0; i < 2; ++i)
        connect(f.Ck[i], &QCheckBox::clicked, this, [this, i] { Ck_Click(i); });
    for (int i = 0; i < 3; ++i)
        connect(f.HS[i], &QScrollBar::valueChanged, this, [this, i] { HS_Change(i); });
    connect(f.T[0], &QLineEdit::textChanged, this, [this] { T_Change(); });
    for (QAction *button : f.toolbarButtons())
        connect(button, &QAction::triggered, this,
                [this, key = button->objectName()] { Toolbar1_ButtonClick(key); });
    connect(f.helpEntry, &QAction::triggered, this, [this] { emit helpRequested(); });
    connect(f.aboutEntry, &QAction::triggered, this, [this] { emit aboutRequested(); });
    for (QRadioButton *option : f.O)
        connect(option, &QRadioButton::toggled, this, [this] { m_ctx.status->UpdateStatusLine(); });
    f.dispspeed->setAccessibleDescription(QStringLiteral("Slide speed in seconds"));
    f.QualityLabel->setAccessibleDescription(QStringLiteral("JPEG quality in percent"));
    qApp->installEventFilter(this);
}

bool TogglesController::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::ToolTip || m_ctx.state.ToolTipsSetting == QLatin1String("True"))
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || (widget != &m_ctx.form && !m_ctx.form.isAncestorOf(widget)))
        return false;
    QToolTip::hideText();
    event->ignore();
    return true;
}

void TogglesController::Ck_Click(int index) {
    AppState &s = m_ctx.state;
    if (s.ControlGuard)
        return;
    s.ControlGuard = true;
    QCheckBox *box = m_ctx.form.Ck[index];
    const bool ticked = box->isChecked();
    if (index == 0) {
        s.ToolTipsSetting = ticked ? QStringLiteral("True") : QStringLiteral("False");
        box->setText(ticked ? QStringLiteral("Tool Tips On") : QStringLiteral("Tool Tips Off"));
        ticked ? settooltipson() : settooltipsoff();
    } else {
        s.ShowSplashSetting = ticked ? QStringLiteral("True") : QStringLiteral("False");
        box->setText(ticked ? QStringLiteral("Show Splash") : QStringLiteral("Don't Show Splash"));
    }
    s.ControlGuard = false;
}

bool TogglesController::setScrollValue(QScrollBar *bar, int value) {
    if (value < bar->minimum() || value > bar->maximum())
        return false;
    bar->setValue(value);
    return true;
}

void TogglesController::HS_Change(int index) {
    AppState &s = m_ctx.state;
    if (s.ScrollGuard)
        return;
    s.ScrollGuard = true;
    applyScroll(index, m_ctx.form.HS[index]->value());
    s.ScrollGuard = false;
}

void TogglesController::applyScroll(int index, int value) {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    if (index == 0) {
        m_ctx.slideShow->setSpeed(value);
    } else if (index == 1) {
        s.JpegQuality = std::clamp(value, 0, 100);
        f.QualityLabel->setText(QString::number(s.JpegQuality));
        f.QualityLabel->setAccessibleName(f.QualityLabel->text());
    } else {
        s.CustomSize = value;
        if (!s.ControlGuard) {
            s.ControlGuard = true; // the field's own change handler must not answer back
            f.T[0]->setText(QString::number(s.CustomSize));
            s.ControlGuard = false;
        }
        f.O[0]->setChecked(true);
    }
}

void TogglesController::T_Change() {
    AppState &s = m_ctx.state;
    if (s.ControlGuard)
        return;
    s.ControlGuard = true;
    bool ok = false;
    const int typed = m_ctx.form.T[0]->text().trimmed().toInt(&ok);
    if (ok) {
        s.CustomSize = typed;
        setScrollValue(m_ctx.form.HS[2], typed); // selects "Restrict size To:"
    }
    s.ControlGuard = false;
    // Panel 4 names the size; the option only reports when it was not already selected.
    m_ctx.status->UpdateStatusLine();
}

void TogglesController::Toolbar1_ButtonClick(const QString &key) {
    AppState &s = m_ctx.state;
    Form1 &f = m_ctx.form;
    QAction *button = f.toolbarButton(key);
    const bool pressed = button && button->isChecked();
    if (key == QLatin1String("mute")) {
        m_ctx.playback->setMute(pressed);
    } else if (key == QLatin1String("play")) {
        if (pressed)
            m_ctx.playback->startMusicFromButton();
        else
            m_ctx.playback->pauseMusic();
    } else if (key == QLatin1String("slideshow")) {
        m_ctx.slideShow->setOn(pressed);
    } else if (key == QLatin1String("useprops")) {
        s.ModifyEnabled = pressed ? 1 : 0;
        m_ctx.status->UpdateStatusLine();
    } else if (key == QLatin1String("props")) {
        if (pressed) {
            f.SSFrame1->show();
            f.SSFrame1->raise();
        } else {
            f.SSFrame1->hide();
            f.toolbarButton(QStringLiteral("useprops"))->setChecked(true);
            s.ModifyEnabled = 1;
            m_ctx.status->UpdateStatusLine();
        }
    } else if (key == QLatin1String("about")) {
        emit aboutRequested();
    } else if (key == QLatin1String("exit")) {
        emit exitRequested();
        return;
    }
    f.Text1->setFocus();
}

void TogglesController::settooltipson() {
    Form1 &f = m_ctx.form;
    f.File1->setToolTip(QStringLiteral("Right Click For PopUp Menu"));
    f.QualityLabel->setToolTip(QStringLiteral("JPG Save Quality in %"));
    f.PB->setToolTip(QStringLiteral("Modify File Progress"));
    f.PB1->setToolTip(QStringLiteral("Checking for Selected Files"));
    f.dispspeed->setToolTip(QStringLiteral("SS Speed in Sec"));
    const char *panels[] = {"File Size in Kbytes", "File Dim ( W x H )", "Move/Copy Path",
                            "Modify Status"};
    for (int i = 0; i < 4; ++i)
        f.SBPanels[i]->setToolTip(QString::fromLatin1(panels[i]));
    for (QAction *button : f.toolbarButtons()) // each button's text is its tool tip
        button->setToolTip(button->text());
    f.photo->setToolTip(m_ctx.state.CurrentFile);
    // The endings of today's kinds follow each kind's existing ones.
    const QString movies = u'-' + newMovieTips(), pictures = u'-' + newPictureTips(),
                  sounds = u'-' + newSoundTips();
    const QString filterTips[] = {
        "avi-mpg-mpe-mpeg-asf-mov-wmv" + movies, "jpg-jpeg-gif-bmp" + pictures,
        "avi-mpg-mpe-mpeg-asf-mov-wmv-jpg-jpeg-gif-bmp" + movies + pictures,
        "mp3-wav-mid-rmi-wma" + sounds,
        "avi-mpg-mpe-mpeg-asf-mov-wmv-wma-jpg-jpeg-gif-bmp-mp3-wav-mid-rmi" + movies + pictures +
            sounds};
    const int index = f.Combo1->currentIndex();
    if (index >= 0 && index < 5)
        f.Combo1->setToolTip(filterTips[index]);
}

void TogglesController::settooltipsoff() {
    Form1 &f = m_ctx.form;
    for (QWidget *w : std::initializer_list<QWidget *>{f.File1, f.QualityLabel, f.PB, f.PB1,
                                                       f.dispspeed, f.photo, f.Combo1})
        w->setToolTip(QString());
    for (QLabel *panel : f.SBPanels)
        panel->setToolTip(QString());
    for (QAction *button : f.toolbarButtons())
        button->setToolTip(QString());
    QToolTip::hideText();
}

static void stepBar(QProgressBar *bar) {
    // A bar repaints itself inside setValue. Here the value changes at once and the
    // painting waits for the next round of events, where the bar takes updates again.
    if (bar->updatesEnabled()) {
        bar->setUpdatesEnabled(false);
        QTimer::singleShot(0, bar, [bar] { bar->setUpdatesEnabled(true); });
    }
    if (bar->value() + 1 > bar->maximum())
        bar->setValue(0);
    bar->setValue(bar->value() + 1);
}

void TogglesController::letEventsIn() {
    // Processing events costs milliseconds once the window holds an OpenGL view; a
    // batch of thousands of steps would spend most of its time there.
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < m_progressEventInterval)
        return;
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}

void TogglesController::pbplus1(const QString &text) {
    stepBar(m_ctx.form.PB);
    m_ctx.form.setPanelText(4, text + QStringLiteral("... "));
    letEventsIn();
}

void TogglesController::pb1plus1() {
    stepBar(m_ctx.form.PB1);
    letEventsIn();
}

} // namespace glimmerby
