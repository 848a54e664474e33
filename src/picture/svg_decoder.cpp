#include "picture/svg_decoder.h"

#include "picture/ijl.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace glimmerby {

bool DecodeSvg(const QByteArray &data, cDIBSection &out, const SizeWish &wish, QSize *natural,
               DecodeError &error) {
    out.CleanUp();
    QSvgRenderer renderer;
    if (!renderer.load(data) || !renderer.isValid())
        return error.set(JpegCode::NotJpeg, QStringLiteral("Qt SVG: not a drawing it can read"));
    QSize size = renderer.defaultSize();
    if (size.isEmpty()) {
        const QRectF box = renderer.viewBoxF();
        size = QSize(int(std::ceil(box.width())), int(std::ceil(box.height())));
    }
    if (size.isEmpty())
        return error.set(JpegCode::BadSize, QStringLiteral("Qt SVG: the drawing has no size"));
    if (!cDIBSection::SizeAcceptable(size.width(), size.height(), 4))
        return error.set(JpegCode::TooLarge, QStringLiteral("Qt SVG: the drawing is too large"));
    const QSize wanted = WishedSize(wish, size, natural);
    if (wanted.isEmpty())
        return error.set(JpegCode::Ok, QString());
    if (!cDIBSection::SizeAcceptable(wanted.width(), wanted.height(), 4))
        return error.set(JpegCode::TooLarge, QStringLiteral("Qt SVG: the drawing is too large"));
    QImage canvas(wanted, QImage::Format_RGB32);
    if (canvas.isNull())
        return error.set(JpegCode::TooLarge, QStringLiteral("Qt SVG: out of memory"));
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(wanted)));
    }
    if (!out.SetFromImage(canvas, 3))
        return error.set(JpegCode::TooLarge, QStringLiteral("Qt SVG: out of memory"));
    return true;
}

} // namespace glimmerby
