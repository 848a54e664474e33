#include "app/file_journal.h"

#include "app/file_ops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace glimmerby {

namespace {

const QByteArray Header = "GlimmerbyJournal 1\n";

QByteArray field(const QString &text) {
    return QUrl::toPercentEncoding(QFile::encodeName(text), "/");
}
QString text(const QByteArray &f) {
    return QFile::decodeName(QByteArray::fromPercentEncoding(f));
}
QByteArray number(qint64 n) {
    return QByteArray::number(n);
}

QByteArray kindName(StepKind kind) {
    switch (kind) {
    case StepKind::Copy:
        return "copy";
    case StepKind::Move:
        return "move";
    case StepKind::Trash:
        return "trash";
    case StepKind::MakeDir:
        return "mkdir";
    }
    return "copy";
}

bool kindFrom(const QByteArray &name, StepKind &kind) {
    for (StepKind k : {StepKind::Copy, StepKind::Move, StepKind::Trash, StepKind::MakeDir}) {
        if (kindName(k) == name) {
            kind = k;
            return true;
        }
    }
    return false;
}

QByteArray doneLine(qint64 id, const FileStep &s) {
    QByteArrayList f{"D",
                     number(id),
                     kindName(s.kind),
                     field(s.from),
                     field(s.to),
                     number(qint64(s.made.device)),
                     number(qint64(s.made.inode)),
                     number(s.made.size),
                     number(s.made.modifiedNs)};
    for (const TrashedFile *t : {&s.replaced, &s.trashed})
        f << field(t->original) << field(t->files) << field(t->info);
    return f.join('\t') + '\n';
}

bool stepFrom(const QByteArrayList &f, FileStep &s) {
    if (f.size() < 5 || !kindFrom(f[2], s.kind))
        return false;
    s.from = text(f[3]);
    s.to = text(f[4]);
    if (f.size() < 15)
        return f[0] == "P";
    s.made.device = dev_t(f[5].toLongLong());
    s.made.inode = ino_t(f[6].toULongLong());
    s.made.size = f[7].toLongLong();
    s.made.modifiedNs = f[8].toLongLong();
    s.replaced = {text(f[9]), text(f[10]), text(f[11])};
    s.trashed = {text(f[12]), text(f[13]), text(f[14])};
    return true;
}

bool sameStep(const FileStep &a, const FileStep &b) {
    return a.kind == b.kind && a.from == b.from && a.to == b.to;
}

// True when both files hold the same bytes.
bool sameContent(const QString &a, const QString &b) {
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    }
    return true;
}

// Removes the temporaries a copy towards `to` may have left (see CreateTemporaryFile).
int removeTemporariesOf(const QString &to) {
    const qsizetype slash = to.lastIndexOf(u'/');
    const QString dir = slash <= 0 ? QStringLiteral("/") : to.left(slash);
    const QString name = to.mid(slash + 1);
    const QString prefix = QLatin1Char('.') + name + QStringLiteral(".glimmerby-");
    const bool longName = QFile::encodeName(name).size() > 200;
    int removed = 0;
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (!IsOwnTemporaryName(entry) ||
            !(entry.startsWith(prefix) || (longName && entry.startsWith(".glimmerby-"))))
            continue;
        if (::unlink(QFile::encodeName(dir + u'/' + entry).constData()) == 0)
            ++removed;
    }
    return removed;
}

bool modifiedAlike(const QString &a, const QString &b) {
    const FileIdentity ia = FileIdentity::of(a), ib = FileIdentity::of(b);
    return ia.isKnown() && ib.isKnown() && ia.modifiedNs == ib.modifiedNs;
}

int syncFile(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace

QString RecoveryReport::text() const {
    QStringList parts;
    if (sourcesRemoved > 0)
        parts << QStringLiteral("%1 interrupted move(s) finished").arg(sourcesRemoved);
    if (copiesRemoved > 0)
        parts << QStringLiteral("%1 incomplete copie(s) removed, sources kept").arg(copiesRemoved);
    if (temporariesRemoved > 0)
        parts << QStringLiteral("%1 temporary file(s) removed").arg(temporariesRemoved);
    return parts.isEmpty() ? QString()
                           : QStringLiteral("After an interrupted command: ") +
                                 parts.join(QStringLiteral(", "));
}

FileJournal::FileJournal(const QString &path) : m_path(path) {}

FileJournal::~FileJournal() {
    append({});
    if (m_fd >= 0) {
        ::fdatasync(m_fd);
        ::close(m_fd);
    }
}

JournalContents FileJournal::read(const QString &path) {
    JournalContents out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.readLine() != Header)
        return out;
    struct Open {
        FileCommand command;
        std::vector<FileStep> planned;
    };
    std::vector<Open> open;
    QHash<qint64, int> openIndex;
    QList<qint64> undone;
    std::vector<FileCommand> finished;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break; // cut short by a crash in the middle of the write
        const QByteArrayList f = line.chopped(1).split('\t');
        if (f.size() < 2)
            continue;
        const qint64 id = f[1].toLongLong();
        if (f[0] == "C" && f.size() >= 3) {
            openIndex.insert(id, int(open.size()));
            open.push_back({{id, text(f[2]), {}}, {}});
            continue;
        }
        const auto at = openIndex.constFind(id);
        if (f[0] == "U") {
            undone << id;
            continue;
        }
        if (at == openIndex.cend())
            continue;
        Open &o = open[*at];
        FileStep step;
        if (f[0] == "P" && stepFrom(f, step)) {
            o.planned.push_back(step);
        } else if (f[0] == "D" && stepFrom(f, step)) {
            std::erase_if(o.planned, [&](const FileStep &p) { return sameStep(p, step); });
            o.command.steps.push_back(step);
        } else if (f[0] == "E") {
            finished.push_back(std::move(o.command));
            o.command.id = 0; // ended
            o.planned.clear();
        }
    }
    for (FileCommand &c : finished)
        if (!undone.contains(c.id))
            out.finished.push_back(std::move(c));
    for (Open &o : open) {
        if (o.command.id == 0)
            continue;
        out.pending.insert(out.pending.end(), o.planned.begin(), o.planned.end());
        out.unfinished.push_back(std::move(o.command));
    }
    return out;
}

bool FileJournal::start(const std::deque<FileCommand> &history) {
    QByteArray content = Header;
    for (const FileCommand &c : history) {
        m_nextId = std::max(m_nextId, c.id + 1);
        content += "C\t" + number(c.id) + '\t' + field(c.name) + '\n';
        for (const FileStep &s : c.steps)
            content += doneLine(c.id, s);
        content += "E\t" + number(c.id) + '\n';
    }
    if (ReplaceFileContents(m_path, content) != 0)
        return false;
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    return m_fd >= 0;
}

void FileJournal::append(const QByteArray &line, bool now) {
    if (m_fd < 0)
        return;
    // Records of what is done wait for the next record that must be written at once (a
    // plan, an end): one write for many deleted files.
    m_waiting += line;
    if (!now && m_waiting.size() < 64 * 1024)
        return;
    const QByteArray out = std::exchange(m_waiting, {});
    // Whole records in one write: a killed process leaves whole records, and a record cut by a
    // power cut is a last line without its end, which reading passes over.
    while (::write(m_fd, out.constData(), size_t(out.size())) < 0 && errno == EINTR) {
    }
}

qint64 FileJournal::begin(const QString &name) {
    const qint64 id = m_nextId++;
    append("C\t" + number(id) + '\t' + field(name) + '\n');
    return id;
}

void FileJournal::planned(qint64 id, StepKind kind, const QString &from, const QString &to,
                          bool now) {
    append("P\t" + number(id) + '\t' + kindName(kind) + '\t' + field(from) + '\t' + field(to) +
               '\n',
           now);
    if (now && ++m_sinceSync >= 256)
        sync();
}

void FileJournal::done(qint64 id, const FileStep &step) {
    append(doneLine(id, step), false);
}

void FileJournal::end(qint64 id, bool durable) {
    append("E\t" + number(id) + '\n');
    if (durable)
        sync();
}

void FileJournal::undone(qint64 id) {
    append("U\t" + number(id) + '\n');
}

void FileJournal::sync() {
    append({});
    if (m_fd >= 0)
        ::fdatasync(m_fd);
    m_sinceSync = 0;
}

RecoveryReport RecoverPendingSteps(const std::vector<FileStep> &pending,
                                   std::vector<FileStep> &recovered) {
    RecoveryReport report;
    for (const FileStep &s : pending) {
        if ((s.kind != StepKind::Copy && s.kind != StepKind::Move) || s.to.isEmpty())
            continue;
        report.temporariesRemoved += removeTemporariesOf(s.to);
        const bool haveTo = FileIdentity::of(s.to).isKnown();
        const bool haveFrom = FileIdentity::of(s.from).isKnown();
        if (!haveTo)
            continue; // nothing arrived: the source is as it was
        // A copy of ours carries its source's modification time to the nanosecond.
        const bool ours = haveFrom && modifiedAlike(s.from, s.to);
        FileStep done = s;
        if (s.kind == StepKind::Move && haveFrom) {
            if (!ours)
                continue; // not known to be our copy: both stay
            if (sameContent(s.from, s.to) && syncFile(s.to) == 0) {
                SyncDirectory(QFileInfo(s.to).absolutePath());
                if (::unlink(QFile::encodeName(s.from).constData()) == 0)
                    ++report.sourcesRemoved;
            } else {
                ::unlink(QFile::encodeName(s.to).constData());
                ++report.copiesRemoved;
                continue;
            }
        } else if (s.kind == StepKind::Copy && ours && !sameContent(s.from, s.to)) {
            ::unlink(QFile::encodeName(s.to).constData());
            ++report.copiesRemoved;
            continue;
        } else if (s.kind == StepKind::Copy && !ours) {
            continue;
        }
        done.made = FileIdentity::of(s.to);
        recovered.push_back(done);
    }
    return report;
}

} // namespace glimmerby
