#include "organize/destination.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "windows/form1.h"

namespace glimmerby {

QString MenuCaptionFor(const QString &path) {
    QString caption = path;
    return caption.replace(QLatin1Char('&'), QLatin1String("&&"));
}

void SetDestinationDir(AppContext &ctx, const QString &dir) {
    ctx.state.DestinationDir = dir;
    Form1 &f = ctx.form;
    f.moveit[0]->setText(MenuCaptionFor(dir));
    f.Copyit[0]->setText(MenuCaptionFor(dir));
    f.setPanelText(3, dir + QStringLiteral("  "));
}

} // namespace glimmerby
