// Background music, mute and ducking, the players' ends and the slide show, in the real
// window with real decoders and silent outputs.

#include "app/app_state.h"
#include "app/application.h"
#include "browser/browser_controller.h"
#include "browser/pane_widgets.h"
#include "browser/preview_dispatcher.h"
#include "playback/playback_controller.h"
#include "playback/slide_show.h"
#include "support/app_sandbox.h"
#include "support/test_files.h"
#include "windows/form1.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;

namespace {

const QString Samples = QStringLiteral(GLIMMERBY_SAMPLES_DIR);

// "name" copies the sample of that name; "name=sample" copies a sample under another name.
void fill(const QTemporaryDir &dir, const QStringList &files) {
    for (const QString &entry : files) {
        const QString name = entry.section(u'=', 0, 0);
        const QString sample = entry.contains(u'=') ? entry.section(u'=', 1) : name;
        QVERIFY2(QFile::copy(Samples + "/" + sample, dir.filePath(name)), qPrintable(entry));
    }
}

struct Running : AppSandbox {
    QTemporaryDir media;
    QStringList started; // names of the tracks the music player began, in order
    QStringList shown;   // names CurrentFile took during a slide show, in order
    QTimer watch;

    explicit Running(const QStringList &files, const QByteArray &ini = {}) {
        fill(media, files);
        if (!ini.isEmpty())
            writeAll(this->ini(), "[UserProfile]\n" + ini);
        start();
        form().resize(800, 600);
        ctx().browser->setDirectory(media.path());
        QObject::connect(form().MediaPlayer1, &MediaPlayer::NewStream, &watch, [this] {
            started << QFileInfo(form().MediaPlayer1->fileName()).fileName();
        });
        watch.setInterval(2);
        QObject::connect(&watch, &QTimer::timeout, [this] {
            const QString name = QFileInfo(state().CurrentFile).fileName();
            if (shown.isEmpty() || shown.last() != name)
                shown << name;
        });
    }
    ~Running() {
        watch.stop();
        ctx().slideShow->setOn(false);
    }
    void activate() {
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
    }
    void click(const QString &name) {
        FileListBox *list = form().File1;
        const int row = list->items().indexOf(name);
        QVERIFY2(row >= 0, qPrintable(name));
        list->scrollTo(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(row, 0)).center());
    }
    void showAt(int speed) {
        form().HS[0]->setValue(speed);
        shown.clear();
        watch.start();
        ctx().slideShow->setOn(true);
    }
};

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void musicRunsThroughTheDirectory_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one file") << QStringList{"half.wav", "landscape.jpg"}
                                  << QStringList{"half.wav", "half.wav", "half.wav"};
        QTest::newRow("three kinds")
            << QStringList{"a.mp3=half.mp3", "b.mid=tune.mid", "c.wav=half.wav"}
            << QStringList{"a.mp3", "b.mid", "c.wav", "a.mp3"};
        QTest::newRow("garbage and vanished skipped")
            << QStringList{"a.mp3=garbage.mp3", "b.wav=half.wav", "d.mp3=garbage.avi",
                           "e.wav=half.wav"}
            << QStringList{"b.wav", "b.wav"};
    }
    void musicRunsThroughTheDirectory() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        Running r(files);
        Form1 &f = r.form();
        QFile::remove(r.media.filePath("e.wav")); // listed, then deleted
        r.ctx().playback->StartMusic();
        QVERIFY(f.toolbarButton("play")->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(r.started.size() >= expected.size(), 20000);
        QCOMPARE(r.started.mid(0, expected.size()), expected);
        QVERIFY(!f.MediaPlayer1->decoderMuted());
        r.ctx().playback->StopMusic();
        QVERIFY(!f.toolbarButton("play")->isChecked());
        QVERIFY(!f.MediaPlayer1->isPlaying());
        QVERIFY(!f.MediaPlayer1->fileName().isEmpty()); // paused, still loaded
    }

    void musicSteps() {
        Running r({"a.wav=half.wav", "b.mp3=half.mp3", "clip.avi"});
        Form1 &f = r.form();
        AppContext &ctx = r.ctx();
        // The last track steps to the first; the movie player is let go first; the
        // "play" button is left alone.
        r.click("clip.avi");
        f.File2->setListIndex(1);
        ctx.playback->NextMusicTrack();
        QCOMPARE(f.MediaPlayer2->fileName(), QString());
        QCOMPARE(f.MediaPlayer1->fileName(), r.media.filePath("a.wav"));
        QVERIFY(!f.toolbarButton("play")->isChecked());
        // A directory of garbage stops after one round.
        QTemporaryDir junk;
        fill(junk, {"a.mp3=garbage.mp3", "b.wav=garbage.avi"});
        QSignalSpy failures(f.MediaPlayer1, &MediaPlayer::OpenFailed);
        ctx.browser->setDirectory(junk.path());
        ctx.playback->NextMusicTrack(); // a new list starts at its first track
        QTRY_COMPARE(failures.size(), 2);
        QTest::qWait(300);
        QCOMPARE(failures.size(), 2);
        QVERIFY(!f.MediaPlayer1->isPlaying());
        // Back in the first directory, music starts at its first track.
        ctx.browser->setDirectory(r.media.path());
        QCOMPARE(f.File2->listIndex(), -1);
        ctx.playback->NextMusicTrack();
        QTRY_COMPARE(r.started.value(0), QString("a.wav"));
        // The keys: B starts and stops, N steps, M mutes.
        QTest::keyClick(f.Text1, Qt::Key_B);
        QVERIFY(f.toolbarButton("play")->isChecked());
        QCOMPARE(f.MediaPlayer1->fileName(), r.media.filePath("a.wav"));
        QTest::keyClick(f.Text1, Qt::Key_N);
        QCOMPARE(f.MediaPlayer1->fileName(), r.media.filePath("b.mp3"));
        QTest::keyClick(f.Text1, Qt::Key_B);
        QVERIFY(!f.toolbarButton("play")->isChecked());
        QTest::keyClick(f.Text1, Qt::Key_M);
        QCOMPARE(r.state().MuteState, std::int16_t(1));
        QVERIFY(f.toolbarButton("mute")->isChecked());
        // With no sounds nothing is opened, not even the directory.
        QTemporaryDir empty;
        ctx.browser->setDirectory(empty.path());
        ctx.playback->StartMusic();
        ctx.playback->NextMusicTrack();
        QVERIFY(!f.MediaPlayer1->fileName().startsWith(empty.path()));
    }

    void muteAndDucking() {
        Running r({"clip.avi", "half.wav", "song.mp3"}, "Mute=1\n");
        Form1 &f = r.form();
        AppContext &ctx = r.ctx();
        QAction *mute = f.toolbarButton("mute");
        auto agree = [&](bool muted) {
            QCOMPARE(r.state().MuteState, std::int16_t(muted ? 1 : 0));
            QCOMPARE(mute->isChecked(), muted);
            QCOMPARE(f.MediaPlayer2->decoderMuted(), muted);
        };
        // A muted start: the first movie is muted before it sounds.
        int streams = 0;
        bool mutedAtStart = false;
        auto watchStreams = connect(f.MediaPlayer2, &MediaPlayer::NewStream, this, [&] {
            if (streams++ == 0)
                mutedAtStart = f.MediaPlayer2->decoderMuted();
        });
        ctx.playback->StartMusic();
        r.click("clip.avi");
        QVERIFY(f.MediaPlayer2->decoderMuted());
        QTRY_VERIFY(streams > 0);
        disconnect(watchStreams);
        QVERIFY(mutedAtStart);
        agree(true);
        QCOMPARE(ctx.playback->musicVolume(), 100); // a muted movie leaves the music be
        // The toolbar, the key routine and the player's own button are one switch.
        QTest::mouseClick(f.Toolbar1->widgetForAction(mute), Qt::LeftButton);
        agree(false);
        QTRY_COMPARE(f.MediaPlayer1->volume(), 25); // the music dips under the movie
        ctx.playback->ToggleMute();
        agree(true);
        QTRY_COMPARE(f.MediaPlayer1->volume(), 100);
        auto *bar = f.MediaPlayer2->controlBar();
        QToolButton *barMute = nullptr;
        for (QToolButton *b : bar->findChildren<QToolButton *>())
            if (b->toolTip() == "Mute")
                barMute = b;
        QVERIFY(barMute);
        barMute->click();
        agree(false);
        // A new movie keeps the state; the sound and music players never mute.
        ctx.playback->ToggleMute();
        r.click("song.mp3");
        QTRY_VERIFY(f.MediaPlayer2->isPlaying());
        agree(true);
        r.click("half.wav");
        QVERIFY(!f.MP->decoderMuted());
        QVERIFY(!f.MediaPlayer1->decoderMuted());
        // The music comes back when the movie is paused or released.
        ctx.playback->ToggleMute();
        r.click("clip.avi");
        QTRY_COMPARE(f.MediaPlayer1->volume(), 25);
        f.MediaPlayer2->Pause();
        QTRY_COMPARE(f.MediaPlayer1->volume(), 100);
        f.MediaPlayer2->Play();
        QTRY_COMPARE(f.MediaPlayer1->volume(), 25);
        QTRY_VERIFY_WITH_TIMEOUT(f.MediaPlayer2->fileName().isEmpty(), 10000); // its end
        QTRY_COMPARE(f.MediaPlayer1->volume(), 100);
    }

    void endsAndFocus() {
        Running r({"second.mpg", "half.wav", "clip.avi"});
        Form1 &f = r.form();
        r.activate();
        // A movie's end with the show off lets go of the file and gives Text1 the focus.
        r.click("second.mpg");
        QTRY_VERIFY_WITH_TIMEOUT(f.MediaPlayer2->fileName().isEmpty(), 10000);
        QVERIFY(!f.MediaPlayer2->hasFile());
        QTRY_VERIFY(f.Text1->hasFocus());
        QVERIFY(QFile::rename(r.media.filePath("second.mpg"), r.media.filePath("renamed.mpg")));
        r.ctx().browser->RefreshFileList("renamed.mpg");
        // With the focus in the description field it stays there, and Delete edits text.
        r.click("renamed.mpg");
        f.Text2->setFocus();
        QTRY_VERIFY(f.Text2->hasFocus());
        QSignalSpy ends(f.MediaPlayer2, &MediaPlayer::EndOfStream);
        QTRY_VERIFY_WITH_TIMEOUT(ends.size() == 1, 10000);
        QVERIFY(f.Text2->hasFocus());
        QTest::keyClick(f.Text2, Qt::Key_Delete);
        for (const char *name : {"renamed.mpg", "half.wav", "clip.avi"})
            QVERIFY(QFile::exists(r.media.filePath(name)));
        // A sound ending after a movie took over leaves the movie playing.
        r.click("half.wav");
        r.click("clip.avi");
        QSignalSpy soundEnds(f.MP, &MediaPlayer::EndOfStream);
        QTRY_VERIFY_WITH_TIMEOUT(soundEnds.size() == 1, 10000);
        QCOMPARE(f.MediaPlayer2->fileName(), r.media.filePath("clip.avi"));
        QVERIFY(f.MediaPlayer2->hasFile());
    }

    void slideShow_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected"); // the start of what the show shows
        QTest::addColumn<int>("boxes");            // "Unrecognize Format" boxes by then
        QTest::newRow("pictures wrap") << QStringList{"a.gif=small.gif", "b.bmp=tiny.bmp"}
                                       << QStringList{"a.gif", "b.bmp", "a.gif", "b.bmp"} << 0;
        QTest::newRow("movie holds the show")
            << QStringList{"a.gif=small.gif", "b.mpg=second.mpg", "c.bmp=tiny.bmp"}
            << QStringList{"a.gif", "b.mpg", "c.bmp", "a.gif"} << 0;
        QTest::newRow(".mov gives one box")
            << QStringList{"a.gif=small.gif", "b.mov=clip.mov", "c.bmp=tiny.bmp"}
            << QStringList{"a.gif", "b.mov", "c.bmp"} << 1;
        QTest::newRow("garbage movie, short sound")
            << QStringList{"a.gif=small.gif", "b.avi=garbage.avi", "c.wav=half.wav"}
            << QStringList{"a.gif", "b.avi", "c.wav", "a.gif", "b.avi"} << 0;
    }
    void slideShow() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        QFETCH(int, boxes);
        Running r(files);
        Form1 &f = r.form();
        r.click(files.first().section(u'=', 0, 0));
        int waitedForMovie = 0;
        connect(f.MediaPlayer2, &MediaPlayer::NewStream, this, [&] {
            QTimer::singleShot(300, this, [&] {
                if (f.MediaPlayer2->isPlaying() && !f.Timer1->isActive())
                    ++waitedForMovie;
            });
        });
        r.showAt(150);
        QTRY_VERIFY_WITH_TIMEOUT(r.shown.size() >= expected.size(), 20000);
        QCOMPARE(r.shown.mid(0, expected.size()), expected);
        QCOMPARE(r.boxes.texts().mid(0, boxes), QStringList(boxes, "Unrecognize Format"));
        QCOMPARE(r.state().SlideShowOn, std::int16_t(1));
        if (files.join(' ').contains(".mpg"))
            QVERIFY(waitedForMovie > 0);
    }

    void showGoesOnFromAnUnplayedMovie() {
        Running r({"a.avi=clip.avi", "b.gif=small.gif"});
        // Selected (as a right click does) but not playing: there is no end to wait for.
        r.form().File1->setListIndex(0);
        r.state().CurrentFile = r.media.filePath("a.avi");
        r.showAt(150);
        QVERIFY(r.form().Timer1->isActive());
        QTRY_COMPARE(r.state().CurrentFile, r.media.filePath("b.gif"));
    }

    void showWaitsForABatch() {
        Running r({"a.gif=small.gif", "b.bmp=tiny.bmp"});
        r.click("a.gif");
        r.state().BatchBusy = -1;
        r.showAt(150);
        QTest::qWait(600);
        QCOMPARE(r.state().CurrentFile, r.media.filePath("a.gif"));
        QCOMPARE(r.form().File1->selectedRows(), QList<int>{0});
        QVERIFY(r.form().Timer1->isActive());
        r.state().BatchBusy = 0;
        QTRY_COMPARE(r.state().CurrentFile, r.media.filePath("b.bmp"));
    }

    void showOfNothingShowableTurnsItselfOff() {
        Running r({"a.mov=clip.mov", "b.mov=clip.mov"});
        r.showAt(150);
        QTRY_COMPARE(r.state().SlideShowOn, std::int16_t(0));
        QCOMPARE(r.boxes.texts(), QStringList(2, "Unrecognize Format"));
        QVERIFY(!r.form().toolbarButton("slideshow")->isChecked());
        QVERIFY(!r.form().Timer1->isActive());
    }
};

QTEST_MAIN(TestPlayback)
#include "test_playback.moc"
