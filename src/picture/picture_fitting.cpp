#include "picture/picture_fitting.h"

#include <algorithm>

namespace glimmerby {

QRect fitPicture(int pw, int ph, int scaleWidth, int scaleHeight) {
    int width = 0, height = 0, top = 0;
    if (pw < 200 && ph < 200) {
        width = pw;
        height = ph;
        top = (scaleHeight - height) / 2 + 5;
    } else if (pw > ph) {
        width = scaleWidth - 150;
        height = static_cast<int>(static_cast<long long>(width) * ph / pw);
        top = (scaleHeight - height) / 2 - 5;
    } else {
        height = scaleHeight - 65;
        width = ph > 0 ? static_cast<int>(static_cast<long long>(height) * pw / ph) : 0;
        top = (scaleHeight - height) / 2 - 5;
    }
    const int left = (scaleWidth - width) / 2 + 70;
    return QRect(left, top, width, height);
}

QSize fittedSize(QSize natural, QSize area) {
    const QRect fit =
        fitPicture(natural.width(), natural.height(), area.width() + 150, area.height() + 65);
    return QSize(std::max(1, fit.width()), std::max(1, fit.height()));
}

} // namespace glimmerby
