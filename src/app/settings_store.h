#pragma once
// The program's settings file: section "UserProfile" of "Glimmerby.ini", sixteen keys.
// Reading gives plain values with their defaults; the main window applies them to its
// controls. Saving writes everything in one atomic replacement of the file.

#include <QString>
#include <cstdint>
#include <functional>

namespace glimmerby {

struct AppState;

inline constexpr char SettingsSection[] = "UserProfile";
inline constexpr char SettingsFileName[] = "Glimmerby.ini";

// IniPath for a settings directory that ends in "/".
QString iniPathFor(const QString &dataDir);

// The two keys read before any window exists.
struct StartupSettings {
    QString ShowSplash = "True";    // "ShowSplash"
    std::int32_t SplashTime = 5000; // "SplashTime"; the run replaces it (1 or 100)
};

StartupSettings readStartupSettings(const QString &iniPath);

// Every key as the load reads it, defaults filled in.
struct SettingsValues {
    QString ToolTips = "True";         // "ToolTips": tool tips on only when exactly "True"
    QString ShowSplash = "True";       // "ShowSplash": splash only when exactly "True"
    std::int32_t FormHeight = 4600;    // "Form Height", twips
    std::int32_t FormWidth = 6500;     // "Form Width", twips
    std::int32_t FormTop = 10;         // "Form Top", twips
    std::int32_t FormLeft = 10;        // "Form Left", twips
    QString LastSaveToPath;            // "Last SaveTo Path", default the start directory
    QString LastDirPath;               // "Last Dir Path", default the start directory
    QString EditorPath;                // "PSPPath", default AppDir + "PSP.EXE", blanks trimmed
    std::int16_t Mute = 0;             // "Mute"
    std::int32_t FileFilter = 4;       // "File Filter": always 0..4 (see readSettings)
    std::int16_t ControlsVisible = -1; // "ControlsVisible"
    std::int16_t Speed = 1000;         // "Speed"
    std::int32_t PicQuality = 100;     // "PicQuality"
    std::int32_t CustomSize = 640;     // "CustomSize"
    std::int32_t SplashTime = 5000;    // "SplashTime" as stored (informational)
    QString ThumbnailGrid = "False";   // "Thumbnail Grid": the grid is shown only when "True"
};

// Reads the keys in the load order: ToolTips, ShowSplash, Form Height, Form Width,
// Form Top, Form Left, Last SaveTo Path, Last Dir Path, PSPPath, Mute, File Filter,
// ControlsVisible, Speed, PicQuality, CustomSize (then SplashTime).
// A missing or unreadable file gives all defaults. Integer values follow the profile
// integer reader; a value too large for a 16-bit key (Mute, ControlsVisible, Speed)
// gives that key's default. "File Filter" outside 0..4 gives 4 ("All"): a negative value
// is replaced by 4 and the filter box refuses a larger one, keeping "All".
// startDirectory gives the default of the two paths, asked only when one is not stored;
// without it they default to appDir.
SettingsValues readSettings(const QString &iniPath, const QString &appDir,
                            const std::function<QString()> &startDirectory = {});

// Copies the values kept in variables into the shared state: ToolTipsSetting,
// ShowSplashSetting, EditorPath, MuteState, ControlsVisible, SlideSpeed, JpegQuality,
// CustomSize. SplashTime is left alone (it belongs to the run).
void applySettingsToState(const SettingsValues &values, AppState &state);

enum class WindowShowState { Normal, Minimized, Maximized };

struct SettingsToSave {
    WindowShowState WindowState = WindowShowState::Normal;
    std::int32_t FormHeight = 4600; // twips, used in the normal state only
    std::int32_t FormWidth = 6500;
    std::int32_t FormTop = 10;
    std::int32_t FormLeft = 10;
    QString LastSaveToPath; // caption of the first "Move File(s) To" item
    QString LastDirPath;    // the directory list's path
    QString EditorPath;
    std::int16_t Mute = 0;
    std::int16_t ControlsVisible = -1;
    std::int16_t Speed = 1000;
    std::int32_t FileFilter = 4; // filter box index, -1 when nothing is selected
    std::int32_t PicQuality = 100;
    QString ToolTips = "True";
    QString ShowSplash = "True";
    std::int32_t SplashTime = 5000;
    std::int32_t CustomSize = 640;
    QString ThumbnailGrid = "False";
};

// Fills the fields kept in variables from the shared state; the window fills the rest
// (metrics, window state, LastSaveToPath, LastDirPath, FileFilter).
SettingsToSave settingsToSaveFrom(const AppState &state);

// Writes all sixteen keys in the save order (Form Height, Form Width, Form Top,
// Form Left, Last SaveTo Path, Last Dir Path, PSPPath, Mute, ControlsVisible, Speed,
// File Filter, PicQuality, ToolTips, ShowSplash, SplashTime, CustomSize, and then
// Thumbnail Grid) in one atomic
// save. Minimized or maximized windows store 4600, 6500, 10, 10. Other keys and sections
// in the file are kept as they are. A value that cannot be stored on one line (a path
// with a line break) leaves that key's old value. Returns false when the file could not
// be written; the old file is then unchanged.
// The file the settings are read from: iniPath, except when the settings go to the
// user's configuration directory (a read-only program directory) and nothing has been
// saved there yet; then the program directory's file (appIniPath), when there is one.
QString settingsSourceFor(const QString &iniPath, const QString &appIniPath);

// Writes values into iniPath. The keys are set in the document read from readFrom (the
// settings source; empty: iniPath itself), so that keys the program does not know are kept.
bool saveSettings(const QString &iniPath, const SettingsToSave &values,
                  const QString &readFrom = {});

// Twips (1/1440 inch) <-> pixels at a logical DPI (96 DPI: 15 twips a pixel). A DPI that
// is not positive counts as 96.
std::int32_t twipsToPixels(std::int32_t twips, double dpi);
std::int32_t pixelsToTwips(std::int32_t pixels, double dpi);

} // namespace glimmerby
