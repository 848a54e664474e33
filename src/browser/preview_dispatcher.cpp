#include "browser/preview_dispatcher.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/message_boxes.h"
#include "browser/browser_controller.h"
#include "browser/media_kinds.h"
#include "browser/pane_widgets.h"
#include "picture/picture_view.h"
#include "picture/status_line.h"
#include "playback/slide_show.h"
#include "shell/description_field.h"
#include "shell/window_layout.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

namespace glimmerby {

PreviewDispatcher::PreviewDispatcher(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

void PreviewDispatcher::applyTimerRule() {
    m_ctx.slideShow->applyTimerRule();
}

void PreviewDispatcher::showDescription(const QString &path) {
    if (m_ctx.descriptions)
        m_ctx.descriptions->showDescription(path);
}

void PreviewDispatcher::unrecognized() {
    m_ctx.boxes.show(QStringLiteral("Unrecognize Format"), ProgramTitle);
}

void PreviewDispatcher::PreviewClicked(Qt::MouseButton button, Qt::KeyboardModifiers,
                                       const QPoint &globalPos) {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    f.Timer1->stop();
    const int index = f.File1->listIndex();
    if (index >= 0)
        s.CurrentFile = f.File1->fullPath(index);
    if (button != Qt::RightButton) {
        switch (classify(s.CurrentFile, KindPlace::ClickPreview)) {
        case MediaKind::Movie:
            showDescription(s.CurrentFile);
            f.Timer1->stop();
            PlayInLargePlayer();
            break;
        case MediaKind::Sound:
            showDescription(s.CurrentFile);
            f.Timer1->stop();
            PlayInSmallPlayer();
            break;
        case MediaKind::Picture:
            showDescription(s.CurrentFile);
            m_ctx.picture->ShowPicture();
            break;
        case MediaKind::Unrecognized:
            unrecognized();
            break;
        }
    } else if (s.BatchBusy == 0) {
        f.mnupop->popup(globalPos);
    }
    applyTimerRule();
    m_ctx.browser->closingCall();
}

bool PreviewDispatcher::reselectExactly() {
    Form1 &f = m_ctx.form;
    f.File1->refresh();
    const int i = f.File1->items().indexOf(m_ctx.state.ReselectName);
    if (i < 0)
        return false;
    f.File1->setListIndex(i);
    m_ctx.state.CurrentFile = f.File1->fullPath(i);
    return true;
}

void PreviewDispatcher::ShowNextFile() {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    f.Timer1->stop();
    const int count = f.File1->listCount();
    const QList<int> selected = f.File1->selectedRows();
    const int i = selected.isEmpty() ? count : selected.first();
    if (count > 0)
        s.ReselectName = (i + 1 > count - 1) ? f.File1->item(0) : f.File1->item(i + 1);
    reselectExactly();
    previewStep(KindPlace::NextStep);
}

void PreviewDispatcher::ShowPreviousFile() {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    const int count = f.File1->listCount();
    const QList<int> selected = f.File1->selectedRows();
    const int i = selected.isEmpty() ? count : selected.first();
    if (count > 0)
        s.ReselectName = (i == 0) ? f.File1->item(count - 1) : f.File1->item(i - 1);
    reselectExactly();
    m_ctx.status->UpdateStatusLine();
    previewStep(KindPlace::PreviousStep);
}

void PreviewDispatcher::previewStep(KindPlace place) {
    switch (classify(m_ctx.state.CurrentFile, place)) {
    case MediaKind::Movie:
        m_ctx.form.Timer1->stop();
        PlayInLargePlayer();
        break;
    case MediaKind::Sound:
        m_ctx.form.Timer1->stop();
        PlayInSmallPlayer();
        break;
    case MediaKind::Picture:
        m_ctx.picture->ShowPicture();
        break;
    case MediaKind::Unrecognized:
        unrecognized();
        break;
    }
}

void PreviewDispatcher::PlayInLargePlayer() {
    Form1 &f = m_ctx.form;
    f.Timer1->stop();
    f.MP->move(f.ScaleWidth(), f.MP->y());
    f.MediaPlayer2->move(layout::LargePlayerLeft, f.MediaPlayer2->y());
    f.photo->hide();
    f.Picture1->hide();
    f.HScroll1->hide();
    f.VScroll1->hide();
    f.MP->hide();
    f.MediaPlayer2->show();
    f.MediaPlayer2->setFileName(m_ctx.state.CurrentFile);
    f.MediaPlayer2->Play();
    SizeMoviePlayer();
    m_ctx.status->UpdateStatusLine();
}

void PreviewDispatcher::PlayInSmallPlayer() {
    Form1 &f = m_ctx.form;
    f.MP->move(layout::SmallPlayerLeft, f.MP->y());
    f.MediaPlayer2->move(f.ScaleWidth(), f.MediaPlayer2->y());
    f.MediaPlayer2->releaseFile();
    f.photo->hide();
    f.Picture1->hide();
    f.HScroll1->hide();
    f.VScroll1->hide();
    f.MP->show();
    f.MediaPlayer2->hide();
    f.MP->setFileName(m_ctx.state.CurrentFile);
    f.MP->Play();
    // A sound has no picture size; the caption and panels follow the file just chosen.
    m_ctx.state.PictureWidth = 0;
    m_ctx.state.PictureHeight = 0;
    m_ctx.status->UpdateStatusLine();
}

void PreviewDispatcher::SizeMoviePlayer() {
    Form1 &f = m_ctx.form;
    const QSize size = largePlayerSize(f.ScaleWidth(), f.ScaleHeight());
    if (size.width() > 0 && size.height() > 0)
        f.MediaPlayer2->resize(size);
    m_ctx.state.PictureWidth = 0;
    m_ctx.state.PictureHeight = 0;
}

} // namespace glimmerby
