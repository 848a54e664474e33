#include "picture/picture_view.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "picture/picture_fitting.h"
#include "picture/status_line.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QImageReader>

namespace glimmerby {

PictureView::PictureView(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

void PictureView::clearPreview() {
    Form1 &f = m_ctx.form;
    f.HScroll1->hide();
    f.VScroll1->hide();
    f.Picture1->hide();
    f.MediaPlayer2->setFileName(QString());
    f.MediaPlayer2->hide();
    f.MediaPlayer2->move(f.ScaleWidth(), f.MediaPlayer2->y());
    f.MP->Pause();
    f.MP->hide();
    f.MP->move(f.ScaleWidth(), f.MP->y());
    f.photo->hide();
    f.photo->setStretch(false);
}

void PictureView::fitPhoto() {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    s.PictureWidth = f.photo->width();
    s.PictureHeight = f.photo->height();
    f.photo->setStretch(true);
    f.photo->setGeometry(
        fitPicture(f.photo->width(), f.photo->height(), f.ScaleWidth(), f.ScaleHeight()));
}

void PictureView::ShowPicture() {
    Form1 &f = m_ctx.form;
    clearPreview();
    bool show = true;
    QImageReader reader(m_ctx.state.CurrentFile);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (!picture.isNull())
        f.photo->setPicture(picture); // an unreadable file leaves the previous picture
    fitPhoto();
    if (show)
        f.photo->show();
    m_ctx.status->UpdateStatusLine();
}

} // namespace glimmerby
