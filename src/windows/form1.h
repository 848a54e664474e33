#pragma once
// The main window: it holds the controls, places them where they start, and hands every
// event to the controllers through its controls' signals. It does no file work itself.

#include "playback/media_player.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include <array>

namespace glimmerby {

class DriveListBox;
class DirListBox;
class FileListBox;
class ImageControl;
class PictureBox;
class ThumbnailGrid;

// A line edit that hands its keys to the window's key commands.
class KeyField : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;
  signals:
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void doubleClicked();

  protected:
    void keyPressEvent(QKeyEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

  public:
    bool passKeysOnly = false; // true: keys go only to the key commands (the focus field)
};

class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(const PlayerOptions &playerOptions = {}, QWidget *parent = nullptr);
    ~Form1() override;

    int ScaleWidth() const { return width(); }
    int ScaleHeight() const { return height(); }

    // Left column.
    DriveListBox *Drive1;
    DirListBox *Dir1;
    FileListBox *File1;
    FileListBox *File2; // hidden: the sound files of the directory, for background music
    QComboBox *Combo1;

    // Toolbar with its 18 positions and the "Thumbnails" button after them; buttons with a
    // key are reachable by it.
    QToolBar *Toolbar1;
    QAction *toolbarButton(const QString &key) const;
    QList<QAction *> toolbarButtons() const; // the buttons with a key, left to right
    // The "about" button's drop-down entries.
    QAction *helpEntry;
    QAction *aboutEntry;
    int toolbarPosition(const QString &key) const; // 1-based, 0 when unknown

    // Status bar with four panels.
    QStatusBar *SB;
    std::array<QLabel *, 4> SBPanels;                  // panels 1 to 4 are [0] to [3]
    void setPanelText(int panel, const QString &text); // panel 1 to 4
    QString panelText(int panel) const;
    void keepBarsOnTop(); // the toolbar and status bar above every preview element

    // Preview area.
    ImageControl *photo;
    PictureBox *Picture1;
    QScrollBar *HScroll1;
    QScrollBar *VScroll1;
    MediaPlayer *MediaPlayer2; // large movie player
    MediaPlayer *MP;           // small sound player
    MediaPlayer *MediaPlayer1; // hidden background-music player

    // The thumbnail grid: over the preview area while it is on (key G, "Thumbnails").
    ThumbnailGrid *Grid1;

    KeyField *Text1;   // holds the focus and feeds the key commands
    KeyField *Text2;   // the one-line description of the current file
    QProgressBar *PB;  // step progress
    QProgressBar *PB1; // batch progress

    // Options frame.
    QGroupBox *SSFrame1;
    std::array<QScrollBar *, 3> HS; // 0 slide speed, 1 JPEG quality, 2 custom size
    std::array<QLineEdit *, 1> T;   // the size field
    std::array<QRadioButton *, 4> O;
    QLabel *QualityLabel;
    QLabel *dispspeed;
    std::array<QCheckBox *, 2> Ck; // 0 tool tips, 1 splash

    // Properties frame.
    QGroupBox *SSFrame2;
    std::array<KeyField *, 5> MT;
    QPushButton *Command1; // "Close"

    // Pop-up menus.
    QMenu *mnupop;
    QAction *mnuPlay;
    QMenu *mnuCopyTo;
    std::array<QAction *, 4> Copyit; // 0 the destination, 1 as JPG, 2 as thumbnail, 3 browse
    QMenu *mnuMoveTo;
    std::array<QAction *, 2> moveit; // 0 the destination, 1 browse
    QAction *mnuSetDest, *mnuDelete, *mnuOpenPSP, *mnuSetPSP, *mnuRename, *mnuCancel;
    // After "Cancel": undoes the last file command, named in its caption.
    QAction *mnuUndo;
    QMenu *mnuDirPop;
    QAction *mnuMakeDirHere, *mnuSetPathMkDir;

    QTimer *Timer1; // the slide-show timer

    // Moves the focus to the next (or previous) control in the window's reading order.
    bool focusNextControl(bool forward) { return focusNextPrevChild(forward); }
    // The window's controls in reading order, as Tab visits them.
    QList<QWidget *> readingOrder() const;

  signals:
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void resized();
    void closeRequested();

  protected:
    void keyPressEvent(QKeyEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void changeEvent(QEvent *e) override;

  private:
    void buildLeftColumn();
    void buildToolbar();
    void buildStatusBar();
    void buildPreview(const PlayerOptions &playerOptions);
    void buildThumbnailGrid();
    void buildOptionsFrame();
    void buildPropertiesFrame();
    void buildMenus();
    void dockBars();
    void setReadingOrder();

    std::array<QAction *, 19> m_toolbarPositions{};
};

} // namespace glimmerby
