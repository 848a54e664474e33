// The settings file as the program reads and writes it: defaults, the odd values users
// and older runs leave behind, the round trip, and saves that fail half-way.
#include "app/app_state.h"
#include "app/ini_file.h"
#include "app/settings_store.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace glimmerby;

namespace {

const QString AppDir = QStringLiteral("/opt/glimmerby/");

SettingsToSave unusualValues() {
    SettingsToSave s;
    s.FormHeight = 7777;
    s.FormWidth = 8888;
    s.FormTop = -120;
    s.FormLeft = 3000;
    s.LastSaveToPath = QString::fromUtf8("/media/ünï/dest dir/");
    s.LastDirPath = QStringLiteral(" /home/lead/ and trail ");
    s.EditorPath = QStringLiteral("/usr/bin/gimp");
    s.Mute = 1;
    s.ControlsVisible = 0;
    s.Speed = 2500;
    s.FileFilter = 1;
    s.PicQuality = 85;
    s.ToolTips = QStringLiteral("False");
    s.ShowSplash = QStringLiteral("False");
    s.SplashTime = 100;
    s.CustomSize = 1024;
    return s;
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

  private slots:
    void defaultsWithoutFile();
    void startupKeys();
    void fileFilterOutOfRange_data();
    void fileFilterOutOfRange();
    void toolTipsAreCaseSensitive();
    void editorPathTrimmed();
    void sixteenBitKeysOverflow();
    void longPathCut();
    void roundTripOfAllKeys();
    void keysWrittenInOrderAsDecimalText();
    void maximizedAndMinimizedStoreDefaults();
    void unknownKeysAndSectionsSurviveSave();
    void pathWithLineBreakKeepsOldValue();
    void stateTransfer();
    void twips();

    void saveFailsOnFullDisk();
    void saveFailsWhenDirectoryVanished();
};

void TestSettingsStore::defaultsWithoutFile() {
    QTemporaryDir dir;
    const SettingsValues v = readSettings(dir.filePath("Glimmerby.ini"), AppDir);
    QCOMPARE(v.ToolTips, QString("True"));
    QCOMPARE(v.ShowSplash, QString("True"));
    QCOMPARE(v.FormHeight, 4600);
    QCOMPARE(v.FormWidth, 6500);
    QCOMPARE(v.FormTop, 10);
    QCOMPARE(v.FormLeft, 10);
    QCOMPARE(v.LastSaveToPath, AppDir);
    QCOMPARE(v.LastDirPath, AppDir);
    QCOMPARE(v.EditorPath, AppDir + "PSP.EXE");
    QCOMPARE(v.Mute, std::int16_t(0));
    QCOMPARE(v.FileFilter, 4);
    QCOMPARE(v.ControlsVisible, std::int16_t(-1));
    QCOMPARE(v.Speed, std::int16_t(1000));
    QCOMPARE(v.PicQuality, 100);
    QCOMPARE(v.CustomSize, 640);
    QVERIFY(!QFile::exists(dir.filePath("Glimmerby.ini")));
}

void TestSettingsStore::startupKeys() {
    QTemporaryDir dir;
    const QString ini = iniPathFor(dir.path() + "/");
    QCOMPARE(ini, dir.path() + "/Glimmerby.ini");
    StartupSettings s = readStartupSettings(ini);
    QCOMPARE(s.ShowSplash, QString("True"));
    QCOMPARE(s.SplashTime, 5000);
    writeAll(ini, "[UserProfile]\nShowSplash=False\nSplashTime=100\n");
    s = readStartupSettings(ini);
    QCOMPARE(s.ShowSplash, QString("False"));
    QCOMPARE(s.SplashTime, 100);
}

void TestSettingsStore::fileFilterOutOfRange_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("-1") << QByteArray("-1") << 4;
    QTest::newRow("7") << QByteArray("7") << 4;
    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("3") << QByteArray("3") << 3;
    QTest::newRow("text") << QByteArray("Music") << 0;
    QTest::newRow("huge") << QByteArray("99999999999") << 4;
}

void TestSettingsStore::fileFilterOutOfRange() {
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    writeAll(ini, "[UserProfile]\nFile Filter=" + stored + "\n");
    QCOMPARE(readSettings(ini, AppDir).FileFilter, expected);
}

void TestSettingsStore::toolTipsAreCaseSensitive() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    writeAll(ini, "[UserProfile]\nToolTips=true\nShowSplash=TRUE\n");
    const SettingsValues v = readSettings(ini, AppDir);
    QCOMPARE(v.ToolTips, QString("true"));
    QVERIFY(v.ToolTips != QLatin1String("True"));
    QVERIFY(v.ShowSplash != QLatin1String("True"));
}

void TestSettingsStore::editorPathTrimmed() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    writeAll(ini, "[UserProfile]\nPSPPath=   /usr/bin/gimp   \n");
    QCOMPARE(readSettings(ini, AppDir).EditorPath, QString("/usr/bin/gimp"));
    writeAll(ini, "[UserProfile]\nPSPPath=\"  /usr/bin/gimp  \"\n");
    QCOMPARE(readSettings(ini, AppDir).EditorPath, QString("/usr/bin/gimp"));
}

void TestSettingsStore::sixteenBitKeysOverflow() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    writeAll(ini, "[UserProfile]\nMute=70000\nSpeed=-40000\nControlsVisible=65535\n"
                  "PicQuality=70000\n");
    SettingsValues v = readSettings(ini, AppDir);
    QCOMPARE(v.Mute, std::int16_t(0));
    QCOMPARE(v.Speed, std::int16_t(1000));
    QCOMPARE(v.ControlsVisible, std::int16_t(-1));
    QCOMPARE(v.PicQuality, 70000); // a 32-bit key keeps it; the scroll bar refuses it
    writeAll(ini, "[UserProfile]\nSpeed=32767\nMute=4612.5\n");
    v = readSettings(ini, AppDir);
    QCOMPARE(v.Speed, std::int16_t(32767));
    QCOMPARE(v.Mute, std::int16_t(4612));
}

void TestSettingsStore::longPathCut() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    const QByteArray path = "/" + QByteArray(1099, 'p');
    writeAll(ini, "[UserProfile]\nLast Dir Path=" + path + "\n");
    QCOMPARE(readSettings(ini, AppDir).LastDirPath, QString::fromLatin1(path.left(1023)));
}

void TestSettingsStore::roundTripOfAllKeys() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    const SettingsToSave saved = unusualValues();
    QVERIFY(saveSettings(ini, saved));
    const SettingsValues v = readSettings(ini, AppDir);
    QCOMPARE(v.FormHeight, saved.FormHeight);
    QCOMPARE(v.FormWidth, saved.FormWidth);
    QCOMPARE(v.FormTop, saved.FormTop);
    QCOMPARE(v.FormLeft, saved.FormLeft);
    QCOMPARE(v.LastSaveToPath, saved.LastSaveToPath);
    QCOMPARE(v.LastDirPath, saved.LastDirPath); // blanks at both ends survive
    QCOMPARE(v.EditorPath, saved.EditorPath);
    QCOMPARE(v.Mute, saved.Mute);
    QCOMPARE(v.ControlsVisible, saved.ControlsVisible);
    QCOMPARE(v.Speed, saved.Speed);
    QCOMPARE(v.FileFilter, saved.FileFilter);
    QCOMPARE(v.PicQuality, saved.PicQuality);
    QCOMPARE(v.ToolTips, saved.ToolTips);
    QCOMPARE(v.ShowSplash, saved.ShowSplash);
    QCOMPARE(v.SplashTime, saved.SplashTime);
    QCOMPARE(v.CustomSize, saved.CustomSize);
    QCOMPARE(readStartupSettings(ini).SplashTime, 100);
}

void TestSettingsStore::keysWrittenInOrderAsDecimalText() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    SettingsToSave s;
    s.LastSaveToPath = "/d/";
    s.LastDirPath = "/l/";
    s.EditorPath = "/e";
    s.FileFilter = -1; // nothing selected in the filter box
    s.SplashTime = 1;
    QVERIFY(saveSettings(ini, s));
    QCOMPARE(readAll(ini), QByteArray("[UserProfile]\n"
                                      "Form Height=4600\n"
                                      "Form Width=6500\n"
                                      "Form Top=10\n"
                                      "Form Left=10\n"
                                      "Last SaveTo Path=/d/\n"
                                      "Last Dir Path=/l/\n"
                                      "PSPPath=/e\n"
                                      "Mute=0\n"
                                      "ControlsVisible=-1\n"
                                      "Speed=1000\n"
                                      "File Filter=-1\n"
                                      "PicQuality=100\n"
                                      "ToolTips=True\n"
                                      "ShowSplash=True\n"
                                      "SplashTime=1\n"
                                      "CustomSize=640\n"));
    QCOMPARE(readSettings(ini, AppDir).FileFilter, 4);
}

void TestSettingsStore::maximizedAndMinimizedStoreDefaults() {
    for (WindowShowState state : {WindowShowState::Maximized, WindowShowState::Minimized}) {
        QTemporaryDir dir;
        const QString ini = dir.filePath("Glimmerby.ini");
        SettingsToSave s = unusualValues();
        s.WindowState = state;
        QVERIFY(saveSettings(ini, s));
        const SettingsValues v = readSettings(ini, AppDir);
        QCOMPARE(v.FormHeight, 4600);
        QCOMPARE(v.FormWidth, 6500);
        QCOMPARE(v.FormTop, 10);
        QCOMPARE(v.FormLeft, 10);
        QCOMPARE(v.Speed, s.Speed);
    }
}

void TestSettingsStore::unknownKeysAndSectionsSurviveSave() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    const QByteArray before = "# written by hand\r\n"
                              "[Window]\r\n"
                              "Speed=1\r\n"
                              "[UserProfile]\r\n"
                              "Speed=5\r\n"
                              "Favourite Colour=\xDBgreen\xDB\r\n"
                              ";Mute=1\r\n"
                              "[Zzz]\r\n"
                              "tail\r\n";
    writeAll(ini, before);
    QVERIFY(saveSettings(ini, unusualValues()));
    const QByteArray after = readAll(ini);
    QVERIFY(after.startsWith("# written by hand\r\n[Window]\r\nSpeed=1\r\n[UserProfile]\r\n"
                             "Speed=2500\r\nFavourite Colour=\xDBgreen\xDB\r\n;Mute=1\r\n"));
    QVERIFY(after.endsWith("CustomSize=1024\r\n[Zzz]\r\ntail\r\n"));
    QVERIFY(!after.contains("\n\n")); // every line kept its CRLF ending
    QCOMPARE(after.count("Speed="), 2);
}

void TestSettingsStore::pathWithLineBreakKeepsOldValue() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    writeAll(ini, "[UserProfile]\nLast Dir Path=/old/\n");
    SettingsToSave s = unusualValues();
    s.LastDirPath = "/evil\n[UserProfile]\nMute=1\n";
    QVERIFY(saveSettings(ini, s));
    const SettingsValues v = readSettings(ini, AppDir);
    QCOMPARE(v.LastDirPath, QString("/old/"));
    QCOMPARE(v.Speed, s.Speed);
    QVERIFY(!readAll(ini).contains("evil"));
}

void TestSettingsStore::stateTransfer() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Glimmerby.ini");
    QVERIFY(saveSettings(ini, unusualValues()));
    AppState state;
    state.SplashTime = 1;
    applySettingsToState(readSettings(ini, AppDir), state);
    QCOMPARE(state.ToolTipsSetting, QString("False"));
    QCOMPARE(state.EditorPath, QString("/usr/bin/gimp"));
    QCOMPARE(state.MuteState, std::int16_t(1));
    QCOMPARE(state.ControlsVisible, std::int16_t(0));
    QCOMPARE(state.SlideSpeed, std::int16_t(2500));
    QCOMPARE(state.JpegQuality, 85);
    QCOMPARE(state.CustomSize, 1024);
    QCOMPARE(state.SplashTime, 1); // belongs to the run, not to the file
    const SettingsToSave back = settingsToSaveFrom(state);
    QCOMPARE(back.SplashTime, 1);
    QCOMPARE(back.Speed, std::int16_t(2500));
    QCOMPARE(back.ShowSplash, QString("False"));
    QCOMPARE(back.CustomSize, 1024);
}

void TestSettingsStore::twips() {
    QCOMPARE(twipsToPixels(15, 96), 1);
    QCOMPARE(twipsToPixels(1440, 96), 96);
    QCOMPARE(twipsToPixels(6500, 96), 433);
    QCOMPARE(twipsToPixels(6500, 192), 867);
    QCOMPARE(twipsToPixels(-150, 96), -10);
    QCOMPARE(pixelsToTwips(433, 96), 6495);
    QCOMPARE(pixelsToTwips(1, 120), 12);
    QCOMPARE(twipsToPixels(1440, 0), 96); // no usable DPI: 96
    QCOMPARE(pixelsToTwips(std::numeric_limits<std::int32_t>::max(), 96),
             std::numeric_limits<std::int32_t>::max());
}

void TestSettingsStore::saveFailsOnFullDisk() {
    // A 16 KiB file system in a mount namespace of its own, with a settings file that
    // leaves too little room for a second copy: the new file cannot be written whole.
    if (QStandardPaths::findExecutable("unshare").isEmpty())
        QSKIP("unshare is not available");
    QTemporaryDir dir;
    const QString mountPoint = dir.path();
    const QString script =
        QStringLiteral("mount -t tmpfs -o size=16k glimmerby-test \"$1\" || exit 77; "
                       "printf '[UserProfile]\\nSpeed=5\\n[Big]\\nk=' > \"$1/Glimmerby.ini\"; "
                       "head -c 9000 /dev/zero | tr '\\0' x >> \"$1/Glimmerby.ini\"; "
                       "exec \"$2\" save-settings \"$1/Glimmerby.ini\"");
    QProcess p;
    p.start("unshare", {"-m", "--propagation", "private", "sh", "-c", script, "sh", mountPoint,
                        GLIMMERBY_APP_TEST_HELPER});
    QVERIFY(p.waitForFinished(30000));
    if (p.exitCode() == 77 || p.exitCode() == 1)
        QSKIP("no permission to mount a file system here");
    QCOMPARE(p.exitCode(), 0);
}

void TestSettingsStore::saveFailsWhenDirectoryVanished() {
    QTemporaryDir dir;
    const QString sub = dir.filePath("app");
    QVERIFY(QDir().mkpath(sub));
    const QString ini = sub + "/Glimmerby.ini";
    QVERIFY(saveSettings(ini, unusualValues()));
    QVERIFY(QDir(sub).removeRecursively());
    QVERIFY(!saveSettings(ini, unusualValues()));
    QVERIFY(!QFile::exists(sub));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
