#pragma once
// Standard MIDI files and their RIFF "RMID" wrapper.

#include <QByteArray>
#include <optional>

namespace glimmerby {

struct MidiData {
    QByteArray bytes;                   // the standard MIDI file, starting with "MThd"
    double ticksPerSecondAtDefault = 0; // ticks per second at 120 beats per minute
    int ticksPerQuarter = 0;            // 0 for SMPTE time division
};

// Accepts a standard MIDI file or an RMID file holding one; returns nothing for
// anything else, including wrappers whose chunks run past the end of the data.
std::optional<MidiData> extractMidi(const QByteArray &file);

} // namespace glimmerby
