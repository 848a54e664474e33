// The media player with the real decoders (libmpv, FluidSynth) on the sample collection,
// without sound (or into a private null sink), in a real window; and the MIDI unwrapping
// before the synthesizer.

#include "playback/media_player.h"
#include "playback/midi_engine.h"
#include "playback/midi_file.h"
#include "support/test_files.h"

#include <QKeySequence>
#include <QOpenGLWidget>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtEndian>
#include <QtTest>

#include <deque>

using namespace glimmerby;

namespace {

constexpr int timeoutMs = 20000;
using enum MediaPlayer::Role;
const PlayerOptions silent{"null", "null"}, drawn{"null", {}}, systemOutput{};

QString sample(const QString &name) {
    return QStringLiteral(GLIMMERBY_SAMPLES_DIR "/") + name;
}

QByteArray le32(quint32 v) {
    v = qToLittleEndian(v);
    return QByteArray(reinterpret_cast<const char *>(&v), 4);
}

QByteArray chunk(const char *id, const QByteArray &payload) {
    return id + le32(payload.size()) + payload + QByteArray(payload.size() & 1, '\0');
}

QByteArray riff(const QByteArray &chunks) {
    return "RIFF" + le32(chunks.size() + 4) + "RMID" + chunks;
}

// A player in a window of its own, with its notifications counted.
struct Player {
    QWidget window;
    MediaPlayer *p;
    int started = 0, ended = 0, failed = 0;
    double duration = 0; // the length known when the last file began
    explicit Player(MediaPlayer::Role role = Movie, const PlayerOptions &options = silent) {
        window.resize(900, 700);
        p = new MediaPlayer(role, &window, options);
        p->setGeometry(140, 0, 640, 520);
        QObject::connect(p, &MediaPlayer::NewStream, [this] {
            ++started;
            duration = p->duration();
        });
        QObject::connect(p, &MediaPlayer::EndOfStream, [this] { ++ended; });
        QObject::connect(p, &MediaPlayer::OpenFailed, [this] { ++failed; });
    }
    bool show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    bool play(const QString &path, bool wait = true) {
        const int before = started;
        p->setFileName(path.contains('/') ? path : sample(path));
        p->Play();
        return !wait || QTest::qWaitFor([&] { return started > before; }, timeoutMs);
    }
    MediaPlayer *operator->() const { return p; }
};

// Whether this process still holds the file open.
bool processHoldsFile(const QString &path) {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fds.filePath(fd)) == QFileInfo(path).canonicalFilePath())
            return true;
    return false;
}

// A sound server of the test's own with a null sink, found by nothing else on the machine:
// the synthesizer then plays through a device thread, as on a desktop.
struct PrivateSoundServer {
    QTemporaryDir dir;
    QProcess daemon;
    const QByteArray before = qgetenv("PULSE_SERVER");
    bool start() {
        const QString socket = dir.filePath("native");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"})
            env.insert(name, dir.path());
        daemon.setProcessEnvironment(env);
        daemon.start("pulseaudio",
                     {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                      "--disable-shm=yes", "--log-level=error", "-L",
                      "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L",
                      "module-null-sink"});
        if (!QTest::qWaitFor([&] { return QFileInfo(socket).exists(); }, timeoutMs))
            return false;
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket));
        return true;
    }
    ~PrivateSoundServer() {
        before.isNull() ? qunsetenv("PULSE_SERVER") : qputenv("PULSE_SERVER", before);
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
};

// A frame of testsrc2 is colourful: mostly not black, with many colours.
bool colourful(const QImage &picture) {
    const QImage image = picture.scaled(40, 30);
    QSet<QRgb> colours;
    int lit = 0;
    for (int i = 0; i < 40 * 30; ++i) {
        lit += qGray(image.pixel(i % 40, i / 40)) > 20;
        colours.insert(image.pixel(i % 40, i / 40) & 0xF0F0F0);
    }
    return lit > 600 && colours.size() > 12;
}
bool showsPicture(MediaPlayer *player) {
    return colourful(player->videoWidget()->grabFramebuffer());
}

} // namespace

class TestMediaPlayer : public QObject {
    Q_OBJECT
  private slots:
    // MIDI, RMID (other chunks, odd padding) and SMPTE timing are read; broken ones refused.
    void midiData() {
        const QByteArray mid = readAll(sample("tune.mid"));
        auto patched = [&](int at, const QByteArray &bytes) {
            return QByteArray(mid).replace(at, bytes.size(), bytes);
        };
        for (const QByteArray &file :
             {mid, readAll(sample("tune.rmi")), riff(chunk("LIST", "abc") + chunk("data", mid))}) {
            const auto data = extractMidi(file);
            QVERIFY(data && data->bytes == mid && data->ticksPerQuarter == 96);
            QCOMPARE(data->ticksPerSecondAtDefault, 192.0);
        }
        const auto smpte = extractMidi(patched(12, "\xE7\x28")); // -25 fps, 40 a frame
        QVERIFY(smpte && smpte->ticksPerQuarter == 0 && smpte->ticksPerSecondAtDefault == 1000);
        const QList<QPair<const char *, QByteArray>> refused{
            {"empty", {}},
            {"no data chunk", riff(chunk("LIST", "abcd"))},
            {"chunk past the end", riff(chunk("data", mid)).chopped(10)},
            {"huge chunk", riff("data" + le32(0xFFFFFFF0u) + mid)},
            {"header only", mid.left(14)},
            {"no track", patched(14, "XTrk")},
            {"zero tracks", patched(10, QByteArray(2, 0))},
            {"unknown format", patched(9, "\x07")},
            {"zero division", patched(12, QByteArray(2, 0))}};
        for (const auto &[why, file] : refused)
            QVERIFY2(!extractMidi(file), why);
    }

    // Every kind in every role at once, twice; the system's output (none here) plays silently.
    void everyKindPlaysToTheEndTwice() {
        struct Case {
            const char *file;
            MediaPlayer::Role role;
            double seconds;
            const PlayerOptions *options;
        };
        const QList<Case> cases = {
            {"clip.mpg", Movie, 2, &silent},        {"clip.avi", Movie, 2, &silent},
            {"clip.wmv", Movie, 2, &silent},        {"clip.asf", Movie, 2, &silent},
            {"clip.mov", Movie, 2, &silent},        {"clip.mpeg", Movie, 2, &silent},
            {"song.mp3", Movie, 3, &silent},        {"song.wma", Movie, 3, &silent},
            {"tune.rmi", Movie, 1.5, &silent},      {"beep.wav", Sound, 2, &silent},
            {"tune.mid", Sound, 1.5, &silent},      {"song.mp3", Music, 3, &silent},
            {"tune.mid", Music, 1.5, &silent},      {"beep.wav", Sound, 2, &systemOutput},
            {"tune.mid", Sound, 1.5, &systemOutput},
            // Today's kinds: movies and compressed sounds in the movie player, a FLAC as
            // background music, a .midi in the sound player.
            {"clip.mp4", Movie, 2, &silent},        {"clip.m4v", Movie, 2, &silent},
            {"clip.mkv", Movie, 2, &silent},        {"clip.webm", Movie, 2, &silent},
            {"clip.3gp", Movie, 2, &silent},        {"clip.mts", Movie, 2, &silent},
            {"clip.m2ts", Movie, 2, &silent},       {"clip.ogv", Movie, 2, &silent},
            {"tune.flac", Movie, 2, &silent},       {"tune.ogg", Movie, 2, &silent},
            {"tune.oga", Movie, 2, &silent},        {"tune.opus", Movie, 2, &silent},
            {"tune.m4a", Movie, 2, &silent},        {"tune.aac", Movie, 2, &silent},
            {"tune.flac", Music, 2, &silent},       {"tune.midi", Sound, 1.5, &silent}};
        std::deque<Player> players;
        for (const Case &c : cases)
            players.emplace_back(c.role, *c.options)->setFileName(sample(c.file));
        for (int round = 1; round <= 2; ++round) {
            for (Player &p : players)
                p->Play();
            for (int i = 0; i < cases.size(); ++i) {
                Player &p = players[i];
                QTRY_VERIFY2_WITH_TIMEOUT(p.ended == round, cases[i].file, timeoutMs);
                QVERIFY(p.started == round && p.failed == 0 && !p->isPlaying());
                QVERIFY2(qAbs(p.duration - cases[i].seconds) < 0.4, cases[i].file);
                QCOMPARE(p->fileName(), sample(cases[i].file));
            }
        }
    }

    // Files that cannot be played report OpenFailed alone, and the player stays usable.
    void unplayableFilesFail() {
        QTemporaryDir dir;
        const QByteArray list = "#EXTM3U\n" + QFile::encodeName(sample("beep.wav")) + "\n";
        const QByteArray written[] = {"not a movie",
                                      {},
                                      "notes",
                                      riff(chunk("LIST", {})),
                                      list,
                                      list,
                                      readAll(sample("tune.mid")).left(16)};
        QStringList files{sample("gasf"), sample("none.avi"), sample("none.mid")};
        for (const QString name :
             {"text.mpg", "empty.wav", "text.mid", "bad.rmi", "list.mpg", "list.m3u", "cut.mid"}) {
            files << dir.filePath(name);
            writeAll(files.last(), written[files.size() - 4]);
        }
        std::deque<Player> players;
        for (const QString &file : files)
            players.emplace_back().play(file, false);
        for (int i = 0; i < files.size(); ++i) {
            QTRY_VERIFY2_WITH_TIMEOUT(players[i].failed == 1, qPrintable(files[i]), timeoutMs);
            QVERIFY(players[i].started + players[i].ended == 0 && !players[i]->isPlaying());
            players[i].play("half.wav", false);
        }
        for (Player &p : players)
            QTRY_VERIFY_WITH_TIMEOUT(p.ended == 1 && p.started == 1, timeoutMs);
    }

    // Open, play, seek, pause, next file, stop; "" releases the file at once, no late end.
    void oneFileAfterAnother_data() {
        QTest::addColumn<QStringList>("files");
        QTest::newRow("mp3, wma") << QStringList{"song.mp3", "song.wma"};
        QTest::newRow("same file") << QStringList{"song.mp3", "song.mp3"};
        QTest::newRow("movies") << QStringList{"clip.mov", "clip.avi"};
        QTest::newRow("midi") << QStringList{"tune.mid", "tune.rmi"};
    }
    void oneFileAfterAnother() {
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        const QString first = dir.filePath(files[0]), next = dir.filePath(files[1]);
        QVERIFY(QFile::copy(sample(files[0]), first));
        QFile::copy(sample(files[1]), next); // fails for the same file again
        Player p;
        p->setFileName(first);
        QTest::qWait(300);
        QVERIFY(!p->isPlaying() && p.started == 0);
        p->Play();
        QTRY_VERIFY_WITH_TIMEOUT(p.started == 1, timeoutMs);
        p->setCurrentPosition(0.8);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(p->CurrentPosition() - 0.8) < 0.2, timeoutMs);
        p->Pause();
        const double held = p->CurrentPosition();
        QTest::qWait(400);
        QVERIFY(qAbs(p->CurrentPosition() - held) < 0.05 && !p->isPlaying());
        QVERIFY(p.play(next) && p->CurrentPosition() < 0.5 && p->isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(p->CurrentPosition() > 0.3, timeoutMs);
        p->Stop();
        QVERIFY(!p->isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(p->CurrentPosition() < 0.1, 2000); // stopped shows 0:00
        p->Play();                                                  // from the start
        QTRY_VERIFY_WITH_TIMEOUT(p->CurrentPosition() < 0.3, timeoutMs);
        p->setFileName(QString());
        QVERIFY(!p->hasFile() && !processHoldsFile(next));
        QVERIFY(QFile::rename(next, next + "~") && QFile::remove(next + "~"));
        p->Play();
        QTest::qWait(500);
        QCOMPARE(p.ended + p.failed, 0);
    }

    // Only the last of quick changes ends, not with the one before; destroying is safe.
    void quickChangesAndDestruction() {
        Player p;
        for (const char *file : {"clip.mpg", "tune.mid", "clip.wmv", "song.mp3", "tune.rmi",
                                 "clip.asf", "missing.avi", "song.wma", "half.wav"})
            p.play(file, false);
        QTRY_VERIFY_WITH_TIMEOUT(p.ended == 1, timeoutMs);
        QTest::qWait(500);
        QVERIFY(p.ended == 1 && p->fileName() == sample("half.wav"));
        QVERIFY(p.play("beep.wav"));
        p->setCurrentPosition(30); // beyond the end
        QTest::qSleep(300);        // the end happens while no event is handled
        QVERIFY(p.play("half.mp3") && p.ended == 1);
        QTRY_VERIFY_WITH_TIMEOUT(p.ended == 2, timeoutMs);
        for (int i = 0; i < 4; ++i) { // a movie and a tune, playing and opening
            auto doomed = std::make_unique<Player>();
            QVERIFY(doomed->play(i % 2 ? "tune.mid" : "clip.wmv", i < 2));
            doomed.reset(); // notifications queued for it go nowhere
            QTest::qWait(50);
        }
    }

    // Through a sound device, tunes opened, played, paused and left in quick succession, as
    // stepping does, while the device thread renders (a player made or deleted then crashed).
    void tunesChangeWhileTheDeviceRenders() {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty())
            QSKIP("pulseaudio is not installed (scripts/setup.sh installs it)");
        PrivateSoundServer server;
        QVERIFY(server.start());
        MidiEngine engine{QString()};
        QVERIFY(engine.hasAudioDevice());
        int started = 0, ended = 0;
        connect(&engine, &PlaybackEngine::started, [&] { ++started; });
        connect(&engine, &PlaybackEngine::finished, [&] { ++ended; });
        for (int i = 0; i < 3000; ++i) {
            engine.load(sample(i % 2 ? "tune.mid" : "tune.rmi"));
            engine.play();
            QTest::qWait(i % 50 == 49 ? 80 : 0); // now and then long enough to start
            if (i % 5 == 0)
                engine.pause();
            QVERIFY(engine.position() >= 0 && engine.duration() >= 0);
        }
        QVERIFY(started > 0);
        engine.load(sample("tune.mid"));
        engine.play();
        QTRY_VERIFY_WITH_TIMEOUT(ended == 1, timeoutMs);
    }

    // Drawn, whether the window shows first or the movie was loaded or playing before.
    void framesAreDrawn_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("before"); // 0: window shown first, 1: paused, 2: playing 2.5 s
        for (const char *clip : {"clip.mpg", "clip.avi", "clip.wmv", "clip.asf", "clip.mov"})
            QTest::newRow(clip) << QString(clip) << 0;
        QTest::newRow("loaded before shown") << "clip.mpg" << 1;
        QTest::newRow("playing before shown") << "clip.mpg" << 2;
    }
    void framesAreDrawn() {
        QFETCH(QString, file);
        QFETCH(int, before);
        Player host(Movie, drawn);
        QVERIFY(before || (host.show() && !showsPicture(host.p))); // nothing loaded: black
        host.play(file, false);
        if (before == 1)
            host->Pause();
        QTest::qWait(before == 2 ? 2500 : 300);
        QVERIFY(!before || host->isPlaying() == (before == 2)); // as asked, while it waits
        QVERIFY(host.show());
        if (before == 1)
            host->setCurrentPosition(0.5);
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.p), timeoutMs);
        if (before != 1) { // and plays to its end
            QTRY_COMPARE_WITH_TIMEOUT(host.started, 1, timeoutMs);
            host->setCurrentPosition(1.5);
            QTRY_COMPARE_WITH_TIMEOUT(host.ended, 1, timeoutMs);
        }
        host->setFileName(QString());
        QWidget *view = host->videoWidget(); // on screen, not a fresh paint: no frame left
        const QPoint at = view->mapToGlobal(QPoint(0, 0));
        QTRY_VERIFY(!colourful(view->screen()
                                   ->grabWindow(0, at.x(), at.y(), view->width(), view->height())
                                   .toImage()));
    }

    // The control bar's room and play button; the music player never shows.
    void controlBars() {
        Player host(Movie, drawn), sound(Sound), music(Music);
        QVERIFY(host.show() && sound.show() && music.show());
        const int withBar = host->videoWidget()->height();
        QVERIFY(host->controlBar()->isVisible());
        host->setControlsVisible(false);
        QVERIFY(!host->controlBar()->isVisible());
        QTRY_VERIFY(host->videoWidget()->height() > withBar);
        host->setControlsVisible(true);
        QTRY_COMPARE(host->videoWidget()->height(), withBar);
        QVERIFY(!sound->videoWidget() && !music->isVisible() && !music->controlBar());
        QToolButton *playPause = sound->controlBar()->findChildren<QToolButton *>().value(0);
        sound->setFileName(sample("song.mp3"));
        QTest::mouseClick(playPause, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(sound.started == 1 && sound->isPlaying(), timeoutMs);
        QTest::mouseClick(playPause, Qt::LeftButton);
        QVERIFY(!sound->isPlaying());
    }

    // Focus and keys, in the window and full screen (where Esc leaves); destroyed in it.
    void fullScreenKeysAndFocus() {
        auto owner = std::make_unique<Player>(Movie, drawn);
        Player &host = *owner;
        QVERIFY(host.show());
        int focus = 0;
        QStringList keys; // without the modifier keys themselves
        connect(host.p, &MediaPlayer::GotFocus, [&] { ++focus; });
        connect(host.p, &MediaPlayer::KeyDown, [&](int key, Qt::KeyboardModifiers mods) {
            if (key != Qt::Key_Shift)
                keys << QKeySequence(QKeyCombination(mods, Qt::Key(key))).toString();
        });
        host.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host.window));
        QTest::mouseClick(host->videoWidget(), Qt::LeftButton);
        QTRY_VERIFY(host->hasFocus() && focus > 0);
        QTest::keySequence(host.p, QKeySequence("Del, Shift+F2, Tab"));
        QVERIFY(host->controls().value(0)->hasFocus()); // Tab goes on to the player's buttons
        QVERIFY(host.play("clip.wmv"));
        host->Pause();
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.p), timeoutMs);
        host->setDisplaySize(3);
        QPointer<QWidget> full = host->fullScreenWindow();
        QVERIFY(full && QTest::qWaitForWindowExposed(full) && full->isFullScreen());
        QCOMPARE(host->videoWidget()->size(), full->size());
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.p), timeoutMs);
        QTest::keyClick(full, Qt::Key_N);
        QTest::keyClick(full, Qt::Key_Escape);
        QVERIFY(host->displaySize() == 4 && host->videoWidget()->window() == &host.window);
        QTRY_VERIFY(!full); // deleted once its handler returned
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.p), timeoutMs);
        QCOMPARE(keys, QStringList({"Del", "Shift+F2", "N"}));
        for (const int size : {3, 4, 3}) {
            QTest::mouseDClick(host->videoWidget(), Qt::LeftButton);
            QCOMPARE(host->displaySize(), size);
        }
        full = host->fullScreenWindow();
        QVERIFY(QTest::qWaitForWindowExposed(full));
        owner.reset();
        QVERIFY(!full);
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "test_media_player.moc"
