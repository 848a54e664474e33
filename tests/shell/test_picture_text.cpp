// Descriptions in real directories: the file's layout, the markers, old encodings, long
// values, keys that cannot be stored, links and hostile files; the properties record;
// descriptions following their files.

#include "app/split_path.h"
#include "organize/description_follower.h"
#include "organize/properties_record.h"
#include "pictext_checks.h"
#include "shell/picture_text.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace glimmerby;

namespace {

const QByteArray M("\xDB");
const QByteArray DefaultLine = "Default=" + M +
                               "Pass your mouse over a picture on the left and it will show up "
                               "in the frame above." +
                               M;

QString helperPath() {
    return QStringLiteral(GLIMMERBY_PICTEXT_HELPER);
}

// Runs a shell script as root in a mount namespace of its own; false when that is not
// possible here.
bool runIsolated(const QString &script, QByteArray *out = nullptr) {
    QProcess p;
    p.start("unshare", {"-m", "sh", "-ec", script});
    if (!p.waitForFinished(60000))
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    if (p.exitCode() != 0)
        qWarning() << p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool canIsolate() {
    return ::geteuid() == 0 && runIsolated("mount -t tmpfs -o size=16k tmpfs /mnt");
}

} // namespace

class TestPictureText : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString dir() const { return m_dir.path() + '/'; }
    QString ini() const { return m_dir.filePath("PicText.ini"); }

  private slots:
    void init() {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void readingCreatesTheDefaultFileOnce() {
        QCOMPARE(ReadPictureText(dir(), "a"), QString("No discription avalible for: a"));
        QCOMPARE(readAll(ini()), "[PictureText]\n" + DefaultLine + "\n");
        // Written when the file is missing: Default first, then the key.
        QFile::remove(ini());
        QVERIFY(WritePictureText(dir(), "a", "Sea"));
        QCOMPARE(readAll(ini()), "[PictureText]\n" + DefaultLine + "\na=" + M + "Sea" + M + "\n");
        QCOMPARE(ReadPictureText(dir(), "a"), QString("Sea"));
    }

    void storedValues_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("shown");
        QTest::newRow("markers") << "k=" + M + "  Sea" + M << "  Sea";
        QTest::newRow("NONE stored") << QByteArray("k=NONE") << "No discription avalible for: k";
        QTest::newRow("NONE typed") << "k=" + M + "NONE" + M << "NONE";
        QTest::newRow("one marker inside kept")
            << "k=" + M + M + "x" + M << QString::fromUtf8("\xC3\x9B") + "x";
        QTest::newRow("no markers") << QByteArray("k=plain") << "plain";
        QTest::newRow("opening marker only") << "k=" + M + "half"
                                             << "half";
        QTest::newRow("utf-8") << "k=" + M + "Caf\xC3\xA9 \xE2\x82\xAC" + M
                               << QString::fromUtf8("Café €");
        QTest::newRow("windows-1252")
            << "k=" + M + "Caf\xE9 \x80" + M << QString::fromUtf8("Café €");
        QTest::newRow("missing key") << QByteArray("other=x") << "No discription avalible for: k";
    }
    void storedValues() {
        QFETCH(QByteArray, line);
        QFETCH(QString, shown);
        writeAll(ini(), "[PictureText]\r\n" + line + "\r\n");
        QCOMPARE(ReadPictureText(dir(), "k"), shown);
    }

    void writeKeepsOtherLinesAndRoundTrips_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("blanks at ends") << "  Sea  ";
        QTest::newRow("NONE") << "NONE";
        QTest::newRow("2000") << QString(2000, 'x') + "end";
        QTest::newRow("40000") << QString(20000, QChar(0x00E9)) + QString(20000, 'y');
        QTest::newRow("quotes") << "\"q\"";
        QTest::newRow("brackets and equals") << "[x] a=b ;c";
    }
    void writeKeepsOtherLinesAndRoundTrips() {
        QFETCH(QString, text);
        const QByteArray before = "; my notes\r\n[Other]\r\nk=1\r\n[PictureText]\r\nb=" + M + "B" +
                                  M + "\r\nodd line\r\n\r\n[Last]\r\nz=9";
        writeAll(ini(), before);
        QVERIFY(WritePictureText(dir(), "k", text));
        QCOMPARE(ReadPictureText(dir(), "k"), text);
        QCOMPARE(readAll(ini()), "; my notes\r\n[Other]\r\nk=1\r\n[PictureText]\r\nb=" + M + "B" +
                                     M + "\r\nodd line\r\nk=" + M + text.toUtf8() + M +
                                     "\r\n\r\n[Last]\r\nz=9");
        QVERIFY(WritePictureText(dir(), "K", "second")); // keys ignore case
        QCOMPARE(ReadPictureText(dir(), "k"), QString("second"));
        QCOMPARE(ReadPictureText(dir(), "b"), QString("B"));
    }

    void lineBreaksBecomeBlanks() {
        QVERIFY(WritePictureText(dir(), "k", "one\r\ntwo\nthree\r[x]"));
        QCOMPARE(ReadPictureText(dir(), "k"), QString("one two three [x]"));
        QCOMPARE(ReadPictureText(dir(), "x"), QString("No discription avalible for: x"));
    }

    void keysShareByBaseName() {
        QVERIFY(WritePictureText(dir(), splitPath(dir() + "a.jpg").Name, "A"));
        QCOMPARE(ReadPictureText(dir(), splitPath(dir() + "a.bmp").Name), QString("A"));
        QVERIFY(WritePictureText(dir(), splitPath(dir() + "a.b.jpg").Name, "AB"));
        QVERIFY(readAll(ini()).contains("\na.b=" + M + "AB"));
    }

    void refusedKeys_data() {
        QTest::addColumn<QString>("key");
        for (const char *k : {"[sec", ";c", "a=b", " lead", "trail ", "two\nlines", ""})
            QTest::newRow(k) << QString(k);
    }
    void refusedKeys() {
        QFETCH(QString, key);
        writeAll(ini(), "[PictureText]\n");
        QVERIFY(!WritePictureText(dir(), key, "x"));
        QCOMPARE(readAll(ini()), QByteArray("[PictureText]\n"));
    }

    void hostileFilesAreNeverWritten_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link") << "link";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("directory") << "directory";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("utf-16") << "utf16";
    }
    void hostileFilesAreNeverWritten() {
        QFETCH(QString, kind);
        const QString elsewhere = m_dir.filePath("elsewhere.ini");
        const QByteArray planted = "[PictureText]\nk=" + M + "old" + M + "\n";
        if (kind == "link") {
            writeAll(elsewhere, planted);
            QVERIFY(QFile::link(elsewhere, ini()));
        } else if (kind == "dangling") {
            QVERIFY(QFile::link(elsewhere, ini()));
        } else if (kind == "directory") {
            QVERIFY(QDir().mkdir(ini()));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(ini()).constData(), 0644), 0);
        } else {
            QByteArray utf16("\xFF\xFE");
            for (char c : planted)
                utf16 += QByteArray(1, c) + '\0';
            writeAll(ini(), utf16);
        }
        QVERIFY(!WritePictureText(dir(), "k", "new"));
        // A link is read, never written; the others read nothing.
        QCOMPARE(ReadPictureText(dir(), "k"),
                 kind == "link" ? "old" : "No discription avalible for: k");
        QVERIFY(!QFile::exists(elsewhere) || readAll(elsewhere) == planted);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Hidden | QDir::Files).filter(".PicText").size(),
                 0);
    }

    void unreadableFileUnderSetprivIsNeverReplaced() {
        if (::geteuid() != 0)
            QSKIP("needs root to drop to another user");
        writeAll(ini(), "[PictureText]\nk=" + M + "old" + M + "\n");
        QFile::setPermissions(ini(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7777));
        QProcess p;
        p.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", helperPath(),
                            "write", dir(), "k", "new"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1); // nothing written
        QCOMPARE(readAll(ini()), "[PictureText]\nk=" + M + "old" + M + "\n");
    }

    void readOnlyMediumReadsThePlaceholder() {
        if (!canIsolate())
            QSKIP("mount namespaces are not available here");
        QByteArray out;
        QVERIFY(runIsolated(QString("mount --bind %1 %1 && mount -o remount,ro,bind %1 %1 && "
                                    "%2 read %1/ a")
                                .arg(m_dir.path(), helperPath()),
                            &out));
        QCOMPARE(out, QByteArray("No discription avalible for: a\n"));
        QVERIFY(!QFile::exists(ini()));
    }

    void fullDiskKeepsTheOldFileWhole() {
        if (!canIsolate())
            QSKIP("mount namespaces are not available here");
        const QString mnt = m_dir.filePath("mnt");
        QDir().mkdir(mnt);
        QByteArray out;
        // 20 KB of descriptions, the rest of the 64 KiB filled, then a 40 KB description.
        QVERIFY(
            runIsolated(QString("mount -t tmpfs -o size=64k tmpfs %1 && "
                                "%2 write %1/ k \"$(head -c 20000 /dev/zero | tr '\\0' o)\" && "
                                "cp %1/PicText.ini %1/../before.ini && "
                                "(head -c 1000000 /dev/zero > %1/filler || true) && "
                                "! %2 write %1/ k \"$(head -c 40000 /dev/zero | tr '\\0' n)\" && "
                                "cmp %1/PicText.ini %1/../before.ini && "
                                "test \"$(ls -A %1 | wc -l)\" = 2 && echo ok")
                            .arg(mnt, helperPath()),
                        &out));
        QCOMPARE(out, QByteArray("ok\n"));
    }

    void propertiesRecord_data() {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("record");
        QTest::newRow("sunset")
            << QStringList{"Sunset & Sea", "", "", "", ""}
            << "&Title=Sunset%20%26%20Sea&Copyright=&Camera=&Engineering=&Comments=";
        QTest::newRow("line feeds, CR dropped")
            << QStringList{"a\r\nb", "c", "Nikon D1", "", "x\ny & z\r"}
            << "&Title=a%0Ab&Copyright=c&Camera=Nikon%20D1&Engineering=&Comments=x%0Ay%20%26%20z";
    }
    void propertiesRecord() {
        QFETCH(QStringList, fields);
        QFETCH(QString, record);
        PropertyFields f;
        for (int i = 0; i < PropertyCount; ++i)
            f[i] = fields[i];
        QCOMPARE(buildPropertiesRecord(f), record);
        const auto back = parsePropertiesRecord(record);
        QVERIFY(back);
        for (int i = 0; i < PropertyCount; ++i)
            QCOMPARE((*back)[i], QString(fields[i]).remove('\r'));
        // Stored as one line and read back whole.
        QVERIFY(WritePictureText(dir(), "k", record));
        QCOMPARE(ReadPictureText(dir(), "k"), record);
    }

    void recordParsing() {
        QVERIFY(!parsePropertiesRecord("free text"));
        const auto partial = parsePropertiesRecord("&Camera=X&Title=T%20%2520");
        QVERIFY(partial);
        QCOMPARE((*partial)[0], QString("T %2520")); // typed "%20" comes back a blank
        QCOMPARE((*partial)[2], QString("X"));
        QCOMPARE((*partial)[4], QString());
        QCOMPARE(ReplaceAll("abc", "", "x"), QString("abc"));
        QCOMPARE(ReplaceAll("a%20%20b", "%20", " "), QString("a  b"));
    }

    void descriptionsFollowFiles() {
        const QString src = m_dir.filePath("src/");
        const QString dst = m_dir.filePath("dst/");
        QDir().mkpath(src);
        QDir().mkpath(dst);
        QVERIFY(WritePictureText(src, "a", "Sea"));
        QVERIFY(WritePictureText(src, "b", "Sky"));
        const QByteArray srcBefore = readAll(src + "PicText.ini");
        DescriptionFollower follower;
        follower.fileFinished(src + "a.bmp", dst + "a_s.JPG");
        follower.fileFinished(src + "b.jpg", dst + "b 1.jpg");
        follower.fileFinished(src + "c.jpg", dst + "c.jpg");       // no description
        follower.fileFinished(src + "a.bmp", src + "renamed.bmp"); // a rename
        QVERIFY(!QFile::exists(dst + "PicText.ini"));
        QCOMPARE(follower.flush(), 2);
        QCOMPARE(ReadPictureText(dst, "a_s"), QString("Sea"));
        QCOMPARE(ReadPictureText(dst, "b 1"), QString("Sky"));
        QCOMPARE(ReadPictureText(src, "renamed"), QString("Sea"));
        QCOMPARE(ReadPictureText(src, "a"), QString("Sea"));
        // Nothing to follow: no description file is made anywhere.
        const QString empty = m_dir.filePath("empty/");
        QDir().mkpath(empty);
        follower.fileFinished(empty + "x.jpg", dst + "x.jpg");
        QCOMPARE(follower.flush(), 0);
        QVERIFY(!QFile::exists(empty + "PicText.ini"));
        Q_UNUSED(srcBefore);
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

QTEST_GUILESS_MAIN(TestPictureText)
#include "test_picture_text.moc"
