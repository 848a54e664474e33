#include "shell/layout_controller.h"

#include "app/app_context.h"
#include "app/settings_store.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "shell/window_layout.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QScreen>

#include <cmath>

namespace glimmerby {

LayoutController::LayoutController(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    connect(&ctx.form, &Form1::resized, this, &LayoutController::Form_Resize);
}

void LayoutController::Form_Resize() {
    Form1 &f = m_ctx.form;
    if (f.isMinimized())
        return;

    // The smallest window, given in twips of the outer frame.
    const double dpi = f.logicalDpiY();
    const int frameW = f.frameGeometry().width() - f.width();
    const int frameH = f.frameGeometry().height() - f.height();
    const int minOuterH = twipsToPixels(layout::MinOuterHeightTwips, dpi);
    const int minOuterW = twipsToPixels(layout::MinOuterWidthTwips, dpi);
    f.setMinimumSize(minOuterW - frameW, minOuterH - frameH);
    if (!f.isMaximized() && !f.isFullScreen() &&
        (f.height() + frameH < minOuterH || f.width() + frameW < minOuterW)) {
        f.resize(std::max(f.width(), minOuterW - frameW), std::max(f.height(), minOuterH - frameH));
        return; // the resize comes back here with the new size
    }

    LayoutInput in;
    in.scaleWidth = f.ScaleWidth();
    in.scaleHeight = f.ScaleHeight();
    in.pb = f.PB->geometry();
    in.pb1 = f.PB1->size();
    in.picture1Visible = f.Picture1->isVisible();
    in.picture1 = f.Picture1->size();
    in.dirTop = f.Dir1->y();
    const LayoutResult r = computeLayout(in);

    auto setWidth = [](QWidget *w, int width) {
        if (width > 0)
            w->resize(width, w->height());
    };
    setWidth(f.MP, r.mpWidth);
    setWidth(f.PB, r.pbWidth);
    f.PB1->move(r.pb1.topLeft());
    f.PB1->raise();
    if (r.hScroll.width() > 0)
        f.HScroll1->setGeometry(r.hScroll.x(), r.hScroll.y(), r.hScroll.width(), 17);
    if (r.vScroll.height() > 0)
        f.VScroll1->setGeometry(r.vScroll.x(), r.vScroll.y(), 15, r.vScroll.height());
    if (r.text2.width() > 0)
        f.Text2->setGeometry(r.text2.x(), r.text2.y(), r.text2.width(), f.Text2->height());
    if (in.picture1Visible) {
        f.HScroll1->setVisible(r.scrollBarsVisible);
        f.VScroll1->setVisible(r.scrollBarsVisible);
        if (r.resetScrollBars) {
            // Back to the home position, where the bars start.
            f.HScroll1->setValue(layout::DamagedViewLeft);
            f.VScroll1->setValue(layout::DamagedViewTop);
            f.Picture1->move(layout::DamagedViewLeft, layout::DamagedViewTop);
        }
    } else {
        f.HScroll1->hide();
        f.VScroll1->hide();
    }
    const int dirHeight = static_cast<int>(std::lround(r.dirHeight));
    if (dirHeight > 0)
        f.Dir1->resize(f.Dir1->width(), dirHeight);
    const int fileHeight = static_cast<int>(std::lround(r.fileHeight));
    f.File1->move(f.File1->x(), f.Dir1->y() + f.Dir1->height() + 3);
    if (fileHeight > 0)
        f.File1->resize(f.File1->width(), fileHeight);
    f.Combo1->move(f.Combo1->x(), r.comboTop);
    m_ctx.preview->SizeMoviePlayer();
}

} // namespace glimmerby
