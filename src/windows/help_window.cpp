#include "windows/help_window.h"

#include "build_info.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QUrl>

namespace glimmerby {

namespace {

// Esc closes the window it watches, as it closes the program's other windows.
class EscapeCloses : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
            return false;
        static_cast<QWidget *>(watched)->close();
        return true;
    }
};

} // namespace

QString findHelpFile(const QString &appDir) {
    const QString beside = QDir(appDir).filePath(HelpFileName);
    if (QFileInfo(beside).isFile())
        return beside;
    const QString installed =
        QDir::cleanPath(QDir(appDir).filePath(QString::fromUtf8(build::HelpFromBin))) + u'/' +
        HelpFileName;
    return QFileInfo(installed).isFile() ? installed : QString();
}

Help::~Help() {
    CloseHelp();
}

void Help::InitHelp(QWidget &mainWindow, const QString &appDir) {
    m_main = &mainWindow;
    m_file = findHelpFile(appDir);
}

void Help::ShowHelp() {
    if (m_file.isEmpty() || !QFileInfo(m_file).isFile())
        return;
    if (!m_window) {
        // A window of its own (not the main window's child): it stays up when the main
        // window is minimised, and the program closes it at shutdown.
        m_window = new QTextBrowser;
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->setObjectName(QStringLiteral("HelpWindow"));
        m_window->setWindowTitle(HelpWindowTitle);
        m_window->setAccessibleName(HelpWindowTitle);
        m_window->setOpenExternalLinks(false);
        m_window->resize(640, 560);
        m_window->setSource(QUrl::fromLocalFile(m_file), QTextDocument::HtmlResource);
        m_window->installEventFilter(new EscapeCloses(m_window));
        if (m_main)
            m_window->move(m_main->geometry().topLeft() + QPoint(40, 40));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void Help::CloseHelp() {
    if (m_window)
        delete m_window.data();
}

} // namespace glimmerby
