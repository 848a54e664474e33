// Glimmerby's entry point.

#include "app/application.h"
#include "app/termination_signals.h"
#include "version.h"
#include "windows/form1.h"
#include "windows/qt_message_boxes.h"

#include <QApplication>
#include <QIcon>

#include <clocale>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // The media player refuses a numeric locale other than C.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Glimmerby"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(glimmerby::VersionMajor)
                                            .arg(glimmerby::VersionMinor)
                                            .arg(glimmerby::VersionRevision));

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/glimmerby/glimmerby.png")));

    glimmerby::QtMessageBoxes boxes;
    glimmerby::Application glimmerby(boxes);
    // Installed before anything else runs: a termination signal at any moment of the start
    // (a question up before the window exists) runs the shutdown once and ends the program.
    glimmerby::TerminationSignals terminations;
    QObject::connect(&terminations, &glimmerby::TerminationSignals::received, &glimmerby,
                     &glimmerby::Application::requestTermination);
    // Once the main window exists (at once, or on the splash window's first tick), the
    // message boxes belong to it.
    QObject::connect(&glimmerby, &glimmerby::Application::mainWindowCreated,
                     [&boxes](QWidget *window) { boxes.parent = window; });
    // The whole command line is one path, its words joined by single blanks.
    const QString commandLine = QApplication::arguments().mid(1).join(u' ');
    if (!glimmerby.Main(commandLine))
        return 0;
    // A desktop session that ends quits without closing the window first.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &glimmerby,
                     &glimmerby::Application::shutdown);
    return app.exec();
}
