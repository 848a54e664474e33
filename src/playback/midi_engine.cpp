#include "playback/midi_engine.h"

#include "playback/midi_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>

#include <fluidsynth.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace glimmerby {

namespace {

constexpr int pollIntervalMs = 50;
constexpr int pumpIntervalMs = 20;
constexpr int renderBlock = 1024;

void silentLog(int, const char *, void *) {}

} // namespace

struct MidiEngine::Impl {
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *synth = nullptr;
    fluid_audio_driver_t *driver = nullptr;
    fluid_player_t *player = nullptr;
    bool soundFontLoaded = false;
    float gain = 0.2f;
    float volume = 1.0f;
    bool muted = false;
    void applyGain() {
        if (synth)
            fluid_synth_set_gain(synth, muted ? 0.0f : gain * volume);
    }

    QString path;
    MidiData midi;
    bool open = false;       // a file is loaded into the player
    bool playing = false;    // asked to play and not yet at the end
    bool everPlayed = false; // fluid_player_play was called on this player
    double pendingPosition = -1;
    // The synthesizer applies a seek on its next tick; until then the place asked for is
    // what the player reports (a stopped player shows 0:00 at once).
    double seekShown = -1;
    bool startPending = false; // started() is due once the player has read the file
    quint64 generation = 0;    // counts openings, so late notifications can be told apart

    // FluidSynth runs a player from inside the rendering: a player made or deleted while the
    // device thread renders corrupts the synthesizer's list of timers or runs a deleted
    // player (a crash now and then, stepping from file to file). The device thread renders
    // under this lock, and the UI thread holds it while it changes or reads a player.
    mutable std::mutex device;
    [[nodiscard]] std::unique_lock<std::mutex> holdDevice() const {
        return std::unique_lock<std::mutex>(device);
    }
    // What the device thread plays: the synthesizer's next block.
    static int renderForDevice(void *data, int len, int nfx, float *fx[], int nout, float *out[]) {
        auto *self = static_cast<Impl *>(data);
        // The synthesizer mixes into the buffers it is given.
        for (int i = 0; i < nfx; ++i)
            std::memset(fx[i], 0, sizeof(float) * size_t(len));
        for (int i = 0; i < nout; ++i)
            std::memset(out[i], 0, sizeof(float) * size_t(len));
        const auto held = self->holdDevice();
        return fluid_synth_process(self->synth, len, nfx, fx, nout, out);
    }

    QTimer pollTimer;
    QTimer pumpTimer;
    QElapsedTimer clock;
    qint64 renderedFrames = 0;
    std::vector<float> scratch = std::vector<float>(2 * renderBlock);

    void deletePlayer() {
        if (!player)
            return;
        {
            const auto held = holdDevice();
            fluid_player_stop(player);
            delete_fluid_player(player);
            player = nullptr;
        }
        if (synth)
            fluid_synth_all_sounds_off(synth, -1);
    }

    // Called with the device held.
    double secondsPerTick() const {
        if (midi.ticksPerQuarter > 0 && player) {
            const int tempo = fluid_player_get_midi_tempo(player); // microseconds per quarter
            if (tempo > 0)
                return tempo / 1e6 / midi.ticksPerQuarter;
        }
        return midi.ticksPerSecondAtDefault > 0 ? 1.0 / midi.ticksPerSecondAtDefault : 0;
    }
};

MidiEngine::MidiEngine(const QString &audioOutput, QObject *parent)
    : PlaybackEngine(parent), d(std::make_unique<Impl>()) {
    // FluidSynth reports to stderr by default; the player stays quiet instead.
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, silentLog, nullptr);

    d->settings = new_fluid_settings();
    if (!d->settings)
        return;
    fluid_settings_setint(d->settings, "synth.threadsafe-api", 1);
    d->synth = new_fluid_synth(d->settings);
    if (!d->synth)
        return;
    const QString soundFont = findSoundFont();
    if (!soundFont.isEmpty())
        d->soundFontLoaded = fluid_synth_sfload(d->synth, QFile::encodeName(soundFont).constData(),
                                                1) != FLUID_FAILED;
    d->gain = fluid_synth_get_gain(d->synth);

    if (audioOutput != QLatin1String("null")) {
        for (const char *name : {"pulseaudio", "alsa"}) {
            fluid_settings_setstr(d->settings, "audio.driver", name);
            d->driver = new_fluid_audio_driver2(d->settings, Impl::renderForDevice, d.get());
            if (d->driver)
                break;
        }
    }

    d->pollTimer.setInterval(pollIntervalMs);
    connect(&d->pollTimer, &QTimer::timeout, this, &MidiEngine::poll);
    d->pumpTimer.setInterval(pumpIntervalMs);
    d->pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&d->pumpTimer, &QTimer::timeout, this, &MidiEngine::pump);
}

MidiEngine::~MidiEngine() {
    d->pollTimer.stop();
    d->pumpTimer.stop();
    // The device thread reads the synthesizer: it goes first.
    if (d->driver)
        delete_fluid_audio_driver(d->driver);
    d->deletePlayer();
    if (d->synth)
        delete_fluid_synth(d->synth);
    if (d->settings)
        delete_fluid_settings(d->settings);
}

QString MidiEngine::findSoundFont() {
    const QDir dir(QStringLiteral("/usr/share/sounds/sf2"));
    for (const char *name : {"TimGM6mb.sf2", "FluidR3_GM.sf2", "default-GM.sf2"}) {
        const QString path = dir.filePath(QLatin1String(name));
        if (QFile::exists(path))
            return path;
    }
    const QStringList others = dir.entryList({QStringLiteral("*.sf2")}, QDir::Files, QDir::Name);
    return others.isEmpty() ? QString() : dir.filePath(others.first());
}

bool MidiEngine::hasAudioDevice() const {
    return d->driver != nullptr;
}

void MidiEngine::load(const QString &path) {
    close();
    d->path = path;
    if (openFile())
        return;
    // Like the other decoder, a file that cannot be played is reported from the
    // event loop, never from inside the call.
    QTimer::singleShot(0, this, [this, generation = d->generation] {
        if (generation == d->generation)
            emit failed();
    });
}

bool MidiEngine::openFile() {
    if (!d->synth || !d->soundFontLoaded)
        return false;
    QFile file(d->path);
    // A MIDI file is small; anything far larger is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 16 * 1024 * 1024)
        return false;
    const std::optional<MidiData> midi = extractMidi(file.readAll());
    file.close();
    if (!midi)
        return false;
    d->midi = *midi;
    {
        const auto held = d->holdDevice();
        d->player = new_fluid_player(d->synth);
        if (!d->player)
            return false;
        if (fluid_player_add_mem(d->player, d->midi.bytes.constData(),
                                 size_t(d->midi.bytes.size())) != FLUID_OK) {
            delete_fluid_player(d->player);
            d->player = nullptr;
            return false;
        }
    }
    d->open = true;
    return true;
}

void MidiEngine::close() {
    ++d->generation;
    d->pollTimer.stop();
    d->pumpTimer.stop();
    d->deletePlayer();
    d->path.clear();
    d->midi = {};
    d->open = false;
    d->playing = false;
    d->everPlayed = false;
    d->startPending = false;
    d->pendingPosition = -1;
    d->seekShown = -1;
}

void MidiEngine::play() {
    if (d->path.isEmpty())
        return;
    if (!d->open && !openFile()) // played to its end before, or could not be opened
        return;
    if (d->playing)
        return;
    {
        const auto held = d->holdDevice();
        if (fluid_player_play(d->player) != FLUID_OK)
            return;
    }
    const bool first = !d->everPlayed;
    d->everPlayed = true;
    d->playing = true;
    if (d->pendingPosition >= 0) {
        setPosition(d->pendingPosition);
        d->pendingPosition = -1;
    }
    d->pollTimer.start();
    if (!d->driver) {
        d->clock.start();
        d->renderedFrames = 0;
        d->pumpTimer.start();
    }
    // The synthesizer reads the file on its first step; the start is reported by
    // poll() once it has, so that the length is known by then.
    if (first)
        d->startPending = true;
}

void MidiEngine::pause() {
    if (!d->playing)
        return;
    d->playing = false;
    d->pumpTimer.stop();
    d->pollTimer.stop();
    {
        const auto held = d->holdDevice();
        fluid_player_stop(d->player);
    }
    // Stopping the player leaves the notes ringing.
    fluid_synth_all_sounds_off(d->synth, -1);
}

void MidiEngine::stop() {
    pause();
    setPosition(0);
}

double MidiEngine::position() const {
    if (!d->player || !d->open)
        return 0;
    if (d->pendingPosition >= 0)
        return d->pendingPosition;
    if (d->seekShown >= 0)
        return d->seekShown;
    const auto held = d->holdDevice();
    return std::max(0, fluid_player_get_current_tick(d->player)) * d->secondsPerTick();
}

void MidiEngine::setPosition(double seconds) {
    if (!d->player || !d->open)
        return;
    if (!d->everPlayed) {
        // The player reads its file when it first plays; seeking before that is lost.
        d->pendingPosition = seconds;
        return;
    }
    {
        const auto held = d->holdDevice();
        const double perTick = d->secondsPerTick();
        if (perTick <= 0)
            return;
        fluid_player_seek(d->player, int(std::max(0.0, seconds) / perTick));
    }
    d->seekShown = std::max(0.0, seconds);
}

double MidiEngine::duration() const {
    if (!d->player || !d->open || !d->everPlayed)
        return 0;
    const auto held = d->holdDevice();
    return std::max(0, fluid_player_get_total_ticks(d->player)) * d->secondsPerTick();
}

void MidiEngine::setMute(bool mute) {
    d->muted = mute;
    d->applyGain();
}

void MidiEngine::setVolume(int percent) {
    d->volume = std::clamp(percent, 0, 100) / 100.0f;
    d->applyGain();
}

bool MidiEngine::isPlaying() const {
    return d->playing;
}

bool MidiEngine::hasFile() const {
    return d->open;
}

void MidiEngine::poll() {
    if (!d->playing || !d->player)
        return;
    d->seekShown = -1; // a tick has passed since play: the player reports the place itself
    bool done = false, read = false;
    {
        const auto held = d->holdDevice();
        done = fluid_player_get_status(d->player) == FLUID_PLAYER_DONE;
        read = done || fluid_player_get_total_ticks(d->player) > 0;
    }
    if (d->startPending && read) {
        d->startPending = false;
        QPointer<MidiEngine> alive(this);
        emit started();
        if (!alive || !d->playing)
            return;
    }
    if (!done)
        return;
    // At the end the file is let go, as the other decoder does; playing again reopens it.
    const QString path = d->path;
    close();
    d->path = path;
    emit finished();
}

void MidiEngine::pump() {
    if (!d->playing || !d->synth)
        return;
    // Render exactly as much as real time has moved on; after a stall (a busy UI
    // thread) at most half a second is caught up, the rest is skipped.
    double rate = 44100;
    fluid_settings_getnum(d->settings, "synth.sample-rate", &rate);
    const qint64 target = qint64(d->clock.elapsed() * rate / 1000);
    const qint64 limit = qint64(rate / 2);
    if (target - d->renderedFrames > limit)
        d->renderedFrames = target - limit;
    qint64 frames = target - d->renderedFrames;
    if (frames <= 0)
        return;
    d->renderedFrames = target;
    float *left = d->scratch.data();
    float *right = left + renderBlock;
    while (frames > 0) {
        const int n = int(std::min<qint64>(frames, renderBlock));
        fluid_synth_write_float(d->synth, n, left, 0, 1, right, 0, 1);
        frames -= n;
    }
}

} // namespace glimmerby
