// The shared file operations: the mode and owner a written file ends with, and the settings
// writer that goes through them.

#include "app/ini_file.h"
#include "organize/file_ops.h"
#include "support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace glimmerby;

namespace {

struct stat statOf(const QString &path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

// Sets the umask for the lifetime of the object.
class UmaskScope {
  public:
    explicit UmaskScope(mode_t mask) : m_old(::umask(mask)) {}
    ~UmaskScope() { ::umask(m_old); }

  private:
    mode_t m_old;
};

bool writeThrough(const QString &writer, const QString &path) {
    if (writer == "ini")
        return WriteProfileString(path, "s", "k", "v");
    return ReplaceFileContents(path, QByteArray("content")) == 0;
}

QStringList entries(const QString &dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

} // namespace

class TestFileOps : public QObject {
    Q_OBJECT

  private slots:
    void modeOfWrittenFile_data() {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("oldMode"); // -1: no file yet
        QTest::addColumn<int>("expected");
        for (const QString writer : {"ini", "replace"}) {
            const QByteArray w = writer.toLatin1();
            QTest::newRow(w + " new, umask 022") << writer << 022 << -1 << 0644;
            QTest::newRow(w + " new, umask 077") << writer << 077 << -1 << 0600;
            QTest::newRow(w + " new, umask 002") << writer << 002 << -1 << 0664;
            QTest::newRow(w + " replaced 0640") << writer << 077 << 0640 << 0640;
            QTest::newRow(w + " replaced 0666") << writer << 022 << 0666 << 0666;
        }
    }
    void modeOfWrittenFile() {
        QFETCH(QString, writer);
        QFETCH(int, mask);
        QFETCH(int, oldMode);
        QFETCH(int, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("file.ini");
        if (oldMode >= 0) {
            writeAll(path, "[s]\nk=old\n");
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(oldMode)), 0);
        }
        {
            const UmaskScope scope{mode_t(mask)};
            QCOMPARE(NewFileMode(), mode_t(0666 & ~mask));
            QVERIFY(writeThrough(writer, path));
        }
        QCOMPARE(int(statOf(path).st_mode & 07777), expected);
        QCOMPARE(entries(dir.path()), QStringList{"file.ini"});
    }

    void replacedFileKeepsOwner_data() {
        QTest::addColumn<QString>("writer");
        QTest::newRow("ini") << QString("ini");
        QTest::newRow("replace") << QString("replace");
    }
    void replacedFileKeepsOwner() {
        QFETCH(QString, writer);
        if (::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        QTemporaryDir dir;
        const QString path = dir.filePath("file.ini");
        writeAll(path, "[s]\nk=old\n");
        QCOMPARE(::chown(QFile::encodeName(path).constData(), 4321, 8765), 0);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0664), 0);
        QVERIFY(writeThrough(writer, path));
        const struct stat info = statOf(path);
        QCOMPARE(int(info.st_uid), 4321);
        QCOMPARE(int(info.st_gid), 8765);
        QCOMPARE(int(info.st_mode & 07777), 0664);
    }

    void settingsLinkChainReplacesFinalTarget() {
        // ini -> sub/mid -> ../real: both links stay links, the real file gets the value.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        writeAll(dir.filePath("real.ini"), "[s]\nk=old\n");
        QVERIFY(QFile::link("../real.ini", dir.filePath("sub/mid.ini")));
        QVERIFY(QFile::link("sub/mid.ini", dir.filePath("Glimmerby.ini")));
        QVERIFY(WriteProfileString(dir.filePath("Glimmerby.ini"), "s", "k", "new"));
        QVERIFY(QFileInfo(dir.filePath("Glimmerby.ini")).isSymLink());
        QVERIFY(QFileInfo(dir.filePath("sub/mid.ini")).isSymLink());
        QCOMPARE(readAll(dir.filePath("real.ini")), QByteArray("[s]\nk=new\n"));
        QCOMPARE(entries(dir.path()), (QStringList{"Glimmerby.ini", "real.ini", "sub"}));
        // A loop is refused and nothing is written.
        QVERIFY(QFile::link("loop2", dir.filePath("loop1")));
        QVERIFY(QFile::link("loop1", dir.filePath("loop2")));
        QVERIFY(!WriteProfileString(dir.filePath("loop1"), "s", "k", "x"));
        QCOMPARE(entries(dir.path()).size(), 5);
    }

    void ownTemporaryNames() {
        QTemporaryDir dir;
        QString temp;
        const int fd = CreateTemporaryFile(dir.path(), "Glimmerby.ini", temp);
        QVERIFY(fd >= 0);
        ::close(fd);
        QVERIFY(IsOwnTemporaryName(QFileInfo(temp).fileName()));
        QVERIFY(QFileInfo(temp).fileName().startsWith(".Glimmerby.ini."));
        for (const char *other : {"Glimmerby.ini", ".Glimmerby.ini.swp", ".hidden",
                                  ".Glimmerby.ini.glimmerby-ab", "x.glimmerby-abcdef"})
            QVERIFY2(!IsOwnTemporaryName(other), other);
    }
};

QTEST_GUILESS_MAIN(TestFileOps)
#include "test_file_ops.moc"
