// The media player with the real decoders on the sample collection, without a sound
// device (ao=null) and without a picture (vo=null).

#include "playback/media_player.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace glimmerby;

namespace {

constexpr int openTimeoutMs = 10000;
constexpr int endTimeoutMs = 30000;

QString sample(const QString &name) {
    return QStringLiteral(GLIMMERBY_SAMPLES_DIR "/") + name;
}

std::unique_ptr<MediaPlayer> makePlayer(MediaPlayer::Role role) {
    PlayerOptions options;
    options.audioOutput = QStringLiteral("null");
    options.videoOutput = QStringLiteral("null");
    return std::make_unique<MediaPlayer>(role, nullptr, options);
}

// Whether this process still holds the file open.
bool processHoldsFile(const QString &path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)) == target)
            return true;
    }
    return false;
}

struct Spies {
    explicit Spies(MediaPlayer *p)
        : started(p, &MediaPlayer::NewStream), ended(p, &MediaPlayer::EndOfStream),
          failed(p, &MediaPlayer::OpenFailed) {}
    QSignalSpy started, ended, failed;
};

} // namespace

class TestMediaPlayer : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY(QFile::exists(sample("clip.mpg"))); }

    // Opening and playing -------------------------------------------------------------

    void playsToTheEnd_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("role");
        const int movie = int(MediaPlayer::Role::Movie), sound = int(MediaPlayer::Role::Sound),
                  music = int(MediaPlayer::Role::Music);
        for (const char *clip : {"clip.mpg", "clip.avi", "clip.wmv", "clip.asf", "clip.mov",
                                 "clip.mpeg", "song.mp3", "song.wma"})
            QTest::newRow(clip) << QString::fromLatin1(clip) << movie;
        QTest::newRow("beep.wav sound") << "beep.wav" << sound;
        QTest::newRow("song.mp3 music") << "song.mp3" << music;
        QTest::newRow("tune.mid sound") << "tune.mid" << sound;
        QTest::newRow("tune.rmi sound") << "tune.rmi" << sound;
        QTest::newRow("tune.mid music") << "tune.mid" << music;
        QTest::newRow("tune.rmi movie") << "tune.rmi" << movie;
    }
    void playsToTheEnd() {
        QFETCH(QString, file);
        QFETCH(int, role);
        auto player = makePlayer(MediaPlayer::Role(role));
        Spies spies(player.get());
        player->setFileName(sample(file));
        QCOMPARE(player->fileName(), sample(file));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        QVERIFY(player->isPlaying());
        QVERIFY(player->duration() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
        QCOMPARE(spies.started.count(), 1);
        QCOMPARE(spies.failed.count(), 0);
        QVERIFY(!player->isPlaying());
        // The name stays until the program sets another one.
        QCOMPARE(player->fileName(), sample(file));
    }

    void defaultOutputReachesTheEnd_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("wav") << "beep.wav";
        QTest::newRow("midi") << "tune.mid";
    }
    void defaultOutputReachesTheEnd() {
        // With the system's own output, which on a machine without a sound device
        // cannot be opened, the file still plays (silently) and reports its end.
        QFETCH(QString, file);
        MediaPlayer player(MediaPlayer::Role::Sound);
        Spies spies(&player);
        player.setFileName(sample(file));
        player.Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
        QCOMPARE(spies.failed.count(), 0);
    }

    void playAfterTheEndPlaysAgain_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("wav") << "beep.wav";
        QTest::newRow("midi") << "tune.mid";
    }
    void playAfterTheEndPlaysAgain() {
        QFETCH(QString, file);
        auto player = makePlayer(MediaPlayer::Role::Sound);
        Spies spies(player.get());
        player->setFileName(sample(file));
        player->Play();
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
        player->Play();
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 2, endTimeoutMs);
        QCOMPARE(spies.started.count(), 2);
    }

    void openingWithoutPlayIsSilent() {
        auto player = makePlayer(MediaPlayer::Role::Sound);
        Spies spies(player.get());
        player->setFileName(sample("beep.wav"));
        QTRY_VERIFY_WITH_TIMEOUT(player->duration() > 0, openTimeoutMs);
        QVERIFY(!player->isPlaying());
        QCOMPARE(spies.started.count(), 0);
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
    }

    // Releasing files -----------------------------------------------------------------

    void emptyNameReleasesTheFile_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("movie") << "clip.avi";
        QTest::newRow("midi") << "tune.mid";
    }
    void emptyNameReleasesTheFile() {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString copy = dir.filePath(file);
        QVERIFY(QFile::copy(sample(file), copy));
        auto player = makePlayer(MediaPlayer::Role::Movie);
        Spies spies(player.get());
        player->setFileName(copy);
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        player->Pause();
        player->setFileName(QString());
        QCOMPARE(player->fileName(), QString());
        QVERIFY(!player->hasFile());
        QVERIFY(!processHoldsFile(copy));
        const QString renamed = dir.filePath(QStringLiteral("renamed.bin"));
        QVERIFY(QFile::rename(copy, renamed));
        QVERIFY(QFile::remove(renamed));
        // The closed file does not come back as a notification later.
        QVERIFY(!spies.ended.wait(500));
        QCOMPARE(spies.failed.count(), 0);
    }

    void emptyNameOnAnEmptyPlayerDoesNothing() {
        auto player = makePlayer(MediaPlayer::Role::Movie);
        Spies spies(player.get());
        player->setFileName(QString());
        player->Play();
        player->Pause();
        player->Stop();
        QCOMPARE(player->fileName(), QString());
        QCOMPARE(player->CurrentPosition(), 0.0);
        QVERIFY(!player->isPlaying());
        QVERIFY(!spies.started.wait(300));
        QCOMPARE(spies.ended.count() + spies.failed.count(), 0);
    }

    // Files that cannot be played -----------------------------------------------------

    void unplayableFilesReportNoStream_data() {
        QTest::addColumn<QString>("path");
        QTemporaryDir *dir = new QTemporaryDir; // removed with the test object
        dir->setAutoRemove(true);
        connect(this, &QObject::destroyed, [dir] { delete dir; });
        auto write = [dir](const char *name, const QByteArray &bytes) {
            QFile f(dir->filePath(QLatin1String(name)));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
            return f.fileName();
        };
        QTest::newRow("gasf") << sample("gasf");
        QTest::newRow("missing movie") << sample("no-such-clip.avi");
        QTest::newRow("missing midi") << sample("no-such-tune.mid");
        QTest::newRow("text as movie") << write("text.mpg", "not a movie at all");
        QTest::newRow("empty wav") << write("empty.wav", QByteArray());
        QTest::newRow("text as midi") << write("text.mid", "notes");
        QTest::newRow("riff without midi") << write("bad.rmi", "RIFF\x0c\0\0\0RMIDLIST\0\0\0\0");
        QTest::newRow("playlist as movie")
            << write("list.mpg", "#EXTM3U\n" GLIMMERBY_SAMPLES_DIR "/beep.wav\n");
        QTest::newRow("playlist") << write("list.m3u",
                                           "#EXTM3U\n" GLIMMERBY_SAMPLES_DIR "/beep.wav\n");
        QFile mid(sample("tune.mid"));
        mid.open(QIODevice::ReadOnly);
        QTest::newRow("cut midi") << write("cut.mid", mid.readAll().left(16));
    }
    void unplayableFilesReportNoStream() {
        QFETCH(QString, path);
        auto player = makePlayer(MediaPlayer::Role::Movie);
        Spies spies(player.get());
        player->setFileName(path);
        player->Play();
        QVERIFY(spies.failed.wait(openTimeoutMs));
        QCOMPARE(spies.started.count(), 0);
        QCOMPARE(spies.ended.count(), 0);
        QVERIFY(!player->isPlaying());
        // The player is still usable.
        player->setFileName(sample("beep.wav"));
        player->Play();
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
        QCOMPARE(spies.started.count(), 1);
    }

    // Position, pause, stop and mute ----------------------------------------------------

    void positionCanBeSetAndRead_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("mp3") << "song.mp3";
        QTest::newRow("movie") << "clip.mov";
    }
    void positionCanBeSetAndRead() {
        QFETCH(QString, file);
        auto player = makePlayer(MediaPlayer::Role::Movie);
        Spies spies(player.get());
        player->setFileName(sample(file));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        player->Pause();
        player->setCurrentPosition(1.5);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(player->CurrentPosition() - 1.5) < 0.3, openTimeoutMs);
        player->Stop();
        QVERIFY(!player->isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition() < 0.3, openTimeoutMs);
        QCOMPARE(spies.ended.count(), 0);
    }

    void pauseHoldsThePosition() {
        auto player = makePlayer(MediaPlayer::Role::Sound);
        Spies spies(player.get());
        player->setFileName(sample("song.mp3"));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition() > 0.2, openTimeoutMs);
        player->Pause();
        QVERIFY(!player->isPlaying());
        const double held = player->CurrentPosition();
        QTest::qWait(600);
        QVERIFY(qAbs(player->CurrentPosition() - held) < 0.1);
        QCOMPARE(spies.ended.count(), 0);
        player->Play();
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
    }

    void midiPositionPauseAndStop() {
        auto player = makePlayer(MediaPlayer::Role::Sound);
        Spies spies(player.get());
        player->setFileName(sample("tune.mid"));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition() > 0.3, openTimeoutMs);
        QVERIFY(player->duration() > 1.0 && player->duration() < 2.0); // three quarters at 120
        player->Pause();
        const double held = player->CurrentPosition();
        QTest::qWait(400);
        QCOMPARE(player->CurrentPosition(), held);
        player->Stop();
        player->Play();
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
    }

    void muteReachesTheDecoder() {
        auto player = makePlayer(MediaPlayer::Role::Movie);
        Spies spies(player.get());
        player->setMute(true);
        player->setFileName(sample("clip.avi"));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        QVERIFY(player->isMuted());
        QVERIFY(player->decoderMuted());
        player->setMute(false);
        QVERIFY(!player->decoderMuted());
        // A new file keeps the state.
        player->setMute(true);
        player->setFileName(sample("song.mp3"));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        QVERIFY(player->decoderMuted());
    }

    // Changing files --------------------------------------------------------------------

    void playRightAfterFileNameStartsAtTheBeginning_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("other file") << "song.mp3"
                                    << "song.wma";
        QTest::newRow("same file") << "song.mp3"
                                   << "song.mp3";
        QTest::newRow("midi") << "tune.mid"
                              << "tune.rmi";
    }
    void playRightAfterFileNameStartsAtTheBeginning() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        auto player = makePlayer(MediaPlayer::Role::Movie);
        Spies spies(player.get());
        player->setFileName(sample(first));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        player->setCurrentPosition(1.2);
        QTRY_VERIFY_WITH_TIMEOUT(player->CurrentPosition() > 1.0, openTimeoutMs);
        player->setFileName(sample(second));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        QVERIFY(player->CurrentPosition() < 0.5);
        QCOMPARE(spies.ended.count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
        QCOMPARE(spies.started.count(), 2);
    }

    void manyQuickChangesEndWithTheLastFile() {
        auto player = makePlayer(MediaPlayer::Role::Movie);
        Spies spies(player.get());
        const QStringList files = {"clip.mpg", "tune.mid",    "clip.wmv", "song.mp3", "tune.rmi",
                                   "clip.asf", "missing.avi", "song.wma", "beep.wav"};
        for (const QString &file : files) {
            player->setFileName(sample(file));
            player->Play();
        }
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
        QCOMPARE(player->fileName(), sample("beep.wav"));
        // Only the last file was reported; the others were replaced before they began.
        QVERIFY(spies.started.count() >= 1);
        QVERIFY(!spies.ended.wait(1000));
        QCOMPARE(spies.ended.count(), 1);
    }

    void endOfOneFileIsNotReportedForTheNext() {
        // The end of the first file may already be waiting in the queue when the next
        // file is set; it must not be taken for the end of the new one.
        auto player = makePlayer(MediaPlayer::Role::Sound);
        Spies spies(player.get());
        player->setFileName(sample("beep.wav"));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        player->setCurrentPosition(30); // beyond the end
        QTest::qSleep(300);             // let the end happen without handling events
        player->setFileName(sample("song.mp3"));
        player->Play();
        QVERIFY(spies.started.wait(openTimeoutMs));
        QCOMPARE(spies.ended.count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(spies.ended.count() == 1, endTimeoutMs);
        QVERIFY(player->CurrentPosition() == 0.0 || !player->isPlaying());
    }

    // Lifetime --------------------------------------------------------------------------

    void destroyingWhilePlayingIsSafe_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("waitForStart");
        for (const char *file : {"clip.wmv", "tune.mid"}) {
            QTest::newRow(QByteArray(file) + " playing") << QString::fromLatin1(file) << true;
            QTest::newRow(QByteArray(file) + " opening") << QString::fromLatin1(file) << false;
        }
    }
    void destroyingWhilePlayingIsSafe() {
        QFETCH(QString, file);
        QFETCH(bool, waitForStart);
        for (int i = 0; i < 3; ++i) {
            auto player = makePlayer(MediaPlayer::Role::Movie);
            QSignalSpy started(player.get(), &MediaPlayer::NewStream);
            player->setFileName(sample(file));
            player->Play();
            if (waitForStart)
                QVERIFY(started.wait(openTimeoutMs));
            player.reset();
            QTest::qWait(50); // notifications queued for the dead player go nowhere
        }
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "test_media_player.moc"
