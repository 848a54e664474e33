#include "organize/description_follower.h"

#include "app/split_path.h"
#include "shell/picture_text.h"

#include <QDir>
#include <QPair>
#include <QSet>

namespace glimmerby {

namespace {

// The base names (in lower case, as the description keys compare) of the files in dir.
QSet<QString> baseNamesIn(const QString &dir) {
    QSet<QString> names;
    const QStringList entries =
        QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        names.insert(splitPath(entry).Name.toLower());
    return names;
}

} // namespace

void DescriptionFollower::fileFinished(const QString &source, const QString &destination,
                                       bool moved) {
    const PathParts from = splitPath(source);
    const PathParts to = splitPath(destination);
    const std::optional<QByteArray> value = storedDescription(from.Dir, from.Name);
    if (!value)
        return;
    if (!isStorableKey(to.Name)) { // a name no line of the file can be keyed by
        if (m_unstorable++ == 0)
            m_firstUnstorable = pictureTextPath(to.Dir);
        return;
    }
    const bool renamed =
        moved && from.Dir == to.Dir && from.Name.compare(to.Name, Qt::CaseInsensitive) != 0;
    m_pending.append({to.Dir, to.Name, *value, renamed ? from.Name : QString()});
}

DescriptionFollower::Result DescriptionFollower::flush() {
    Result result;
    result.notFollowed = m_unstorable;
    result.firstRefused = m_firstUnstorable;
    m_unstorable = 0;
    m_firstUnstorable.clear();
    while (!m_pending.isEmpty()) {
        const QString dir = m_pending.first().dir;
        QList<QPair<QString, QByteArray>> entries;
        QStringList leaving;
        QSet<QString> written;
        for (qsizetype i = 0; i < m_pending.size();) {
            const Pending &p = m_pending[i];
            if (p.dir == dir) {
                entries.append({p.key, p.value});
                written.insert(p.key.toLower());
                if (!p.oldKey.isEmpty())
                    leaving << p.oldKey;
                m_pending.removeAt(i);
            } else {
                ++i;
            }
        }
        // An entry stays while it still describes a file (a.jpg renamed, a.bmp kept) or
        // was just written for another.
        QStringList removals;
        if (!leaving.isEmpty()) {
            const QSet<QString> present = baseNamesIn(dir);
            for (const QString &key : std::as_const(leaving))
                if (!present.contains(key.toLower()) && !written.contains(key.toLower()))
                    removals << key;
        }
        if (writeStoredDescriptions(dir, entries, removals)) {
            ++result.written;
        } else {
            if (result.firstRefused.isEmpty())
                result.firstRefused = pictureTextPath(dir);
            result.notFollowed += int(entries.size());
        }
    }
    return result;
}

} // namespace glimmerby
