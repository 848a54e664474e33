#pragma once
// What the media player asks of a decoder back end: libmpv for movies and sounds,
// FluidSynth for MIDI. Every call is made on the user-interface thread and every
// notification arrives there.

#include <QObject>
#include <QString>

namespace glimmerby {

class PlaybackEngine : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Opens the file paused; a file that cannot be opened ends in failed().
    virtual void load(const QString &path) = 0;
    // Closes the file and lets go of it.
    virtual void close() = 0;
    // Starts or resumes; a file that already played to its end is opened again.
    virtual void play() = 0;
    virtual void pause() = 0;
    // Pauses and goes back to the start.
    virtual void stop() = 0;
    virtual double position() const = 0;
    virtual void setPosition(double seconds) = 0;
    virtual double duration() const = 0;
    virtual void setMute(bool mute) = 0;
    virtual bool isPlaying() const = 0;
    virtual bool hasFile() const = 0;

  signals:
    void started();  // the file just opened begins playing (once per opening)
    void finished(); // the open file played to its end
    void failed();   // the file could not be opened or decoded
};

} // namespace glimmerby
