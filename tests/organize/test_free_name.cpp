// Free names: the counter at the end of a base name, and what counts as taken.

#include "organize/free_name.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace glimmerby;

class TestFreeName : public QObject {
    Q_OBJECT
  private slots:
    void counter_data();
    void counter();
    void longNames_data();
    void longNames();
    void lookup();
    void findFree_data();
    void findFree();
};

void TestFreeName::counter_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("expected"); // the first candidates in order
    QTest::newRow("no digits") << "x" << QStringList{"x1", "x2", "x3"};
    QTest::newRow("photo") << "photo" << QStringList{"photo1", "photo2"};
    QTest::newRow("a12") << "a12" << QStringList{"a13"};
    QTest::newRow("all digits") << "123" << QStringList{"124"};
    QTest::newRow("day9 grows once") << "day9" << QStringList{"day10", "day11", "day12"};
    QTest::newRow("padded") << "pic05" << QStringList{"pic06"};
    QTest::newRow("padding grows") << "img099" << QStringList{"img100", "img101"};
    QTest::newRow("dash") << "photo-12" << QStringList{"photo-13"};
    QTest::newRow("empty") << "" << QStringList{"1", "2"};
    QTest::newRow("non-ASCII digits are text")
        << QString::fromUtf8("n\u0663") << QStringList{QString::fromUtf8("n\u06631")};
    QTest::newRow("30 digits") << QString(30, u'9')
                               << QStringList{QStringLiteral("1") + QString(30, u'0'),
                                              QStringLiteral("1") + QString(29, u'0') + u'1'};
}

void TestFreeName::counter() {
    QFETCH(QString, base);
    QFETCH(QStringList, expected);
    FreeNameCounter counter(base, QStringLiteral(".JPG"));
    for (const QString &want : expected)
        QCOMPARE(counter.next(), want);
}

void TestFreeName::longNames_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("ext");
    QTest::newRow("ascii 251+ext") << QString(251, u'a') << ".jpg";
    QTest::newRow("two-byte letters") << QString(125, QChar(0xe9)) << ".jpg"; // 250 bytes + 4
    QTest::newRow("four-byte letters")
        << QString::fromUtf8(QByteArray("\xF0\x9F\x98\x80").repeated(62)) << ".jpg";
}

void TestFreeName::longNames() {
    QFETCH(QString, base);
    QFETCH(QString, ext);
    FreeNameCounter counter(base, ext);
    QString previous;
    for (int i = 0; i < 12; ++i) {
        const QString name = counter.next() + ext;
        const QByteArray bytes = QFile::encodeName(name);
        QVERIFY2(bytes.size() <= MaxNameBytes, bytes.constData());
        QCOMPARE(QString::fromUtf8(bytes), name); // cut at a character boundary
        QVERIFY(name != previous);
        previous = name;
    }
    // Only digits and no room: no name can be made.
    FreeNameCounter full(QString(255, u'9'), QString());
    QCOMPARE(full.next(), QString());
}

void TestFreeName::lookup() {
    QTemporaryDir dir;
    touch(dir.filePath("PHOTO.JPG"));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));

    const NameLookup exact = LookUpName(dir.path(), "PHOTO.JPG");
    QCOMPARE(exact.state, NameState::Taken);
    const NameLookup other = LookUpName(dir.path() + "/", "photo.JPG");
    QCOMPARE(other.state, NameState::Taken);
    QCOMPARE(other.existing, QString("PHOTO.JPG"));
    QCOMPARE(LookUpName(dir.path(), "SUB").state, NameState::Taken);
    QCOMPARE(LookUpName(dir.path(), "dangling").state, NameState::Taken);
    QCOMPARE(LookUpName(dir.path(), "free.jpg").state, NameState::Free);
    const NameLookup missingDir = LookUpName(dir.filePath("nowhere"), "a.jpg");
    QCOMPARE(missingDir.state, NameState::LookupError);
    QCOMPARE(missingDir.error, ENOENT);
    const NameLookup tooLong = LookUpName(dir.path(), QString(300, u'a'));
    QCOMPARE(tooLong.state, NameState::LookupError);
}

void TestFreeName::findFree_data() {
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("expected");
    QStringList xs{"x.jpg"};
    for (int i = 1; i <= 10; ++i)
        xs << QStringLiteral("x%1.jpg").arg(i);
    QTest::newRow("x1 to x10 taken") << xs << "x"
                                     << "x11";
    QTest::newRow("day9 -> day11") << QStringList{"day9.jpg", "day10.jpg"} << "day9"
                                   << "day11";
    QTest::newRow("case ignored") << QStringList{"A1.JPG"} << "a"
                                  << "a2";
}

void TestFreeName::findFree() {
    QFETCH(QStringList, existing);
    QFETCH(QString, base);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString &name : existing)
        touch(dir.filePath(name));
    const FreeName free = FindFreeName(dir.path(), base, ".jpg");
    QCOMPARE(free.baseName, expected);
    QCOMPARE(free.error, 0);
}

QTEST_GUILESS_MAIN(TestFreeName)
#include "test_free_name.moc"
