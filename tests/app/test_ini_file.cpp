// The INI store: the profile reading rules, writes that leave the rest of the file
// alone, hostile files, and saves that never leave a damaged file.
#include "app/ini_file.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using namespace glimmerby;

namespace {

QStringList dirEntries(const QString &dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

  private slots:
    // --- reading rules ---
    void namesIgnoreCase();
    void firstSectionAndFirstKeyWin();
    void valueBlanksAndQuotes_data();
    void valueBlanksAndQuotes();
    void missingThingsGiveDefault();
    void longValueCutTo1023();
    void longUtf8ValueNotCutInsideCharacter();
    void leadingNumberRule_data();
    void leadingNumberRule();
    void narrowingTo16Bits();
    void byteOrderMarkBeforeFirstSection();
    void dbBytesKeptAsBytes();

    // --- writes ---
    void writeReplacesOnlyTheValue();
    void writeNewKeyGoesToEndOfItsSection();
    void writeNewSectionAfterFileWithoutFinalNewline();
    void crlfFileStaysCrlf();
    void newFileUsesLf();
    void valuesWithBlankEndsReadBackExactly_data();
    void valuesWithBlankEndsReadBackExactly();
    void unwritableTextRefused();
    void convenienceFunctionsCreateFile();

    // --- hostile files ---
    void nulBytes();
    void binaryJunk();
    void megabyteLine();
    void directoryInPlaceOfFile();
    void fifoInPlaceOfFile();
    void oversizedFileNotRewritten();

    // --- saving ---
    void saveLeavesNoTemporaryFile();
    void saveIntoMissingDirectoryFails();
    void readOnlyFileKeptAsIs();
    void saveKeepsModeAndSymlink();
    void saveFailsWhenFileSizeLimitHit();
};

void TestIniFile::namesIgnoreCase() {
    const IniDocument doc = IniDocument::fromBytes("[userPROFILE]\ntoolTIPS=False\n");
    QCOMPARE(doc.value("UserProfile", "ToolTips"), std::optional<QByteArray>("False"));
    QCOMPARE(doc.profileString("USERPROFILE", "TOOLTIPS", "x"), QByteArray("False"));
}

void TestIniFile::firstSectionAndFirstKeyWin() {
    const IniDocument doc = IniDocument::fromBytes("[A]\nk=1\nK=2\n[a]\nk=3\nonly=4\n");
    QCOMPARE(doc.profileInt("a", "k", -5), 1);
    // The second section of the same name is not searched.
    QCOMPARE(doc.profileInt("A", "only", -5), -5);
}

void TestIniFile::valueBlanksAndQuotes_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << QByteArray("k=abc") << QByteArray("abc");
    QTest::newRow("blanks") << QByteArray("  k  =  abc  \t") << QByteArray("abc");
    QTest::newRow("double quotes") << QByteArray("k=\"abc\"") << QByteArray("abc");
    QTest::newRow("single quotes") << QByteArray("k='abc'") << QByteArray("abc");
    QTest::newRow("blanks inside quotes") << QByteArray("k= \" a b \" ") << QByteArray(" a b ");
    QTest::newRow("one pair only") << QByteArray("k=\"\"x\"\"") << QByteArray("\"x\"");
    QTest::newRow("unmatched") << QByteArray("k=\"abc'") << QByteArray("\"abc'");
    QTest::newRow("lone quote") << QByteArray("k=\"") << QByteArray("\"");
    QTest::newRow("empty quotes") << QByteArray("k=\"\"") << QByteArray("");
    QTest::newRow("equals in value") << QByteArray("k=a=b") << QByteArray("a=b");
    QTest::newRow("empty") << QByteArray("k=") << QByteArray("");
}

void TestIniFile::valueBlanksAndQuotes() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    const IniDocument doc = IniDocument::fromBytes("[s]\n" + line + "\n");
    QCOMPARE(doc.profileString("s", "k", "default"), expected);
}

void TestIniFile::missingThingsGiveDefault() {
    QTemporaryDir dir;
    const QString path = dir.filePath("none.ini");
    QCOMPARE(ReadProfileString(path, "UserProfile", "ToolTips", "True"), QString("True"));
    QCOMPARE(ReadProfileInt(path, "UserProfile", "Speed", 1000), 1000);
    QVERIFY(!QFile::exists(path)); // reading never creates the file

    const IniDocument doc =
        IniDocument::fromBytes("k=outside\n[s]\nnovalue\n; k=comment\n[t]\nk=other\n");
    QCOMPARE(doc.profileString("s", "k", "d"), QByteArray("d"));       // not in its section
    QCOMPARE(doc.profileString("s", "novalue", "d"), QByteArray("d")); // no "="
    QCOMPARE(doc.profileString("x", "k", "d"), QByteArray("d"));       // no section
    QCOMPARE(doc.profileInt("s", "novalue", 7), 7);
}

void TestIniFile::longValueCutTo1023() {
    const QByteArray value(1100, 'v');
    const IniDocument doc = IniDocument::fromBytes("[s]\nk=" + value + "\n");
    QCOMPARE(doc.profileString("s", "k", {}), value.left(1023));
    QCOMPARE(doc.value("s", "k")->size(), 1100); // the document itself keeps it all
    QTemporaryDir dir;
    const QString path = dir.filePath("long.ini");
    writeAll(path, "[s]\nk=" + value + "\n");
    QCOMPARE(ReadProfileString(path, "s", "k", {}).size(), 1023);
}

void TestIniFile::longUtf8ValueNotCutInsideCharacter() {
    // 1022 ASCII bytes and then a two-byte character: byte 1023 is its first half.
    const QByteArray value = QByteArray(1022, 'a') + "\xC3\xA9tail";
    const IniDocument doc = IniDocument::fromBytes("[s]\nk=" + value + "\n");
    QCOMPARE(doc.profileString("s", "k", {}), QByteArray(1022, 'a'));
    // Bytes that are not UTF-8 are cut at exactly 1023.
    const QByteArray latin = QByteArray(1022, 'a') + "\xE9\xE9\xE9";
    const IniDocument latinDoc = IniDocument::fromBytes("[s]\nk=" + latin + "\n");
    QCOMPARE(latinDoc.profileString("s", "k", {}), latin.left(1023));
}

void TestIniFile::leadingNumberRule_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");
    const int dflt = 77;
    QTest::newRow("fraction") << QByteArray("4612.5") << 4612;
    QTest::newRow("minus one") << QByteArray("-1") << -1;
    QTest::newRow("text") << QByteArray("abc") << 0;
    QTest::newRow("plus") << QByteArray("+5") << 5;
    QTest::newRow("leading blanks") << QByteArray("   12") << 12;
    QTest::newRow("trailing text") << QByteArray("12abc") << 12;
    QTest::newRow("sign then blank") << QByteArray("- 5") << 0;
    QTest::newRow("hex is not read") << QByteArray("0x10") << 0;
    QTest::newRow("quoted") << QByteArray("\"42\"") << 42;
    QTest::newRow("empty value") << QByteArray("") << dflt;
    QTest::newRow("blank value") << QByteArray("   ") << dflt;
    QTest::newRow("too large") << QByteArray("99999999999999999999")
                               << std::numeric_limits<int>::max();
    QTest::newRow("too small") << QByteArray("-99999999999999999999")
                               << std::numeric_limits<int>::min();
    QTest::newRow("int min") << QByteArray("-2147483648") << std::numeric_limits<int>::min();
}

void TestIniFile::leadingNumberRule() {
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    const IniDocument doc = IniDocument::fromBytes("[s]\nk=" + text + "\n");
    QCOMPARE(doc.profileInt("s", "k", 77), expected);
}

void TestIniFile::narrowingTo16Bits() {
    QCOMPARE(narrowToInt16(70000, 0), std::int16_t(0));
    QCOMPARE(narrowToInt16(-32769, 5), std::int16_t(5));
    QCOMPARE(narrowToInt16(32767, 0), std::int16_t(32767));
    QCOMPARE(narrowToInt16(-32768, 0), std::int16_t(-32768));
}

void TestIniFile::byteOrderMarkBeforeFirstSection() {
    IniDocument doc = IniDocument::fromBytes("\xEF\xBB\xBF[UserProfile]\nMute=1\n");
    QCOMPARE(doc.profileInt("UserProfile", "Mute", 0), 1);
    QVERIFY(doc.setValue("UserProfile", "Mute", "0"));
    QCOMPARE(doc.toBytes(), QByteArray("\xEF\xBB\xBF[UserProfile]\nMute=0\n"));
}

void TestIniFile::dbBytesKeptAsBytes() {
    const QByteArray wrapped = "\xDB a holiday \xE9t\xE9 \xDB";
    IniDocument doc = IniDocument::fromBytes("[PictureText]\nbeach=\xDBold\xDB\n");
    QCOMPARE(doc.profileString("PictureText", "beach", {}), QByteArray("\xDBold\xDB"));
    QVERIFY(doc.setValue("PictureText", "beach", wrapped));
    QCOMPARE(doc.toBytes(), "[PictureText]\nbeach=" + wrapped + "\n");
    QCOMPARE(IniDocument::fromBytes(doc.toBytes()).profileString("PictureText", "beach", {}),
             wrapped);
}

void TestIniFile::writeReplacesOnlyTheValue() {
    const QByteArray original = "; settings\n"
                                "[Other]\n"
                                "Mute=9\n"
                                "\n"
                                "[UserProfile]\n"
                                "Unknown Key = keep me \n"
                                "  mUTE =  1 ; not a comment\n"
                                "Mute=dup\n"
                                "odd line without equals\n"
                                "Speed=\xDB\xFF\n"
                                "[More]\n"
                                "x=y\n";
    IniDocument doc = IniDocument::fromBytes(original);
    QVERIFY(doc.setValue("UserProfile", "Mute", "0"));
    QByteArray expected = original;
    expected.replace("  mUTE =  1 ; not a comment\n", "  mUTE =0\n");
    QCOMPARE(doc.toBytes(), expected);
    QCOMPARE(doc.profileInt("Other", "Mute", -1), 9);
}

void TestIniFile::writeNewKeyGoesToEndOfItsSection() {
    IniDocument doc = IniDocument::fromBytes("[a]\nx=1\n\n\n[b]\ny=2\n");
    QVERIFY(doc.setValue("A", "New", "v"));
    QCOMPARE(doc.toBytes(), QByteArray("[a]\nx=1\nNew=v\n\n\n[b]\ny=2\n"));
    // An empty section at the end of a file without a final newline.
    IniDocument tail = IniDocument::fromBytes("[a]\nx=1\n[b]");
    QVERIFY(tail.setValue("b", "k", "v"));
    QCOMPARE(tail.toBytes(), QByteArray("[a]\nx=1\n[b]\nk=v\n"));
}

void TestIniFile::writeNewSectionAfterFileWithoutFinalNewline() {
    IniDocument doc = IniDocument::fromBytes("[a]\nx=1");
    QVERIFY(doc.setValue("UserProfile", "Speed", "500"));
    QCOMPARE(doc.toBytes(), QByteArray("[a]\nx=1\n[UserProfile]\nSpeed=500\n"));
}

void TestIniFile::crlfFileStaysCrlf() {
    QTemporaryDir dir;
    const QString path = dir.filePath("crlf.ini");
    writeAll(path, "[UserProfile]\r\nToolTips=False\r\nSpeed=3\r\n");
    QCOMPARE(ReadProfileString(path, "UserProfile", "ToolTips", "x"), QString("False"));
    QCOMPARE(ReadProfileInt(path, "UserProfile", "Speed", 0), 3);
    QVERIFY(WriteProfileString(path, "UserProfile", "Speed", "4"));
    QVERIFY(WriteProfileString(path, "UserProfile", "Mute", "1"));
    QVERIFY(WriteProfileString(path, "Extra", "k", "v"));
    QCOMPARE(readAll(path), QByteArray("[UserProfile]\r\nToolTips=False\r\nSpeed=4\r\nMute=1\r\n"
                                       "[Extra]\r\nk=v\r\n"));
}

void TestIniFile::newFileUsesLf() {
    QTemporaryDir dir;
    const QString path = dir.filePath("new.ini");
    QVERIFY(WriteProfileString(path, "UserProfile", "ShowSplash", "False"));
    QCOMPARE(readAll(path), QByteArray("[UserProfile]\nShowSplash=False\n"));
}

void TestIniFile::valuesWithBlankEndsReadBackExactly_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("leading blank") << QByteArray(" /home/a dir");
    QTest::newRow("trailing blanks") << QByteArray("/home/dir  ");
    QTest::newRow("quoted") << QByteArray("\"quoted\"");
    QTest::newRow("single quoted") << QByteArray("'x'");
    QTest::newRow("quote at one end") << QByteArray("\"half");
    QTest::newRow("only blanks") << QByteArray("   ");
    QTest::newRow("empty") << QByteArray("");
}

void TestIniFile::valuesWithBlankEndsReadBackExactly() {
    QFETCH(QByteArray, value);
    IniDocument doc;
    QVERIFY(doc.setValue("s", "k", value));
    QCOMPARE(IniDocument::fromBytes(doc.toBytes()).profileString("s", "k", "d"), value);
}

void TestIniFile::unwritableTextRefused() {
    const QByteArray original = "[s]\nk=old\n";
    IniDocument doc = IniDocument::fromBytes(original);
    QVERIFY(!doc.setValue("s", "k", "two\nlines"));
    QVERIFY(!doc.setValue("s", "k", "cr\rhere"));
    QVERIFY(!doc.setValue("s", "k", QByteArray("nul\0byte", 8)));
    QVERIFY(!doc.setValue("s", "a=b", "v"));
    QVERIFY(!doc.setValue("s", "", "v"));
    QVERIFY(!doc.setValue("s]x", "k", "v"));
    QVERIFY(!doc.setValue("s", "k\nInjected", "v"));
    QCOMPARE(doc.toBytes(), original);
}

void TestIniFile::convenienceFunctionsCreateFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Glimmerby.ini");
    QVERIFY(
        WriteProfileString(path, "UserProfile", "Last Dir Path", QString::fromUtf8("/home/ünï/")));
    QCOMPARE(ReadProfileString(path, "userprofile", "last dir path", {}),
             QString::fromUtf8("/home/ünï/"));
    QVERIFY(WriteProfileString(path, "UserProfile", "Form Height", "5000"));
    QCOMPARE(ReadProfileInt(path, "UserProfile", "Form Height", 0), 5000);
}

void TestIniFile::nulBytes() {
    static const char raw[] = "[UserProfile]\nSpeed=12\0"
                              "34\n\0\0\0\nMute=1\n\0[x]\n";
    const QByteArray content(raw, sizeof(raw) - 1);
    IniDocument doc = IniDocument::fromBytes(content);
    QCOMPARE(doc.profileInt("UserProfile", "Speed", 0), 12); // the value ends at the NUL
    QCOMPARE(doc.profileInt("UserProfile", "Mute", 0), 1);
    QVERIFY(doc.setValue("UserProfile", "Mute", "0"));
    QByteArray expected = content;
    expected.replace("Mute=1", "Mute=0");
    QCOMPARE(doc.toBytes(), expected); // the NUL bytes elsewhere are kept
}

void TestIniFile::binaryJunk() {
    QRandomGenerator rng(20240607);
    QTemporaryDir dir;
    for (int round = 0; round < 50; ++round) {
        QByteArray junk(4096 + round * 37, '\0');
        for (char &c : junk)
            c = char(rng.bounded(256));
        if (round % 5 == 0)
            junk.insert(junk.size() / 2, "\n[UserProfile]\nSpeed=250\n");
        const QString path = dir.filePath(QString("junk%1.ini").arg(round));
        writeAll(path, junk);
        const int speed = ReadProfileInt(path, "UserProfile", "Speed", 1000);
        if (round % 5 == 0)
            QCOMPARE(speed, 250);
        (void)ReadProfileString(path, "UserProfile", "ToolTips", "True");
        QVERIFY(WriteProfileString(path, "UserProfile", "Mute", "1"));
        QCOMPARE(ReadProfileInt(path, "UserProfile", "Mute", 0), 1);
        // Everything that was there is still there, in order.
        const QByteArray after = readAll(path);
        QVERIFY(after.size() > junk.size());
    }
}

void TestIniFile::megabyteLine() {
    QTemporaryDir dir;
    const QString path = dir.filePath("big.ini");
    const QByteArray line(1024 * 1024, 'x');
    writeAll(path, "[UserProfile]\nLast Dir Path=" + line + "\n" + line + "\nSpeed=3");
    QCOMPARE(ReadProfileString(path, "UserProfile", "Last Dir Path", {}).size(), 1023);
    QCOMPARE(ReadProfileInt(path, "UserProfile", "Speed", 0), 3);
    QVERIFY(WriteProfileString(path, "UserProfile", "Speed", "4"));
    QCOMPARE(readAll(path).size(), 2 * line.size() + 14 + 15 + 1 + 7);
}

void TestIniFile::directoryInPlaceOfFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Glimmerby.ini");
    QVERIFY(QDir().mkpath(path + "/inside"));
    QCOMPARE(IniDocument::load(path).status(), IniLoadStatus::Unreadable);
    QCOMPARE(ReadProfileString(path, "UserProfile", "ToolTips", "True"), QString("True"));
    QCOMPARE(ReadProfileInt(path, "UserProfile", "Speed", 1000), 1000);
    QVERIFY(!WriteProfileString(path, "UserProfile", "Speed", "1"));
    QVERIFY(QFileInfo(path + "/inside").isDir());
    QCOMPARE(dirEntries(dir.path()), QStringList{"Glimmerby.ini"});
}

void TestIniFile::fifoInPlaceOfFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("fifo.ini");
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // Opening a FIFO for reading would wait for a writer forever.
    QCOMPARE(IniDocument::load(path).status(), IniLoadStatus::Unreadable);
    QCOMPARE(ReadProfileInt(path, "s", "k", 5), 5);
    QVERIFY(!WriteProfileString(path, "s", "k", "1"));
}

void TestIniFile::oversizedFileNotRewritten() {
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.ini");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[s]\nk=1\n");
        QVERIFY(f.resize(IniFileSizeLimit + 1)); // sparse: costs no disk space
    }
    QCOMPARE(IniDocument::load(path).status(), IniLoadStatus::Unreadable);
    QCOMPARE(ReadProfileInt(path, "s", "k", 5), 5);
    QVERIFY(!WriteProfileString(path, "s", "k", "2"));
    QCOMPARE(QFileInfo(path).size(), IniFileSizeLimit + 1);
}

void TestIniFile::saveLeavesNoTemporaryFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    writeAll(path, "[s]\nk=1\n");
    for (int i = 0; i < 5; ++i)
        QVERIFY(WriteProfileString(path, "s", "k", QString::number(i)));
    QCOMPARE(dirEntries(dir.path()), QStringList{"a.ini"});
    QCOMPARE(readAll(path), QByteArray("[s]\nk=4\n"));
}

void TestIniFile::saveIntoMissingDirectoryFails() {
    QTemporaryDir dir;
    const QString path = dir.filePath("gone/a.ini");
    QVERIFY(!WriteProfileString(path, "s", "k", "1"));
    QCOMPARE(dirEntries(dir.path()), QStringList{});
    // The directory vanishes between reading and saving.
    QVERIFY(QDir().mkpath(dir.filePath("gone")));
    writeAll(path, "[s]\nk=1\n");
    IniDocument doc = IniDocument::load(path);
    QVERIFY(doc.setValue("s", "k", "2"));
    QVERIFY(QDir(dir.filePath("gone")).removeRecursively());
    QVERIFY(!doc.save(path));
    QCOMPARE(dirEntries(dir.path()), QStringList{});
}

void TestIniFile::readOnlyFileKeptAsIs() {
    QTemporaryDir dir;
    const QString path = dir.filePath("ro.ini");
    writeAll(path, "[s]\nk=1\n");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    QVERIFY(!WriteProfileString(path, "s", "k", "2"));
    QCOMPARE(readAll(path), QByteArray("[s]\nk=1\n"));
    QCOMPARE(dirEntries(dir.path()), QStringList{"ro.ini"});
}

void TestIniFile::saveKeepsModeAndSymlink() {
    QTemporaryDir dir;
    const QString real = dir.filePath("real.ini");
    const QString link = dir.filePath("link.ini");
    writeAll(real, "[s]\nk=1\n");
    QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::link(real, link));
    QVERIFY(WriteProfileString(link, "s", "k", "2"));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(real), QByteArray("[s]\nk=2\n"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(real).constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 0777), 0600);
}

void TestIniFile::saveFailsWhenFileSizeLimitHit() {
    // A child process whose writes fail past 2048 bytes: the save stops part-way.
    QTemporaryDir dir;
    const QString path = dir.filePath("Glimmerby.ini");
    writeAll(path, "[UserProfile]\nSpeed=5\n[Other]\nkeep=" + QByteArray(1500, 'k') + "\n");
    QProcess helper;
    helper.start(GLIMMERBY_APP_TEST_HELPER, {"fsize-save", path, "2048"});
    QVERIFY(helper.waitForFinished(30000));
    QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
    QCOMPARE(helper.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_ini_file.moc"
