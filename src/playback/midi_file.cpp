#include "playback/midi_file.h"

#include <algorithm>

namespace glimmerby {

namespace {

quint32 readLe32(const char *p) {
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint32 readBe32(const char *p) {
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[3]) | quint32(u[2]) << 8 | quint32(u[1]) << 16 | quint32(u[0]) << 24;
}

// The header chunk must be complete and be followed by at least one track chunk,
// otherwise the synthesizer would accept it and play nothing.
std::optional<MidiData> validateSmf(const QByteArray &bytes) {
    if (bytes.size() < 22 || !bytes.startsWith("MThd"))
        return std::nullopt;
    const quint32 headerLength = readBe32(bytes.constData() + 4);
    if (headerLength < 6 || qint64(headerLength) + 8 + 8 > bytes.size())
        return std::nullopt;
    const auto *h = reinterpret_cast<const unsigned char *>(bytes.constData() + 8);
    const int format = h[0] << 8 | h[1];
    const int tracks = h[2] << 8 | h[3];
    if (format > 2 || tracks < 1)
        return std::nullopt;
    if (bytes.mid(8 + qsizetype(headerLength), 4) != "MTrk")
        return std::nullopt;

    MidiData data;
    data.bytes = bytes;
    if (h[4] & 0x80) {
        const int framesPerSecond = 256 - h[4];
        const int ticksPerFrame = h[5];
        if (framesPerSecond <= 0 || ticksPerFrame <= 0)
            return std::nullopt;
        data.ticksPerSecondAtDefault = double(framesPerSecond) * ticksPerFrame;
    } else {
        data.ticksPerQuarter = h[4] << 8 | h[5];
        if (data.ticksPerQuarter <= 0)
            return std::nullopt;
        data.ticksPerSecondAtDefault = data.ticksPerQuarter * 2.0;
    }
    return data;
}

} // namespace

std::optional<MidiData> extractMidi(const QByteArray &file) {
    if (file.startsWith("MThd"))
        return validateSmf(file);
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "RMID")
        return std::nullopt;
    // The RIFF size may be wrong in files from the wild; the chunks are bounded by
    // both it and the real length of the data.
    const qint64 riffEnd =
        std::min<qint64>(qint64(readLe32(file.constData() + 4)) + 8, file.size());
    qint64 pos = 12;
    while (pos + 8 <= riffEnd) {
        const QByteArray id = file.mid(pos, 4);
        const qint64 length = readLe32(file.constData() + pos + 4);
        const qint64 payload = pos + 8;
        if (payload + length > riffEnd)
            return std::nullopt;
        if (id == "data")
            return validateSmf(file.mid(payload, length));
        pos = payload + length + (length & 1);
    }
    return std::nullopt;
}

} // namespace glimmerby
