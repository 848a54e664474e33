#include "windows/form1.h"

#include "browser/pane_widgets.h"
#include "shell/window_layout.h"
#include "windows/combo_box_names.h"
#include "windows/picture_widgets.h"
#include "windows/thumbnail_grid.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QStyle>

namespace glimmerby {

void KeyField::keyPressEvent(QKeyEvent *e) {
    emit keyDown(e->key(), e->modifiers());
    if (!passKeysOnly)
        QLineEdit::keyPressEvent(e);
}

void KeyField::mouseDoubleClickEvent(QMouseEvent *e) {
    QLineEdit::mouseDoubleClickEvent(e);
    emit doubleClicked();
}

Form1::Form1(const PlayerOptions &playerOptions, QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setAccessibleName(QStringLiteral("Glimmerby"));
    nameComboBoxesByRole(); // before the first combo box is made
    buildLeftColumn();
    buildPreview(playerOptions);
    buildThumbnailGrid();
    buildOptionsFrame();
    buildPropertiesFrame();
    buildToolbar();
    buildStatusBar();
    buildMenus();
    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    dockBars();
    setReadingOrder();
}

Form1::~Form1() = default;

void Form1::buildLeftColumn() {
    using namespace layout;
    // The focus field sits under the panes: it only collects keys.
    Text1 = new KeyField(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Key commands"));
    Text1->setAccessibleDescription(QStringLiteral("Keys typed here are the window's commands"));
    Text1->passKeysOnly = true;
    // Tab passes it by: it takes the focus back by itself, and Tab from it goes on from the
    // file list. Its own edit menu would stand in for the file menu of the Menu key.
    Text1->setFocusPolicy(Qt::ClickFocus);
    Text1->setContextMenuPolicy(Qt::PreventContextMenu);
    Text1->setGeometry(0, DriveTop, 1, 1);

    Drive1 = new DriveListBox(this);
    Drive1->setGeometry(0, DriveTop, ColumnWidth, DriveHeight);
    Dir1 = new DirListBox(this);
    Dir1->setGeometry(0, DirTop, ColumnWidth, 66);
    File1 = new FileListBox(this);
    File1->setGeometry(0, FileTop, ColumnWidth, 110);
    File2 = new FileListBox(this);
    File2->setAccessibleName(QStringLiteral("Music list"));
    File2->hide();
    Combo1 = new QComboBox(this);
    Combo1->setAccessibleName(QStringLiteral("Filter"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->lineEdit()->setAccessibleName(QStringLiteral("Filter"));
    Combo1->view()->setAccessibleName(QStringLiteral("Filters"));
    Combo1->setGeometry(0, 222, ColumnWidth, ComboHeight);
}

void Form1::buildPreview(const PlayerOptions &playerOptions) {
    using namespace layout;
    photo = new ImageControl(this);
    photo->setObjectName(QStringLiteral("photo"));
    photo->setGeometry(LargePlayerLeft, DamagedViewTop, 0, 0);

    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(DamagedViewLeft, DamagedViewTop, 0, 0);
    Picture1->hide();

    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setAccessibleName(QStringLiteral("Picture horizontal scroll"));
    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setAccessibleName(QStringLiteral("Picture vertical scroll"));
    // The bars run downward from the home position of the damaged view; the far end is
    // set at each display. QScrollBar wants minimum <= maximum, so they run inverted.
    HScroll1->setInvertedAppearance(false);
    for (QScrollBar *bar : {HScroll1, VScroll1}) {
        bar->setFocusPolicy(Qt::TabFocus);
        bar->setSingleStep(10);
        bar->setPageStep(100);
        bar->hide();
    }
    HScroll1->setRange(DamagedViewLeft, DamagedViewLeft);
    VScroll1->setRange(DamagedViewTop, DamagedViewTop);

    MediaPlayer2 = new MediaPlayer(MediaPlayer::Role::Movie, this, playerOptions);
    MediaPlayer2->setObjectName(QStringLiteral("MediaPlayer2"));
    MediaPlayer2->setAccessibleName(QStringLiteral("Movie player"));
    MediaPlayer2->setGeometry(LargePlayerLeft, DamagedViewTop, 400, 300);
    MediaPlayer2->hide();
    MP = new MediaPlayer(MediaPlayer::Role::Sound, this, playerOptions);
    MP->setObjectName(QStringLiteral("MP"));
    MP->setAccessibleName(QStringLiteral("Sound player"));
    MP->setGeometry(SmallPlayerLeft, DamagedViewTop, 300, 60);
    MP->hide();
    MediaPlayer1 = new MediaPlayer(MediaPlayer::Role::Music, this, playerOptions);
    MediaPlayer1->setObjectName(QStringLiteral("MediaPlayer1"));
    MediaPlayer1->setAccessibleName(QStringLiteral("Background music player"));
    MediaPlayer1->hide();

    Text2 = new KeyField(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setAccessibleName(QStringLiteral("Description"));
    Text2->setGeometry(PreviewLeft, 300, 300, 20);

    PB = new QProgressBar(this);
    PB->setAccessibleName(QStringLiteral("Modify file progress"));
    PB->setTextVisible(false);
    PB->setRange(0, 100);
    PB->setValue(0);
    PB->setGeometry(340, 4, 100, 16);
    PB->hide(); // shown while a copy or move runs
    PB1 = new QProgressBar(this);
    PB1->setAccessibleName(QStringLiteral("Checking for selected files progress"));
    PB1->setTextVisible(false);
    PB1->setRange(0, 100);
    PB1->setValue(0);
    PB1->setGeometry(300, 300, 60, 17);
}

void Form1::buildThumbnailGrid() {
    // Made after the preview elements, so that it lies above them while it is shown.
    Grid1 = new ThumbnailGrid(this);
    Grid1->hide();
}

void Form1::buildOptionsFrame() {
    SSFrame1 = new QGroupBox(QStringLiteral("Options"), this);
    SSFrame1->setAccessibleName(QStringLiteral("Options"));
    SSFrame1->setGeometry(0, layout::DriveTop, layout::ColumnWidth, 268);
    SSFrame1->setAutoFillBackground(true);
    SSFrame1->hide();

    int y = 16;
    auto label = [&](const QString &text) {
        auto *l = new QLabel(text, SSFrame1);
        l->setGeometry(4, y, 128, 16);
        y += 16;
        return l;
    };
    Ck[0] = new QCheckBox(QStringLiteral("Tool Tips On"), SSFrame1);
    Ck[0]->setGeometry(4, y, 128, 18);
    y += 18;
    Ck[1] = new QCheckBox(QStringLiteral("Show Splash"), SSFrame1);
    Ck[1]->setGeometry(4, y, 128, 18);
    y += 22;
    for (QCheckBox *box : Ck)
        box->setChecked(true);

    label(QStringLiteral("Slide Speed (sec):"));
    HS[0] = new QScrollBar(Qt::Horizontal, SSFrame1);
    HS[0]->setAccessibleName(QStringLiteral("Slide speed"));
    HS[0]->setRange(0, 10000);
    HS[0]->setSingleStep(100);
    HS[0]->setPageStep(1000);
    HS[0]->setGeometry(4, y, 92, 16);
    dispspeed = new QLabel(SSFrame1);
    dispspeed->setAccessibleDescription(QStringLiteral("Slide speed in seconds"));
    dispspeed->setGeometry(100, y, 32, 16);
    y += 20;

    label(QStringLiteral("JPG Quality (%):"));
    HS[1] = new QScrollBar(Qt::Horizontal, SSFrame1);
    HS[1]->setAccessibleName(QStringLiteral("JPEG quality"));
    HS[1]->setRange(0, 100);
    HS[1]->setPageStep(10);
    HS[1]->setGeometry(4, y, 92, 16);
    QualityLabel = new QLabel(SSFrame1);
    QualityLabel->setAccessibleDescription(QStringLiteral("JPEG quality in percent"));
    QualityLabel->setGeometry(100, y, 32, 16);
    y += 22;

    label(QStringLiteral("Chose Operation:"));
    O[0] = new QRadioButton(QStringLiteral("Restrict size To:"), SSFrame1);
    O[0]->setGeometry(4, y, 128, 18);
    y += 18;
    T[0] = new QLineEdit(SSFrame1);
    T[0]->setAccessibleName(QStringLiteral("Restrict size"));
    T[0]->setGeometry(20, y, 48, 18);
    HS[2] = new QScrollBar(Qt::Horizontal, SSFrame1);
    HS[2]->setAccessibleName(QStringLiteral("Custom size"));
    HS[2]->setRange(1, 6000);
    HS[2]->setSingleStep(10);
    HS[2]->setPageStep(100);
    HS[2]->setGeometry(72, y + 1, 60, 16);
    y += 20;
    const char *rotations[] = {"Rotate 90 Left", "Rotate 90 Right", "Rotate 180"};
    for (int i = 1; i <= 3; ++i) {
        O[i] = new QRadioButton(QString::fromLatin1(rotations[i - 1]), SSFrame1);
        O[i]->setGeometry(4, y, 128, 18);
        y += 18;
    }
    for (QRadioButton *option : O)
        option->setAutoExclusive(true);
    // Reached by Tab; a click leaves the keys where they were.
    for (QScrollBar *bar : HS)
        bar->setFocusPolicy(Qt::TabFocus);
    O[0]->setChecked(true); // "Restrict size To:" is the operation chosen at start
}

void Form1::buildPropertiesFrame() {
    SSFrame2 = new QGroupBox(QStringLiteral("Picture Properties"), this);
    SSFrame2->setAccessibleName(QStringLiteral("Picture properties"));
    SSFrame2->setGeometry(layout::LargePlayerLeft, layout::DamagedViewTop, 330, 170);
    SSFrame2->setAutoFillBackground(true);
    SSFrame2->hide();
    const char *labels[] = {"Title", "Copyright", "Camera", "Engineering", "Comments"};
    for (int i = 0; i < 5; ++i) {
        auto *l = new QLabel(QString::fromLatin1(labels[i]), SSFrame2);
        l->setGeometry(6, 20 + i * 24, 80, 20);
        MT[i] = new KeyField(SSFrame2);
        MT[i]->setAccessibleName(QString::fromLatin1(labels[i]));
        MT[i]->setGeometry(90, 20 + i * 24, 232, 20);
        l->setBuddy(MT[i]);
    }
    Command1 = new QPushButton(QStringLiteral("Close"), SSFrame2);
    Command1->setGeometry(250, 142, 72, 22);
}

void Form1::buildToolbar() {
    Toolbar1 = new QToolBar(this);
    Toolbar1->setAccessibleName(QStringLiteral("Toolbar"));
    Toolbar1->setAutoFillBackground(true);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    struct Button {
        int position;
        const char *key;
        const char *tip;
        QStyle::StandardPixmap icon;
        bool twoState;
    };
    const Button buttons[] = {
        {1, "mute", "Mute", QStyle::SP_MediaVolumeMuted, true},
        {2, "play", "Bk Gnd Music", QStyle::SP_MediaPlay, true},
        {4, "slideshow", "Slide Show", QStyle::SP_MediaSeekForward, true},
        {13, "useprops", "Use Save As Properties", QStyle::SP_DialogApplyButton, true},
        {14, "props", "Set Save As Properties", QStyle::SP_FileDialogDetailedView, true},
        {16, "about", "About / Help", QStyle::SP_MessageBoxQuestion, false},
        {18, "exit", "End Program", QStyle::SP_DialogCloseButton, false},
        {19, "thumbnails", "Thumbnails", QStyle::SP_FileDialogContentsView, true},
    };
    int next = 0;
    for (const Button &b : buttons) {
        // The positions without a key carry no command: they space the groups apart.
        while (next < b.position - 1)
            m_toolbarPositions[next++] = Toolbar1->addSeparator();
        QAction *a = Toolbar1->addAction(style()->standardIcon(b.icon), QString::fromLatin1(b.tip));
        a->setObjectName(QString::fromLatin1(b.key));
        a->setToolTip(QString::fromLatin1(b.tip));
        a->setCheckable(b.twoState);
        // Reached by Tab, but a click leaves the keys where they were.
        Toolbar1->widgetForAction(a)->setFocusPolicy(Qt::TabFocus);
        m_toolbarPositions[next++] = a;
    }
    // The button that shows the buttons a narrow window has no room for.
    if (auto *more = Toolbar1->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QStringLiteral("More buttons"));
        more->setFocusPolicy(Qt::TabFocus);
    }
    // "About / Help" drops down its two entries.
    QAction *about = toolbarButton(QStringLiteral("about"));
    auto *drop = new QMenu(this);
    helpEntry = drop->addAction(QStringLiteral("Help"));
    helpEntry->setObjectName(QStringLiteral("help"));
    aboutEntry = drop->addAction(QStringLiteral("About"));
    aboutEntry->setObjectName(QStringLiteral("about"));
    about->setMenu(drop);
    if (auto *button = qobject_cast<QToolButton *>(Toolbar1->widgetForAction(about)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
}

QAction *Form1::toolbarButton(const QString &key) const {
    for (QAction *a : m_toolbarPositions)
        if (a && !a->isSeparator() && a->objectName() == key)
            return a;
    return nullptr;
}

QList<QAction *> Form1::toolbarButtons() const {
    QList<QAction *> buttons;
    for (QAction *a : m_toolbarPositions)
        if (a && !a->isSeparator())
            buttons << a;
    return buttons;
}

int Form1::toolbarPosition(const QString &key) const {
    for (int i = 0; i < int(m_toolbarPositions.size()); ++i)
        if (m_toolbarPositions[i] && m_toolbarPositions[i]->objectName() == key)
            return i + 1;
    return 0;
}

void Form1::buildStatusBar() {
    SB = new QStatusBar(this);
    SB->setAccessibleName(QStringLiteral("Status bar"));
    SB->setSizeGripEnabled(false);
    SB->setAutoFillBackground(true);
    QFont small = SB->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    SB->setFont(small);
    const char *names[] = {"Status: size", "Status: dimensions", "Status: destination",
                           "Status: operation"};
    const int stretch[] = {1, 1, 3, 2};
    for (int i = 0; i < 4; ++i) {
        SBPanels[i] = new QLabel(SB);
        // A screen reader reads the value as the panel's name; the role is its description.
        SBPanels[i]->setAccessibleDescription(QString::fromLatin1(names[i]));
        SBPanels[i]->setFrameShape(QFrame::Panel);
        SBPanels[i]->setFrameShadow(QFrame::Sunken);
        SB->addWidget(SBPanels[i], stretch[i]);
    }
    // The batch bar sits at the status bar's right end; the panels stop short of it.
    SB->setContentsMargins(0, 0, PB1->width() + 18, 0);
    PB1->raise();
}

void Form1::setPanelText(int panel, const QString &text) {
    if (panel >= 1 && panel <= 4)
        SBPanels[panel - 1]->setText(text);
}

QString Form1::panelText(int panel) const {
    return panel >= 1 && panel <= 4 ? SBPanels[panel - 1]->text() : QString();
}

void Form1::buildMenus() {
    mnupop = new QMenu(this);
    mnupop->setAccessibleName(QStringLiteral("File menu"));
    mnuPlay = mnupop->addAction(QStringLiteral("Play"));
    mnuPlay->setEnabled(false); // kept out of use, as the menu was designed
    mnupop->addSeparator();
    mnuCopyTo = mnupop->addMenu(QStringLiteral("Copy File(s) To..."));
    Copyit[0] = mnuCopyTo->addAction(QStringLiteral("Path"));
    Copyit[1] = mnuCopyTo->addAction(QStringLiteral("As .JPG  File(s)"));
    Copyit[2] = mnuCopyTo->addAction(QStringLiteral("As Thumbnail_s.JPG File(s)"));
    Copyit[3] = mnuCopyTo->addAction(QStringLiteral("Browse..."));
    Copyit[3]->setEnabled(false); // kept out of use, as the menu was designed
    mnupop->addSeparator();
    mnuMoveTo = mnupop->addMenu(QStringLiteral("Move File(s) To"));
    moveit[0] = mnuMoveTo->addAction(QStringLiteral("Path"));
    moveit[1] = mnuMoveTo->addAction(QStringLiteral("Browse..."));
    moveit[1]->setEnabled(false);
    mnuSetDest = mnupop->addAction(QStringLiteral("Set Dest Path"));
    mnupop->addSeparator();
    mnuDelete = mnupop->addAction(QStringLiteral("Delete File"));
    mnupop->addSeparator();
    mnuOpenPSP = mnupop->addAction(QStringLiteral("Open With PSP"));
    mnuSetPSP = mnupop->addAction(QStringLiteral("Set PSP Path"));
    mnuRename = mnupop->addAction(QStringLiteral("ReName File"));
    mnupop->addSeparator();
    mnuCancel = mnupop->addAction(QStringLiteral("Cancel"));
    mnuUndo = mnupop->addAction(QStringLiteral("Undo"));
    mnuUndo->setEnabled(false); // greyed while there is nothing to undo

    mnuDirPop = new QMenu(this);
    mnuDirPop->setAccessibleName(QStringLiteral("Directory menu"));
    mnuMakeDirHere = mnuDirPop->addAction(QStringLiteral("Make Dir Here"));
    mnuSetPathMkDir = mnuDirPop->addAction(QStringLiteral("Set Path / MkDir"));
}

void Form1::dockBars() {
    const int toolbarHeight = 24;
    Toolbar1->setGeometry(0, 0, width(), toolbarHeight);
    const int sbHeight = 17;
    SB->setGeometry(0, height() - sbHeight, width(), sbHeight);
    keepBarsOnTop();
}

QList<QWidget *> Form1::readingOrder() const {
    // The toolbar, the options frame it opens over the left column, the left column from
    // the top, then the preview: the players with their controls, the damaged picture's
    // bars, the properties panel over them and the description at the bottom.
    QList<QWidget *> order;
    for (QAction *a : Toolbar1->actions())
        if (QWidget *w = Toolbar1->widgetForAction(a); w && w->focusPolicy() != Qt::NoFocus)
            order << w;
    if (auto *more = Toolbar1->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        order << more;
    order << Ck[0] << Ck[1] << HS[0] << HS[1] << O[0] << T[0] << HS[2] << O[1] << O[2] << O[3];
    // The focus field stands where the file list's keys go.
    order << Drive1 << Dir1 << File1 << Text1 << Combo1;
    for (MediaPlayer *player : {MediaPlayer2, MP})
        order << player << player->controls();
    order << HScroll1 << VScroll1;
    for (KeyField *field : MT)
        order << field;
    order << Command1 << Text2;
    return order;
}

void Form1::setReadingOrder() {
    const QList<QWidget *> order = readingOrder();
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form1::keepBarsOnTop() {
    // The damaged view and the players reach under the bars: the bars paint their own
    // background and stay above them so that they can always be read.
    Toolbar1->raise();
    SB->raise();
    PB1->raise();
}

void Form1::keyPressEvent(QKeyEvent *e) {
    // A key that a control left unhandled comes up to the window as well; only a key that
    // reached the window while no control had the focus is a command.
    const QWidget *focus = focusWidget();
    if (focus && focus != this) {
        e->ignore();
        return;
    }
    emit keyDown(e->key(), e->modifiers());
}

void Form1::resizeEvent(QResizeEvent *e) {
    QWidget::resizeEvent(e);
    dockBars();
    emit resized();
}

void Form1::changeEvent(QEvent *e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange)
        emit resized();
}

void Form1::closeEvent(QCloseEvent *e) {
    emit closeRequested(); // the close is never cancelled
    e->accept();
}

} // namespace glimmerby
