// Toolbar clicks, the file menu's "ReName File" and Ctrl+C / Ctrl+V on the real program,
// started as a process from a program directory of its own over a directory of a few sounds.

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
    for (int i = 0; i < 150 && !done(); ++i)
        QTest::qWait(100);
    return done();
}

// The program in a fresh directory of its own, showing `source`.
struct Program {
    QTemporaryDir dir;
    QProcess process;
    QString window;

    ~Program() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool start(const QString &source) {
        const QString exe = dir.filePath("glimmerby");
        if (!QFile::copy(GLIMMERBY_EXECUTABLE, exe))
            return false;
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
        glimmerby::writeAll(dir.filePath("Glimmerby.ini"),
                            "[UserProfile]\nShowSplash=False\nForm Height=6000\nForm Width=9000\n"
                            "Form Top=0\nForm Left=0\nMute=0\nSpeed=1000\nLast Dir Path=" +
                                QFile::encodeName(source) + "/\n");
        process.start(exe, {});
        if (!process.waitForStarted(10000))
            return false;
        const bool shown = waitFor([&] {
            window =
                xdotool({"search", "--onlyvisible", "--pid", QString::number(process.processId())})
                    .section('\n', 0, 0);
            return !window.isEmpty();
        });
        QTest::qWait(1500); // settled
        return shown;
    }
    void click(int x, int y, int button = 1) {
        xdotool({"mousemove", "--window", window, QString::number(x), QString::number(y)});
        xdotool({"click", QString::number(button)});
        QTest::qWait(700);
    }
    QString title() { return xdotool({"getwindowname", window}); }
    int fileRow() {
        // The file list starts below the directory list, which takes 30% of the height.
        const QString geometry = xdotool({"getwindowgeometry", "--shell", window});
        const int height = geometry.section("HEIGHT=", 1).section('\n', 0, 0).toInt();
        return 45 + int(0.3 * (height - 78) + 0.5) + 3 + 8;
    }
    bool stop() {
        ::kill(process.processId(), SIGTERM);
        return process.waitForFinished(15000);
    }
};

QString sample(const QString &name) {
    return QStringLiteral(GLIMMERBY_SAMPLES_DIR "/") + name;
}

} // namespace

class TestToolbarProcess : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("xdotool is not installed");
        QVERIFY(m_source.isValid());
        for (const char *name : {"a.wav", "b.wav", "c.wav"})
            QVERIFY(QFile::copy(sample("half.wav"), m_source.filePath(name)));
    }
    void cleanup() {
        for (const QString &name : QDir(m_source.path()).entryList(QDir::Files))
            QFile::remove(m_source.filePath(name));
    }

    // The mute button is the toolbar's first; the setting outlives the program.
    void muteButton() {
        Program program;
        QVERIFY(program.start(m_source.path()));
        program.click(12, 12);
        QVERIFY(program.stop());
        QVERIFY(glimmerby::readAll(program.dir.filePath("Glimmerby.ini")).contains("Mute=1"));
    }

    // The slide show steps through a list of pictures by itself: the caption follows the file.
    void slideShowButton() {
        QTemporaryDir pictures;
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
            QVERIFY(QFile::copy(sample("grey.jpg"), pictures.filePath(name)));
        Program program;
        QVERIFY(program.start(pictures.path()));
        program.click(30, program.fileRow()); // the first picture
        QTRY_VERIFY_WITH_TIMEOUT(program.title().endsWith("a.jpg", Qt::CaseInsensitive), 15000);
        program.click(SlideShowX, 12);
        QTRY_VERIFY_WITH_TIMEOUT(program.title().endsWith("b.jpg", Qt::CaseInsensitive), 30000);
        QVERIFY(program.stop());
    }

    // File menu → "ReName File", the new name typed into the box.
    void renameFromMenu() {
        Program program;
        QVERIFY(program.start(m_source.path()));
        program.click(30, program.fileRow());
        program.click(30, program.fileRow(), 3);
        for (const char *key : {"Up", "Up", "Return"}) { // "Cancel" is last, the entry above it
            xdotool({"key", key});
            QTest::qWait(300);
        }
        QString box;
        QVERIFY(waitFor([&] {
            box = xdotool({"search", "--onlyvisible", "--name", "Rename File"}).section('\n', 0, 0);
            return !box.isEmpty();
        }));
        QTest::qWait(700);
        xdotool({"windowfocus", box});
        xdotool({"key", "--window", box, "ctrl+a"});
        xdotool({"type", "--window", box, "renamed"});
        xdotool({"key", "--window", box, "Return"});
        QVERIFY(waitFor([&] { return !QFile::exists(m_source.filePath("a.wav")); }));
        QVERIFY(QFile::exists(m_source.filePath("renamed.wav")));
        QCOMPARE(glimmerby::readAll(m_source.filePath("renamed.wav")),
                 glimmerby::readAll(sample("half.wav")));
        QVERIFY(program.stop());
    }

    // Ctrl+C on a file, Ctrl+V, then the other directory named in the box that asks where.
    void copyAndPasteKeys() {
        QTemporaryDir target;
        Program program;
        QVERIFY(program.start(m_source.path()));
        program.click(30, program.fileRow());
        xdotool({"key", "ctrl+c"});
        QTest::qWait(500);
        xdotool({"key", "ctrl+v"});
        QString box;
        QVERIFY(waitFor([&] {
            const QStringList windows = xdotool({"search", "--onlyvisible", "--pid",
                                                 QString::number(program.process.processId())})
                                            .split('\n');
            for (const QString &w : windows)
                box = w != program.window ? w : box;
            return !box.isEmpty();
        }));
        QTest::qWait(700);
        xdotool({"windowfocus", box});
        xdotool({"key", "--window", box, "ctrl+a"});
        xdotool({"type", "--window", box, target.filePath("a")});
        xdotool({"key", "--window", box, "Return"});
        QVERIFY(waitFor([&] { return QDir(target.path()).entryList(QDir::Files).size() == 1; }));
        const QString copied = QDir(target.path()).entryList(QDir::Files).value(0);
        QCOMPARE(copied.toLower(), QStringLiteral("a.wav"));
        QCOMPARE(glimmerby::readAll(target.filePath(copied)),
                 glimmerby::readAll(sample("half.wav")));
        QVERIFY(QFile::exists(m_source.filePath("a.wav")));
        QVERIFY(program.stop());
    }

  private:
    static constexpr int SlideShowX = 64;
    QTemporaryDir m_source;
};

QTEST_GUILESS_MAIN(TestToolbarProcess)
#include "test_toolbar_process.moc"
