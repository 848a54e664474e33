// Classification by ending at every place, the filter patterns, and listing real
// directories: sorting, hidden files, odd names, links and bad places. The thumbnail
// cache's names checked against GLib itself, and the workers on real files.
#include "browser/directory_listing.h"
#include "browser/media_kinds.h"
#include "browser/thumbnail_cache.h"
#include "browser/thumbnail_workers.h"
#include "support/test_files.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

#include <algorithm>
#include <glib.h>
#include <utime.h>

namespace {

// What the desktop's file managers call the file: GLib's own URI and its MD5.
QString glibUri(const QString &path) {
    gchar *uri = g_filename_to_uri(QFile::encodeName(path).constData(), nullptr, nullptr);
    const QString result = QString::fromUtf8(uri);
    g_free(uri);
    return result;
}

QString glibThumbName(const QString &uri) {
    gchar *md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.toUtf8().constData(), -1);
    const QString result = QString::fromLatin1(md5) + ".png";
    g_free(md5);
    return result;
}

void setMTime(const QString &path, qint64 seconds) {
    const struct utimbuf times { seconds, seconds };
    QCOMPARE(::utime(QFile::encodeName(path).constData(), &times), 0);
}

QByteArray jpegOf(QColor colour, QSize size = {400, 300}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return data;
}

// A thumbnail as another program writes one: a PNG with the standard's keys.
void writeForeignThumb(const QString &file, const QString &thumbPath, qint64 mtime, QColor colour) {
    QImage thumb(128, 96, QImage::Format_RGB32);
    thumb.fill(colour);
    thumb.setText("Thumb::URI", glibUri(file));
    thumb.setText("Thumb::MTime", QString::number(mtime));
    QVERIFY(QDir().mkpath(QFileInfo(thumbPath).path()));
    QVERIFY(thumb.save(thumbPath, "PNG"));
}

} // namespace

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

    // The sort decides most comparisons on packed name heads: its order must be the full
    // comparison's, across the head's end, signs between the cases and other letters.
    void sortAgreesWithTheFullComparison() {
        // clang-format off
        QStringList names{"File 1234567890123 b", "file 1234567890123 A", "File 1234567890123",
                          "FILE 12345678901234", "a_b", "A[b", "A_B", "ab", "Ab", "é", "É", "e",
                          "E", "Ölbild", "olbild", "~", "x", "X", "file 1234567890123 a"};
        // clang-format on
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

    // The cache file of odd names is the one GLib names, so the desktop finds ours.
    void thumbnailNamesAgreeWithGlib() {
        for (const char *name :
             {"/pics/plain.jpg", "/pics/with space.jpg", "/pics/hash#1.jpg", "/pics/50%.jpg",
              "/pics/[bracketed].jpg", "/pics/ünïcødé ø.jpg", "/pics/a;b?c&d=e+f,g@h!$'()*~.jpg",
              "/pics/back\\slash{}|^`\"<>.jpg", "/pics/tab\tline\nbreak.jpg", "/pics/./x/../y.jpg",
              "/pics//double.jpg"}) {
            const QString path = QString::fromUtf8(name);
            const QString clean = QDir::cleanPath(path);
            QCOMPARE(fileUriOf(path), glibUri(clean));
            QCOMPARE(thumbFileNameFor(fileUriOf(path)), glibThumbName(glibUri(clean)));
        }
        QCOMPARE(ThumbnailCache("/c/thumbnails").failPath("file:///a.jpg"),
                 "/c/thumbnails/fail/glimmerby-1.0/" + glibThumbName("file:///a.jpg"));
    }

    // Each row: the file, what it holds, what the cache holds before, what comes out.
    // holds: red (a JPEG), garbage, movie (a sample clip). cache: none, foreign-blue (a
    // file manager's thumbnail for this version), stale-blue (for another MTime),
    // failed (our failure record for this version). out: red, blue, damaged, frame.
    void workersUseAndFillTheCache_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("holds");
        QTest::addColumn<QString>("cache");
        QTest::addColumn<QString>("out");
        const char *rows[][4] = {
            {"fresh.jpg", "red", "none", "red"},
            {"known #1.jpg", "garbage", "foreign-blue", "blue"}, // used, not decoded
            {"stale [x].jpg", "red", "stale-blue", "red"},
            {"bröken.jpg", "garbage", "none", "damaged"},
            {"given up.jpg", "red", "failed", "damaged"}, // not tried again
            {"clip.mpg", "movie", "none", "frame"},
            {"garbage.avi", "garbage", "none", "damaged"},
            // Today's kinds, from the sample collection.
            {"clip.webm", "movie", "none", "frame"},
            {"turned.heic", "sample", "none", "made"},
            {"plain.avif", "sample", "none", "made"},
            {"turned.webp", "sample", "none", "made"},
            {"turned.tif", "sample", "none", "made"},
            {"clear.png", "sample", "none", "made"},
            {"drawing.svg", "sample", "none", "made"},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << r[0] << r[1] << r[2] << r[3];
    }
    void workersUseAndFillTheCache() {
        QFETCH(QString, name);
        QFETCH(QString, holds);
        QFETCH(QString, cache);
        QFETCH(QString, out);
        QTemporaryDir dir;
        const QString file = dir.filePath("pics/" + name);
        QVERIFY(QDir().mkpath(dir.filePath("pics")));
        if (holds == "red")
            writeAll(file, jpegOf(Qt::red));
        else if (holds == "movie" || holds == "sample")
            QVERIFY(QFile::copy(QStringLiteral(GLIMMERBY_SAMPLES_DIR "/") + name, file));
        else
            writeAll(file, QByteArray(3000, 'g'));
        const qint64 mtime = 1700000000;
        setMTime(file, mtime);
        const ThumbnailCache store(dir.filePath("cache/thumbnails"));
        const QString thumb = store.thumbPath(glibUri(file), ThumbSize::Normal);
        QCOMPARE(thumb, dir.filePath("cache/thumbnails/normal/") + glibThumbName(glibUri(file)));
        if (cache == "foreign-blue" || cache == "stale-blue")
            writeForeignThumb(file, thumb, cache == "stale-blue" ? mtime - 60 : mtime, Qt::blue);
        if (cache == "failed")
            QVERIFY(store.storeFailure(file, mtime, 1));

        ThumbnailWorkers workers(store, 2);
        QImage image;
        int outcome = -1;
        connect(&workers, &ThumbnailWorkers::made, this,
                [&](quint64, const QString &path, const QImage &made, ThumbnailWorkers::Outcome o) {
                    QCOMPARE(path, file);
                    image = made;
                    outcome = int(o);
                });
        workers.schedule(1, {file}, ThumbSize::Normal);
        QTRY_VERIFY(outcome >= 0);
        if (out == "damaged") {
            QCOMPARE(outcome, int(ThumbnailWorkers::Outcome::Damaged));
            if (cache == "none") {
                const QImage mark(store.failPath(glibUri(file)));
                QCOMPARE(mark.text("Thumb::URI"), glibUri(file));
                QCOMPARE(mark.text("Thumb::MTime"), QString::number(mtime));
            }
            return;
        }
        QCOMPARE(outcome, int(ThumbnailWorkers::Outcome::Made));
        QVERIFY(std::max(image.width(), image.height()) <= 128);
        if (out == "frame" || out == "made") {
            QVERIFY(!image.isNull());
        } else {
            const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
            const QColor wanted = out == "red" ? QColor(Qt::red) : QColor(Qt::blue);
            QVERIFY2(qAbs(centre.red() - wanted.red()) < 16 &&
                         qAbs(centre.blue() - wanted.blue()) < 16,
                     qPrintable(centre.name()));
            QCOMPARE(image.size(), QSize(128, 96));
        }
        // What is in the cache now belongs to this version of the file, with every key.
        const QImage stored(thumb);
        QCOMPARE(stored.text("Thumb::URI"), glibUri(file));
        QCOMPARE(stored.text("Thumb::MTime"), QString::number(mtime));
        if (cache == "none" || cache == "stale-blue")
            QCOMPARE(stored.text("Thumb::Size"), QString::number(QFileInfo(file).size()));
        const QStringList leftovers =
            QDir(QFileInfo(thumb).path()).entryList(QDir::Hidden | QDir::Files);
        QCOMPARE(leftovers, QStringList(QFileInfo(thumb).fileName())); // no temporary left
    }

    // Pictures held whole while decoded are made one at a time; the small files around them
    // go on beside them, and every file is made.
    void wholePicturesAmongOthers() {
        QTemporaryDir dir;
        QStringList files;
        for (const char *name : {"a.heic", "b.tif", "c.jpg", "d.heic", "e.jpg", "f.tif"}) {
            const QString file = dir.filePath(name);
            const QString sample = QString(name).endsWith(".jpg")   ? "landscape.jpg"
                                   : QString(name).endsWith(".tif") ? "turned.tif"
                                                                    : "turned.heic";
            QVERIFY(QFile::copy(QStringLiteral(GLIMMERBY_SAMPLES_DIR "/") + sample, file));
            files << file;
        }
        ThumbnailWorkers workers(ThumbnailCache(dir.filePath("thumbnails")), 2);
        QStringList made;
        connect(&workers, &ThumbnailWorkers::made, this,
                [&](quint64, const QString &path, const QImage &image, ThumbnailWorkers::Outcome) {
                    if (!image.isNull())
                        made << path;
                });
        workers.schedule(1, files, ThumbSize::Normal);
        QTRY_COMPARE(made.size(), files.size());
        made.sort();
        QCOMPARE(made, files);
    }

    // A failed file is tried again once it changes; a folder left drops its waiting work.
    void failureRetriedAfterChangeAndQueueReplaced() {
        QTemporaryDir dir;
        const QString file = dir.filePath("later.jpg");
        writeAll(file, QByteArray(100, 'x'));
        setMTime(file, 1700000000);
        const ThumbnailCache store(dir.filePath("thumbnails"));
        ThumbnailWorkers workers(store, 1);
        QList<QPair<QString, int>> results;
        connect(&workers, &ThumbnailWorkers::made, this,
                [&](quint64, const QString &path, const QImage &, ThumbnailWorkers::Outcome o) {
                    results.append({QFileInfo(path).fileName(), int(o)});
                });
        workers.schedule(1, {file}, ThumbSize::Normal);
        QTRY_COMPARE(results.size(), 1);
        writeAll(file, jpegOf(Qt::green)); // repaired, same second: still the old failure
        setMTime(file, 1700000000);
        workers.schedule(2, {file}, ThumbSize::Normal);
        QTRY_COMPARE(results.size(), 2);
        QCOMPARE(results[1].second, int(ThumbnailWorkers::Outcome::Damaged));
        setMTime(file, 1700000100);
        workers.schedule(3, {file}, ThumbSize::Normal);
        QTRY_COMPARE(results.size(), 3);
        QCOMPARE(results[2].second, int(ThumbnailWorkers::Outcome::Made));

        QStringList many;
        for (int i = 0; i < 40; ++i) {
            many.append(dir.filePath(QString("p%1.jpg").arg(i)));
            writeAll(many.last(), jpegOf(Qt::gray, {1600, 1200}));
        }
        workers.schedule(4, many, ThumbSize::Normal);
        workers.schedule(5, {file}, ThumbSize::Normal); // the folder was left
        workers.waitIdle();
        QCoreApplication::processEvents();
        QTRY_VERIFY(results.last().first == "later.jpg");
        // Only what a worker had begun before the folder was left is finished.
        QVERIFY(results.size() < 3 + 40 + 1);
    }
};

QTEST_GUILESS_MAIN(TestBrowser)
#include "test_browser.moc"
