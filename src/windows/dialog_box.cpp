#include "windows/dialog_box.h"

#include "app/settings_store.h"
#include "browser/pane_widgets.h"
#include "windows/picture_widgets.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace glimmerby {

namespace {

// A one-line label for a path: a long path is shortened in the middle on screen, so that
// the file name stays readable, while text() keeps the whole path.
class PathLabel : public QLabel {
  public:
    explicit PathLabel(QWidget *parent) : QLabel(parent) {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        const QRect area = contentsRect();
        p.setPen(palette().color(foregroundRole()));
        p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

} // namespace

QString withTrailingSlash(const QString &dir) {
    if (dir.isEmpty() || dir.endsWith(u'/'))
        return dir;
    return dir + u'/';
}

DialogBox::DialogBox(QWidget *mainWindow) : QDialog(mainWindow), m_mainWindow(mainWindow) {
    setWindowTitle(QStringLiteral("File Exists ?"));
    setAccessibleName(QStringLiteral("Options"));

    Picture1 = new PictureBox(this);
    Picture1->setAccessibleName(QStringLiteral("Background"));

    Image1 = new ImageControl(this);
    Image1->setAccessibleName(QStringLiteral("Question sign"));
    Image1->setPicture(
        style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32).toImage());
    Image1->setFixedSize(32, 32);

    Label2 = new PathLabel(this);
    Label2->setAccessibleName(QStringLiteral("File or directory"));

    Label1 = new QLabel(this);
    // File names come into these labels; they are never read as markup.
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setAccessibleName(QStringLiteral("Message"));

    static const char *const designCaptions[6] = {"Overwrite One", "Overwrite All", "Rename One",
                                                  "Rename All",    "Cancel",        "Skip One"};
    for (int i = 0; i < 6; ++i) {
        C[i] = new QPushButton(this);
        setButtonCaption(i, QString::fromLatin1(designCaptions[i]));
        connect(C[i], &QPushButton::clicked, this, [this, i] { C_Click(i); });
    }

    Command1 = new QPushButton(QStringLiteral("MkDir"), this);
    Command1->setAccessibleName(QStringLiteral("MkDir"));
    Command1->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, &DialogBox::Command1_Click);

    Drive1 = new DriveListBox(this);
    Drive1->setAccessibleName(QStringLiteral("Destination drive"));
    connect(Drive1, &DriveListBox::driveChanged, this, &DialogBox::Drive1_Change);
    Dir1 = new DirListBox(this);
    Dir1->setAccessibleName(QStringLiteral("Destination directory"));

    // Left: the path, the sign and message, the answers. Right: the directory controls,
    // which only the directory question shows; hidden controls give up their room.
    auto *grid = new QGridLayout(this);
    grid->addWidget(Label2, 0, 0, 1, 3);
    grid->addWidget(Image1, 1, 0, Qt::AlignTop);
    grid->addWidget(Label1, 1, 1);
    auto *buttons = new QGridLayout;
    for (int i = 0; i < 6; ++i)
        buttons->addWidget(C[i], i / 3, i % 3);
    buttons->addWidget(Command1, 0, 3);
    grid->addLayout(buttons, 1, 2, Qt::AlignTop);
    auto *dirs = new QVBoxLayout;
    dirs->addWidget(Drive1);
    dirs->addWidget(Dir1, 1);
    grid->addLayout(dirs, 0, 3, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    Picture1->lower();
    setHeightTwips(DesignHeight);
}

void DialogBox::setHeightTwips(int twips) {
    const QScreen *s = screen();
    const double dpiX = s ? s->logicalDotsPerInchX() : 96.0;
    const double dpiY = s ? s->logicalDotsPerInchY() : 96.0;
    ensurePolished(); // the controls measure themselves in their final style and font
    // Controls shown or hidden since the last measurement count only once every layout
    // has forgotten what it measured.
    for (QLayout *l : layout()->findChildren<QLayout *>())
        l->invalidate();
    layout()->invalidate();
    const int width =
        std::max(twipsToPixels(DesignWidth, dpiX), layout()->totalMinimumSize().width());
    setFixedSize(width, twipsToPixels(twips, dpiY));
}

void DialogBox::setButtonCaption(int index, const QString &caption) {
    C[index]->setText(caption);
    C[index]->setAccessibleName(caption);
}

void DialogBox::showEvent(QShowEvent *e) {
    QDialog::showEvent(e);
    if (!m_activated && !e->spontaneous()) {
        m_activated = true;
        Form_Activate();
    }
}

void DialogBox::Form_Activate() {
    if (m_startDirectory.isEmpty())
        return;
    Drive1->setDriveForPath(m_startDirectory);
    Dir1->setPath(m_startDirectory);
}

void DialogBox::Drive1_Change(const QString &root) {
    Dir1->setPath(root);
}

void DialogBox::C_Click(int index) {
    m_buttonPressed = true;
    m_chosenDir = withTrailingSlash(Dir1->path());
    answer(QString::number(index));
}

void DialogBox::answer(const QString &choice) {
    m_choice = choice;
    done(QDialog::Accepted);
}

void DialogBox::keyPressEvent(QKeyEvent *e) {
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->accept();
        answer(QStringLiteral("4"));
        return;
    }
    QDialog::keyPressEvent(e);
}

void DialogBox::closeEvent(QCloseEvent *e) {
    // Closed by the window frame: no button was chosen, so the answer is the one the owner
    // set for that case, never whatever an earlier dialog answered.
    if (m_choice.isEmpty())
        m_choice = m_closedAnswer;
    QDialog::closeEvent(e);
}

void DialogBox::done(int result) {
    if (m_choice.isEmpty())
        m_choice = m_closedAnswer;
    if (m_mainWindow && m_mainWindow->isMinimized())
        m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    QDialog::done(result);
}

void DialogBox::resizeEvent(QResizeEvent *e) {
    QDialog::resizeEvent(e);
    // "Cancel" holds the focus where there is one, so that a stray Enter cancels.
    if (C[4]->isVisibleTo(this))
        C[4]->setFocus();
    else if (C[3]->isVisibleTo(this))
        C[3]->setFocus();
    Picture1->setGeometry(rect());
}

void DialogBox::Command1_Click() {
    if (makeDirectory && makeDirectory(withTrailingSlash(Dir1->path())))
        Dir1->refresh();
}

} // namespace glimmerby
