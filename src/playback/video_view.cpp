#include "playback/video_view.h"

#include "playback/mpv_engine.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

namespace glimmerby {

VideoView::VideoView(MpvEngine *engine, QWidget *parent) : QOpenGLWidget(parent), m_engine(engine) {
    setMinimumSize(1, 1);
    connect(engine, &MpvEngine::frameReady, this, qOverload<>(&QWidget::update));
}

VideoView::~VideoView() {
    disconnect(m_contextGone);
    releaseRenderer();
}

void VideoView::releaseRenderer() {
    if (!m_engine->hasRenderContext() || !context())
        return;
    makeCurrent();
    m_engine->freeRenderContext();
    doneCurrent();
}

void VideoView::initializeGL() {
    // Moving the widget to another top-level window (full screen and back) replaces
    // its GL context; the render context belongs to the old one and must go with it.
    disconnect(m_contextGone);
    m_contextGone = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this,
                            &VideoView::releaseRenderer, Qt::DirectConnection);
    m_engine->createRenderContext();
    m_hasSurface = true;
    emit surfaceReady();
}

void VideoView::paintGL() {
    // With no file the last frame of the one before would stay: the view goes black.
    if (m_engine->hasRenderContext() && m_engine->hasFile()) {
        const qreal ratio = devicePixelRatioF();
        m_engine->render(int(defaultFramebufferObject()), int(width() * ratio),
                         int(height() * ratio));
        ++m_framesDrawn;
        return;
    }
    QOpenGLFunctions *gl = context()->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
}

void VideoView::mouseDoubleClickEvent(QMouseEvent *event) {
    event->accept();
    emit doubleClicked();
}

} // namespace glimmerby
