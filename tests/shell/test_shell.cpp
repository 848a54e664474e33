// The window's layout arithmetic, and descriptions in real directories: the file's layout,
// markers, old encodings, long values, refused keys, hostile files and failing media.
#include "app/split_path.h"
#include "organize/properties_record.h"
#include "pictext_checks.h"
#include "shell/picture_text.h"
#include "shell/window_layout.h"
#include "support/test_files.h"

#include <QtTest>

#include <cstdio>
#include <sys/stat.h>

using namespace glimmerby;

namespace {

const QByteArray M("\xDB");

QString noText(const char *key) {
    return "No discription avalible for: " + QString(key);
}

// The output of a shell script run as root in a mount namespace of its own, $0 being this
// program; empty when it failed.
QByteArray runIsolated(const QString &script) {
    QProcess p;
    p.start("unshare", {"-m", "sh", "-ec", script, QCoreApplication::applicationFilePath()});
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    return ok && p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString dir() const { return m_dir.path() + '/'; }
    QString ini() const { return m_dir.filePath("PicText.ini"); }

  private slots:
    void init() {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    // Restored metrics on a 1600 x 1200 screen with a 30-pixel panel at its top, beside a
    // second 800 x 600 screen to its right.
    void restoredWindowStaysOnAScreen_data() {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("fits") << QRect(10, 40, 800, 600) << QRect(10, 40, 800, 600);
        QTest::newRow("huge") << QRect(0, 30, 32767, 32767) << QRect(0, 30, 1600, 1170);
        QTest::newRow("far above") << QRect(-1000000, -1000000, 500, 400) << QRect(0, 30, 500, 400);
        QTest::newRow("far right") << QRect(900000, 10, 500, 400) << QRect(2280, 10, 500, 400);
        QTest::newRow("tiny") << QRect(100, 100, 10, 10) << QRect(100, 100, 433, 307);
        QTest::newRow("second screen") << QRect(1700, 100, 700, 500) << QRect(1700, 100, 700, 500);
    }
    void restoredWindowStaysOnAScreen() {
        QFETCH(QRect, wanted);
        QFETCH(QRect, expected);
        const QList<QRect> screens{QRect(0, 30, 1600, 1170), QRect(1600, 0, 800, 600)};
        QCOMPARE(restoredWindowGeometry(wanted, QSize(433, 307), screens), expected);
        // Centring keeps the top-left corner in the area.
        QCOMPARE(centredInArea(QSize(600, 400), screens[0]), QPoint(500, 415));
        QCOMPARE(centredInArea(QSize(3000, 2000), screens[0]), QPoint(0, 30));
    }

    // What the real window's layout test does not see: the progress bars and the edge
    // at which the damaged-picture view needs scroll bars.
    void progressBarsAndScrollBars() {
        LayoutInput in{800, 600, QRect(340, 4, 100, 16), QSize(60, 17), true, QSize(300, 200)};
        const LayoutResult r = computeLayout(in);
        QCOMPARE(r.pbWidth, 458);
        QCOMPARE(r.pb1, QRect(722, 583, 60, 17));
        QVERIFY(!r.scrollBarsVisible && r.resetScrollBars);
        in.scaleWidth = 452; // 452 - 153 < 300
        QVERIFY(computeLayout(in).scrollBarsVisible && !computeLayout(in).resetScrollBars);
        QVERIFY(damagedViewNeedsScrollBars(800, 254, QSize(300, 200))); // 254 - 55 < 200
        QVERIFY(!damagedViewNeedsScrollBars(453, 255, QSize(300, 200)));
    }

    void readingCreatesTheDefaultFileOnce() {
        const QByteArray header =
            "[PictureText]\nDefault=" + M + DefaultDescription.toUtf8() + M + "\n";
        QCOMPARE(ReadPictureText(dir(), "a"), noText("a"));
        QCOMPARE(readAll(ini()), header);
        QFile::remove(ini());
        QVERIFY(WritePictureText(dir(), "a", "Sea")); // Default first, then the key
        QCOMPARE(readAll(ini()), header + "a=" + M + "Sea" + M + "\n");
        // Keys are base names: a.jpg and a.bmp share one, a.b.jpg has "a.b".
        QCOMPARE(ReadPictureText(dir(), splitPath(dir() + "a.bmp").Name), QString("Sea"));
        QVERIFY(WritePictureText(dir(), splitPath(dir() + "a.b.jpg").Name, "AB"));
        QVERIFY(readAll(ini()).endsWith("\na.b=" + M + "AB" + M + "\n"));
    }

    void storedValues_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("shown");
        QTest::newRow("markers") << "k=" + M + "  Sea" + M << "  Sea";
        QTest::newRow("NONE stored") << QByteArray("k=NONE") << noText("k");
        QTest::newRow("NONE typed") << "k=" + M + "NONE" + M << "NONE";
        QTest::newRow("one marker stripped") << "k=" + M + M + "x" + M << "\u00DBx";
        QTest::newRow("no markers") << QByteArray("k=plain") << "plain";
        QTest::newRow("opening marker only") << "k=" + M + "half" << QString("half");
        QTest::newRow("utf-8") << "k=" + M + "Caf\xC3\xA9 \xE2\x82\xAC" + M << "Café €";
        QTest::newRow("windows-1252") << "k=" + M + "Caf\xE9 \x80" + M << "Café €";
        QTest::newRow("missing key") << QByteArray("other=x") << noText("k");
    }
    void storedValues() {
        QFETCH(QByteArray, line);
        QFETCH(QString, shown);
        writeAll(ini(), "[PictureText]\r\n" + line + "\r\n");
        QCOMPARE(ReadPictureText(dir(), "k"), shown);
    }

    // A write touches its own line of a CRLF file only, and long values come back whole.
    void writesKeepOtherLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        for (const char *text : {"  Sea  ", "NONE", "[x] a=b ;c"})
            QTest::newRow(text) << QString(text) << QString(text);
        QTest::newRow("2000") << QString(2000, 'x') << QString(2000, 'x');
        const QString long40000 = QString(20000, QChar(0xE9)) + QString(20000, 'y');
        QTest::newRow("40000") << long40000 << long40000;
        QTest::newRow("line breaks")
            << QString("one\r\ntwo\nthree\r[x]") << QString("one two three [x]");
    }
    void writesKeepOtherLines() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        const QByteArray head =
            "; notes\r\n[Other]\r\nk=1\r\n[PictureText]\r\nb=" + M + "B" + M + "\r\nodd line\r\n";
        writeAll(ini(), head + "\r\n[Last]\r\nz=9");
        QVERIFY(WritePictureText(dir(), "k", text));
        QCOMPARE(ReadPictureText(dir(), "k"), shown);
        QCOMPARE(readAll(ini()), head + "k=" + M + shown.toUtf8() + M + "\r\n\r\n[Last]\r\nz=9");
        QVERIFY(WritePictureText(dir(), "K", "second")); // keys ignore case
        QCOMPARE(ReadPictureText(dir(), "k"), QString("second"));
        QCOMPARE(ReadPictureText(dir(), "b"), QString("B"));
    }

    void refusedKeys() {
        writeAll(ini(), "[PictureText]\n");
        for (const char *key : {"[sec", ";c", "a=b", " lead", "trail ", "two\nlines", ""})
            QVERIFY2(!WritePictureText(dir(), key, "x"), key);
        QCOMPARE(readAll(ini()), QByteArray("[PictureText]\n"));
    }

    void hostileFilesAreNeverWritten_data() {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"link", "dangling link", "directory", "fifo", "utf-16"})
            QTest::newRow(kind) << QString(kind);
    }
    void hostileFilesAreNeverWritten() {
        QFETCH(QString, kind);
        const QString elsewhere = m_dir.filePath("elsewhere.ini");
        const QByteArray planted = "[PictureText]\nk=" + M + "old" + M + "\n";
        if (kind == "link")
            writeAll(elsewhere, planted);
        if (kind.contains("link"))
            QVERIFY(QFile::link(elsewhere, ini()));
        else if (kind == "directory")
            QVERIFY(QDir().mkdir(ini()));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(ini()).constData(), 0644), 0);
        else
            writeAll(ini(), QByteArray("\xFF\xFE[\0P\0i\0", 8)); // UTF-16
        QVERIFY(!WritePictureText(dir(), "k", "new"));
        // A link is read, never written; the others read nothing.
        QCOMPARE(ReadPictureText(dir(), "k"), kind == "link" ? "old" : noText("k"));
        QVERIFY(!QFile::exists(elsewhere) || readAll(elsewhere) == planted);
        QVERIFY(
            QDir(m_dir.path()).entryList(QDir::Hidden | QDir::Files).filter(".PicText").isEmpty());
    }

    void unreadableFileUnderSetprivIsNeverReplaced() {
        if (::geteuid() != 0)
            QSKIP("needs root to drop to another user");
        writeAll(ini(), "[PictureText]\nk=" + M + "old" + M + "\n");
        QFile::setPermissions(ini(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777));
        QProcess p;
        p.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                            QCoreApplication::applicationFilePath(), "write", dir(), "k", "new"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1); // nothing written
        QCOMPARE(readAll(ini()), "[PictureText]\nk=" + M + "old" + M + "\n");
    }

    // A read-only medium reads the placeholder and creates nothing. On a full 64 KiB disk
    // (20 KB of descriptions, the rest filled) a 40 KB description leaves the old file whole.
    void failingMedia() {
        if (::geteuid() != 0 ||
            runIsolated("mount -t tmpfs -o size=16k tmpfs /mnt && echo y") != "y\n")
            QSKIP("mount namespaces are not available here");
        const QString mnt = m_dir.filePath("mnt");
        QVERIFY(QDir().mkdir(mnt));
        const QString script =
            QString(
                "mount --bind %1 %1 && mount -o remount,ro,bind %1 %1 && "
                "\"$0\" read %1/ a && test ! -e %1/PicText.ini && umount %1 && "
                "mount -t tmpfs -o size=64k tmpfs %2 && "
                "\"$0\" write %2/ k \"$(head -c 20000 /dev/zero | tr '\\0' o)\" && "
                "cp %2/PicText.ini %1/before.ini && "
                "(head -c 1000000 /dev/zero > %2/filler || true) && "
                "! \"$0\" write %2/ k \"$(head -c 40000 /dev/zero | tr '\\0' n)\" && "
                "cmp %2/PicText.ini %1/before.ini && test \"$(ls -A %2 | wc -l)\" = 2 && echo ok")
                .arg(m_dir.path(), mnt);
        QCOMPARE(runIsolated(script), QByteArray("No discription avalible for: a\nok\n"));
    }

    void recordParsing() {
        QVERIFY(!parsePropertiesRecord("free text"));
        const auto partial = parsePropertiesRecord("&Camera=X&Title=T%20%2520");
        QVERIFY(partial);
        QCOMPARE(QStringList(partial->begin(), partial->end()),
                 QStringList({"T %2520", "", "X", "", ""})); // typed "%20" comes back a blank
        const PropertyFields typed{"Sunset & Sea", "", "Cam 1", "", "one\r\ntwo"};
        const QString record = buildPropertiesRecord(typed);
        QCOMPARE(record, QString("&Title=Sunset%20%26%20Sea&Copyright=&Camera=Cam%201"
                                 "&Engineering=&Comments=one%0Atwo"));
        const PropertyFields back = *parsePropertiesRecord(record);
        QCOMPARE(QStringList(back.begin(), back.end()),
                 QStringList({"Sunset & Sea", "", "Cam 1", "", "one\ntwo"}));
        QCOMPARE(ReplaceAll("abc", "", "x"), QString("abc"));
        QCOMPARE(ReplaceAll("a%20%20b", "%20", " "), QString("a  b"));
    }

    // The fuzzer's saved inputs keep every round trip with the ordinary build.
    void corpusReplays() {
        QDir corpus(GLIMMERBY_SOURCE_DIR "/fuzz/corpus/pictext");
        const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
        QVERIFY(names.size() >= 7);
        for (const QString &name : names) {
            const char *broken = checkPictextInput(readAll(corpus.filePath(name)));
            QVERIFY2(!broken, qPrintable(name + ": " + broken));
        }
    }
};

// For the tests that run it as another user or inside a mount namespace, this program
// also reads or writes one description:
//   read <dir> <key>          prints the description and a line feed
//   write <dir> <key> <text>  exit 0 when written, 1 when not
int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "read") {
        const QByteArray text = ReadPictureText(args[2], args[3]).toUtf8() + '\n';
        return std::fwrite(text.constData(), 1, size_t(text.size()), stdout) ? 0 : 1;
    }
    if (args.size() == 5 && args[1] == "write")
        return WritePictureText(args[2], args[3], args[4]) ? 0 : 1;
    TestShell test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_shell.moc"
