#pragma once
// What every controller is handed: the shared state, the message boxes, the main window
// and the other controllers it calls. One owner (the application object) fills it in.

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
};

} // namespace glimmerby
