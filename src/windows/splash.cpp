#include "windows/splash.h"

#include "build_info.h"
#include "version.h"
#include "windows/center_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace glimmerby {

QString splashTitleLine(const QString &executablePath) {
    return QFileInfo(executablePath).fileName().toUpper() +
           QStringLiteral("  %1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision);
}

QString splashNotes() {
    // Built in memory: a scratch file in the program directory could overwrite a user's.
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral(
               "    Any problems encounted before, during or after using this program "
               "are not my bag of goodies. Ya use da program ya takes your chances!!! ") +
           crlf + crlf +
           QStringLiteral("If you like this program but don't like to look at my ulgy mug... "
                          "Check out the Readme Text in the help file") +
           crlf + crlf;
}

std::array<QString, 6> versionLines(const QString &executablePath) {
    const QDateTime compiled = QFileInfo(executablePath).lastModified();
    return {QStringLiteral("Company Name: ") + QString::fromUtf8(build::CompanyName),
            QStringLiteral("File Description: ") + QString::fromUtf8(build::FileDescription),
            QStringLiteral("Copyrights: ") + QString::fromUtf8(build::LegalCopyright),
            QStringLiteral("Legal Trademarks: ") + QString::fromUtf8(build::LegalTrademarks),
            QStringLiteral("Compiled: ") +
                QLocale().toString(compiled, QStringLiteral("MMMM dd, yyyy 'at' hh:mm")),
            QStringLiteral("Product Name: ") + QString::fromUtf8(build::ProductName)};
}

Splash::Splash(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Splash"));
    setWindowTitle(QStringLiteral("Glimmerby"));
    setAccessibleName(QStringLiteral("About Glimmerby"));
    setFixedSize(420, 330);
    const QString exe = QCoreApplication::applicationFilePath();

    Label1 = new QLabel(splashTitleLine(exe), this);
    Label1->setAccessibleName(Label1->text());
    Label1->setAccessibleDescription(QStringLiteral("Program and version"));
    QFont big = Label1->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    Label1->setFont(big);
    Label1->setGeometry(12, 8, 396, 30);

    Text1 = new QPlainTextEdit(this);
    Text1->setAccessibleName(QStringLiteral("Notes"));
    Text1->setReadOnly(true);
    Text1->setPlainText(splashNotes());
    Text1->setGeometry(12, 44, 396, 100);

    const std::array<QString, 6> lines = versionLines(exe);
    for (int i = 0; i < 6; ++i) {
        L[i] = new QLabel(lines[i], this);
        L[i]->setAccessibleName(lines[i]);
        L[i]->setAccessibleDescription(QStringLiteral("Version information"));
        L[i]->setGeometry(12, 150 + i * 20, 396, 18);
    }

    SPB = new QProgressBar(this);
    SPB->setAccessibleName(QStringLiteral("Loading progress"));
    SPB->setTextVisible(false);
    SPB->setGeometry(12, 280, 396, 16);
    SPB->hide();

    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setGeometry(248, 290, 76, 26);
    Command1->hide();
    Command2 = new QPushButton(QStringLiteral("Help"), this);
    Command2->setGeometry(332, 290, 76, 26);
    Command2->hide();
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);

    Timer1 = new QTimer(this);
    Timer2 = new QTimer(this);
    Timer2->setInterval(50);
    connect(Timer2, &QTimer::timeout, this, &Splash::Timer2_Timer);

    CenterWindow(*this);
    Command2->setFocus();
}

void Splash::useAsAbout() {
    Timer1->stop();
    Timer2->stop();
    Command1->show();
    Command2->show();
    SPB->hide();
    Command2->setDefault(true);
    Command2->setFocus();
}

void Splash::Timer2_Timer() {
    elapsed += 50;
    SPB->setValue(std::min(elapsed, SPB->maximum()));
}

void Splash::closeEvent(QCloseEvent *e) {
    emit closing();
    e->accept();
}

} // namespace glimmerby
