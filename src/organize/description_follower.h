#pragma once
// Descriptions follow their files: when a command has copied, moved, renamed or pasted a
// file, the source's stored description is written for the new base name into the
// destination directory's description file. A copy, and a move to another directory, leave
// the source's entry; a move within one directory (a rename) takes the old entry away,
// unless another file of the directory still goes by the old base name. Reading for this
// never creates a description file, and nothing here can fail the file operation.

#include <QByteArray>
#include <QList>
#include <QString>

namespace glimmerby {

class DescriptionFollower {
  public:
    // Notes the description of a finished file (nothing when the source has none); moved:
    // the source's name is gone.
    void fileFinished(const QString &source, const QString &destination, bool moved);

    struct Result {
        int written = 0;      // description files written
        int notFollowed = 0;  // descriptions that could not be written
        QString firstRefused; // the first description file that refused them
    };
    // Writes what was noted, each destination's description file once.
    Result flush();

  private:
    struct Pending {
        QString dir;
        QString key;
        QByteArray value;
        QString oldKey; // a rename: the entry the description leaves
    };
    QList<Pending> m_pending;
    int m_unstorable = 0; // descriptions whose new name cannot be a key
    QString m_firstUnstorable;
};

} // namespace glimmerby
