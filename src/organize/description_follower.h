#pragma once
// Descriptions follow their files: when a command has copied, moved, renamed or pasted
// a file, the source's stored description is written for the new base name into the
// destination directory's description file. The source keeps its entry. Reading for this
// never creates a description file, and nothing here can fail the file operation.

#include <QByteArray>
#include <QList>
#include <QString>

namespace glimmerby {

class DescriptionFollower {
  public:
    // Notes the description of a finished file (nothing when the source has none).
    void fileFinished(const QString &source, const QString &destination);
    // Writes what was noted, each destination's description file once. Returns the
    // number of description files written.
    int flush();
    bool hasPending() const { return !m_pending.isEmpty(); }

  private:
    struct Pending {
        QString dir;
        QString key;
        QByteArray value;
    };
    QList<Pending> m_pending;
};

} // namespace glimmerby
