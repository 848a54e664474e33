#pragma once
// Reading and writing whole files in tests, failing the test on a short write.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

namespace glimmerby {

inline QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString &path, const QByteArray &data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

// An empty file, or one with the given content.
inline void touch(const QString &path, const QByteArray &content = {}) {
    writeAll(path, content);
}

} // namespace glimmerby
