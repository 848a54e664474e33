#pragma once
// One place that hears of every file a command has finished copying, moving, renaming or
// pasting, so that what belongs to a file (its description) can follow it.

#include <QObject>
#include <QString>

namespace glimmerby {

class FileEvents : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Called by copy, move, rename and paste once the destination holds the whole file.
    void reportFinished(const QString &source, const QString &destination, bool moved) {
        emit fileFinished(source, destination, moved);
    }
    // Called when a batch of such files is over (listeners may write what they gathered).
    void reportBatchEnded() { emit batchEnded(); }

  signals:
    void fileFinished(const QString &source, const QString &destination, bool moved);
    void batchEnded();
};

} // namespace glimmerby
