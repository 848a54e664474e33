// The path splitter: the rows the commands rely on, the lossless join, and the clipboard
// entry it fills.
#include "app/app_state.h"
#include "app/split_path.h"

#include <QTest>

using namespace glimmerby;

class TestSplitPath : public QObject {
    Q_OBJECT

  private slots:
    void table_data();
    void table();
    void outputMayAliasInput();
    void clipEntryOnlyChangesItsIndex();
    void clipIndexOutOfRange_data();
    void clipIndexOutOfRange();
    void appDir_data();
    void appDir();
};

void TestSplitPath::table_data() {
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ext");
    QTest::newRow("plain") << "/pics/a.jpg"
                           << "/pics/"
                           << "a"
                           << ".jpg";
    QTest::newRow("two dots, case kept") << "/pics/a.b.JPG"
                                         << "/pics/"
                                         << "a.b"
                                         << ".JPG";
    QTest::newRow("dot in directory") << "/my.pics/a.jpg"
                                      << "/my.pics/"
                                      << "a"
                                      << ".jpg";
    QTest::newRow("no extension") << "/pics/noext"
                                  << "/pics/"
                                  << "noext"
                                  << "";
    QTest::newRow("dot only in directory") << "/my.pics/noext"
                                           << "/my.pics/"
                                           << "noext"
                                           << "";
    QTest::newRow("no directory") << "a.jpg"
                                  << ""
                                  << "a"
                                  << ".jpg";
    QTest::newRow("hidden") << "/pics/.hidden"
                            << "/pics/"
                            << ""
                            << ".hidden";
    QTest::newRow("trailing dot") << "/pics/a."
                                  << "/pics/"
                                  << "a"
                                  << ".";
    QTest::newRow("trailing slash") << "/pics/sub/"
                                    << "/pics/sub/"
                                    << ""
                                    << "";
    QTest::newRow("root") << "/"
                          << "/"
                          << ""
                          << "";
    QTest::newRow("file in root") << "/x.mpg"
                                  << "/"
                                  << "x"
                                  << ".mpg";
    QTest::newRow("empty") << ""
                           << ""
                           << ""
                           << "";
    QTest::newRow("double slash") << "/a//b.c"
                                  << "/a//"
                                  << "b"
                                  << ".c";
    QTest::newRow("backslash is a name character") << "/a\\b.c\\d"
                                                   << "/"
                                                   << "a\\b"
                                                   << ".c\\d";
    QTest::newRow("blanks kept") << "/p q/ r .jpg "
                                 << "/p q/"
                                 << " r "
                                 << ".jpg ";
    QTest::newRow("non-ASCII") << QString::fromUtf8("/bilder/ünï.JPEG") << "/bilder/"
                               << QString::fromUtf8("ünï") << ".JPEG";
}

void TestSplitPath::table() {
    QFETCH(QString, full);
    QFETCH(QString, dir);
    QFETCH(QString, name);
    QFETCH(QString, ext);
    QString d = "junk", n = "junk", e = "junk";
    SplitPath(full, d, n, e);
    QCOMPARE(d, dir);
    QCOMPARE(n, name);
    QCOMPARE(e, ext);
    QCOMPARE(d + n + e, full);

    const PathParts parts = splitPath(full);
    QCOMPARE(parts.Dir + parts.Name + parts.Ext, full);

    AppState state;
    state.ClipDirs = state.ClipNames = state.ClipExts = QStringList(5, "old");
    QVERIFY(SplitClipPath(full, 2, state));
    QCOMPARE(state.ClipDirs[2], dir);
    QCOMPARE(state.ClipNames[2], name);
    QCOMPARE(state.ClipExts[2], ext);
}

void TestSplitPath::outputMayAliasInput() {
    QString path = "/pics/a.b.jpg";
    QString name, ext;
    SplitPath(path, path, name, ext);
    QCOMPARE(path, QString("/pics/"));
    QCOMPARE(name, QString("a.b"));
    QCOMPARE(ext, QString(".jpg"));
}

void TestSplitPath::clipEntryOnlyChangesItsIndex() {
    AppState state;
    for (int i = 0; i < 6; ++i) {
        state.ClipDirs << QString("d%1").arg(i);
        state.ClipNames << QString("n%1").arg(i);
        state.ClipExts << QString("e%1").arg(i);
    }
    const AppState before = state;
    QVERIFY(SplitClipPath("/new/place.png", 3, state));
    for (int i = 0; i < 6; ++i) {
        if (i == 3)
            continue;
        QCOMPARE(state.ClipDirs[i], before.ClipDirs[i]);
        QCOMPARE(state.ClipNames[i], before.ClipNames[i]);
        QCOMPARE(state.ClipExts[i], before.ClipExts[i]);
    }
    QCOMPARE(state.ClipDirs[3], QString("/new/"));
    QCOMPARE(state.ClipNames[3], QString("place"));
    QCOMPARE(state.ClipExts[3], QString(".png"));
    QCOMPARE(state.ClipDirs.size(), 6);
}

void TestSplitPath::clipIndexOutOfRange_data() {
    QTest::addColumn<int>("dirs");
    QTest::addColumn<int>("names");
    QTest::addColumn<int>("exts");
    QTest::addColumn<int>("index");
    QTest::newRow("past the end") << 4 << 4 << 4 << 4;
    QTest::newRow("negative") << 4 << 4 << 4 << -1;
    QTest::newRow("empty lists") << 0 << 0 << 0 << 0;
    QTest::newRow("one list shorter") << 5 << 5 << 3 << 4;
    QTest::newRow("16-bit limit") << 2 << 2 << 2 << 32767;
}

void TestSplitPath::clipIndexOutOfRange() {
    QFETCH(int, dirs);
    QFETCH(int, names);
    QFETCH(int, exts);
    QFETCH(int, index);
    AppState state;
    state.ClipDirs = QStringList(dirs, "d");
    state.ClipNames = QStringList(names, "n");
    state.ClipExts = QStringList(exts, "e");
    QVERIFY(!SplitClipPath("/a/b.c", index, state));
    QCOMPARE(state.ClipDirs, QStringList(dirs, "d"));
    QCOMPARE(state.ClipNames, QStringList(names, "n"));
    QCOMPARE(state.ClipExts, QStringList(exts, "e"));
}

void TestSplitPath::appDir_data() {
    QTest::addColumn<QString>("exeDir");
    QTest::addColumn<QString>("appDir");
    QTest::newRow("ordinary") << "/opt/glimmerby"
                              << "/opt/glimmerby/";
    QTest::newRow("root") << "/"
                          << "/";
    QTest::newRow("already ends in slash") << "/opt/g/"
                                           << "/opt/g/";
    QTest::newRow("empty") << ""
                           << "./";
}

void TestSplitPath::appDir() {
    QFETCH(QString, exeDir);
    QFETCH(QString, appDir);
    QCOMPARE(appDirFor(exeDir), appDir);
    QVERIFY(!(appDirFor(exeDir) + "Glimmerby.ini").contains("//"));
}

QTEST_GUILESS_MAIN(TestSplitPath)
#include "test_split_path.moc"
