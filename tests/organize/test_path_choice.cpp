// The pieces of the path commands that need no window: dialog filters, the directory a
// dialog starts in, which answers are file names, and making one directory.

#include "organize/path_choice.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

using namespace glimmerby;

class TestPathChoice : public QObject {
    Q_OBJECT
  private slots:
    void filtersPerKindEntry_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("filters");
        const QString any = "Any Files (*)";
        QTest::newRow("movies") << 0
                                << QStringList{"Movies (*.wmv *.avi *.mpe *.mpg *.mpeg *asf *mov)",
                                               any};
        QTest::newRow("pictures") << 1
                                  << QStringList{"Picture Files (*.jpg *.jpeg *.gif *.bmp)", any};
        QTest::newRow("both") << 2
                              << QStringList{"Movies & Pic Files (*.wmv *.avi *.mpe *.mpg *.mpeg "
                                             "*asf *mov *.jpg *.jpeg *.gif *.bmp)",
                                             any};
        QTest::newRow("music") << 3
                               << QStringList{"Music Files (*.wma *.mp3 *.wav *.mid *.rmi)", any};
        QTest::newRow("all") << 4
                             << QStringList{"All Files (*.wma *.wmv *.avi *.mpe *.mpg *.mpeg "
                                            "*.jpg *.jpeg *.gif *.bmp *.mp3 *.wav *.mid *.rmi "
                                            "*asf *mov)",
                                            any};
        QTest::newRow("typed text") << -1 << QStringList{};
        QTest::newRow("beyond") << 5 << QStringList{};
    }
    void filtersPerKindEntry() {
        QFETCH(int, index);
        QFETCH(QStringList, filters);
        QCOMPARE(requestFilters(index), filters);
    }

    void startDirectoryIsTheNearestExisting() {
        QTemporaryDir dir;
        const QString root = QDir(dir.path()).absolutePath();
        QCOMPARE(nearestExistingDirectory(root + "/"), root);
        QCOMPARE(nearestExistingDirectory(root + "/gone/deeper/"), root);
        QCOMPARE(nearestExistingDirectory(root + "/gone/x.jpg"), root);
        QCOMPARE(nearestExistingDirectory(QString()), QString());
        QCOMPARE(nearestExistingDirectory("nowhere/at/all"), QString());
    }

    void plainFileNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("name") << "b.jpg" << true;
        QTest::newRow("blank inside") << "my b.jpg" << true;
        QTest::newRow("255 bytes") << QString(255, 'n') << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "../b.jpg" << false;
        QTest::newRow("nul") << QString("b") + QChar(0) + "x" << false;
    }
    void plainFileNames() {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(isPlainFileName(name), plain);
    }

    void makingOneDirectory() {
        QTemporaryDir dir;
        QCOMPARE(makeOneDirectory(dir.filePath("new")), 0);
        QVERIFY(QFileInfo(dir.filePath("new")).isDir());
        QCOMPARE(makeOneDirectory(dir.filePath("new")), EEXIST);
        QCOMPARE(makeOneDirectory(dir.filePath("missing/child")), ENOENT);
        QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
        QCOMPARE(errnoText(EEXIST), QString("File exists"));
    }
};

QTEST_GUILESS_MAIN(TestPathChoice)
#include "test_path_choice.moc"
