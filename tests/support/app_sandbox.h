#pragma once
// A real Glimmerby in a program directory of its own (so its settings, scratch files and
// single-instance lock belong to the test alone), with silent players and recorded boxes.

#include "app/app_state.h"
#include "app/application.h"
#include "app/ini_file.h"
#include "support/recording_boxes.h"
#include "windows/form1.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace glimmerby {

struct AppSandbox {
    QTemporaryDir appDir;
    QTemporaryDir lockDir;
    RecordingBoxes boxes;
    std::unique_ptr<Application> app;
    // false: a missing settings file is seeded with ShowSplash=False, so the main window
    // is up when start() returns. true: start-up runs through the splash window, and
    // start() waits for its hand-over.
    bool splash = false;
    bool waitForMain = true; // with splash: false returns while the splash window is up

    // withVideo: the movie player draws its picture (otherwise it decodes no video).
    bool start(const QString &commandLine = {}, bool withVideo = false) {
        StartOptions options;
        options.appDir = appDir.path();
        options.lockDir = lockDir.path();
        options.configHome = appDir.filePath("config");
        options.homeTrash = trash();
        options.players.audioOutput = "null";
        if (!withVideo)
            options.players.videoOutput = "null";
        if (!splash && !IniDocument::load(ini()).value("UserProfile", "ShowSplash"))
            WriteProfileString(ini(), "UserProfile", "ShowSplash", "False");
        app = std::make_unique<Application>(boxes, options);
        if (!app->Main(commandLine))
            return false;
        if (!app->form() && waitForMain)
            return QTest::qWaitFor([this] { return app->form() && app->form()->isVisible(); },
                                   10000);
        return true;
    }
    Form1 &form() { return *app->form(); }
    AppContext &ctx() { return *app->context(); }
    AppState &state() { return app->state(); }
    QString ini() const { return appDir.filePath("Glimmerby.ini"); }
    // The sandbox's own home trash (on the file system of the temporary directories).
    QString trash() const { return appDir.filePath("data/Trash"); }
};

} // namespace glimmerby
