// The movie player in a real shown window: the picture is drawn, the control bar and
// full screen behave, keys and focus are reported.

#include "playback/media_player.h"

#include <QOpenGLWidget>
#include <QPointer>
#include <QSet>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace glimmerby;

namespace {

constexpr int timeoutMs = 15000;

QString sample(const QString &name) {
    return QStringLiteral(GLIMMERBY_SAMPLES_DIR "/") + name;
}

// A frame of testsrc2 is colourful: most of it is not black and it has many colours.
bool showsPicture(MediaPlayer *player) {
    const QImage image = player->videoWidget()->grabFramebuffer();
    if (image.isNull())
        return false;
    int lit = 0, samples = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7) {
            const QRgb pixel = image.pixel(x, y);
            ++samples;
            if (qRed(pixel) + qGreen(pixel) + qBlue(pixel) > 60)
                ++lit;
            colours.insert(pixel & 0xF0F0F0);
        }
    }
    return samples > 0 && lit * 2 > samples && colours.size() > 12;
}

// The keys reported, without the modifier keys themselves (which are reported too).
QList<int> pressed(const QSignalSpy &spy) {
    QList<int> keys;
    for (const QList<QVariant> &args : spy) {
        const int key = args.at(0).toInt();
        if (key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Alt)
            keys << key;
    }
    return keys;
}

struct Host {
    QWidget window;
    MediaPlayer *player;
    explicit Host(MediaPlayer::Role role = MediaPlayer::Role::Movie) {
        window.resize(900, 700);
        PlayerOptions options;
        options.audioOutput = QStringLiteral("null");
        player = new MediaPlayer(role, &window, options);
        player->setGeometry(140, 0, 640, 520);
    }
    bool show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
};

} // namespace

class TestMovieView : public QObject {
    Q_OBJECT
  private slots:
    void framesAreDrawn_data() {
        QTest::addColumn<QString>("file");
        for (const char *clip : {"clip.mpg", "clip.avi", "clip.wmv", "clip.asf", "clip.mov"})
            QTest::newRow(clip) << QString::fromLatin1(clip);
    }
    void framesAreDrawn() {
        QFETCH(QString, file);
        Host host;
        QVERIFY(host.show());
        QVERIFY(host.player->videoWidget());
        QVERIFY(!showsPicture(host.player)); // nothing loaded: black
        QSignalSpy started(host.player, &MediaPlayer::NewStream);
        QSignalSpy ended(host.player, &MediaPlayer::EndOfStream);
        host.player->setFileName(sample(file));
        host.player->Play();
        QVERIFY(started.wait(timeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.player), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(ended.count() == 1, timeoutMs);
    }

    void fileLoadedBeforeTheWindowShowsStillGetsItsPicture() {
        Host host;
        QSignalSpy started(host.player, &MediaPlayer::NewStream);
        host.player->setFileName(sample("clip.mpg"));
        host.player->Play();
        host.player->Pause();
        QTest::qWait(300);
        QVERIFY(host.show());
        host.player->setCurrentPosition(0.5);
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.player), timeoutMs);
    }

    // Asked to play long before the window is on screen (longer than the clip lasts), the
    // movie waits for its picture and then plays in full.
    void playAskedLongBeforeTheWindowShowsPlaysOnceShown() {
        Host host;
        QSignalSpy started(host.player, &MediaPlayer::NewStream);
        host.player->setFileName(sample("clip.mpg"));
        host.player->Play();
        QTest::qWait(2500);
        QVERIFY(host.player->isPlaying());
        QVERIFY(host.show());
        QVERIFY(started.wait(timeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.player), timeoutMs);
    }

    void controlBarFollowsTheFlag() {
        Host host;
        QVERIFY(host.show());
        QWidget *bar = host.player->controlBar();
        QVERIFY(bar && bar->isVisible());
        const int withBar = host.player->videoWidget()->height();
        host.player->setControlsVisible(false);
        QVERIFY(!bar->isVisible());
        QVERIFY(!host.player->controlsVisible());
        QTRY_VERIFY(host.player->videoWidget()->height() > withBar);
        host.player->setControlsVisible(true);
        QVERIFY(bar->isVisible());
        QTRY_COMPARE(host.player->videoWidget()->height(), withBar);
    }

    void controlBarButtonsPlayAndPause() {
        Host host(MediaPlayer::Role::Sound);
        QVERIFY(host.show());
        QVERIFY(!host.player->videoWidget());
        const auto buttons = host.player->controlBar()->findChildren<QToolButton *>();
        QVERIFY(buttons.size() >= 3);
        QToolButton *playPause = buttons.first();
        QSignalSpy started(host.player, &MediaPlayer::NewStream);
        host.player->setFileName(sample("song.mp3"));
        QTest::mouseClick(playPause, Qt::LeftButton);
        QVERIFY(started.wait(timeoutMs));
        QVERIFY(host.player->isPlaying());
        QTest::mouseClick(playPause, Qt::LeftButton);
        QVERIFY(!host.player->isPlaying());
    }

    void musicPlayerStaysHidden() {
        Host host(MediaPlayer::Role::Music);
        QVERIFY(host.show());
        QVERIFY(!host.player->isVisible());
        QVERIFY(!host.player->controlBar());
    }

    void fullScreenAndBack() {
        Host host;
        QVERIFY(host.show());
        QSignalSpy started(host.player, &MediaPlayer::NewStream);
        host.player->setFileName(sample("clip.wmv"));
        host.player->Play();
        QVERIFY(started.wait(timeoutMs));
        host.player->Pause();
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.player), timeoutMs);

        host.player->setDisplaySize(3);
        QCOMPARE(host.player->displaySize(), 3);
        QPointer<QWidget> full = host.player->fullScreenWindow();
        QVERIFY(full);
        QVERIFY(QTest::qWaitForWindowExposed(full));
        QVERIFY(full->windowState() & Qt::WindowFullScreen);
        QCOMPARE(host.player->videoWidget()->window(), full.data());
        QCOMPARE(host.player->videoWidget()->size(), full->size());
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.player), timeoutMs);

        QTest::keyClick(full, Qt::Key_Escape);
        QCOMPARE(host.player->displaySize(), 4);
        QVERIFY(!host.player->fullScreenWindow());
        QCOMPARE(host.player->videoWidget()->window(), &host.window);
        QTRY_VERIFY(!full); // deleted once its handler returned
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host.player), timeoutMs);

        // A double-click on the picture goes full screen and comes back as well.
        QTest::mouseDClick(host.player->videoWidget(), Qt::LeftButton);
        QCOMPARE(host.player->displaySize(), 3);
        QVERIFY(host.player->fullScreenWindow());
        QTest::mouseDClick(host.player->videoWidget(), Qt::LeftButton);
        QCOMPARE(host.player->displaySize(), 4);
        QVERIFY(!host.player->fullScreenWindow());
    }

    void keysAndFocusAreReported() {
        Host host;
        QVERIFY(host.show());
        QSignalSpy focus(host.player, &MediaPlayer::GotFocus);
        QSignalSpy keys(host.player, &MediaPlayer::KeyDown);
        host.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host.window));
        QTest::mouseClick(host.player->videoWidget(), Qt::LeftButton);
        QTRY_VERIFY(host.player->hasFocus());
        QVERIFY(focus.count() >= 1);

        QTest::keyClick(host.player, Qt::Key_Delete);
        QTest::keyClick(host.player, Qt::Key_F2, Qt::ShiftModifier);
        QTest::keyClick(host.player, Qt::Key_Tab);
        QCOMPARE(pressed(keys), (QList<int>{Qt::Key_Delete, Qt::Key_F2, Qt::Key_Tab}));
        const QList<QVariant> f2 = keys.at(keys.count() - 2);
        QCOMPARE(f2.at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
        QVERIFY(host.player->hasFocus()); // Tab did not move the focus away

        // Keys pressed in full screen go the same way; Esc is kept for leaving it.
        host.player->setDisplaySize(3);
        keys.clear();
        QTest::keyClick(host.player->fullScreenWindow(), Qt::Key_N);
        QTest::keyClick(host.player->fullScreenWindow(), Qt::Key_Escape);
        QCOMPARE(pressed(keys), QList<int>{Qt::Key_N});
        QCOMPARE(host.player->displaySize(), 4);
    }

    void destroyingWhilePlayingFullScreenIsSafe() {
        auto host = std::make_unique<Host>();
        QVERIFY(host->show());
        QSignalSpy started(host->player, &MediaPlayer::NewStream);
        host->player->setFileName(sample("clip.avi"));
        host->player->Play();
        QVERIFY(started.wait(timeoutMs));
        host->player->setDisplaySize(3);
        QPointer<QWidget> full = host->player->fullScreenWindow();
        QVERIFY(QTest::qWaitForWindowExposed(full));
        QTRY_VERIFY_WITH_TIMEOUT(showsPicture(host->player), timeoutMs);
        host.reset();
        QVERIFY(!full);
        QTest::qWait(100);
    }
};

QTEST_MAIN(TestMovieView)
#include "test_movie_view.moc"
