// Listing real directories: patterns, sorting, hidden files, odd names and bad places.

#include "browser/directory_listing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "support/test_files.h"

#include <unistd.h>

using namespace glimmerby;

namespace {} // namespace

class TestDirectoryListing : public QObject {
    Q_OBJECT
  private slots:
    void listsMatchingFilesSortedIgnoringCase() {
        QTemporaryDir dir;
        for (const char *name :
             {"b.jpg", "A.JPG", "c.mpg", "gasf", ".hidden.jpg", "notes.txt", "Zed.bmp",
              "with space.gif", "-dash.jpeg", "~tilde.jpg", "ünïcode.jpg"})
            touch(dir.filePath(name));
        QDir(dir.path()).mkdir("folder.jpg"); // directories are not files
        const DirectoryListing pictures =
            listFiles(dir.path(), FilePattern(filterChoices()[1].pattern));
        QVERIFY(pictures.readable);
        QCOMPARE(pictures.files, QStringList({"-dash.jpeg", "A.JPG", "b.jpg", "with space.gif",
                                              "Zed.bmp", "~tilde.jpg", "ünïcode.jpg"}));
        const DirectoryListing movies =
            listFiles(dir.path(), FilePattern(filterChoices()[0].pattern));
        QCOMPARE(movies.files, QStringList({"c.mpg", "gasf"}));
    }

    void newlineInNameAndCaseTwins() {
        QTemporaryDir dir;
        touch(dir.filePath("line\nbreak.jpg"));
        touch(dir.filePath("Photo.JPG"));
        touch(dir.filePath("photo.jpg"));
        const QStringList files = listFiles(dir.path(), FilePattern("*.jpg")).files;
        QCOMPARE(files.size(), 3);
        QVERIFY(files.contains("line\nbreak.jpg"));
        QCOMPARE(files.indexOf("Photo.JPG") + 1, files.indexOf("photo.jpg"));
    }

    void linksAreFollowedAndLoopsIgnored() {
        QTemporaryDir dir;
        touch(dir.filePath("real.jpg"));
        QVERIFY(QFile::link(dir.filePath("real.jpg"), dir.filePath("link.jpg")));
        QVERIFY(QFile::link(dir.filePath("loop1.jpg"), dir.filePath("loop2.jpg")));
        QVERIFY(QFile::link(dir.filePath("loop2.jpg"), dir.filePath("loop1.jpg")));
        QVERIFY(QFile::link(dir.path(), dir.filePath("self")));
        QCOMPARE(listFiles(dir.path(), FilePattern("*.jpg")).files,
                 QStringList({"link.jpg", "real.jpg"}));
        QCOMPARE(listSubdirectories(dir.path()), QStringList({"self"}));
    }

    void vanishedAndUnreadableDirectories() {
        const DirectoryListing gone = listFiles("/no/such/dir", FilePattern("*"));
        QVERIFY(!gone.readable);
        QVERIFY(gone.files.isEmpty());
        QTemporaryDir dir;
        touch(dir.filePath("a.jpg"));
        QVERIFY(QFile::remove(dir.filePath("a.jpg")));
        QVERIFY(QDir(dir.path()).removeRecursively());
        QVERIFY(!listFiles(dir.path(), FilePattern("*")).readable);
    }

    void joiningAtTheRoot() {
        QCOMPARE(joinPath("/", "a.jpg"), QString("/a.jpg"));
        QCOMPARE(joinPath("/pics", "a.jpg"), QString("/pics/a.jpg"));
        QCOMPARE(joinPath("/pics/", "a.jpg"), QString("/pics/a.jpg"));
    }
};

QTEST_APPLESS_MAIN(TestDirectoryListing)
#include "test_directory_listing.moc"
