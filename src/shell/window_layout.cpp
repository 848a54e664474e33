#include "shell/window_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace glimmerby {

QSize largePlayerSize(int scaleWidth, int scaleHeight) {
    return {scaleWidth - 150, scaleHeight - 65};
}

bool damagedViewNeedsScrollBars(int scaleWidth, int scaleHeight, QSize picture) {
    return scaleHeight - 55 < picture.height() || scaleWidth - 153 < picture.width();
}

LayoutResult computeLayout(const LayoutInput &in) {
    const int w = in.scaleWidth, h = in.scaleHeight;
    LayoutResult r;
    r.mpWidth = w - 137;
    r.pbWidth = w - in.pb.left() - 2;
    r.pb1 = QRect(w - in.pb1.width() - 18, h - in.pb1.height(), in.pb1.width(), in.pb1.height());
    const int pb1h = in.pb1.height();
    r.hScroll = QRect(layout::PreviewLeft, h - pb1h - 17, w - 150, 0);
    r.vScroll = QRect(w - 15, 23, 0, h - 55);
    r.text2 = QRect(layout::PreviewLeft, h - pb1h - 22, w - 150, 0);
    if (in.picture1Visible) {
        r.scrollBarsVisible = damagedViewNeedsScrollBars(w, h, in.picture1);
        r.resetScrollBars = !r.scrollBarsVisible;
    }
    const double a = h - 78;
    r.dirHeight = 0.3 * a;
    r.fileTop = in.dirTop + static_cast<int>(r.dirHeight + 0.5) + 3;
    r.fileHeight = 0.7 * a;
    r.comboTop = h - 38;
    r.largePlayer = largePlayerSize(w, h);
    return r;
}

namespace {

// How much of the window's top-left corner must lie on a screen to be grabbed and moved.
constexpr int CornerWidth = 120, CornerHeight = 40;

double distanceTo(const QRect &area, const QPoint &p) {
    const double dx = std::max({area.left() - p.x(), 0, p.x() - area.right()});
    const double dy = std::max({area.top() - p.y(), 0, p.y() - area.bottom()});
    return std::hypot(dx, dy);
}

} // namespace

QRect restoredWindowGeometry(const QRect &wanted, const QSize &minimum,
                             const QList<QRect> &available) {
    if (available.isEmpty())
        return wanted;
    QRect area = available.first();
    double best = std::numeric_limits<double>::max();
    for (const QRect &a : available) {
        const double d = distanceTo(a, wanted.topLeft());
        if (d < best) {
            best = d;
            area = a;
        }
    }
    const int width = std::max(minimum.width(), std::min(wanted.width(), area.width()));
    const int height = std::max(minimum.height(), std::min(wanted.height(), area.height()));
    QRect result(wanted.topLeft(), QSize(width, height));
    const QRect corner(result.topLeft(),
                       QSize(std::min(width, CornerWidth), std::min(height, CornerHeight)));
    for (const QRect &a : available)
        if (a.contains(corner))
            return result;
    const int x = std::clamp(corner.x(), area.left(),
                             std::max(area.left(), area.right() + 1 - corner.width()));
    const int y = std::clamp(corner.y(), area.top(),
                             std::max(area.top(), area.bottom() + 1 - corner.height()));
    result.moveTopLeft(QPoint(x, y));
    return result;
}

QPoint centredInArea(const QSize &size, const QRect &area) {
    const int x = area.x() + area.width() / 2 - size.width() / 2;
    const int y = area.y() + area.height() / 2 - size.height() / 2;
    return {std::max(x, area.left()), std::max(y, area.top())};
}

} // namespace glimmerby
