#pragma once
// MIDI files (.mid, and .rmi unwrapped) through FluidSynth with a General MIDI
// SoundFont. When no audio device can be opened the synthesizer is driven from a
// timer at real-time pace, so the notifications still arrive.

#include "playback/playback_engine.h"

#include <memory>

namespace glimmerby {

class MidiEngine : public PlaybackEngine {
    Q_OBJECT
  public:
    // audioOutput "null": no sound device is tried at all.
    explicit MidiEngine(const QString &audioOutput, QObject *parent = nullptr);
    ~MidiEngine() override;

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
    void setVolume(int percent); // scales the synthesizer's gain, apart from mute
    bool hasFile() const override;

    // True when the synthesizer sounds through a device rather than a timer.
    bool hasAudioDevice() const;

    // The General MIDI SoundFont to use, "" when none is installed.
    static QString findSoundFont();

  private:
    struct Impl;
    std::unique_ptr<Impl> d;

    bool openFile();
    void poll();
    void pump();
};

} // namespace glimmerby
