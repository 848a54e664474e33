#pragma once
// Movies and sounds through libmpv. The libmpv headers stay inside mpv_engine.cpp.

#include "playback/playback_engine.h"

#include <memory>

namespace glimmerby {

class MpvEngine : public PlaybackEngine {
    Q_OBJECT
  public:
    struct Config {
        QString audioOutput; // mpv "ao"; empty: the system's outputs, falling back to none
        QString videoOutput; // mpv "vo"; empty: "libmpv", drawn through the render calls below
        bool video = true;   // false: audio only
    };

    explicit MpvEngine(const Config &config, QObject *parent = nullptr);
    ~MpvEngine() override;

    // False when libmpv could not be started; every call is then a no-op.
    bool isValid() const;

    void load(const QString &path) override;
    void close() override;
    void play() override;
    void pause() override;
    void stop() override;
    double position() const override;
    void setPosition(double seconds) override;
    double duration() const override;
    void setMute(bool mute) override;
    bool isPlaying() const override;
    bool hasFile() const override;

    void setVolume(int percent);

    // The mute state as the decoder has it, for checking that a request took effect.
    bool decoderMuted() const;

    // Drawing into OpenGL. Each of these needs the caller's GL context current.
    bool createRenderContext();
    bool hasRenderContext() const;
    void render(int framebufferObject, int width, int height);
    void freeRenderContext();

  signals:
    void frameReady(); // a new video frame wants to be drawn

  private:
    struct Impl;
    std::unique_ptr<Impl> d;

    void drainEvents();
    void handleEvent(void *event); // an mpv_event
    void renderUpdate();
    void emitStartedLater();
};

} // namespace glimmerby
