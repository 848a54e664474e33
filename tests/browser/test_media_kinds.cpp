// Classification by ending at every place, and the filter patterns.

#include "browser/media_kinds.h"

#include <QtTest>

using namespace glimmerby;

class TestMediaKinds : public QObject {
    Q_OBJECT
  private slots:
    void endingKeyIsLastFourLowered() {
        QCOMPARE(endingKey("/a/movie.MPEG"), QString("mpeg"));
        QCOMPARE(endingKey("/a/photo.JPEG"), QString("jpeg"));
        QCOMPARE(endingKey("/x/gasf"), QString("gasf"));
        QCOMPARE(endingKey("ab"), QString("ab"));
    }

    void placesDiffer_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("click");
        QTest::addColumn<int>("next");
        QTest::addColumn<int>("previous");
        QTest::addColumn<int>("refresh");
        QTest::addColumn<int>("commandLine");
        const int M = int(MediaKind::Movie), S = int(MediaKind::Sound), P = int(MediaKind::Picture),
                  U = int(MediaKind::Unrecognized);
        QTest::newRow("mov") << "/m/clip.mov" << M << U << U << U << P;
        QTest::newRow("mpe") << "/m/clip.MPE" << M << M << M << U << M;
        QTest::newRow("asf") << "/m/clip.asf" << M << M << M << M << P;
        QTest::newRow("mpeg") << "/m/movie.MPEG" << M << M << M << M << M;
        QTest::newRow("mpeg without dot") << "/m/xmpeg" << M << M << M << M << M;
        QTest::newRow("mp3") << "/m/song.mp3" << M << M << M << M << M;
        QTest::newRow("wav") << "/m/beep.wav" << S << S << S << S << P;
        QTest::newRow("rmi") << "/m/tune.RMI" << S << S << S << S << P;
        QTest::newRow("jpeg") << "/p/photo.JPEG" << P << P << P << P << P;
        QTest::newRow("jpgt only next") << "/p/a.jpgt" << U << P << U << U << P;
        QTest::newRow("gif") << "/p/a.gif" << P << P << P << P << P;
        QTest::newRow("gasf") << "/m/gasf" << U << U << U << U << P;
        QTest::newRow("short") << "ab" << U << U << U << U << P;
        QTest::newRow("jpe is no jpeg") << "/p/a.jpe" << U << U << U << U << P;
    }
    void placesDiffer() {
        QFETCH(QString, path);
        QFETCH(int, click);
        QFETCH(int, next);
        QFETCH(int, previous);
        QFETCH(int, refresh);
        QFETCH(int, commandLine);
        QCOMPARE(int(classify(path, KindPlace::ClickPreview)), click);
        QCOMPARE(int(classify(path, KindPlace::NextStep)), next);
        QCOMPARE(int(classify(path, KindPlace::PreviousStep)), previous);
        QCOMPARE(int(classify(path, KindPlace::Refresh)), refresh);
        QCOMPARE(int(classify(path, KindPlace::CommandLine)), commandLine);
    }

    void slideShowWaitsOnlyForItsMovies() {
        QVERIFY(isSlideShowMovie("/m/a.avi"));
        QVERIFY(isSlideShowMovie("/m/a.MPEG"));
        QVERIFY(!isSlideShowMovie("/m/a.mov"));
        QVERIFY(!isSlideShowMovie("/m/a.wma"));
        QVERIFY(!isSlideShowMovie("/p/a.jpg"));
    }

    void filterTable() {
        const auto &c = filterChoices();
        QCOMPARE(c[1].entry, QString("Pictues"));
        QCOMPARE(c[2].entry, QString("Movies & Pictues"));
        QCOMPARE(c[4].pattern, QString("*.wma;*.wmv;*.avi;*.mpg;*.mpe;*.mpeg;*.jpg;*.jpeg;*.gif;"
                                       "*.bmp;*.mp3;*.wav;*.mid;*.rmi;*asf;*mov"));
    }

    void patternsMatchIgnoringCase() {
        const FilePattern pictures(filterChoices()[1].pattern);
        QVERIFY(pictures.matches("A.JPG"));
        QVERIFY(pictures.matches("b.jpeg"));
        QVERIFY(!pictures.matches("c.mpg"));
        const FilePattern movies(filterChoices()[0].pattern);
        QVERIFY(movies.matches("trailer.asf"));
        QVERIFY(movies.matches("gasf"));
        QVERIFY(movies.matches("remov"));
        QVERIFY(movies.matches("clip.MOV"));
        QVERIFY(!movies.matches("clip.mov.txt"));
        const FilePattern initial(initialFilePattern());
        QVERIFY(!initial.matches("x.wmv"));
        QVERIFY(initial.matches("x.AVI"));
    }

    void generalWildcards() {
        QVERIFY(wildcardMatch("a*b?c", "AxxbYc"));
        QVERIFY(!wildcardMatch("a*b?c", "axxbc"));
        QVERIFY(wildcardMatch("*", ""));
        QVERIFY(wildcardMatch("**x", "abx"));
        QVERIFY(!wildcardMatch("x", ""));
        QVERIFY(FilePattern("img??.*").matches("IMG01.png"));
    }
};

QTEST_APPLESS_MAIN(TestMediaKinds)
#include "test_media_kinds.moc"
