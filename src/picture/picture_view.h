#pragma once
// Loading the current file as a picture and fitting it into the preview area. A JPEG
// that does not decode completely is shown as far as it decoded, at natural size, and
// the user is asked what to do with it; so is a picture of today's kinds (PNG, WebP,
// TIFF, HEIF, SVG) that no decoder takes, with nothing decoded to show.

#include <QImage>
#include <QObject>
#include <QString>

#include <memory>

namespace glimmerby {

struct AppContext;
class cDIBSection;
class DecodeAhead;

class PictureView : public QObject {
    Q_OBJECT
  public:
    explicit PictureView(AppContext &ctx);
    ~PictureView() override;
    void ShowPicture();

    void photo_Click();
    void Picture1_Click();
    void HScroll1_Change();
    void VScroll1_Change();

    // The picture to draw for a decoded bitmap: upright, reduced to at most maxSide
    // pixels on its longer side (the preview never shows more).
    static QImage displayImage(const cDIBSection &dib, int maxSide);

  private:
    void clearPreview();
    void fitPhoto();
    void showDamagedView();
    void actOnDialogChoice();
    void askAndAct(const QString &mode);
    int displayLimit() const;
    // The size the preview decode must cover in the current window.
    QSize previewTarget() const;
    bool loadJpegForPreview();
    // A picture of today's kinds (or of another kind under a JPEG name): decoded by its
    // content at the size it is fitted to. A failure shows the codec's box with the
    // decoder's words, unless `quiet`.
    bool loadByContent(bool quiet);
    // The pictures after the current one in the list that are worth decoding ahead.
    QStringList picturesAhead(int count) const;
    // Before the current picture is decoded: its neighbour starts on another core, so
    // that the first step after a click is ready as soon as the click's picture is; a
    // picture held whole (HEIC, TIFF) is decoded with no other such picture beside it.
    void prefetchBeside();
    // After it is shown: the next two.
    void prefetchNext();

    AppContext &m_ctx;
    std::unique_ptr<DecodeAhead> m_ahead;
    QByteArray m_fileBuffer; // the shown picture's file, read into memory kept between steps
};

} // namespace glimmerby
