#include "app/application.h"

#include "app/data_dir.h"
#include "app/message_boxes.h"
#include "app/settings_store.h"
#include "app/single_instance.h"
#include "app/split_path.h"
#include "app/stale_temporaries.h"
#include "app/trash.h"
#include "browser/browser_controller.h"
#include "browser/directory_listing.h"
#include "browser/grid_controller.h"
#include "browser/media_kinds.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "organize/copy_move.h"
#include "organize/destination.h"
#include "organize/file_clipboard.h"
#include "organize/file_commands.h"
#include "organize/file_events.h"
#include "organize/file_undo.h"
#include "organize/name_clash.h"
#include "organize/options_dialog.h"
#include "organize/path_commands.h"
#include "organize/rename_command.h"
#include "picture/ijl.h"
#include "picture/picture_modifier.h"
#include "picture/picture_view.h"
#include "picture/status_line.h"
#include "playback/playback_controller.h"
#include "playback/slide_show.h"
#include "shell/description_field.h"
#include "shell/key_commands.h"
#include "shell/layout_controller.h"
#include "shell/toggles_controller.h"
#include "shell/window_layout.h"
#include "windows/form1.h"
#include "windows/help_window.h"
#include "windows/picture_widgets.h"
#include "windows/qt_file_dialogs.h"
#include "windows/qt_input_boxes.h"
#include "windows/splash.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace glimmerby {

Application::Application(MessageBoxes &boxes, const StartOptions &options)
    : m_boxes(boxes), m_options(options) {}

Application::~Application() {
    if (m_help)
        m_help->CloseHelp();
    delete m_about.data();
    delete m_splash.data();
    // Controllers are children of the window; the context and the codec outlive them.
    m_form.reset();
}

bool Application::Main(const QString &commandLine) {
    AppState &s = m_state;
    const QString exeDir =
        m_options.appDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_options.appDir;
    s.AppDir = appDirFor(exeDir);

    const QString configHome =
        m_options.configHome.isEmpty() ? configHomeFromEnvironment() : m_options.configHome;
    s.DataDir = dataDirFor(s.AppDir, configHome);
    s.IniPath = iniPathFor(s.DataDir);

    // One instance per settings file: the lock lives beside the file that is written, so
    // that a second copy with another environment still finds it. A second one ends
    // before it has read or written anything.
    m_instance = m_options.lockDir.isEmpty()
                     ? std::make_unique<SingleInstance>(
                           SingleInstance::LockFile{SingleInstance::besideSettings(s.IniPath)})
                     : std::make_unique<SingleInstance>(s.AppDir, m_options.lockDir);
    const InstanceLock lock = m_instance->tryAcquire();
    if (lock == InstanceLock::HeldByAnother) {
        m_boxes.show(QStringLiteral("Prevous Instance Running... This Instance will now end."),
                     ProgramTitle);
        return false;
    }
    // Only the holder of the lock may take a temporary for one left by a killed save.
    if (lock == InstanceLock::Acquired)
        removeOwnTemporaries(s.DataDir);
    m_ownsJournal = lock == InstanceLock::Acquired;
    m_trash = std::make_unique<Trash>(
        m_options.homeTrash.isEmpty() ? Trash::homeTrashFromEnvironment() : m_options.homeTrash);
    m_running = std::make_unique<RunningLock>(
        m_options.lockDir.isEmpty() ? QString()
                                    : m_options.lockDir + QStringLiteral("/glimmerby.running"));

    m_settingsSource = settingsSourceFor(s.IniPath, iniPathFor(s.AppDir));
    const StartupSettings startup = readStartupSettings(m_settingsSource);
    s.ShowSplashSetting = startup.ShowSplash;
    s.SplashTime = startup.SplashTime;

    if (s.ShowSplashSetting == QLatin1String("True")) {
        s.SplashTime = 1; // the splash window's hand-over interval
        startSplash(commandLine);
        return true;
    }
    s.SplashTime = 100;
    loadMainWindow(commandLine);
    if (m_terminating)
        return false; // ended during the load: the window is never shown
    m_form->show();
    s.BatchBusy = 0;
    return true;
}

void Application::loadMainWindow(const QString &commandLine) {
    m_loading = true;
    createWindow();
    emit mainWindowCreated(m_form.get());
    Form_Load(commandLine);
    m_loading = false;
    if (m_terminating)
        endAfterTermination();
}

void Application::startSplash(const QString &commandLine) {
    m_commandLine = commandLine;
    m_splash = new Splash;
    Splash &sp = *m_splash;
    sp.setAttribute(Qt::WA_DeleteOnClose);
    sp.Timer1->setInterval(m_state.SplashTime);
    sp.SPB->setRange(0, 61);
    sp.SPB->setValue(1);
    sp.SPB->show();
    connect(sp.Timer1, &QTimer::timeout, this, &Application::Splash_Timer1);
    // Closing the splash window before the main window is up finishes the hand-over;
    // otherwise a process without windows would keep running (and keep its lock).
    connect(&sp, &Splash::closing, this, [this] {
        if (m_loading)
            m_handOverDue = true;
        else if (m_splash && !m_shutDown)
            finishHandOver();
    });
    sp.show();
    sp.repaint();
    sp.Timer1->start();
}

void Application::Splash_Timer1() {
    if (!m_splash)
        return;
    Splash &sp = *m_splash;
    // Stopped while the main window loads: an event loop inside the load must not run
    // the second tick, which deletes the splash window under this handler.
    sp.Timer1->stop();
    sp.tickCount += 1;
    if (sp.tickCount == 1) {
        loadMainWindow(m_commandLine);
        if (!m_splash)
            return;
        if (m_handOverDue) {
            finishHandOver();
            return;
        }
        sp.SPB->setMaximum(sp.Timer1->interval());
        sp.SPB->setValue(1);
        sp.Timer2->start();
        sp.Timer1->start();
        return;
    }
    finishHandOver();
}

void Application::finishHandOver() {
    if (!m_form) {
        loadMainWindow(m_commandLine);
        if (!m_form)
            return;
    }
    if (m_splash) {
        m_splash->Timer1->stop();
        m_splash->Timer2->stop();
        m_splash->SPB->setValue(m_splash->SPB->maximum());
    }
    m_form->show();
    m_state.BatchBusy = 0;
    if (m_splash) {
        Splash *sp = m_splash;
        m_splash = nullptr;
        disconnect(sp, nullptr, this, nullptr);
        sp->hide();
        sp->deleteLater();
    }
}

void Application::advanceSplash(int units) {
    if (m_splash)
        m_splash->SPB->setValue(std::min(m_splash->SPB->value() + units, m_splash->SPB->maximum()));
}

void Application::ShowAboutWindow() {
    if (!m_form)
        return;
    if (m_about) { // one at a time
        m_about->raise();
        m_about->activateWindow();
        return;
    }
    m_form->showMinimized();
    m_about = new Splash;
    Splash &about = *m_about;
    about.setAttribute(Qt::WA_DeleteOnClose);
    about.useAsAbout();
    connect(about.Command2, &QPushButton::clicked, this, [this] { m_help->ShowHelp(); });
    // "Close" and the window's frame both bring the main window back.
    connect(&about, &Splash::closing, this, [this] {
        if (m_form && !m_shutDown)
            m_form->showNormal();
    });
    about.show();
    about.Command2->setFocus();
}

void Application::createWindow() {
    m_form = std::make_unique<Form1>(m_options.players);
    m_ctx = std::make_unique<AppContext>(AppContext{m_state, m_boxes, *m_form});
    AppContext &ctx = *m_ctx;
    m_codec = std::make_unique<IJL>(m_boxes);
    ctx.codec = m_codec.get();
    m_status = std::make_unique<StatusLine>(ctx);
    ctx.status = m_status.get();
    ctx.picture = new PictureView(ctx);
    ctx.preview = new PreviewDispatcher(ctx);
    ctx.browser = new BrowserController(ctx);
    ctx.keys = new KeyCommands(ctx);
    ctx.grid = new ThumbnailGridController(ctx);
    ctx.layout = new LayoutController(ctx);
    ctx.slideShow = new SlideShow(ctx);
    ctx.playback = new PlaybackController(ctx);
    m_toggles = new TogglesController(ctx);
    ctx.toggles = m_toggles;
    ctx.modifier = new PictureModifier(ctx);
    ctx.fileEvents = new FileEvents(this);
    ctx.trash = m_trash.get();
    ctx.running = m_running.get();
    ctx.startedNs = m_startedNs;
    ctx.undo = new FileUndo(ctx);
    ctx.files = new FileCommands(ctx);
    ctx.descriptions = new DescriptionField(ctx);
    auto inputs = std::make_unique<QtInputBoxes>();
    inputs->parent = m_form.get();
    ctx.dialog = new OptionsDialog(ctx, *inputs);
    ctx.inputs = inputs.get();
    m_inputs = std::move(inputs);
    auto fileDialogs = std::make_unique<QtFileDialogs>();
    fileDialogs->parent = m_form.get();
    ctx.fileDialogs = fileDialogs.get();
    m_fileDialogs = std::move(fileDialogs);
    ctx.paths = new PathCommands(ctx);
    ctx.clipboard = new FileClipboard(ctx);

    ctx.clash = new NameClash(ctx);
    ctx.copyMove = new CopyMove(ctx);
    if (ctx.modifier) // the pipeline's clash check is the batch's own
        ctx.modifier->setClashCheck([&ctx] { return ctx.clash->MakeUniqueDestName(); });

    connect(m_form->mnuDelete, &QAction::triggered, ctx.files, &FileCommands::DeleteSelectedFiles);
    connect(m_form->mnuOpenPSP, &QAction::triggered, ctx.files, &FileCommands::OpenInEditor);
    connect(m_form->mnuSetDest, &QAction::triggered, ctx.paths, &PathCommands::SetDestPath);
    connect(m_form->mnuSetPathMkDir, &QAction::triggered, ctx.paths, &PathCommands::SetDestPath);
    connect(m_form->mnuMakeDirHere, &QAction::triggered, ctx.paths, &PathCommands::MakeDir_Click);
    connect(m_form->mnuSetPSP, &QAction::triggered, ctx.paths, &PathCommands::setpsppath);
    auto *rename = new RenameCommand(ctx);
    connect(m_form->mnuRename, &QAction::triggered, rename, &RenameCommand::ReName);

    connect(m_toggles, &TogglesController::exitRequested, m_form.get(), &QWidget::close);
    m_help = std::make_unique<Help>();
    ctx.ShowHelp = [this] { m_help->ShowHelp(); };
    connect(m_toggles, &TogglesController::helpRequested, this, [this] { m_ctx->ShowHelp(); });
    connect(m_toggles, &TogglesController::aboutRequested, this, &Application::ShowAboutWindow);
    connect(m_form.get(), &Form1::closeRequested, this, &Application::shutdown);
    connect(m_form.get(), &Form1::keyDown, this,
            [this](int key, Qt::KeyboardModifiers mods) { m_ctx->keys->Form_KeyDown(key, mods); });
    connect(m_form->Text1, &KeyField::keyDown, this,
            [this](int key, Qt::KeyboardModifiers mods) { m_ctx->keys->Form_KeyDown(key, mods); });
    connect(m_form->MediaPlayer2, &MediaPlayer::KeyDown, this,
            [this](int key, Qt::KeyboardModifiers mods) { m_ctx->keys->Form_KeyDown(key, mods); });
    connect(m_form->Timer1, &QTimer::timeout, ctx.slideShow, &SlideShow::Tick);
}

void Application::Form_Load(const QString &commandLine) {
    Form1 &f = *m_form;
    AppContext &ctx = *m_ctx;
    AppState &s = m_state;
    m_help->InitHelp(f, s.AppDir);
    // What a command cut short left is finished before any directory is listed.
    if (m_ownsJournal)
        m_recoveryText = ctx.undo->start(s.DataDir + QStringLiteral("Glimmerby.journal")).text();
    s.JpegQuality = 100;
    f.setWindowTitle(StatusLine::caption(s.CurrentFile));
    f.SSFrame1->move(0, f.SSFrame1->y());
    f.MP->move(f.ScaleWidth(), f.MP->y());
    ctx.browser->fillFilterBox();
    {
        const QSignalBlocker block(f.Combo1);
        f.Combo1->setCurrentIndex(4);
    }
    ctx.browser->ApplyFilter();
    m_toggles->Ck_Click(0);
    m_toggles->Ck_Click(1);
    f.setPanelText(3, f.moveit[0]->text() + QStringLiteral("  "));
    f.setPanelText(4, QStringLiteral("Qty=%1-Func=None  ").arg(s.JpegQuality));
    f.MediaPlayer2->setDisplaySize(4);
    ctx.preview->SizeMoviePlayer();
    advanceSplash(15);
    LoadSettings();
    advanceSplash(42);
    f.MediaPlayer2->setControlsVisible(s.ControlsVisible != 0);
    openCommandLine(commandLine);
    if (!m_recoveryText.isEmpty())
        f.setPanelText(4, m_recoveryText);
}

static void setCheck(QCheckBox *box, bool checked, const std::function<void()> &click) {
    if (box->isChecked() == checked)
        return;
    box->setChecked(checked);
    click(); // a changed box runs its click handling
}

void Application::LoadSettings() {
    Form1 &f = *m_form;
    AppState &s = m_state;
    // The directory of a program installed for everyone (not writable, so the settings
    // live elsewhere) is no place to browse or to copy into: until the user has chosen,
    // both start in the user's pictures.
    const bool installed = s.DataDir != s.AppDir;
    const SettingsValues v =
        readSettings(m_settingsSource, s.AppDir,
                     installed ? std::function<QString()>(picturesDirectory) : nullptr);

    s.ToolTipsSetting = v.ToolTips;
    setCheck(f.Ck[0], v.ToolTips == QLatin1String("True"), [this] { m_toggles->Ck_Click(0); });
    s.ShowSplashSetting = v.ShowSplash;
    setCheck(f.Ck[1], v.ShowSplash == QLatin1String("True"), [this] { m_toggles->Ck_Click(1); });

    // The window's size is kept as its client area and its place as the frame's corner,
    // both in twips, so that a save and the next load agree exactly.
    const double dpi = f.screen() ? f.screen()->logicalDotsPerInchY() : 96.0;
    // A hand-edited or stale size and place are kept on a screen, before the first show:
    // a window larger than the screen costs memory for nothing, one off every screen
    // cannot be reached.
    const int height = twipsToPixels(v.FormHeight, dpi);
    const int width = twipsToPixels(v.FormWidth, dpi);
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    const QRect wanted(twipsToPixels(v.FormLeft, dpi), twipsToPixels(v.FormTop, dpi),
                       width > 0 ? width : f.width(), height > 0 ? height : f.height());
    const QRect placed = restoredWindowGeometry(wanted, f.minimumSize(), areas);
    f.resize(placed.size());
    f.move(placed.topLeft());

    SetDestinationDir(*m_ctx, v.LastSaveToPath);

    // A directory that has gone (or is a file, or cannot be read) opens on its nearest
    // ancestor that can be shown, else on the program's directory: never on nothing.
    if (!m_ctx->browser->setDirectory(v.LastDirPath) &&
        !m_ctx->browser->setDirectory(nearestUsableDirectory(v.LastDirPath)))
        m_ctx->browser->setDirectory(s.AppDir);

    s.EditorPath = v.EditorPath;
    s.MuteState = v.Mute;
    f.toolbarButton(QStringLiteral("mute"))->setChecked(s.MuteState == 1);
    f.MediaPlayer2->setMute(s.MuteState == 1); // a muted start is silent from the first movie

    if (v.FileFilter >= 0 && v.FileFilter < FilterCount) {
        const QSignalBlocker block(f.Combo1);
        f.Combo1->setCurrentIndex(v.FileFilter);
    }
    m_ctx->browser->ApplyFilter();

    s.ControlsVisible = v.ControlsVisible;
    // The speed and the quality are clamped and their handlers run once on what was read,
    // whether or not the bar moves: a bar already at that place would not run them.
    s.SlideSpeed = static_cast<std::int16_t>(std::clamp<int>(v.Speed, 1, 10000));
    TogglesController::setScrollValue(f.HS[0], s.SlideSpeed);
    m_toggles->applyScroll(0, s.SlideSpeed);
    s.JpegQuality = std::clamp(v.PicQuality, 0, 100);
    TogglesController::setScrollValue(f.HS[1], s.JpegQuality);
    m_toggles->applyScroll(1, s.JpegQuality);
    s.CustomSize = v.CustomSize;
    TogglesController::setScrollValue(f.HS[2], s.CustomSize);
    // A size the scroll bar refused stays in the variable.
    s.CustomSize = v.CustomSize;

    m_ctx->grid->setShown(v.ThumbnailGrid == QLatin1String("True"));
}

void Application::openCommandLine(const QString &commandLine) {
    if (commandLine.isEmpty())
        return;
    Form1 &f = *m_form;
    AppContext &ctx = *m_ctx;
    AppState &s = m_state;
    s.CurrentFile = commandLine;
    ctx.status->UpdateStatusLine();
    const qsizetype p = commandLine.lastIndexOf(u'/') + 1;
    const QString dir = commandLine.left(p);
    // The file on screen is the one selected, so that Down goes on to the file after it.
    // Selecting previews nothing: the preview below is the only one.
    if (ctx.browser->setDirectory(dir)) {
        const qsizetype listed = f.File1->items().indexOf(commandLine.mid(p));
        if (listed >= 0)
            f.File1->setListIndex(int(listed));
    }
    SetDestinationDir(ctx, dir);
    // As a click opens it: movies in the large player, sounds in the small one.
    const MediaKind kind = classify(s.CurrentFile, KindPlace::CommandLine);
    if (kind == MediaKind::Movie) {
        f.photo->hide();
        f.MediaPlayer2->show();
        f.MediaPlayer2->setFileName(s.CurrentFile);
        f.MediaPlayer2->Play();
        ctx.preview->SizeMoviePlayer();
    } else if (kind == MediaKind::Sound) {
        ctx.preview->PlayInSmallPlayer();
    } else {
        ctx.picture->ShowPicture();
        f.photo->show();
        f.MediaPlayer2->hide();
    }
}

void Application::SaveSettings() {
    Form1 &f = *m_form;
    SettingsToSave out = settingsToSaveFrom(m_state);
    out.WindowState = f.isMinimized()   ? WindowShowState::Minimized
                      : f.isMaximized() ? WindowShowState::Maximized
                                        : WindowShowState::Normal;
    const double dpi = f.screen() ? f.screen()->logicalDotsPerInchY() : 96.0;
    out.FormHeight = pixelsToTwips(f.height(), dpi);
    out.FormWidth = pixelsToTwips(f.width(), dpi);
    out.FormTop = pixelsToTwips(f.y(), dpi);
    out.FormLeft = pixelsToTwips(f.x(), dpi);
    out.LastSaveToPath = m_state.DestinationDir;
    // Never an empty or vanished directory: the next start would open on nothing.
    out.LastDirPath = nearestUsableDirectory(f.Dir1->path());
    if (out.LastDirPath.isEmpty())
        out.LastDirPath = m_state.AppDir;
    const int index = f.Combo1->currentIndex();
    out.FileFilter =
        (index >= 0 && f.Combo1->currentText() == f.Combo1->itemText(index)) ? index : -1;
    saveSettings(m_state.IniPath, out, m_settingsSource); // a failed save is not reported
}

void Application::requestTermination() {
    if (m_terminating)
        return;
    m_terminating = true;
    // A question open now (during start-up, or a dialog of the running window) is closed,
    // and so is any that the rest of the load opens.
    auto *closer = new QTimer(this);
    closer->setInterval(20);
    connect(closer, &QTimer::timeout, this, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    closer->start();
    if (QWidget *modal = QApplication::activeModalWidget())
        modal->close();
    // Under the splash window the main window may not be loaded yet: it is loaded now, so
    // that the settings are saved as a close would save them.
    if (!m_form && !m_loading && m_splash)
        loadMainWindow(m_commandLine);
    shutdown(); // saves what the load has set so far
    if (!m_loading)
        endAfterTermination();
}

void Application::endAfterTermination() {
    if (m_splash) {
        Splash *sp = m_splash;
        m_splash = nullptr;
        disconnect(sp, nullptr, this, nullptr);
        sp->Timer1->stop();
        sp->Timer2->stop();
        sp->hide();
        sp->deleteLater();
    }
    if (m_form && m_form->isVisible())
        m_form->close();
    QCoreApplication::quit(); // nothing to do while Main still runs: it returns false
}

void Application::shutdown() {
    if (m_shutDown || !m_form)
        return;
    m_shutDown = true;
    removeScratchFiles(m_state.DataDir);
    SaveSettings();
    m_help->CloseHelp();
    if (m_about)
        m_about->close();
    m_form->MediaPlayer2->releaseFile();
    m_form->MP->releaseFile();
    m_form->MediaPlayer1->releaseFile();
}

} // namespace glimmerby
