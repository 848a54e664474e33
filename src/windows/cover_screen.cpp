#include "windows/cover_screen.h"

#include "app/app_context.h"
#include "windows/dialog_box.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QPainter>

namespace glimmerby {

QImage drawCoverChart(QSize size) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    const int w = image.width();
    const int h = image.height();
    const int margin = std::max(8, std::min(w, h) / 12);
    const QRect plot(margin, margin, std::max(1, w - 2 * margin), std::max(1, h - 2 * margin));
    p.setPen(QPen(QColor(210, 210, 210), 1));
    for (int i = 0; i <= 10; ++i) {
        const int y = plot.top() + plot.height() * i / 10;
        p.drawLine(plot.left(), y, plot.right(), y);
        const int x = plot.left() + plot.width() * i / 10;
        p.drawLine(x, plot.top(), x, plot.bottom());
    }
    // Twelve months of a figure that wanders upward.
    static const int heights[12] = {42, 55, 48, 61, 58, 70, 66, 74, 69, 81, 77, 88};
    const double slot = plot.width() / 12.0;
    for (int i = 0; i < 12; ++i) {
        const int barHeight = plot.height() * heights[i] / 100;
        const QRectF bar(plot.left() + slot * i + slot * 0.2, plot.bottom() - barHeight, slot * 0.6,
                         barHeight);
        p.fillRect(bar, i % 2 ? QColor(40, 90, 160) : QColor(70, 130, 200));
    }
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    return image;
}

CoverScreen::CoverScreen(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {}

CoverScreen::~CoverScreen() {
    delete m_box.data();
}

void CoverScreen::show() {
    Form1 &f = m_ctx.form;
    f.showMinimized();
    if (m_box) {
        m_box->raise();
        return;
    }
    // A window of its own rather than one over the main window: a window manager hides
    // the dialogs of a minimised window along with it.
    m_box = new DialogBox(nullptr);
    DialogBox *box = m_box;
    box->setWindowTitle(QString());
    box->setMinimumSize(0, 0);
    box->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    box->Picture1->setAccessibleName(QStringLiteral("Chart"));
    box->Picture1->setPainter(
        [box](QPainter &p) { p.drawImage(0, 0, drawCoverChart(box->Picture1->size())); });
    box->Picture1->move(0, 0);
    box->Picture1->show();
    box->Picture1->raise();
    connect(box, &QDialog::finished, this, [this, box] {
        Form1 &form = m_ctx.form;
        if (form.isMinimized())
            form.setWindowState(form.windowState() & ~Qt::WindowMinimized);
        box->deleteLater();
    });
    box->setModal(false);
    box->showMaximized();
    box->Picture1->setGeometry(box->rect());
    box->Picture1->raise();
    box->activateWindow();
}

} // namespace glimmerby
