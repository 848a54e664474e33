#include "browser/browser_controller.h"

#include "app/app_context.h"
#include "app/app_state.h"
#include "app/stale_temporaries.h"
#include "browser/grid_controller.h"
#include "browser/media_kinds.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "picture/picture_view.h"
#include "picture/status_line.h"
#include "shell/key_commands.h"
#include "windows/form1.h"

namespace glimmerby {

BrowserController::BrowserController(AppContext &ctx) : QObject(&ctx.form), m_ctx(ctx) {
    Form1 &f = ctx.form;
    f.File1->setPattern(initialFilePattern());
    f.File2->setPattern(musicFilePattern());

    connect(f.Drive1, &DriveListBox::driveChanged, this, &BrowserController::onDriveChanged);
    connect(f.Drive1, &DriveListBox::keyDown, this, [this] { closingCall(); });
    connect(f.Dir1, &DirListBox::pathChanged, this, &BrowserController::onDirectoryChanged);
    connect(f.Dir1, &DirListBox::keyDown, this, [this] { closingCall(); });
    connect(f.Dir1, &DirListBox::mouseDown, this, &BrowserController::onDirMouseDown);
    connect(f.File1, &FileListBox::keyDown, this, &BrowserController::onFileKeyDown);
    connect(f.File1, &FileListBox::keyUp, this, &BrowserController::onFileKeyUp);
    connect(f.File1, &FileListBox::mouseDown, this, &BrowserController::onFileMouseDown);
    connect(f.Combo1, &QComboBox::editTextChanged, this, [this] { ApplyFilter(); });
    connect(f.Combo1, &QComboBox::activated, this, [this] { ApplyFilter(); });
}

void BrowserController::fillFilterBox() {
    QComboBox *box = m_ctx.form.Combo1;
    const QSignalBlocker block(box);
    box->clear();
    for (const FilterChoice &choice : filterChoices())
        box->addItem(choice.entry);
    box->setCurrentIndex(-1);
}

// The chosen entry, or -1 when the box holds text of the user's own.
static int chosenFilter(const QComboBox *box) {
    const int index = box->currentIndex();
    if (index < 0 || box->currentText() != box->itemText(index))
        return -1;
    return index;
}

void BrowserController::ApplyFilter() {
    Form1 &f = m_ctx.form;
    f.Combo1->setToolTip(QString());
    const int index = chosenFilter(f.Combo1);
    if (index >= 0 && index < FilterCount) {
        const FilterChoice &choice = filterChoices()[index];
        if (f.File1->pattern() != choice.pattern)
            f.File1->setPattern(choice.pattern);
        else
            f.File1->refresh();
        if (m_ctx.state.ToolTipsSetting == QLatin1String("True"))
            f.Combo1->setToolTip(choice.toolTip);
    } else {
        f.File1->refresh();
    }
    closingCall();
}

void BrowserController::RefreshFileList(const QString &name) {
    Form1 &f = m_ctx.form;
    AppState &s = m_ctx.state;
    f.File1->refresh();
    if (f.File1->listCount() == 0)
        return; // nothing to select: CurrentFile keeps its value
    int found = 0;
    if (!name.isEmpty()) {
        const QString wanted = name.toUpper();
        for (int i = 0; i < f.File1->listCount(); ++i) {
            if (f.File1->item(i).toUpper() == wanted) {
                found = i;
                break;
            }
        }
    }
    f.File1->setListIndex(found);
    s.CurrentFile = f.File1->fullPath(found);
    switch (classify(s.CurrentFile, KindPlace::Refresh)) {
    case MediaKind::Movie:
    case MediaKind::Sound:
        f.Timer1->stop();
        m_ctx.status->UpdateStatusLine();
        break;
    case MediaKind::Picture:
        m_ctx.picture->ShowPicture();
        m_ctx.status->UpdateStatusLine();
        break;
    case MediaKind::Unrecognized:
        m_ctx.status->UpdateStatusLine();
        break;
    }
}

void BrowserController::closingCall() {
    m_ctx.form.update();
}

bool BrowserController::setDirectory(const QString &dir) {
    return m_ctx.form.Dir1->setPath(dir);
}

void BrowserController::onDriveChanged(const QString &root) {
    // Each volume keeps the directory last shown on it, as a drive keeps its current one.
    const QString target = m_driveDirs.value(root, root);
    if (!m_ctx.form.Dir1->setPath(target) && target != root)
        m_ctx.form.Dir1->setPath(root);
    closingCall();
}

void BrowserController::onDirectoryChanged(const QString &path) {
    Form1 &f = m_ctx.form;
    const QString root = DriveListBox::volumeRootOf(path);
    m_driveDirs.insert(root, path);
    {
        // Walking into another volume shows that volume in the drive list.
        const QSignalBlocker block(f.Drive1);
        f.Drive1->setDriveForPath(path);
    }
    // Temporaries a killed Glimmerby left here go, unless another one may be writing them.
    if (m_ctx.running && m_ctx.running->alone())
        RemoveStaleTemporaries(path, m_ctx.startedNs);
    f.File1->setPath(path);
    f.File2->setPath(path);
    f.File1->setListIndex(0); // selected, not previewed
    closingCall();
    f.Text1->setFocus();
}

void BrowserController::onDirMouseDown(Qt::MouseButton button, const QPoint &globalPos) {
    if (button == Qt::RightButton && m_ctx.state.BatchBusy == 0)
        m_ctx.form.mnuDirPop->popup(globalPos);
}

void BrowserController::onFileKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    m_ctx.keys->Form_KeyDown(key, modifiers);
    closingCall();
}

void BrowserController::onFileKeyUp() {
    m_ctx.form.Text1->setFocus();
}

void BrowserController::onFileMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                        const QPoint &globalPos) {
    // The grid stands where the preview would be: a click in the list picks its cell rather
    // than previewing (or playing) the file out of sight behind it.
    if (button == Qt::LeftButton && m_ctx.grid && m_ctx.grid->isShown()) {
        m_ctx.grid->showListCurrent();
        return;
    }
    m_ctx.preview->PreviewClicked(button, modifiers, globalPos);
}

} // namespace glimmerby
