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

  signals:
    void doubleClicked();

  protected:
    void initializeGL() override;
    void paintGL() override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

  private:
    MpvEngine *m_engine;
    int m_framesDrawn = 0;
    QMetaObject::Connection m_contextGone;
};

} // namespace glimmerby
