#pragma once
// The program's shared process state: one instance, owned by Main and handed by
// reference to every window and controller. Names follow the rest of the code base.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace glimmerby {

struct AppState {
    // Where the program lives and where its settings go.
    QString AppDir;  // the program's directory, always ending in "/"
    QString IniPath; // the settings file
    QString DataDir; // where the settings and scratch files go (AppDir unless it is read-only)

    // Settings kept in variables (the other settings live in the window's controls).
    QString ToolTipsSetting = "True";
    QString ShowSplashSetting = "True";
    std::int32_t SplashTime = 5000;
    QString EditorPath;
    std::int16_t MuteState = 0;
    std::int16_t ControlsVisible = -1;
    std::int16_t SlideSpeed = 1000;
    std::int32_t JpegQuality = 100;
    std::int32_t CustomSize = 640;
    QString ThumbnailGridSetting = "False"; // "True" while the thumbnail grid is shown

    // What is being previewed and what the commands act on.
    QString CurrentFile;
    QString ReselectName;
    std::int16_t BatchBusy = 0;     // -1 while a batch or key command runs
    std::int16_t SlideShowOn = 0;   // 1 while the slide show runs
    std::int16_t MovieStopped = 0;  // -1 after Space or Esc stopped the movie player
    std::int16_t ModifyEnabled = 0; // 1 while copies and moves go through the picture pipeline
    int PictureWidth = 0;           // natural size of the picture shown
    int PictureHeight = 0;

    // Re-entry guards of handlers that set controls whose handlers would fire again.
    bool ControlGuard = false;
    bool ScrollGuard = false;

    // Naming state of the copy, move and rename commands.
    QString SrcDir, SrcName, SrcExt;
    QString DstDir, DstName, DstExt;
    QString DestPath;
    // The copy and move destination directory; the menus and status panel 3 show it.
    QString DestinationDir;
    int ExistsChoice = 0;
    QString DialogChoice;
    QString DialogDir;
    QString SourcePath() const { return SrcDir + SrcName + SrcExt; }
    QString DestinationPath() const { return DstDir + DstName + DstExt; }

    // The file clipboard of cut, copy and paste.
    QStringList ClipDirs, ClipNames, ClipExts;
    QStringList ClipOps; // per file: "X" (moved at paste) or "C" (copied)
    int ClipCount = -1;  // index of the last file; -1 when nothing is cut or copied
    QString PasteDir;    // where the last paste went; empty until the first
};

} // namespace glimmerby
