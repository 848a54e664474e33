#include "windows/picture_widgets.h"

#include <QMouseEvent>
#include <QPainter>

namespace glimmerby {

ImageControl::ImageControl(QWidget *parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Picture"));
}

void ImageControl::setPicture(const QImage &picture, QSize naturalSize) {
    m_picture = picture;
    m_natural = naturalSize.isValid() ? naturalSize : picture.size();
    m_scaled = QPixmap();
    if (!m_stretch && !m_picture.isNull())
        resize(m_natural);
    update();
}

void ImageControl::setStretch(bool stretch) {
    m_stretch = stretch;
    if (!m_stretch && !m_picture.isNull())
        resize(m_natural);
    update();
}

void ImageControl::resizeEvent(QResizeEvent *) {
    m_scaled = QPixmap();
}

void ImageControl::paintEvent(QPaintEvent *) {
    if (m_picture.isNull())
        return;
    QPainter p(this);
    if (m_picture.size() == size()) {
        p.drawImage(0, 0, m_picture);
        return;
    }
    if (m_scaled.size() != size())
        m_scaled = QPixmap::fromImage(
            m_picture.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    p.drawPixmap(0, 0, m_scaled);
}

void ImageControl::mouseReleaseEvent(QMouseEvent *e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Damaged picture"));
}

void PictureBox::setPainter(std::function<void(QPainter &)> painter) {
    m_painter = std::move(painter);
    update();
}

void PictureBox::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (m_painter)
        m_painter(p);
}

void PictureBox::mouseReleaseEvent(QMouseEvent *e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

} // namespace glimmerby
