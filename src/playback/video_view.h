#pragma once
// The movie picture: libmpv draws each frame into this OpenGL widget.

#include <QOpenGLWidget>

namespace glimmerby {

class MpvEngine;

class VideoView : public QOpenGLWidget {
    Q_OBJECT
  public:
    explicit VideoView(MpvEngine *engine, QWidget *parent = nullptr);
    ~VideoView() override;

    // Frees the engine's render context; the widget's GL context must still exist.
    void releaseRenderer();
    // How many frames were drawn from the engine since the widget was made.
    int framesDrawn() const { return m_framesDrawn; }
    // The GL surface has been set up once (with a render context, or without one where
    // OpenGL cannot serve): a file opened from now on gets its picture.
    bool hasSurface() const { return m_hasSurface; }

  signals:
    void doubleClicked();
    void surfaceReady(); // after every set-up of the GL surface

  protected:
    void initializeGL() override;
    void paintGL() override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

  private:
    MpvEngine *m_engine;
    int m_framesDrawn = 0;
    bool m_hasSurface = false;
    QMetaObject::Connection m_contextGone;
};

} // namespace glimmerby
