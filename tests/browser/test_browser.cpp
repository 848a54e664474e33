// Classification by ending at every place, the filter patterns, and listing real
// directories: sorting, hidden files, odd names, links and bad places.
#include "browser/directory_listing.h"
#include "browser/media_kinds.h"
#include "support/test_files.h"

#include <QtTest>

using namespace glimmerby;

class TestBrowser : public QObject {
    Q_OBJECT
  private slots:
    void placesDiffer_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kinds"); // click, next, previous, refresh, command line, show
        for (const char *row :
             {"/m/clip.mov MMMMMy", "/m/clip.MPE MMMUMy", "/m/clip.asf MMMMMy",
              "/m/movie.MPEG MMMMMy", "/m/xmpeg MMMMMy", "/m/a.avi MMMMMy", "/m/a.wma MMMMMn",
              "/m/song.mp3 MMMMMn", "/m/beep.wav SSSSSn", "/m/tune.RMI SSSSSn",
              "/p/photo.JPEG PPPPPn", "/p/a.jpgt UPUUPn", "/p/a.gif PPPPPn", "/m/gasf UUUUPn",
              "ab UUUUPn", "/p/a.jpe UUUUPn"}) {
            const QStringList parts = QString(row).split(' ');
            QTest::newRow(row) << parts[0] << parts[1];
        }
        // Today's kinds: the same at every place; movies hold the slide show.
        for (const char *row : {"MMMMMy .mp4 .M4V .mkv .webm .3gp .MTS .m2ts .ogv",
                                "MMMMMn .flac .ogg .OGA .opus .m4a .aac", "SSSSSn .midi .MIDI",
                                "PPPPPn .png .WEBP .tif .tiff .heic .HEIF .avif .svg"}) {
            const QStringList parts = QString(row).split(' ');
            for (const QString &ending : parts.mid(1))
                QTest::newRow(qPrintable(ending)) << "/m/a" + ending << parts[0];
        }
    }
    void placesDiffer() {
        QFETCH(QString, path);
        QFETCH(QString, kinds);
        QString got;
        for (KindPlace place :
             {KindPlace::ClickPreview, KindPlace::NextStep, KindPlace::PreviousStep,
              KindPlace::Refresh, KindPlace::CommandLine})
            got += QString("MSPU")[int(classify(path, place))];
        QCOMPARE(got + (isSlideShowMovie(path) ? "y" : "n"), kinds);
    }

    // Each row: the pattern (or the name of a filter's), the name, "+" when it matches.
    void patterns() {
        const QHash<QString, QString> named{
            {"movies", filterChoices()[0].pattern}, {"pictures", filterChoices()[1].pattern},
            {"both", filterChoices()[2].pattern},   {"music", filterChoices()[3].pattern},
            {"all", filterChoices()[4].pattern},    {"background", musicFilePattern()},
            {"initial", initialFilePattern()}};
        for (const char *row : {"pictures|A.JPG|+",
                                "pictures|b.jpeg|+",
                                "pictures|c.mpg|-",
                                "movies|trailer.asf|+",
                                "movies|gasf|+",
                                "movies|remov|+",
                                "movies|clip.MOV|+",
                                "movies|clip.mov.txt|-",
                                "initial|x.wmv|-",
                                "initial|x.AVI|+",
                                "a*b?c|AxxbYc|+",
                                "a*b?c|axxbc|-",
                                "*||+",
                                "**x|abx|+",
                                "x||-",
                                "img??.*|IMG01.png|+",
                                "pictures|shot.PNG|+",
                                "pictures|scan.tiff|+",
                                "pictures|a.heic|+",
                                "pictures|a.svg|+",
                                "movies|a.webm|+",
                                "movies|a.M2TS|+",
                                "both|a.avif|+",
                                "both|a.mkv|+",
                                "both|a.flac|-",
                                "music|a.opus|+",
                                "music|a.midi|+",
                                "music|a.mp4|-",
                                "all|a.3gp|+",
                                "all|a.webp|+",
                                "all|a.aac|+",
                                "background|a.m4a|+",
                                "background|a.midi|+",
                                "background|a.mp4|-",
                                "initial|a.png|-"}) {
            const QStringList p = QString(row).split('|');
            const QString pattern = named.value(p[0], p[0]);
            QVERIFY2(FilePattern(pattern).matches(p[1]) == (p[2] == "+"), row);
            QVERIFY2(pattern.contains(';') || wildcardMatch(pattern, p[1]) == (p[2] == "+"), row);
        }
    }

    // Today's endings come after each filter's own, in its pattern and its tool tip.
    void filtersKeepTheirEndingsFirst() {
        const char *const old[][2] = {
            {"*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*asf;*mov;*.mp4;",
             "avi-mpe-mpg-mpeg-asf-mov-wmv-mp4-"},
            {"*.jpg;*.jpeg;*.gif;*.bmp;*.png;", "jpg-jpeg-gif-bmp-png-"},
            {"*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*asf;*mov;*.jpg;*.jpeg;*.gif;*.bmp;*.mp4;",
             "avi-mpe-mpg-mpeg-asf-mov-wmv-jpg-jpeg-gif-bmp-mp4-"},
            {"*.wma;*.mp3;*.wav;*.mid;*.rmi;*.flac;", "wma-mp3-wav-mid-rmi-flac-"},
            {"*.wma;*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*.jpg;*.jpeg;*.gif;*.bmp;*.mp3;*.wav;*.mid;*."
             "rmi;"
             "*asf;*mov;*.mp4;",
             "avi-mpe-mpg-mpeg-asf-mov-wmv-wma-jpg-jpeg-gif-bmp-mp3-wav-mid-rmi-mp4-"}};
        const char *const entries[] = {"Movies", "Pictues", "Movies & Pictues", "Music", "All"};
        for (int i = 0; i < FilterCount; ++i) {
            QCOMPARE(filterChoices()[i].entry, QString(entries[i]));
            QVERIFY(filterChoices()[i].pattern.startsWith(old[i][0]));
            QVERIFY(filterChoices()[i].toolTip.startsWith(old[i][1]));
        }
        QVERIFY(filterChoices()[4].toolTip.endsWith("-svg-flac-ogg-oga-opus-m4a-aac-midi"));
        QCOMPARE(newPictureTips(), QString("png-webp-tif-tiff-heic-heif-avif-svg"));
    }

    void listsMatchingFilesSortedIgnoringCase() {
        QTemporaryDir dir;
        for (const char *name : {"b.jpg", "A.JPG", "c.mpg", "gasf", ".hidden.jpg", "notes.txt",
                                 "Zed.bmp", "with space.gif", "-dash.jpeg", "~tilde.jpg",
                                 "ünïcode.jpg", "line\nbreak.jpg", "photo.jpg", "Photo.JPG"})
            touch(dir.filePath(name));
        QVERIFY(QDir(dir.path()).mkdir("folder.jpg")); // directories are not files
        const DirectoryListing pictures =
            listFiles(dir.path(), FilePattern(filterChoices()[1].pattern));
        QVERIFY(pictures.readable);
        QCOMPARE(pictures.files, QStringList({"-dash.jpeg", "A.JPG", "b.jpg", "line\nbreak.jpg",
                                              "Photo.JPG", "photo.jpg", "with space.gif", "Zed.bmp",
                                              "~tilde.jpg", "ünïcode.jpg"}));
        QCOMPARE(listFiles(dir.path(), FilePattern(filterChoices()[0].pattern)).files,
                 QStringList({"c.mpg", "gasf"}));
    }

    void linksLoopsAndVanishedDirectories() {
        QTemporaryDir dir;
        touch(dir.filePath("real.jpg"));
        QVERIFY(QFile::link(dir.filePath("real.jpg"), dir.filePath("link.jpg")));
        QVERIFY(QFile::link(dir.filePath("loop1.jpg"), dir.filePath("loop2.jpg")));
        QVERIFY(QFile::link(dir.filePath("loop2.jpg"), dir.filePath("loop1.jpg")));
        QVERIFY(QFile::link(dir.path(), dir.filePath("self")));
        QCOMPARE(listFiles(dir.path(), FilePattern("*.jpg")).files,
                 QStringList({"link.jpg", "real.jpg"}));
        QCOMPARE(listSubdirectories(dir.path()), QStringList({"self"}));
        const DirectoryListing gone = listFiles("/no/such/dir", FilePattern("*"));
        QVERIFY(!gone.readable && gone.files.isEmpty());
        QCOMPARE(joinPath("/", "a.jpg"), QString("/a.jpg"));
        QCOMPARE(joinPath("/pics/", "a.jpg"), QString("/pics/a.jpg"));
    }
};

QTEST_APPLESS_MAIN(TestBrowser)
#include "test_browser.moc"
