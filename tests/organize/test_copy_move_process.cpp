// The copy and move menu entries on the real program, started as a process from a
// program directory of its own: a right-click on the file list, then "Copy File(s) To..."
// → the destination, then "Move File(s) To" → the destination, chosen from the keyboard.

#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QString xdotool(const QStringList &arguments) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    p.waitForFinished(20000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

bool waitFor(const std::function<bool()> &done) {
    for (int i = 0; i < 100 && !done(); ++i)
        QTest::qWait(100);
    return done();
}

} // namespace

class TestCopyMoveProcess : public QObject {
    Q_OBJECT
  private slots:
    void menuEntries() {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("xdotool is not installed");
        QTemporaryDir program, source, target;
        const QString exe = program.filePath("glimmerby");
        QVERIFY(QFile::copy(GLIMMERBY_EXECUTABLE, exe));
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
        glimmerby::writeAll(program.filePath("Glimmerby.ini"),
                            "[UserProfile]\nShowSplash=False\nForm Height=6000\nForm Width=9000\n"
                            "Form Top=0\nForm Left=0\nLast Dir Path=" +
                                QFile::encodeName(source.path()) +
                                "/\nLast SaveTo Path=" + QFile::encodeName(target.path()) + "/\n");
        glimmerby::writeAll(source.filePath("song.mp3"), "not really a song");

        QProcess p;
        p.start(exe, {});
        QVERIFY(p.waitForStarted(10000));
        QString window;
        QVERIFY(waitFor([&] {
            window = xdotool({"search", "--onlyvisible", "--pid", QString::number(p.processId())})
                         .section('\n', 0, 0);
            return !window.isEmpty();
        }));
        QTest::qWait(1500); // settled
        // The file list starts below the directory list, which takes 30% of the height.
        const QString geometry = xdotool({"getwindowgeometry", "--shell", window});
        const int height = geometry.section("HEIGHT=", 1).section('\n', 0, 0).toInt();
        const int fileRow = 45 + int(0.3 * (height - 78) + 0.5) + 3 + 8;

        auto menu = [&](const QStringList &keys) {
            xdotool({"mousemove", "--window", window, "30", QString::number(fileRow)});
            xdotool({"click", "1"}); // chooses the file
            QTest::qWait(700);
            xdotool({"click", "3"});
            QTest::qWait(700);
            for (const QString &key : keys) {
                xdotool({"key", key});
                QTest::qWait(300);
            }
        };
        // Copy: the first entry of the menu that can be chosen, its first item.
        menu({"Down", "Right", "Return"});
        QVERIFY(waitFor([&] { return QFile::exists(target.filePath("song.MP3")); }));
        QVERIFY(QFile::exists(source.filePath("song.mp3")));
        // Move: the next entry.
        QVERIFY(QFile::remove(target.filePath("song.MP3")));
        menu({"Down", "Down", "Right", "Return"});
        QVERIFY(waitFor([&] { return !QFile::exists(source.filePath("song.mp3")); }));
        QCOMPARE(glimmerby::readAll(target.filePath("song.MP3")), QByteArray("not really a song"));

        ::kill(p.processId(), SIGTERM);
        QVERIFY(p.waitForFinished(15000));
    }
};

QTEST_GUILESS_MAIN(TestCopyMoveProcess)
#include "test_copy_move_process.moc"
