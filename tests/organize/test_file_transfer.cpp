// Copying, moving and renaming a user's file: nothing lost, nothing written through a
// link, never a file onto itself. The faults are made for real as root in a mount
// namespace of the test's own (a small full tmpfs, a second tmpfs for a move across file
// systems, a read-only bind mount); without that permission those cases are skipped.

#include "organize/file_transfer.h"
#include "support/test_files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace glimmerby;

namespace {

QString g_noMounts; // why the mount cases cannot run; empty when they can

void enterPrivateMounts() {
    if (::unshare(CLONE_NEWNS) != 0) {
        g_noMounts =
            QStringLiteral("no mount namespace: ") + QString::fromLocal8Bit(strerror(errno));
        return;
    }
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        g_noMounts =
            QStringLiteral("mounts not private: ") + QString::fromLocal8Bit(strerror(errno));
}

bool mountTmpfs(const QString &dir, const char *size) {
    return ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, size) == 0;
}

QByteArray content(int bytes, char seed) {
    QByteArray out(bytes, Qt::Uninitialized);
    for (int i = 0; i < bytes; ++i)
        out[i] = char(seed + i * 7);
    return out;
}

QByteArray sum(const QString &path) {
    return QCryptographicHash::hash(readAll(path), QCryptographicHash::Md5).toHex();
}

// Every file under root with its checksum; hidden entries (temporaries) show up too.
QMap<QString, QByteArray> sums(const QString &root) {
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(QDir(root).relativeFilePath(path), sum(path));
    }
    return out;
}

void setTime(const QString &path, qint64 seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

struct stat statOf(const QString &path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TestFileTransfer : public QObject {
    Q_OBJECT
  private slots:
    void copyAndMove();
    void oneFile_data();
    void oneFile();
    void destinationLink();
    void renameCase();
    void faults_data();
    void faults();

  private:
    QTemporaryDir m_dir;
};

void TestFileTransfer::copyAndMove() {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.jpg"), b = dir.filePath("b.jpg"), c = dir.filePath("c.jpg");
    writeAll(a, content(5000, 'a'));
    QVERIFY(::chmod(QFile::encodeName(a).constData(), 0750) == 0);
    setTime(a, 1000000000);
    const mode_t mask = ::umask(022);

    // A new copy: the content, the source's time, its mode less the umask.
    QCOMPARE(CopyFileTo(a, b, Clash::Keep).outcome, Outcome::Done);
    QCOMPARE(sum(b), sum(a));
    QCOMPARE(statOf(b).st_mtim.tv_sec, 1000000000);
    QCOMPARE(statOf(b).st_mode & 07777, mode_t(0750)); // less the umask 022

    // Never over a taken name without leave; with leave, the old file's mode stays.
    writeAll(c, "old");
    QVERIFY(::chmod(QFile::encodeName(c).constData(), 0600) == 0);
    QCOMPARE(CopyFileTo(a, c, Clash::Keep).outcome, Outcome::NameTaken);
    QCOMPARE(readAll(c), QByteArray("old"));
    QCOMPARE(CopyFileTo(a, c, Clash::Replace).outcome, Outcome::Done);
    QCOMPARE(sum(c), sum(a));
    QCOMPARE(statOf(c).st_mode & 07777, mode_t(0600));

    // A move within the file system keeps the inode; never over a taken name.
    const ino_t inode = statOf(b).st_ino;
    QCOMPARE(MoveFileTo(b, c, Clash::Keep).outcome, Outcome::NameTaken);
    QVERIFY(QFile::exists(b));
    const QString d = dir.filePath("d.jpg");
    QCOMPARE(MoveFileTo(b, d, Clash::Keep).outcome, Outcome::Done);
    QCOMPARE(statOf(d).st_ino, inode);
    QVERIFY(!QFile::exists(b));

    // A vanished source: nothing happens.
    const TransferResult gone = CopyFileTo(dir.filePath("none.jpg"), b, Clash::Keep);
    QCOMPARE(gone.outcome, Outcome::Failed);
    QCOMPARE(gone.error, ENOENT);
    QCOMPARE(MoveFileTo(dir.filePath("none.jpg"), b, Clash::Replace).outcome, Outcome::Failed);
    ::umask(mask);
    QCOMPARE(sums(dir.path()).keys(), QStringList({"a.jpg", "c.jpg", "d.jpg"}));
}

void TestFileTransfer::oneFile_data() {
    QTest::addColumn<QString>("how"); // how the second path reaches the first file
    QTest::newRow("same path") << "same";
    QTest::newRow("hard link") << "hardlink";
    QTest::newRow("symlinked directory") << "dirlink";
}

void TestFileTransfer::oneFile() {
    QFETCH(QString, how);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("real"));
    const QString file = dir.filePath("real/A.JPG");
    writeAll(file, content(3000, 'x'));
    const QByteArray before = sum(file);
    QString other = file;
    if (how == "hardlink") {
        other = dir.filePath("real/B.JPG");
        QVERIFY(::link(QFile::encodeName(file).constData(), QFile::encodeName(other).constData()) ==
                0);
    } else if (how == "dirlink") {
        QVERIFY(QFile::link(dir.filePath("real"), dir.filePath("alias")));
        other = dir.filePath("alias/A.JPG");
    }
    for (const Clash clash : {Clash::Keep, Clash::Replace}) {
        QCOMPARE(CopyFileTo(file, other, clash).outcome, Outcome::SameFile);
        QCOMPARE(MoveFileTo(file, other, clash).outcome, Outcome::SameFile);
        QCOMPARE(sum(file), before);
        QCOMPARE(sum(other), before);
    }
    QVERIFY(SameFile(file, other));
}

void TestFileTransfer::destinationLink() {
    QTemporaryDir dir;
    const QString source = dir.filePath("new.jpg"), target = dir.filePath("target.jpg"),
                  link = dir.filePath("link.jpg");
    writeAll(source, "new content");
    writeAll(target, "the link's target");
    QVERIFY(QFile::link(target, link));
    QCOMPARE(CopyFileTo(source, link, Clash::Keep).outcome, Outcome::NameTaken);
    QCOMPARE(CopyFileTo(source, link, Clash::Replace).outcome, Outcome::Done);
    QVERIFY(!QFileInfo(link).isSymLink()); // replaced, not written through
    QCOMPARE(readAll(link), QByteArray("new content"));
    QCOMPARE(readAll(target), QByteArray("the link's target"));
}

void TestFileTransfer::renameCase() {
    QTemporaryDir dir;
    writeAll(dir.filePath("photo.jpg"), "p");
    writeAll(dir.filePath("other.jpg"), "o");
    QCOMPARE(RenameFileTo(dir.filePath("photo.jpg"), dir.filePath("Photo.JPG")).outcome,
             Outcome::Done);
    QCOMPARE(RenameFileTo(dir.filePath("Photo.JPG"), dir.filePath("other.jpg")).outcome,
             Outcome::NameTaken);
    QCOMPARE(sums(dir.path()).keys(), QStringList({"Photo.JPG", "other.jpg"}));
    QCOMPARE(readAll(dir.filePath("Photo.JPG")), QByteArray("p"));
}

void TestFileTransfer::faults_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("outcome");     // Outcome
    QTest::addColumn<bool>("sourceKept"); // for a move
    QTest::newRow("copy to a full disk") << "copy-full" << int(Outcome::Failed) << true;
    QTest::newRow("overwrite on a full disk") << "overwrite-full" << int(Outcome::Failed) << true;
    QTest::newRow("move to a full disk") << "move-full" << int(Outcome::Failed) << true;
    QTest::newRow("copy to a read-only disk") << "copy-ro" << int(Outcome::Failed) << true;
    QTest::newRow("move off a read-only disk") << "move-from-ro" << int(Outcome::Done) << true;
    QTest::newRow("move across file systems") << "move-xdev" << int(Outcome::Done) << false;
    QTest::newRow("grouped move across") << "move-xdev-group" << int(Outcome::Pending) << false;
    QTest::newRow("255-byte name across") << "move-xdev-long" << int(Outcome::Done) << false;
}

void TestFileTransfer::faults() {
    QFETCH(QString, fault);
    QFETCH(int, outcome);
    QFETCH(bool, sourceKept);
    if (!g_noMounts.isEmpty())
        QSKIP(qPrintable(g_noMounts));
    QTemporaryDir root;
    const QString disk = root.filePath("disk"), small = root.filePath("small"),
                  ro = root.filePath("ro");
    for (const QString &d : {disk, small, ro})
        QVERIFY(QDir().mkpath(d));
    QVERIFY(mountTmpfs(disk, "size=8m"));
    QVERIFY(mountTmpfs(small, "size=256k"));

    const bool longName = fault.endsWith("-long");
    const QString name = longName ? QString(251, u'n') + ".jpg" : QStringLiteral("a.jpg");
    const QString source = disk + "/" + name;
    writeAll(source, content(fault.contains("full") ? 400000 : 100000, 's'));
    QVERIFY(::chmod(QFile::encodeName(source).constData(), 0604) == 0);
    setTime(source, 1200000000);
    const QByteArray sourceSum = sum(source);
    QString destination = small + "/" + name;
    QByteArray oldSum;
    if (fault == "overwrite-full") {
        writeAll(destination, content(100000, 'o'));
        oldSum = sum(destination);
    }
    if (fault.endsWith("-ro") || fault == "move-from-ro") {
        QVERIFY(::mount(QFile::encodeName(fault == "copy-ro" ? small : disk).constData(),
                        QFile::encodeName(ro).constData(), nullptr, MS_BIND, nullptr) == 0);
        QVERIFY(::mount(nullptr, QFile::encodeName(ro).constData(), nullptr,
                        MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0);
    }
    QString from = source;
    if (fault == "copy-ro")
        destination = ro + "/" + name;
    if (fault == "move-from-ro")
        from = ro + "/" + name;

    TransferResult r;
    DurableMoves group;
    if (fault.startsWith("copy"))
        r = CopyFileTo(from, destination, Clash::Keep);
    else if (fault == "overwrite-full")
        r = CopyFileTo(from, destination, Clash::Replace);
    else
        r = MoveFileTo(from, destination, Clash::Keep, fault.contains("group") ? &group : nullptr);
    QCOMPARE(int(r.outcome), outcome);
    if (r.outcome == Outcome::Pending) {
        QVERIFY(QFile::exists(source)); // not before the copy is on disk
        const auto finished = group.flush();
        QCOMPARE(finished.size(), std::size_t(1));
        QCOMPARE(finished[0].error, 0);
    }
    if (fault.startsWith("move") && r.outcome != Outcome::Failed)
        QCOMPARE(r.sourceKept, sourceKept);

    // Checksums of everything there is, and no temporary anywhere.
    const bool written = r.outcome == Outcome::Done || r.outcome == Outcome::Pending;
    QMap<QString, QByteArray> want;
    if (sourceKept || fault.startsWith("copy") || fault == "overwrite-full")
        want.insert("disk/" + name, sourceSum);
    if (written)
        want.insert("small/" + name, sourceSum);
    if (!oldSum.isEmpty())
        want.insert("small/" + name, oldSum);
    if (fault == "move-from-ro")
        want.insert("ro/" + name, sourceSum);
    if (fault == "copy-ro")
        want.remove("small/" + name);
    QCOMPARE(sums(root.path()), want);
    if (written) {
        const struct stat st = statOf(destination);
        QCOMPARE(st.st_mtim.tv_sec, 1200000000);
        QCOMPARE(st.st_mode & 07777, mode_t(fault.startsWith("move") ? 0604 : 0604 & ~022));
    }
    ::umount2(QFile::encodeName(ro).constData(), MNT_DETACH);
    ::umount2(QFile::encodeName(small).constData(), MNT_DETACH);
    ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH);
}

int main(int argc, char **argv) {
    enterPrivateMounts(); // before any thread exists
    QCoreApplication app(argc, argv);
    TestFileTransfer test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_file_transfer.moc"
