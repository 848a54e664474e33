#include "app/settings_store.h"

#include "app/app_state.h"
#include "app/ini_file.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace glimmerby {

namespace {

const QByteArray Section(SettingsSection);

class SettingsReader {
  public:
    explicit SettingsReader(const QString &iniPath) : m_doc(IniDocument::load(iniPath)) {}

    // trim: blanks inside quotes are removed too (the editor's path).
    QString text(const char *key, const QString &defaultValue, bool trim = false) const {
        const std::optional<QByteArray> found = m_doc.value(Section, key);
        if (!found)
            return trim ? defaultValue.trimmed() : defaultValue;
        const QByteArray bytes = m_doc.profileString(Section, key, {});
        return profileText(trim ? bytes.trimmed() : bytes);
    }
    bool has(const char *key) const { return m_doc.value(Section, key).has_value(); }
    std::int32_t int32(const char *key, std::int32_t defaultValue) const {
        return m_doc.profileInt(Section, key, defaultValue);
    }
    std::int16_t int16(const char *key, std::int16_t defaultValue) const {
        return narrowToInt16(int32(key, defaultValue), defaultValue);
    }

  private:
    IniDocument m_doc;
};

class SettingsWriter {
  public:
    explicit SettingsWriter(const QString &readFrom) : m_doc(IniDocument::load(readFrom)) {}

    // trim: the key is read without its blanks, so it is written back without them.
    void text(const char *key, const QString &value, bool trim = false) {
        // A value the user did not change keeps its bytes, even those that are not UTF-8
        // and were shown through their 8-bit reading.
        std::optional<QByteArray> old = m_doc.value(Section, key);
        if (old && trim)
            old = old->trimmed();
        if (old && profileText(*old) == value) {
            if (trim) // the same bytes, without the blanks around them
                m_doc.setValue(Section, key, *old);
            return;
        }
        m_doc.setValue(Section, key, profileBytes(value));
    }
    void number(const char *key, std::int32_t value) {
        m_doc.setValue(Section, key, QByteArray::number(value));
    }
    bool save(const QString &iniPath) const { return m_doc.save(iniPath); }

  private:
    IniDocument m_doc;
};

std::int32_t saturate(double value) {
    if (!std::isfinite(value))
        return 0;
    const double clamped =
        std::clamp<double>(std::round(value), std::numeric_limits<std::int32_t>::min(),
                           std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(clamped);
}

double usableDpi(double dpi) {
    return (dpi > 0 && std::isfinite(dpi)) ? dpi : 96.0;
}

} // namespace

QString iniPathFor(const QString &dataDir) {
    return dataDir + QLatin1String(SettingsFileName);
}

StartupSettings readStartupSettings(const QString &iniPath) {
    const SettingsReader reader(iniPath);
    StartupSettings startup;
    startup.ShowSplash = reader.text("ShowSplash", "True");
    startup.SplashTime = reader.int32("SplashTime", 5000);
    return startup;
}

SettingsValues readSettings(const QString &iniPath, const QString &appDir,
                            const std::function<QString()> &startDirectory) {
    const SettingsReader reader(iniPath);
    SettingsValues v;
    QString start; // asked once, and only when needed
    const auto path = [&](const char *key) {
        if (reader.has(key))
            return reader.text(key, {});
        if (start.isNull())
            start = startDirectory ? startDirectory() : appDir;
        return start;
    };
    v.ToolTips = reader.text("ToolTips", "True");
    v.ShowSplash = reader.text("ShowSplash", "True");
    v.FormHeight = reader.int32("Form Height", 4600);
    v.FormWidth = reader.int32("Form Width", 6500);
    v.FormTop = reader.int32("Form Top", 10);
    v.FormLeft = reader.int32("Form Left", 10);
    v.LastSaveToPath = path("Last SaveTo Path");
    v.LastDirPath = path("Last Dir Path");
    v.EditorPath = reader.text("PSPPath", appDir + "PSP.EXE", true);
    v.Mute = reader.int16("Mute", 0);
    const std::int32_t filter = reader.int32("File Filter", 4);
    // Negative means "nothing chosen"; above 4 the filter box has no such entry and
    // keeps "All". Either way the list shows all files.
    v.FileFilter = (filter < 0 || filter > 4) ? 4 : filter;
    v.ControlsVisible = reader.int16("ControlsVisible", -1);
    v.Speed = reader.int16("Speed", 1000);
    v.PicQuality = reader.int32("PicQuality", 100);
    v.CustomSize = reader.int32("CustomSize", 640);
    v.ThumbnailGrid = reader.text("Thumbnail Grid", "False");
    v.SplashTime = reader.int32("SplashTime", 5000);
    return v;
}

void applySettingsToState(const SettingsValues &values, AppState &state) {
    state.ToolTipsSetting = values.ToolTips;
    state.ShowSplashSetting = values.ShowSplash;
    state.EditorPath = values.EditorPath;
    state.MuteState = values.Mute;
    state.ControlsVisible = values.ControlsVisible;
    state.SlideSpeed = values.Speed;
    state.JpegQuality = values.PicQuality;
    state.CustomSize = values.CustomSize;
    state.ThumbnailGridSetting = values.ThumbnailGrid;
}

SettingsToSave settingsToSaveFrom(const AppState &state) {
    SettingsToSave s;
    s.EditorPath = state.EditorPath;
    s.Mute = state.MuteState;
    s.ControlsVisible = state.ControlsVisible;
    s.Speed = state.SlideSpeed;
    s.PicQuality = state.JpegQuality;
    s.ToolTips = state.ToolTipsSetting;
    s.ShowSplash = state.ShowSplashSetting;
    s.SplashTime = state.SplashTime;
    s.CustomSize = state.CustomSize;
    s.ThumbnailGrid = state.ThumbnailGridSetting;
    return s;
}

QString settingsSourceFor(const QString &iniPath, const QString &appIniPath) {
    if (iniPath == appIniPath || QFileInfo::exists(iniPath) || QFileInfo(iniPath).isSymLink())
        return iniPath;
    return QFileInfo::exists(appIniPath) ? appIniPath : iniPath;
}

bool saveSettings(const QString &iniPath, const SettingsToSave &values, const QString &readFrom) {
    SettingsWriter writer(readFrom.isEmpty() ? iniPath : readFrom);
    // A minimized or maximized window has no size worth keeping: the next start opens
    // at the default size and place.
    if (values.WindowState == WindowShowState::Normal) {
        writer.number("Form Height", values.FormHeight);
        writer.number("Form Width", values.FormWidth);
        writer.number("Form Top", values.FormTop);
        writer.number("Form Left", values.FormLeft);
    } else {
        writer.number("Form Height", 4600);
        writer.number("Form Width", 6500);
        writer.number("Form Top", 10);
        writer.number("Form Left", 10);
    }
    writer.text("Last SaveTo Path", values.LastSaveToPath);
    writer.text("Last Dir Path", values.LastDirPath);
    writer.text("PSPPath", values.EditorPath, true);
    writer.number("Mute", values.Mute);
    writer.number("ControlsVisible", values.ControlsVisible);
    writer.number("Speed", values.Speed);
    writer.number("File Filter", values.FileFilter);
    writer.number("PicQuality", values.PicQuality);
    writer.text("ToolTips", values.ToolTips);
    writer.text("ShowSplash", values.ShowSplash);
    writer.number("SplashTime", values.SplashTime);
    writer.number("CustomSize", values.CustomSize);
    writer.text("Thumbnail Grid", values.ThumbnailGrid);
    return writer.save(iniPath);
}

std::int32_t twipsToPixels(std::int32_t twips, double dpi) {
    return saturate(double(twips) * usableDpi(dpi) / 1440.0);
}

std::int32_t pixelsToTwips(std::int32_t pixels, double dpi) {
    return saturate(double(pixels) * 1440.0 / usableDpi(dpi));
}

} // namespace glimmerby
