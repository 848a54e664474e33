#include "shell/window_layout.h"

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

} // namespace glimmerby
