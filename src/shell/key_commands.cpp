#include "shell/key_commands.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "browser/browser_controller.h"
#include "browser/grid_controller.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "organize/file_clipboard.h"
#include "organize/file_commands.h"
#include "organize/file_undo.h"
#include "picture/status_line.h"
#include "playback/playback_controller.h"
#include "playback/slide_show.h"
#include "windows/cover_screen.h"
#include "windows/dialog_box.h"
#include "windows/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStandardPaths>

namespace glimmerby {

KeyCommands::KeyCommands(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    m_cover = new CoverScreen(ctx);
    // Only the application sees whether a key is held down; the controls pass on the
    // key and its modifiers alone.
    QCoreApplication::instance()->installEventFilter(this);
}

bool KeyCommands::eventFilter(QObject *, QEvent *event) {
    if (event->type() == QEvent::KeyPress)
        m_lastKeyRepeated = static_cast<QKeyEvent *>(event)->isAutoRepeat();
    return false;
}

const QList<QStringList> &KeyCommands::mixers() {
    static const QList<QStringList> list{
        {QStringLiteral("pavucontrol")},
        {QStringLiteral("pavucontrol-qt")},
        {QStringLiteral("pwvucontrol")},
        {QStringLiteral("gnome-control-center"), QStringLiteral("sound")}};
    return list;
}

bool KeyCommands::Form_KeyDown(int key, Qt::KeyboardModifiers shift) {
    AppState &s = m_ctx.state;
    if (windowKey(key, shift))
        return true;
    m_ctx.form.Timer1->stop();
    if (s.BatchBusy != 0)
        return false;
    s.BatchBusy = -1;
    command(key, shift);
    applyTimerRule();
    s.BatchBusy = 0;
    return true;
}

bool KeyCommands::windowKey(int key, Qt::KeyboardModifiers shift) {
    Form1 &f = m_ctx.form;
    const bool plain = !(shift & (Qt::ControlModifier | Qt::AltModifier));
    if (plain && (key == Qt::Key_Tab || key == Qt::Key_Backtab)) {
        f.focusNextControl(key == Qt::Key_Tab && !(shift & Qt::ShiftModifier));
        return true;
    }
    // Menus stay closed while a batch or a typing field holds BatchBusy: the key then goes
    // the way of every key, and only stops the timer.
    if (isMenuKey(key, shift) && m_ctx.state.BatchBusy == 0) {
        // As a right-click on the current entry would.
        m_ctx.preview->PreviewClicked(Qt::RightButton, {}, f.File1->menuPoint());
        return true;
    }
    return false;
}

void KeyCommands::applyTimerRule() {
    m_ctx.preview->applyTimerRule();
}

void KeyCommands::command(int key, Qt::KeyboardModifiers shift) {
    Form1 &f = m_ctx.form;
    const bool ctrlAlone = (shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) ==
                           Qt::ControlModifier;
    // While the thumbnail grid is shown, the moving keys and Enter are the grid's.
    if (m_ctx.grid && m_ctx.grid->takesKey(key)) {
        m_ctx.grid->gridKey(key, shift);
        return;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        playSelected();
        break;
    case Qt::Key_Escape:
        showCoverScreen();
        break;
    case Qt::Key_Space:
        spaceKey();
        break;
    case Qt::Key_End:
        f.MediaPlayer2->Pause();
        f.MediaPlayer2->setCurrentPosition(0);
        break;
    case Qt::Key_Left:
        seek(-2.0);
        break;
    case Qt::Key_Right:
        seek(2.0);
        break;
    case Qt::Key_Up:
        m_ctx.preview->ShowPreviousFile();
        break;
    case Qt::Key_Down:
        m_ctx.preview->ShowNextFile();
        break;
    case Qt::Key_Delete:
        deleteKey();
        break;
    case Qt::Key_B:
    case Qt::Key_M:
    case Qt::Key_N:
        musicKey(key);
        break;
    case Qt::Key_C:
        if (ctrlAlone)
            clipboardKey(QStringLiteral("C"));
        break;
    case Qt::Key_F:
        f.MediaPlayer2->setDisplaySize(3);
        m_ctx.preview->SizeMoviePlayer();
        break;
    case Qt::Key_G:
        if (m_ctx.grid)
            m_ctx.grid->toggle();
        break;
    case Qt::Key_H:
        if (m_ctx.ShowHelp)
            m_ctx.ShowHelp();
        break;
    case Qt::Key_R:
        refreshKey();
        break;
    case Qt::Key_S:
        toggleSlideShow();
        break;
    case Qt::Key_T:
        toggleControls();
        break;
    case Qt::Key_V:
        if (ctrlAlone)
            clipboardKey(QStringLiteral("V"));
        else
            startMixer();
        break;
    case Qt::Key_X:
        if (ctrlAlone)
            clipboardKey(QStringLiteral("X"));
        break;
    case Qt::Key_Z:
        if (ctrlAlone && m_ctx.undo)
            m_ctx.undo->undoLast(); // the last file command, then the one before it
        break;
    default:
        break;
    }
}

QString KeyCommands::firstSelectedName() const {
    const FileListBox *list = m_ctx.form.File1;
    const QList<int> rows = list->selectedRows();
    return rows.isEmpty() ? QString() : list->item(rows.first());
}

void KeyCommands::playSelected() {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    // With nothing selected the player would be handed the directory itself.
    const QString name = firstSelectedName();
    if (name.isEmpty())
        return;
    const QString dir = f.Dir1->path();
    if (QDir::cleanPath(f.File1->path()) != QDir::cleanPath(dir)) {
        f.File1->setPath(dir); // another directory: the selection goes with it
        const int row = f.File1->items().indexOf(name);
        if (row < 0)
            return;
        f.File1->setListIndex(row);
    }
    s.CurrentFile = withTrailingSlash(dir) + name;
    m_ctx.status->UpdateStatusLine();
    f.MediaPlayer2->setFileName(s.CurrentFile);
    f.MediaPlayer2->Play();
    m_ctx.preview->SizeMoviePlayer();
}

void KeyCommands::showCoverScreen() {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    m_cover->show();
    if (f.MediaPlayer2->fileName().isEmpty()) {
        m_ctx.slideShow->setOn(false);
    } else {
        s.MovieStopped = -1;
        f.MediaPlayer2->Stop();
    }
}

void KeyCommands::spaceKey() {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    if (f.MediaPlayer2->fileName().isEmpty()) {
        toggleSlideShow();
        return;
    }
    if (s.MovieStopped != -1) {
        s.MovieStopped = -1;
        f.MediaPlayer2->Stop();
    } else {
        s.MovieStopped = 0;
        f.MediaPlayer2->Play();
    }
}

void KeyCommands::seek(double seconds) {
    MediaPlayer *player = m_ctx.form.MediaPlayer2;
    if (player->fileName().isEmpty())
        return;
    player->setCurrentPosition(std::max(0.0, player->CurrentPosition() + seconds));
}

void KeyCommands::deleteKey() {
    // A held Delete would go on deleting file after file unasked.
    if (m_lastKeyRepeated)
        return;
    m_ctx.form.MediaPlayer2->releaseFile();
    if (m_ctx.files)
        m_ctx.files->DeleteSelectedFiles();
}

void KeyCommands::musicKey(int key) {
    PlaybackController *playback = m_ctx.playback;
    if (!playback)
        return;
    if (key == Qt::Key_B) {
        if (m_ctx.form.toolbarButton(QStringLiteral("play"))->isChecked())
            playback->StopMusic();
        else
            playback->StartMusic();
    } else if (key == Qt::Key_M) {
        playback->ToggleMute();
    } else {
        playback->NextMusicTrack();
    }
}

void KeyCommands::toggleSlideShow() {
    AppState &s = m_ctx.state;
    m_ctx.slideShow->setOn(s.SlideShowOn != 1); // 1 becomes 0, anything else 1
    const QString name = firstSelectedName();
    if (!name.isEmpty())
        s.ReselectName = name;
    m_ctx.browser->RefreshFileList(s.ReselectName);
}

void KeyCommands::refreshKey() {
    AppState &s = m_ctx.state;
    s.ReselectName = firstSelectedName();
    m_ctx.browser->RefreshFileList(s.ReselectName);
}

void KeyCommands::toggleControls() {
    AppState &s = m_ctx.state;
    s.ControlsVisible = s.ControlsVisible != -1 ? -1 : 0;
    m_ctx.form.MediaPlayer2->setControlsVisible(s.ControlsVisible == -1);
    m_ctx.preview->SizeMoviePlayer();
}

void KeyCommands::clipboardKey(const QString &word) {
    if (!m_ctx.clipboard)
        return;
    QString xcv = word;
    m_ctx.clipboard->Set_XCV(xcv);
}

void KeyCommands::startMixer() {
    if (!m_ctx.files)
        return;
    for (const QStringList &mixer : mixers()) {
        const QString program = QStandardPaths::findExecutable(mixer.first());
        if (program.isEmpty())
            continue;
        m_ctx.files->startDetached(program, mixer.mid(1)); // a failure is silent
        return;
    }
}

} // namespace glimmerby
