#pragma once
// The preview's drawing surfaces: `photo`, an image control with a stretch mode, and
// `Picture1`, a plain surface that shows a bitmap at 1:1 and can be moved about.

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>

namespace glimmerby {

class ImageControl : public QWidget {
    Q_OBJECT
  public:
    explicit ImageControl(QWidget *parent = nullptr);
    // With stretch off the control takes the picture's natural size. The picture drawn
    // may be a reduced copy of a large one: naturalSize is then the original's size.
    void setPicture(const QImage &picture, QSize naturalSize = {});
    const QImage &picture() const { return m_picture; }
    QSize naturalSize() const { return m_natural; }
    bool hasPicture() const { return !m_picture.isNull(); }
    void setStretch(bool stretch);
    bool stretch() const { return m_stretch; }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;

  private:
    QImage m_picture;
    QSize m_natural;
    QPixmap m_scaled; // the picture at the control's size, made once per size
    bool m_stretch = false;
};

class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget *parent = nullptr);
    // What the box draws; called with a painter on the box at every repaint.
    void setPainter(std::function<void(QPainter &)> painter);

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;

  private:
    std::function<void(QPainter &)> m_painter;
};

} // namespace glimmerby
