#include "picture/status_line.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "version.h"
#include "windows/form1.h"
#include "windows/picture_widgets.h"

#include <QFileInfo>
#include <QLocale>

namespace glimmerby {

QString StatusLine::caption(const QString &currentFile) {
    return QStringLiteral("Glimmerby %1.%2.%3 - ")
               .arg(VersionMajor)
               .arg(VersionMinor)
               .arg(VersionRevision) +
           currentFile;
}

QString StatusLine::sizePanel(qint64 bytes) {
    QLocale locale;
    // "#,##0.00": thousands are always grouped, whatever the locale's default.
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(double(bytes) / 1024.0, 'f', 2) + QStringLiteral("K  ");
}

void StatusLine::UpdateStatusLine() {
    Form1 &f = m_ctx.form;
    const AppState &s = m_ctx.state;
    const QFileInfo info(s.CurrentFile);
    const qint64 length = (!s.CurrentFile.isEmpty() && info.isFile()) ? info.size() : 0;

    f.setWindowTitle(caption(s.CurrentFile));
    f.setPanelText(1, sizePanel(length));
    f.setPanelText(2, QStringLiteral("%1 X %2  ").arg(s.PictureWidth).arg(s.PictureHeight));
    f.setPanelText(3, s.DestinationDir + QStringLiteral("  "));

    QString operation;
    if (f.O[0]->isChecked())
        operation = QStringLiteral("Size=") + f.T[0]->text();
    if (f.O[1]->isChecked())
        operation = QStringLiteral("Rot Left");
    if (f.O[2]->isChecked())
        operation = QStringLiteral("Rot Right");
    if (f.O[3]->isChecked())
        operation = QStringLiteral("Rot 180");
    const QString quality = QStringLiteral("Qty=") + QString::number(s.JpegQuality);
    if (s.ModifyEnabled == 1)
        f.setPanelText(4, quality + QStringLiteral("-Func=") + operation + QStringLiteral("  "));
    else
        f.setPanelText(4, quality + QStringLiteral("-Func=None  "));

    if (s.ToolTipsSetting == QLatin1String("True"))
        f.photo->setToolTip(s.CurrentFile);
}

} // namespace glimmerby
