// Classification by ending at every place, the filter patterns, and listing real
// directories: sorting, hidden files, odd names, links and bad places.
#include "browser/directory_listing.h"
#include "browser/media_kinds.h"
#include "support/test_files.h"

#include <QtTest>

#include <algorithm>

using namespace glimmerby;

class TestBrowser : public QObject {
    Q_OBJECT
  private slots:
    void placesDiffer_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kinds"); // click, next, previous, refresh, command line, show
        for (const char *row :
             {"/m/clip.mov MUUUPn", "/m/clip.MPE MMMUMy", "/m/clip.asf MMMMPy",
              "/m/movie.MPEG MMMMMy", "/m/xmpeg MMMMMy", "/m/a.avi MMMMMy", "/m/a.wma MMMMMn",
              "/m/song.mp3 MMMMMn", "/m/beep.wav SSSSPn", "/m/tune.RMI SSSSPn",
              "/p/photo.JPEG PPPPPn", "/p/a.jpgt UPUUPn", "/p/a.gif PPPPPn", "/m/gasf UUUUPn",
              "ab UUUUPn", "/p/a.jpe UUUUPn"}) {
            const QStringList parts = QString(row).split(' ');
            QTest::newRow(row) << parts[0] << parts[1];
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
        const QHash<QString, QString> named{{"movies", filterChoices()[0].pattern},
                                            {"pictures", filterChoices()[1].pattern},
                                            {"initial", initialFilePattern()}};
        for (const char *row :
             {"pictures|A.JPG|+", "pictures|b.jpeg|+", "pictures|c.mpg|-", "movies|trailer.asf|+",
              "movies|gasf|+", "movies|remov|+", "movies|clip.MOV|+", "movies|clip.mov.txt|-",
              "initial|x.wmv|-", "initial|x.AVI|+", "a*b?c|AxxbYc|+", "a*b?c|axxbc|-", "*||+",
              "**x|abx|+", "x||-", "img??.*|IMG01.png|+"}) {
            const QStringList p = QString(row).split('|');
            const QString pattern = named.value(p[0], p[0]);
            QVERIFY2(FilePattern(pattern).matches(p[1]) == (p[2] == "+"), row);
            QVERIFY2(pattern.contains(';') || wildcardMatch(pattern, p[1]) == (p[2] == "+"), row);
        }
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

    // The sort decides most comparisons on packed name heads: its order must be the full
    // comparison's, across the head's end, signs between the cases and other letters.
    void sortAgreesWithTheFullComparison() {
        QStringList names{"File 1234567890123 b", "file 1234567890123 A", "File 1234567890123",
                          "FILE 12345678901234", "a_b", "A[b", "A_B", "ab", "Ab", "é", "É", "e",
                          "E", "Ölbild", "olbild", "~", "x", "X", "file 1234567890123 a"};
        QStringList expected = names;
        std::sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) {
            const int c = a.compare(b, Qt::CaseInsensitive);
            return c != 0 ? c < 0 : a < b;
        });
        std::reverse(names.begin(), names.end());
        sortNames(names);
        QCOMPARE(names, expected);
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
