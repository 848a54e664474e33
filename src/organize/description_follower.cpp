#include "organize/description_follower.h"

#include "app/split_path.h"
#include "shell/picture_text.h"

#include <QPair>

namespace glimmerby {

void DescriptionFollower::fileFinished(const QString &source, const QString &destination) {
    const PathParts from = splitPath(source);
    const PathParts to = splitPath(destination);
    if (!isStorableKey(to.Name))
        return;
    const std::optional<QByteArray> value = storedDescription(from.Dir, from.Name);
    if (!value)
        return;
    m_pending.append({to.Dir, to.Name, *value});
}

int DescriptionFollower::flush() {
    int written = 0;
    while (!m_pending.isEmpty()) {
        const QString dir = m_pending.first().dir;
        QList<QPair<QString, QByteArray>> entries;
        for (qsizetype i = 0; i < m_pending.size();) {
            if (m_pending[i].dir == dir) {
                entries.append({m_pending[i].key, m_pending[i].value});
                m_pending.removeAt(i);
            } else {
                ++i;
            }
        }
        if (writeStoredDescriptions(dir, entries))
            ++written;
    }
    return written;
}

} // namespace glimmerby
