#pragma once
// A real Glimmerby in a program directory of its own (so its settings, scratch files and
// single-instance lock belong to the test alone), with silent players and recorded boxes.

#include "app/app_state.h"
#include "app/application.h"
#include "support/recording_boxes.h"
#include "windows/form1.h"

#include <QTemporaryDir>

#include <memory>

namespace glimmerby {

struct AppSandbox {
    QTemporaryDir appDir;
    QTemporaryDir lockDir;
    RecordingBoxes boxes;
    std::unique_ptr<Application> app;

    // withVideo: the movie player draws its picture (otherwise it decodes no video).
    bool start(const QString &commandLine = {}, bool withVideo = false) {
        StartOptions options;
        options.appDir = appDir.path();
        options.lockDir = lockDir.path();
        options.configHome = appDir.filePath("config");
        options.players.audioOutput = "null";
        if (!withVideo)
            options.players.videoOutput = "null";
        app = std::make_unique<Application>(boxes, options);
        return app->Main(commandLine);
    }
    Form1 &form() { return *app->form(); }
    AppContext &ctx() { return *app->context(); }
    AppState &state() { return app->state(); }
    QString ini() const { return appDir.filePath("Glimmerby.ini"); }
};

} // namespace glimmerby
