// The files the program keeps: the INI reader and writer, the settings file, the path
// splitter, where the settings live, scratch files and the one-instance lock; the trash,
// the journal of file commands and its recovery after a crash.
#include "app/app_state.h"
#include "app/data_dir.h"
#include "app/file_journal.h"
#include "app/file_ops.h"
#include "app/ini_file.h"
#include "app/settings_store.h"
#include "app/single_instance.h"
#include "app/split_path.h"
#include "app/stale_temporaries.h"
#include "app/trash.h"
#include "support/test_files.h"

#include <QtTest>

#include <csignal>
#include <iostream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace glimmerby;

namespace {

QString g_noMounts; // why the cases on volumes of their own cannot run; empty when they can

QByteArray c(const QString &path) {
    return QFile::encodeName(path);
}

// A tmpfs of its own at dir (as root, inside the test's mount namespace).
bool mountVolume(const QString &dir, const char *options = "size=4m") {
    return QDir().mkpath(dir) && ::mount("tmpfs", c(dir), "tmpfs", 0, options) == 0;
}

const QString AppDir = QStringLiteral("/opt/glimmerby/");
const int Max = std::numeric_limits<int>::max(), Min = std::numeric_limits<int>::min();

QStringList entries(const QString &dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

// Every settings field as ";Name=value;" pieces, for SettingsValues and SettingsToSave.
#define FIELD(name) QStringLiteral(#name "=%1;").arg(s.name)
template <class S> QString summary(const S &s) {
    return ";" + FIELD(FormHeight) + FIELD(FormWidth) + FIELD(FormTop) + FIELD(FormLeft) +
           FIELD(LastSaveToPath) + FIELD(LastDirPath) + FIELD(EditorPath) + FIELD(Mute) +
           FIELD(ControlsVisible) + FIELD(Speed) + FIELD(FileFilter) + FIELD(PicQuality) +
           FIELD(ToolTips) + FIELD(ShowSplash) + FIELD(SplashTime) + FIELD(CustomSize) +
           FIELD(ThumbnailGrid);
}

// Every field away from its default, in the order of SettingsToSave.
// clang-format off
const SettingsToSave Unusual{WindowShowState::Normal, 7777, 8888, -120, 3000,
    "/media/ünï/dest dir/", " /home/lead/ and trail ", "/usr/bin/gimp", 1, 0, 2500, 1, 85,
    "False", "False", 100, 1024, "True"};
// clang-format on

// Starts this program holding the lock of AppDir in lockDir; gives its answer.
QByteArray startLockHolder(QProcess &p, const QString &lockDir) {
    p.start(QCoreApplication::applicationFilePath(), {"lock", AppDir, lockDir});
    while (!p.canReadLine() && p.waitForReadyRead(30000)) {
    }
    return p.readLine().trimmed();
}

} // namespace

class TestApp : public QObject {
    Q_OBJECT

  private slots:
    // What the profile readers give for key "k" of section "s" (defaults "d" and 77).
    void profileReads_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("number");
        const QByteArray a(1022, 'a');
        auto row = [](const char *name, const QByteArray &file, const QByteArray &text, int n) {
            QTest::newRow(name) << file << text << n;
        };
        row("names ignore case", "[S]\nK=False\n", "False", 0);
        row("first key wins", "[s]\nk=1\nK=2\n[S]\nk=3\n", "1", 1);
        row("second section unread", "[s]\nx=1\n[S]\nk=4\n", "d", 77);
        row("blanks", "[s]\n  k  =  -1  \t\n", "-1", -1);
        row("double quotes", "[s]\nk=\"42\"\n", "42", 42);
        row("single quotes", "[s]\nk='abc'\n", "abc", 0);
        row("blanks inside quotes", "[s]\nk= \" 12 \" \n", " 12 ", 12);
        row("one pair only", "[s]\nk=\"\"x\"\"\n", "\"x\"", 0);
        row("unmatched quotes", "[s]\nk=\"abc'\n", "\"abc'", 0);
        row("empty quotes", "[s]\nk=\"\"\n", "", 77);
        row("empty", "[s]\nk=\n", "", 77);
        row("equals in value", "[s]\nk=a=b\n", "a=b", 0);
        row("outside any section", "k=x\n[s]\n[t]\nk=y\n", "d", 77);
        row("no equals", "[s]\nk\n", "d", 77);
        row("UTF-8 not cut inside a character", "[s]\nk=" + a + "\xC3\xA9tail\n", a, 0);
        row("8-bit cut at 1023", "[s]\nk=" + a + "\xE9\xE9\n", a + "\xE9", 0);
        row("byte order mark", "\xEF\xBB\xBF[s]\nk=1\n", "1", 1);
        row("0xDB bytes", "[s]\nk=\xDBold\xDB\n", "\xDBold\xDB", 0);
        row("NUL ends a value", QByteArray("[s]\nk=12\0x\n", 11), "12", 12);
        row("fraction", "[s]\nk=4612.5\n", "4612.5", 4612);
        row("too large", "[s]\nk=99999999999999999999\n", "99999999999999999999", Max);
        row("int min", "[s]\nk=-2147483648\n", "-2147483648", Min);
    }
    void profileReads() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, text);
        QFETCH(int, number);
        const IniDocument doc = IniDocument::fromBytes(file);
        QCOMPARE(doc.profileString("s", "k", "d"), text);
        QCOMPARE(doc.profileInt("s", "k", 77), number);
    }

    // A write changes one line and nothing else and reads back exactly, or is refused.
    void setValue_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after"); // empty: refused, the document unchanged
        const QByteArray mixed = "; settings\n[Other]\nMute=9\n\n[UserProfile]\n"
                                 "Unknown Key = keep me \n  mUTE =  1 ; not a comment\n"
                                 "Mute=dup\nodd line without equals\nSpeed=\xDB\xFF\n[More]\nx=y\n";
        auto row = [](const char *name, const QByteArray &before, const QByteArray &section,
                      const QByteArray &key, const QByteArray &value, const QByteArray &after) {
            QTest::newRow(name) << before << section << key << value << after;
        };
        row("only the value", mixed, "userprofile", "MUTE", "0",
            QByteArray(mixed).replace("  mUTE =  1 ; not a comment", "  mUTE =0"));
        row("new key at end of section", "[a]\nx=1\n\n\n[b]\n", "A", "New", "v",
            "[a]\nx=1\nNew=v\n\n\n[b]\n");
        row("empty last section", "[a]\n[b]", "b", "k", "v", "[a]\n[b]\nk=v\n");
        row("CRLF kept", "[s]\r\nk=1\r\n", "t", "k", "v", "[s]\r\nk=1\r\n[t]\r\nk=v\r\n");
        row("byte order mark", "\xEF\xBB\xBF[s]\nk=1\n", "s", "k", "0", "\xEF\xBB\xBF[s]\nk=0\n");
        row("line feed", "", "s", "k", "two\nlines", "");
        row("NUL byte", "", "s", "k", QByteArray("nul\0byte", 8), "");
        row("equals in key", "", "s", "a=b", "v", "");
        row("bracket in section", "", "s]x", "k", "v", "");
        row("line break in key", "", "s", "k\nInjected", "v", "");
    }
    void setValue() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        IniDocument doc = IniDocument::fromBytes(before);
        QCOMPARE(doc.setValue(section, key, value), !after.isEmpty());
        QCOMPARE(doc.toBytes(), after.isEmpty() ? before : after);
        if (!after.isEmpty())
            QCOMPARE(IniDocument::fromBytes(after).profileString(section, key, "d"), value);
    }

    void profileFunctionsOnFiles() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Glimmerby.ini"), unicode = "/home/ünï/";
        QCOMPARE(ReadProfileString(path, "UserProfile", "ToolTips", "True"), QString("True"));
        QVERIFY(!QFile::exists(path)); // reading never creates the file
        QVERIFY(WriteProfileString(path, "UserProfile", "Last Dir Path", unicode));
        for (int i = 0; i < 5; ++i)
            QVERIFY(WriteProfileString(path, "UserProfile", "Speed", QString::number(i)));
        QCOMPARE(readAll(path), "[UserProfile]\nLast Dir Path=" + unicode.toUtf8() + "\nSpeed=4\n");
        QCOMPARE(ReadProfileString(path, "userprofile", "last dir path", {}), unicode);
        QCOMPARE(ReadProfileInt(path, "UserProfile", "Speed", 0), 4);
        QCOMPARE(entries(dir.path()), QStringList{"Glimmerby.ini"}); // no temporaries left

        // Megabyte lines: the value is cut, later keys still found, nothing lost on a write.
        const QByteArray line(1024 * 1024, 'x');
        writeAll(path, "[UserProfile]\nLast Dir Path=" + line + "\n" + line + "\nSpeed=3");
        QCOMPARE(ReadProfileString(path, "UserProfile", "Last Dir Path", {}).size(), 1023);
        QCOMPARE(ReadProfileInt(path, "UserProfile", "Speed", 0), 3);
        QVERIFY(WriteProfileString(path, "UserProfile", "Speed", "4"));
        QCOMPARE(readAll(path).size(), 2 * line.size() + 37);
    }

    // Files that cannot be rewritten safely are left as they are, and so is a file whose
    // replacement fails part-way (a file size limit hit).
    void unwritableFileKept_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("readsAs");
        QTest::newRow("directory") << "directory" << 5;
        QTest::newRow("fifo") << "fifo" << 5; // opening it to read would wait for ever
        QTest::newRow("over the size limit") << "huge" << 5;
        QTest::newRow("read-only") << "read-only" << 1;
        QTest::newRow("missing directory") << "missing" << 5;
        QTest::newRow("file size limit") << "limit" << 1;
    }
    void unwritableFileKept() {
        QFETCH(QString, kind);
        QFETCH(int, readsAs);
        QTemporaryDir dir;
        const QString path = dir.filePath(kind == "missing" ? "gone/a.ini" : "a.ini");
        if (kind == "directory")
            QVERIFY(QDir().mkpath(path + "/inside"));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind != "missing")
            writeAll(path, "[s]\nk=1\n;" + QByteArray(3000, 'x'));
        if (kind == "huge")
            QVERIFY(QFile::resize(path, IniFileSizeLimit + 1)); // sparse: costs no disk space
        if (kind == "read-only")
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
        const QStringList before = entries(dir.path());
        const qint64 size = QFileInfo(path).size();
        QCOMPARE(ReadProfileInt(path, "s", "k", 5), readsAs);
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit limit{kind == "limit" ? 2048 : old.rlim_cur, old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const bool written = WriteProfileString(path, "s", "k", "2");
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QVERIFY(!written);
        QCOMPARE(entries(dir.path()), before);
        QCOMPARE(QFileInfo(path).size(), size);
    }

    void saveKeepsModeAndLinks() {
        QTemporaryDir dir;
        const QString real = dir.filePath("real.ini"), mid = dir.filePath("mid.ini");
        const QString link = dir.filePath("link.ini");
        writeAll(real, "[s]\nk=1\n");
        QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QFile::link(real, mid) && QFile::link(mid, link));
        QVERIFY(WriteProfileString(link, "s", "k", "2"));
        QVERIFY(QFileInfo(link).isSymLink() && QFileInfo(mid).isSymLink());
        QCOMPARE(readAll(real), QByteArray("[s]\nk=2\n"));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(real).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0600);
    }

    void readSettings_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("expected"); // ";Name=value;" pieces of the result
        auto row = [](const char *name, const QByteArray &stored, const QString &expected) {
            QTest::newRow(name) << stored << expected;
        };
        SettingsToSave defaults;
        defaults.LastSaveToPath = defaults.LastDirPath = AppDir;
        defaults.EditorPath = AppDir + "PSP.EXE";
        row("no file", {}, summary(defaults));
        row("filter -1", "File Filter=-1", "FileFilter=4");
        row("filter 7", "File Filter=7", "FileFilter=4");
        row("filter text", "File Filter=Music", "FileFilter=0");
        row("case kept", "ToolTips=true\nShowSplash=TRUE", "ToolTips=true;ShowSplash=TRUE");
        row("splash", "ShowSplash=False\nSplashTime=100", "ShowSplash=False;SplashTime=100");
        row("editor trimmed", "PSPPath= \"  /usr/bin/gimp\t\" ", "EditorPath=/usr/bin/gimp");
        row("8-bit path", "Last Dir Path=/caf\xE9/", "LastDirPath=/café/");
        row("16-bit overflow", "Mute=70000\nSpeed=-40000\nControlsVisible=65535\nPicQuality=70000",
            "Mute=0;ControlsVisible=-1;Speed=1000;PicQuality=70000");
        row("16-bit edges", "Speed=32767\nMute=4612.5\nControlsVisible=-32768",
            "Mute=4612;ControlsVisible=-32768;Speed=32767");
    }
    void readSettings() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString ini = dir.filePath("Glimmerby.ini");
        if (!stored.isNull())
            writeAll(ini, "[UserProfile]\n" + stored + "\n");
        const QString got = summary(glimmerby::readSettings(ini, AppDir));
        for (const QString &piece : expected.split(';', Qt::SkipEmptyParts))
            QVERIFY2(got.contains(";" + piece + ";"), qPrintable(got));
        const StartupSettings startup = readStartupSettings(ini);
        QVERIFY(got.contains(QString(";ShowSplash=%1;SplashTime=%2;")
                                 .arg(startup.ShowSplash)
                                 .arg(startup.SplashTime)));
        QCOMPARE(QFile::exists(ini), !stored.isNull());
    }

    void saveSettingsRoundTrip() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("Glimmerby.ini");
        SettingsToSave s;
        s.LastSaveToPath = s.LastDirPath = s.EditorPath = "/d";
        s.FileFilter = -1; // nothing selected in the filter box
        QVERIFY(saveSettings(ini, s));
        QCOMPARE(readAll(ini), QByteArray("[UserProfile]\nForm Height=4600\nForm Width=6500\n"
                                          "Form Top=10\nForm Left=10\nLast SaveTo Path=/d\n"
                                          "Last Dir Path=/d\nPSPPath=/d\nMute=0\n"
                                          "ControlsVisible=-1\nSpeed=1000\nFile Filter=-1\n"
                                          "PicQuality=100\nToolTips=True\nShowSplash=True\n"
                                          "SplashTime=5000\nCustomSize=640\n"
                                          "Thumbnail Grid=False\n"));

        QVERIFY(saveSettings(ini, Unusual));
        QCOMPARE(summary(glimmerby::readSettings(ini, AppDir)), summary(Unusual));

        // Through the shared state and back; SplashTime belongs to the run, not the file.
        AppState state;
        state.SplashTime = 1;
        applySettingsToState(glimmerby::readSettings(ini, AppDir), state);
        const QString back = summary(settingsToSaveFrom(state));
        QVERIFY2(back.contains(";EditorPath=/usr/bin/gimp;Mute=1;ControlsVisible=0;Speed=2500;") &&
                     back.endsWith(";PicQuality=85;ToolTips=False;ShowSplash=False;SplashTime=1;"
                                   "CustomSize=1024;ThumbnailGrid=True;"),
                 qPrintable(back));
    }

    // Unknown keys, sections, line endings and unchanged 8-bit values survive a save (the
    // editor's path without its blanks); a path with a line break keeps the old value; a
    // maximized window stores the defaults.
    void saveKeepsTheRestOfTheFile() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("Glimmerby.ini");
        writeAll(ini, "# by hand\r\n[Window]\r\nSpeed=1\r\n[UserProfile]\r\nSpeed=5\r\n"
                      "Colour=\xDBgreen\xDB\r\n;Mute=1\r\nPSPPath=   /bin/\xE9   \r\n"
                      "Last Dir Path=/old/\r\n[Zzz]\r\ntail\r\n");
        SettingsToSave s = Unusual;
        s.EditorPath = glimmerby::readSettings(ini, AppDir).EditorPath;
        s.LastDirPath = "/evil\n[UserProfile]\nMute=1\n";
        s.WindowState = WindowShowState::Maximized;
        QVERIFY(saveSettings(ini, s));
        const QByteArray after = readAll(ini);
        QVERIFY(after.startsWith("# by hand\r\n[Window]\r\nSpeed=1\r\n[UserProfile]\r\n"
                                 "Speed=2500\r\nColour=\xDBgreen\xDB\r\n;Mute=1\r\n"
                                 "PSPPath=/bin/\xE9\r\nLast Dir Path=/old/\r\nForm Height=4600\r\n"
                                 "Form Width=6500\r\nForm Top=10\r\nForm Left=10\r\n"));
        QVERIFY(after.endsWith("CustomSize=1024\r\nThumbnail Grid=True\r\n[Zzz]\r\ntail\r\n"));
        QVERIFY(!after.contains("\n\n") && !after.contains("evil"));
        s.WindowState = WindowShowState::Minimized;
        QVERIFY(saveSettings(ini, s) && readAll(ini) == after);
    }

    void twips() {
        QCOMPARE(twipsToPixels(6500, 96), 433);
        QCOMPARE(twipsToPixels(-150, 96), -10);
        QCOMPARE(twipsToPixels(1440, 0), 96); // no usable DPI: 96
        QCOMPARE(pixelsToTwips(Max, 96), Max);
    }

    // Each row is the path with "|" before its name and before its extension.
    void splitPath_data() {
        QTest::addColumn<QString>("parts");
        for (const char *parts :
             {"/pics/|a|.jpg", "/pics/|a.b|.JPG", "/my.pics/|a|.jpg", "/pics/|noext|",
              "/my.pics/|noext|", "|a|.jpg", "/pics/||.hidden", "/pics/|a|.", "/pics/sub/||", "/||",
              "/|x|.mpg", "||", "/a//|b|.c", "/|a\\b|.c\\d", "/p q/| r |.jpg ",
              "/bilder/|ünï|.JPEG"})
            QTest::newRow(parts) << QString::fromUtf8(parts);
    }
    void splitPath() {
        QFETCH(QString, parts);
        const QStringList expected = parts.split('|');
        const QString full = QString(parts).remove('|');
        QString d = "junk", n = "junk", e = "junk";
        SplitPath(full, d, n, e);
        QCOMPARE(QStringList({d, n, e}), expected);
        const PathParts p = glimmerby::splitPath(full);
        QCOMPARE(QStringList({p.Dir, p.Name, p.Ext}), expected);
        d = full; // the output may be the input string itself
        SplitPath(d, d, n, e);
        QCOMPARE(QStringList({d, n, e}), expected);
        AppState state;
        state.ClipDirs = state.ClipNames = state.ClipExts = QStringList(4, "old");
        QVERIFY(SplitClipPath(full, 2, state));
        QCOMPARE(
            state.ClipDirs + state.ClipNames + state.ClipExts,
            QStringList({"old", "old", d, "old", "old", "old", n, "old", "old", "old", e, "old"}));
        // An index that is not an entry of all three lists changes nothing.
        state.ClipExts.removeLast();
        const QStringList before = state.ClipDirs + state.ClipNames + state.ClipExts;
        for (int index : {3, -1, 4})
            QVERIFY(!SplitClipPath(full, index, state));
        QCOMPARE(state.ClipDirs + state.ClipNames + state.ClipExts, before);
    }

    void dataDirectory() {
        QCOMPARE(appDirFor("/opt/glimmerby"), QString("/opt/glimmerby/"));
        QCOMPARE(appDirFor("/"), QString("/"));
        QCOMPARE(appDirFor(""), QString("./"));
        QTemporaryDir app, config;
        QCOMPARE(dataDirFor(app.path() + "/", config.path()), app.path() + "/");
        QCOMPARE(dataDirFor(app.path(), config.path()), app.path() + "/");
        QVERIFY(entries(app.path()).isEmpty() && entries(config.path()).isEmpty());
        const QString home = config.filePath("deep/config");
        QCOMPARE(dataDirFor("/nonexistent/glimmerby/", home), home + "/Glimmerby/");
        QVERIFY(QFileInfo(home + "/Glimmerby").isDir());

        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", "/somewhere/cfg");
        QCOMPARE(configHomeFromEnvironment(), QString("/somewhere/cfg"));
        qputenv("XDG_CONFIG_HOME", "relative/cfg"); // not absolute: ignored
        QCOMPARE(configHomeFromEnvironment(), QDir::homePath() + "/.config");

        // The pictures directory the desktop names, else the home directory.
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(app.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        writeAll(config.filePath("user-dirs.dirs"), "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
        QCOMPARE(picturesDirectory(), app.path() + "/"); // named, but not there
        QVERIFY(QDir(app.path()).mkdir("Bilder"));
        QCOMPARE(picturesDirectory(), app.filePath("Bilder/"));
        QVERIFY(QFile::remove(config.filePath("user-dirs.dirs")));
        QVERIFY(QDir(app.path()).rmdir("Bilder"));
        qputenv("HOME", savedHome);
        saved.isNull() ? void(qunsetenv("XDG_CONFIG_HOME"))
                       : void(qputenv("XDG_CONFIG_HOME", saved));

        // A system-wide install: the program directory is on a read-only file system.
        QProcess p;
        p.start("unshare", {"-m", "--propagation", "private", "sh", "-c",
                            "mount -t tmpfs -o ro,size=16k glimmerby-test \"$1\" || exit 77; "
                            "exec \"$0\" data-dir \"$1/\" \"$2\"",
                            QCoreApplication::applicationFilePath(), app.path(), config.path()});
        if (!p.waitForFinished(30000) || p.exitCode() == 77 || p.exitCode() == 1)
            QSKIP("no permission to mount a file system here");
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput().trimmed()),
                 config.path() + "/Glimmerby/");
    }

    void scratchFilesRemoved() {
        QTemporaryDir dir;
        const QString d = dir.path() + "/";
        for (const char *name : {"tmp.jpg", "tmp.bmp", "tmp.BMP", "TMP.JPG", "tmp.jpg.bak",
                                 "tmp.txt", "Glimmerby.ini"})
            touch(d + name);
        removeScratchFiles(d);
        QCOMPARE(QDir(d).entryList(QDir::Files, QDir::Name),
                 QStringList({"Glimmerby.ini", "TMP.JPG", "tmp.jpg.bak", "tmp.txt"}));
        QVERIFY(QDir(d).mkdir("tmp.jpg"));
        removeScratchFiles(d); // a directory of that name stays, a missing one does no harm
        removeScratchFiles(dir.filePath("missing/"));
        QVERIFY(QFileInfo(d + "tmp.jpg").isDir());
    }

    void instanceLock() {
        QTemporaryDir lockDir;
        SingleInstance mine(AppDir, lockDir.path()), again(AppDir, lockDir.path());
        QProcess first, second, killed;
        QCOMPARE(startLockHolder(first, lockDir.path()), QByteArray("locked"));
        QCOMPARE(mine.tryAcquire(), InstanceLock::HeldByAnother);
        QVERIFY(!mine.isHeld());
        QCOMPARE(startLockHolder(second, lockDir.path()), QByteArray("refused"));
        second.closeWriteChannel();
        first.closeWriteChannel();
        QVERIFY(second.waitForFinished(30000) && first.waitForFinished(30000));
        QCOMPARE(mine.tryAcquire(), InstanceLock::Acquired);
        QCOMPARE(mine.tryAcquire(), InstanceLock::Acquired); // asking again is harmless
        QCOMPARE(again.tryAcquire(), InstanceLock::HeldByAnother);
        QCOMPARE(SingleInstance("/b/", lockDir.path()).tryAcquire(), InstanceLock::Acquired);
        mine.release();

        // A holder killed outright leaves its lock file, which is taken over.
        QCOMPARE(startLockHolder(killed, lockDir.path()), QByteArray("locked"));
        killed.kill();
        QVERIFY(killed.waitForFinished(30000));
        QVERIFY(QFile::exists(mine.lockFilePath()));
        QCOMPARE(mine.tryAcquire(), InstanceLock::Acquired);
        mine.release();
        QVERIFY(!QFile::exists(mine.lockFilePath()));
        // No lock can be made at all: the program still starts.
        QCOMPARE(SingleInstance("/a/", "/nonexistent/dir").tryAcquire(), InstanceLock::Unavailable);
    }

    // Where a deleted file goes, by the volume it is on; and back again.
    void trashPlaces_data() {
        QTest::addColumn<QString>("volume"); // how the file's volume is set up
        QTest::addColumn<QString>("trash");  // the trash directory under the root, or "none"
        QTest::newRow("home's file system") << "home"
                                            << "data/Trash";
        QTest::newRow("volume without .Trash") << "plain"
                                               << "vol/.Trash-%1";
        QTest::newRow("volume with sticky .Trash") << "sticky"
                                                   << "vol/.Trash/%1";
        QTest::newRow(".Trash not sticky") << "unsticky"
                                           << "vol/.Trash-%1";
        QTest::newRow(".Trash a link") << "link"
                                       << "vol/.Trash-%1";
        QTest::newRow("read-only volume") << "ro"
                                          << "none";
        QTest::newRow("a file where .Trash-uid goes") << "blocked"
                                                      << "none";
    }
    void trashPlaces() {
        QFETCH(QString, volume);
        QFETCH(QString, trash);
        if (volume != "home" && !g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        QTemporaryDir root;
        const QString vol = root.filePath(volume == "home" ? "files" : "vol");
        QVERIFY(volume == "home" ? QDir().mkpath(vol) : mountVolume(vol));
        const QString sub = vol + "/sub dir";
        QVERIFY(QDir().mkpath(sub));
        const QString file = sub + "/50% ä.jpg";
        writeAll(file, "picture");
        if (volume == "sticky" || volume == "unsticky") {
            QVERIFY(QDir().mkpath(vol + "/.Trash"));
            QVERIFY(::chmod(c(vol + "/.Trash"), volume == "sticky" ? 01777 : 0777) == 0);
        }
        if (volume == "link") {
            QVERIFY(QDir().mkpath(vol + "/elsewhere"));
            QVERIFY(::chmod(c(vol + "/elsewhere"), 01777) == 0);
            QVERIFY(QFile::link(vol + "/elsewhere", vol + "/.Trash"));
        }
        if (volume == "ro")
            QVERIFY(::mount(nullptr, c(vol), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0);
        if (volume == "blocked")
            touch(vol + QStringLiteral("/.Trash-%1").arg(::geteuid()));
        Trash bin(root.filePath("data/Trash"));
        const TrashResult r = bin.moveToTrash(file);
        if (trash == "none") {
            QCOMPARE(int(r.outcome), int(TrashOutcome::NoTrash));
            QVERIFY(QFile::exists(file));
            ::umount2(c(vol), MNT_DETACH);
            return;
        }
        QCOMPARE(int(r.outcome), int(TrashOutcome::Trashed));
        const QString dir = root.filePath(trash.contains('%') ? trash.arg(::geteuid()) : trash);
        QCOMPARE(r.item.files, dir + "/files/50% ä.jpg");
        QCOMPARE(r.item.info, dir + "/info/50% ä.jpg.trashinfo");
        QVERIFY(!QFile::exists(file));
        QCOMPARE(readAll(r.item.files), QByteArray("picture"));
        // A valid .trashinfo: the path escaped, relative to the volume's top on a volume.
        const QByteArray info = readAll(r.item.info);
        const QString top = volume == "home" ? QString() : vol;
        QCOMPARE(OriginalFromTrashInfo(info, top), file);
        QVERIFY(info.contains(volume == "home" ? "Path=" + QUrl::toPercentEncoding(c(file), "/")
                                               : QByteArray("Path=sub%20dir/50%25%20%C3%A4.jpg")));
        QVERIFY(QRegularExpression("\\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\n$")
                    .match(QString::fromLatin1(info))
                    .hasMatch());
        QCOMPARE(QFileInfo(dir).permissions() & 0x0077, QFileDevice::Permissions());
        // A second file of that name gets a name of its own in the trash.
        writeAll(file, "second");
        const TrashResult again = bin.moveToTrash(file);
        QCOMPARE(again.item.files, dir + "/files/50% ä.2.jpg");
        QCOMPARE(RestoreFromTrash(r.item, file), 0);
        QCOMPARE(readAll(file), QByteArray("picture"));
        QVERIFY(!QFile::exists(r.item.info));
        QCOMPARE(RestoreFromTrash(again.item, file), EEXIST); // nothing is replaced
        // The desktop's own implementation puts its files in the same places.
        if (volume == "home" && !QStandardPaths::findExecutable("gio").isEmpty()) {
            QProcess gio;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_DATA_HOME", root.filePath("data"));
            gio.setProcessEnvironment(env);
            gio.start("gio", {"trash", file});
            QVERIFY(gio.waitForFinished(30000));
            QCOMPARE(gio.exitCode(), 0);
            QCOMPARE(entries(dir + "/files").size(), 2);
            QCOMPARE(entries(dir + "/info").size(), 2);
            for (const QString &name : entries(dir + "/info"))
                QCOMPARE(OriginalFromTrashInfo(readAll(dir + "/info/" + name), {}), file);
        }
        if (volume != "home")
            ::umount2(c(vol), MNT_DETACH);
    }

    // A cross-device move cut short at three points; each file ends whole at one end and
    // no temporary stays. The command's finished steps come back as undo history.
    void journalRecovery_data() {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QStringList>("after"); // "from", "to": where the content is
        QTest::newRow("while copying") << "copying" << QStringList{"from"};
        QTest::newRow("copy in place, source not yet removed") << "placed" << QStringList{"to"};
        QTest::newRow("copy in place but not whole") << "torn" << QStringList{"from"};
        QTest::newRow("source removed, not yet recorded") << "removed" << QStringList{"to"};
    }
    void journalRecovery() {
        QFETCH(QString, point);
        QFETCH(QStringList, after);
        QTemporaryDir root;
        const QString a = root.filePath("a"), b = root.filePath("b");
        if (g_noMounts.isEmpty())
            QVERIFY(mountVolume(b));
        else
            QVERIFY(QDir().mkpath(b));
        QVERIFY(QDir().mkpath(a));
        const QByteArray data(300000, 'm');
        const QString journal = root.filePath("Glimmerby.journal");
        {
            FileJournal j(journal);
            QVERIFY(j.start({}));
            const qint64 first = j.begin("Move");
            writeAll(a + "/done.jpg", "moved before");
            FileStep step;
            step.kind = StepKind::Move;
            step.from = a + "/earlier.jpg";
            step.to = b + "/done.jpg";
            step.made = FileIdentity::of(b + "/done.jpg");
            j.done(first, step);
            j.end(first);
            const qint64 id = j.begin("Move");
            j.planned(id, StepKind::Move, a + "/big.jpg", b + "/big.jpg");
        } // killed here: the command never ends
        writeAll(a + "/big.jpg", data);
        QString temporary;
        const int fd = CreateTemporaryFile(b, "big.jpg", temporary);
        QVERIFY(fd >= 0);
        QCOMPARE(WriteAll(fd, reinterpret_cast<const unsigned char *>(data.constData()),
                          point == "torn" ? 1000 : data.size()),
                 0);
        const struct timespec times[2] = {{1200000000, 5}, {1200000000, 5}};
        ::futimens(fd, times);
        ::close(fd);
        ::utimensat(AT_FDCWD, c(a + "/big.jpg"), times, 0);
        if (point != "copying")
            QVERIFY(::rename(c(temporary), c(b + "/big.jpg")) == 0);
        if (point == "removed")
            QVERIFY(QFile::remove(a + "/big.jpg"));

        JournalContents read = FileJournal::read(journal);
        QCOMPARE(int(read.finished.size()), 1);
        QCOMPARE(int(read.unfinished.size()), 1);
        QCOMPARE(int(read.pending.size()), 1);
        std::vector<FileStep> recovered;
        const RecoveryReport report = RecoverPendingSteps(read.pending, recovered);
        QCOMPARE(report.temporariesRemoved, point == "copying" ? 1 : 0);
        QCOMPARE(report.sourcesRemoved, point == "placed" ? 1 : 0);
        QCOMPARE(report.copiesRemoved, point == "torn" ? 1 : 0);
        QCOMPARE(int(recovered.size()), after == QStringList{"to"} ? 1 : 0);
        QStringList where;
        if (QFile::exists(a + "/big.jpg"))
            where << "from";
        if (QFile::exists(b + "/big.jpg"))
            where << "to";
        QCOMPARE(where, after);
        QCOMPARE(readAll((after[0] == "from" ? a : b) + "/big.jpg"), data);
        QCOMPARE(entries(b).filter(".glimmerby-"), QStringList());
        // The journal is rewritten with the history alone; a command undone drops out.
        FileJournal again(journal);
        std::deque<FileCommand> history(read.finished.begin(), read.finished.end());
        QVERIFY(again.start(history));
        again.undone(history.front().id);
        QCOMPARE(int(FileJournal::read(journal).finished.size()), 0);
        if (g_noMounts.isEmpty())
            ::umount2(c(b), MNT_DETACH);
    }

    // Temporaries of our own left by a killed process go when their directory is listed,
    // unless another Glimmerby may still be writing them.
    void staleTemporaries() {
        QTemporaryDir dir;
        const QString d = dir.path() + "/";
        for (const char *name :
             {".a.jpg.glimmerby-Ab3dE9", ".glimmerby-zzzzzz", ".a.jpg.glimmerby-x",
              "a.jpg.glimmerby-Ab3dE9", ".b.glimmerby-Ab3dE9.jpg"})
            touch(d + name);
        QVERIFY(QDir(d).mkdir(".c.glimmerby-Ab3dE9"));
        const qint64 started = NowNs();
        QTest::qWait(20);                       // file times come from a coarser clock
        touch(d + ".new.jpg.glimmerby-Qw1234"); // being written now
        QCOMPARE(RemoveStaleTemporaries(d, started), 2);
        QCOMPARE(entries(d), QStringList({".a.jpg.glimmerby-x", ".b.glimmerby-Ab3dE9.jpg",
                                          ".c.glimmerby-Ab3dE9", ".new.jpg.glimmerby-Qw1234",
                                          "a.jpg.glimmerby-Ab3dE9"}));
        // Whether another process holds the running lock.
        const QString lock = dir.filePath("running");
        RunningLock mine(lock);
        QVERIFY(mine.alone());
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(), {"running", lock});
        QVERIFY(other.waitForReadyRead(30000));
        QVERIFY(!mine.alone());
        other.closeWriteChannel();
        QVERIFY(other.waitForFinished(30000));
        QVERIFY(mine.alone());
    }
};

// The roles this program takes as a second process:
//   lock <appDir> <lockDir>   print "locked" or "refused", hold until standard input closes
//   data-dir <appDir> <configHome>  print the data directory chosen
//   running <lockFile>        hold the running lock until standard input closes
int main(int argc, char *argv[]) {
    if (argc < 2 || argv[1][0] == '-') {
        // A mount namespace of the test's own, entered before any thread exists.
        if (::unshare(CLONE_NEWNS) != 0)
            g_noMounts = QStringLiteral("no mount namespace: ") + strerror(errno);
        else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            g_noMounts = QStringLiteral("mounts not private: ") + strerror(errno);
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "running") {
        RunningLock lock(args[2]);
        std::cout << "holding\n" << std::flush;
        std::cin.ignore(std::numeric_limits<std::streamsize>::max());
        return 0;
    }
    if (args.size() == 4 && args[1] == "lock") {
        SingleInstance instance(args[2], args[3]);
        std::cout << (instance.tryAcquire() == InstanceLock::Acquired ? "locked\n" : "refused\n")
                  << std::flush;
        std::cin.ignore(std::numeric_limits<std::streamsize>::max());
        return 0;
    }
    if (args.size() == 4 && args[1] == "data-dir") {
        std::cout << qPrintable(dataDirFor(args[2], args[3])) << std::endl;
        return 0;
    }
    TestApp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_app.moc"
