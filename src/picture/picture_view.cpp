#include "picture/picture_view.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/file_ops.h"
#include "app/split_path.h"
#include "browser/pane_widgets.h"
#include "organize/file_commands.h"
#include "organize/options_dialog.h"
#include "picture/cdibsection.h"
#include "picture/decode_ahead.h"
#include "picture/ijl.h"
#include "picture/picture_decoder.h"
#include "picture/picture_fitting.h"
#include "picture/status_line.h"
#include "playback/slide_show.h"
#include "shell/window_layout.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <iterator>
#include <thread>

namespace glimmerby {

namespace {

bool isJpegExtension(const QString &lower) {
    return lower == QLatin1String(".jpgt") || lower == QLatin1String(".jpg") ||
           lower == QLatin1String(".jpeg");
}

// Today's picture kinds, decoded by content at the size they are fitted to.
bool isDecodedByContent(const QString &lower) {
    static const char *const kinds[] = {".png",  ".webp", ".tif",  ".tiff",
                                        ".heic", ".heif", ".avif", ".svg"};
    return std::any_of(std::begin(kinds), std::end(kinds),
                       [&](const char *k) { return lower == QLatin1String(k); });
}

bool startsAsJpeg(const QString &path) {
    QFile file(path);
    return IsRegularFile(path) && file.open(QIODevice::ReadOnly) &&
           SniffPicture(file.read(4)) == PictureFormat::Jpeg;
}

} // namespace

PictureView::~PictureView() = default;

PictureView::PictureView(AppContext &ctx)
    : QObject(&ctx.form), m_ctx(ctx), m_ahead(std::make_unique<DecodeAhead>()) {
    Form1 &f = ctx.form;
    connect(f.photo, &ImageControl::clicked, this, &PictureView::photo_Click);
    connect(f.Picture1, &PictureBox::clicked, this, &PictureView::Picture1_Click);
    connect(f.HScroll1, &QScrollBar::valueChanged, this, &PictureView::HScroll1_Change);
    connect(f.VScroll1, &QScrollBar::valueChanged, this, &PictureView::VScroll1_Change);
    f.Picture1->setPainter([this](QPainter &p) {
        if (m_ctx.codec)
            m_ctx.codec->WorkDib().PaintPicture(p, 0, 0);
    });
}

int PictureView::displayLimit() const {
    // Nothing larger than the screen is ever shown: a reduced copy serves the preview.
    const QScreen *screen =
        m_ctx.form.screen() ? m_ctx.form.screen() : QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() * screen->devicePixelRatio() : QSize(1920, 1080);
    return std::max(size.width(), size.height());
}

QImage PictureView::displayImage(const cDIBSection &dib, int maxSide) {
    const QImage rows = dib.MemoryView(); // bottom-up, shares the bitmap's memory
    if (rows.isNull())
        return {};
    QImage reduced = rows;
    if (std::max(rows.width(), rows.height()) > maxSide)
        reduced = rows.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return reduced.mirrored(false, true); // a copy, upright
}

void PictureView::clearPreview() {
    Form1 &f = m_ctx.form;
    f.HScroll1->hide();
    f.VScroll1->hide();
    f.Picture1->hide();
    f.MediaPlayer2->releaseFile();
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
        fitPicture(s.PictureWidth, s.PictureHeight, f.ScaleWidth(), f.ScaleHeight()));
}

void PictureView::ShowPicture() {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    clearPreview();
    QString dir, name, ext;
    SplitPath(s.CurrentFile, dir, name, ext);
    const QString lower = ext.toLower();
    bool show = true;
    if (isJpegExtension(lower) || isDecodedByContent(lower))
        prefetchBeside();
    if (isJpegExtension(lower)) {
        show = loadJpegForPreview();
        if (!show)
            showDamagedView();
    } else if (isDecodedByContent(lower)) {
        show = loadByContent(false);
        if (!show)
            showDamagedView();
    } else {
        // Only a regular file: a FIFO or a device would block the reader.
        QImage picture;
        if (IsRegularFile(s.CurrentFile))
            picture = QImageReader(s.CurrentFile).read();
        if (!picture.isNull())
            f.photo->setPicture(picture); // an unreadable file leaves the previous picture
    }
    fitPhoto();
    if (show)
        f.photo->show();
    m_ctx.status->UpdateStatusLine();
    prefetchNext();
}

QSize PictureView::previewTarget() const {
    const Form1 &f = m_ctx.form;
    return QSize(std::max(1, f.ScaleWidth() - 150), std::max(1, f.ScaleHeight() - 65));
}

// One decode serves as the integrity check and as the picture shown: a complete decode at
// a reduced scale reads all of the compressed data, so damage is found all the same. Only
// when it fails does the full decode run, which reports the failure and leaves the part
// that decoded, at full size, for the damaged view.
bool PictureView::loadJpegForPreview() {
    Form1 &f = m_ctx.form;
    const QString &file = m_ctx.state.CurrentFile;
    if (!m_ctx.codec)
        return false;
    cDIBSection &dib = m_ctx.codec->WorkDib();
    QSize natural;
    const QSize target = previewTarget();
    if (m_ahead->take(file, target, dib, natural) ||
        IJL::JpegReadForDisplay(dib, file, target, natural, m_fileBuffer)) {
        m_ahead->remember(file, target, dib, natural);
        f.photo->setPicture(displayImage(dib, displayLimit()), natural);
        return true;
    }
    // A PNG or another picture saved under a JPEG name is shown by what it is; only data
    // that no decoder takes is a damaged JPEG.
    if (!startsAsJpeg(file) && loadByContent(true))
        return true;
    if (!m_ctx.codec->LoadJpegFile(file))
        return false;
    f.photo->setPicture(displayImage(dib, displayLimit()),
                        QSize(dib.dib_width(), dib.dib_height()));
    return true;
}

bool PictureView::loadByContent(bool quiet) {
    const QString &file = m_ctx.state.CurrentFile;
    if (!m_ctx.codec)
        return false;
    cDIBSection &dib = m_ctx.codec->WorkDib();
    QSize natural;
    DecodeError why;
    const QSize target = previewTarget();
    if (m_ahead->take(file, target, dib, natural) ||
        ReadPictureForDisplay(dib, file, target, natural, m_fileBuffer, &why)) {
        m_ahead->remember(file, target, dib, natural);
        m_ctx.form.photo->setPicture(displayImage(dib, displayLimit()), natural);
        return true;
    }
    // As a JPEG that fails before its size is known: nothing to show, the codec's box.
    dib.CleanUp();
    if (!quiet)
        m_ctx.codec->ReportJpegError(
            why.message.isEmpty() ? QStringLiteral("FAILED TO READ IMAGE PARAMS") : why.message,
            why.code != 0 ? why.code : JpegCode::NotJpeg);
    return false;
}

QStringList PictureView::picturesAhead(int count) const {
    const FileListBox *list = m_ctx.form.File1;
    const int files = list->listCount();
    const QList<int> selected = list->selectedRows();
    const int from = selected.isEmpty() ? -1 : selected.first();
    QStringList paths;
    for (int i = 1; i <= std::min(count, files - 1); ++i) {
        const QString path = list->fullPath((from + i) % files);
        QString dir, name, ext;
        SplitPath(path, dir, name, ext);
        const QString lower = ext.toLower();
        if ((isJpegExtension(lower) || isDecodedByContent(lower)) &&
            path != m_ctx.state.CurrentFile)
            paths.append(path);
    }
    return paths;
}

void PictureView::prefetchBeside() {
    // Only where a second core is free, which a WebP's own decode takes, and neither
    // decode holds a whole large picture; a picture held whole is decoded alone.
    const QString &current = m_ctx.state.CurrentFile;
    if (HoldsWholePicture(current))
        return m_ahead->makeRoomFor(current, previewTarget());
    const QStringList next = picturesAhead(1);
    if (std::thread::hardware_concurrency() < 2 || DecodesOnTwoThreads(current) || next.isEmpty() ||
        HoldsWholePicture(next.first()))
        return;
    m_ahead->want(next, previewTarget(), current);
}

void PictureView::prefetchNext() {
    m_ahead->want(picturesAhead(2), previewTarget());
}

void PictureView::showDamagedView() {
    Form1 &f = m_ctx.form;
    m_ctx.slideShow->setOn(false);

    const cDIBSection &dib = m_ctx.codec->WorkDib();
    f.Picture1->setGeometry(layout::DamagedViewLeft, layout::DamagedViewTop, dib.dib_width(),
                            dib.dib_height());
    f.Picture1->update();
    f.Picture1->show();
    // The bars run from the home position down to where the far edge reaches the
    // window's edge; QScrollBar wants the smaller end first.
    {
        const QSignalBlocker h(f.HScroll1), v(f.VScroll1);
        f.HScroll1->setRange(-dib.dib_width(), layout::DamagedViewLeft);
        f.VScroll1->setRange(-dib.dib_height(), layout::DamagedViewTop);
        f.HScroll1->setInvertedAppearance(true);
        f.VScroll1->setInvertedAppearance(true);
        f.HScroll1->setInvertedControls(true);
        f.VScroll1->setInvertedControls(true);
        f.HScroll1->setValue(layout::DamagedViewLeft);
        f.VScroll1->setValue(layout::DamagedViewTop);
    }
    if (damagedViewNeedsScrollBars(f.ScaleWidth(), f.ScaleHeight(), f.Picture1->size())) {
        f.HScroll1->show();
        f.VScroll1->show();
        f.HScroll1->raise();
        f.VScroll1->raise();
    }
    f.keepBarsOnTop();
    askAndAct(QStringLiteral("BADJPG"));
}

void PictureView::askAndAct(const QString &mode) {
    if (!m_ctx.dialog)
        return;
    // Closed without a choice: cancel, never "open" or "delete".
    m_ctx.dialog->ShowOptionsDialog(mode, QStringLiteral("3"));
    actOnDialogChoice();
}

void PictureView::actOnDialogChoice() {
    bool ok = false;
    const int choice = m_ctx.state.DialogChoice.toInt(&ok);
    if (!ok)
        return;
    if (choice == 0)
        m_ctx.files->OpenInEditor();
    else if (choice == 1)
        m_ctx.files->DeleteSelectedFiles(); // the selected files, as the Delete key does
}

void PictureView::photo_Click() {
    askAndAct(QStringLiteral("PHOTOCALL"));
}

void PictureView::Picture1_Click() {
    askAndAct(QStringLiteral("BADJPG"));
}

void PictureView::HScroll1_Change() {
    m_ctx.form.Picture1->move(m_ctx.form.HScroll1->value(), m_ctx.form.Picture1->y());
}

void PictureView::VScroll1_Change() {
    m_ctx.form.Picture1->move(m_ctx.form.Picture1->x(), m_ctx.form.VScroll1->value());
}

} // namespace glimmerby
