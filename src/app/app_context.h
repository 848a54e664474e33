#pragma once
// What every controller is handed: the shared state, the message boxes, the main window
// and the other controllers it calls. One owner (the application object) fills it in.

#include <QtGlobal>
#include <functional>

namespace glimmerby {

struct AppState;
class MessageBoxes;
class Form1;
class BrowserController;
class PreviewDispatcher;
class PictureView;
class StatusLine;
class LayoutController;
class KeyCommands;
class OptionsDialog;
class FileCommands;
class IJL;
class TogglesController;
class PictureModifier;
class PlaybackController;
class SlideShow;
class NameClash;
class CopyMove;
class FileClipboard;
class FileEvents;
class InputBoxes;
class FileDialogs;
class PathCommands;
class DescriptionField;
class ThumbnailGridController;
class Trash;
class FileUndo;
class RunningLock;

struct AppContext {
    AppState &state;
    MessageBoxes &boxes;
    Form1 &form;
    IJL *codec = nullptr;
    BrowserController *browser = nullptr;
    PreviewDispatcher *preview = nullptr;
    PictureView *picture = nullptr;
    StatusLine *status = nullptr;
    LayoutController *layout = nullptr;
    KeyCommands *keys = nullptr;
    OptionsDialog *dialog = nullptr;
    FileCommands *files = nullptr;
    TogglesController *toggles = nullptr;   // toolbar, check boxes, scroll bars, progress
    PictureModifier *modifier = nullptr;    // convert, thumbnail, resize and turn to JPEG
    PlaybackController *playback = nullptr; // background music, mute, players' ends
    SlideShow *slideShow = nullptr;         // Timer1's tick and the timer rule
    NameClash *clash = nullptr;             // destination names and their clashes
    CopyMove *copyMove = nullptr;           // the copy and move batches
    FileClipboard *clipboard = nullptr;     // the program's own cut, copy and paste
    FileEvents *fileEvents = nullptr;       // told what became of every file a command took

    InputBoxes *inputs = nullptr;       // the input boxes the commands ask with
    FileDialogs *fileDialogs = nullptr; // the file dialogs the commands ask with
    PathCommands *paths = nullptr;      // destination, directories, the editor's path

    // The description field Text2 and the properties panel.
    DescriptionField *descriptions = nullptr;

    // The thumbnail grid over the preview area.
    ThumbnailGridController *grid = nullptr;
    Trash *trash = nullptr;         // where deleted and replaced files go
    FileUndo *undo = nullptr;       // the journal and Ctrl+Z of the file commands
    RunningLock *running = nullptr; // tells whether another Glimmerby runs
    qint64 startedNs = 0;           // when this process started (stale temporaries are older)

    // The help window, once there is one; empty: help does nothing.
    std::function<void()> ShowHelp = {};
};

} // namespace glimmerby
