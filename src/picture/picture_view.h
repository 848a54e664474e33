#pragma once
// Loading the current file as a picture and fitting it into the preview area.

#include <QObject>
#include <QString>

namespace glimmerby {

struct AppContext;

class PictureView : public QObject {
    Q_OBJECT
public:
    explicit PictureView(AppContext &ctx);
    void ShowPicture();

private:
    void clearPreview();
    void fitPhoto();

    AppContext &m_ctx;
};

} // namespace glimmerby
