// Unwrapping and checking MIDI data before it reaches the synthesizer.

#include "playback/midi_file.h"

#include <QFile>
#include <QtEndian>
#include <QtTest>

using namespace glimmerby;

namespace {

QByteArray readSample(const char *name) {
    QFile file(QStringLiteral(GLIMMERBY_SAMPLES_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray chunk(const char *id, const QByteArray &payload) {
    QByteArray c = QByteArray(id, 4) + le32(quint32(payload.size())) + payload;
    if (payload.size() & 1)
        c.append('\0');
    return c;
}

QByteArray riff(const QByteArray &chunks) {
    return "RIFF" + le32(quint32(chunks.size() + 4)) + "RMID" + chunks;
}

} // namespace

class TestMidiFile : public QObject {
    Q_OBJECT
  private slots:
    void acceptsStandardMidiFile() {
        const QByteArray mid = readSample("tune.mid");
        QVERIFY(!mid.isEmpty());
        const auto data = extractMidi(mid);
        QVERIFY(data);
        QCOMPARE(data->bytes, mid);
        QCOMPARE(data->ticksPerQuarter, 96);
        QCOMPARE(data->ticksPerSecondAtDefault, 192.0);
    }

    void unwrapsRmidToTheSameMidi() {
        const auto data = extractMidi(readSample("tune.rmi"));
        QVERIFY(data);
        QCOMPARE(data->bytes, readSample("tune.mid"));
    }

    void skipsOtherChunksIncludingOddPadding() {
        const QByteArray mid = readSample("tune.mid");
        const QByteArray file = riff(chunk("LIST", "abc") + chunk("data", mid));
        const auto data = extractMidi(file);
        QVERIFY(data);
        QCOMPARE(data->bytes, mid);
    }

    void refusesBrokenWrappers_data() {
        QTest::addColumn<QByteArray>("file");
        const QByteArray mid = readSample("tune.mid");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("notes");
        QTest::newRow("no data chunk") << riff(chunk("LIST", "abcd"));
        QTest::newRow("data not midi") << riff(chunk("data", "RIFF....WAVEfmt "));
        QByteArray overlong = riff(chunk("data", mid));
        overlong.chop(10); // the chunk claims more than there is
        QTest::newRow("chunk past the end") << overlong;
        QTest::newRow("wave file") << ("RIFF" + le32(12) + "WAVE" + chunk("data", mid));
        QByteArray huge = riff(QByteArray("data") + le32(0xFFFFFFF0u) + mid);
        QTest::newRow("huge chunk length") << huge;
    }
    void refusesBrokenWrappers() {
        QFETCH(QByteArray, file);
        QVERIFY(!extractMidi(file));
    }

    void refusesBrokenMidi_data() {
        QTest::addColumn<QByteArray>("file");
        const QByteArray mid = readSample("tune.mid");
        QTest::newRow("header only") << mid.left(14);
        QTest::newRow("cut header") << mid.left(10) + QByteArray(12, '\0');
        QByteArray noTrack = mid;
        noTrack.replace(14, 4, "XTrk");
        QTest::newRow("no track chunk") << noTrack;
        QByteArray zeroTracks = mid;
        zeroTracks[10] = 0;
        zeroTracks[11] = 0;
        QTest::newRow("zero tracks") << zeroTracks;
        QByteArray badFormat = mid;
        badFormat[9] = 7;
        QTest::newRow("unknown format") << badFormat;
        QByteArray zeroDivision = mid;
        zeroDivision[12] = 0;
        zeroDivision[13] = 0;
        QTest::newRow("zero division") << zeroDivision;
    }
    void refusesBrokenMidi() {
        QFETCH(QByteArray, file);
        QVERIFY(!extractMidi(file));
    }

    void smpteDivisionGivesTicksPerSecond() {
        QByteArray mid = readSample("tune.mid");
        mid[12] = char(0xE7); // -25 frames per second
        mid[13] = 40;         // 40 ticks per frame
        const auto data = extractMidi(mid);
        QVERIFY(data);
        QCOMPARE(data->ticksPerQuarter, 0);
        QCOMPARE(data->ticksPerSecondAtDefault, 1000.0);
    }
};

QTEST_GUILESS_MAIN(TestMidiFile)
#include "test_midi_file.moc"
