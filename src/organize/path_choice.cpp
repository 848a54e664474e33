#include "organize/path_choice.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace glimmerby {

QStringList qtNameFilters(const QString &pairs) {
    const QStringList parts = pairs.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString &p : patterns)
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        out << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return out;
}

QStringList requestFilters(int kindIndex) {
    static const char *const filters[] = {
        "Movies|*.wmv;*.avi;*.mpe;*.mpg;*.mpeg;*asf;*mov|Any Files|*.*|",
        "Picture Files|*.jpg;*.jpeg;*.gif;*.bmp|Any Files|*.*|",
        "Movies & Pic Files|*.wmv;*.avi;*.mpe;*.mpg;*.mpeg;*asf;*mov;*.jpg;*.jpeg;*.gif;*.bmp|"
        "Any Files|*.*|",
        "Music Files|*.wma;*.mp3;*.wav;*.mid;*.rmi|Any Files|*.*|",
        "All Files|*.wma;*.wmv;*.avi;*.mpe;*.mpg;*.mpeg;*.jpg;*.jpeg;*.gif;*.bmp;*.mp3;*.wav;"
        "*.mid;*.rmi;*asf;*mov|Any Files|*.*|",
    };
    if (kindIndex < 0 || kindIndex >= 5)
        return {};
    return qtNameFilters(QString::fromLatin1(filters[kindIndex]));
}

QString nearestExistingDirectory(const QString &dir) {
    if (dir.isEmpty())
        return {};
    QString p = QDir::cleanPath(dir);
    while (!p.isEmpty()) {
        if (QFileInfo(p).isDir())
            return p;
        const QString parent = QFileInfo(p).path();
        if (parent == p || parent == QLatin1String("."))
            break;
        p = parent;
    }
    return {};
}

bool isPlainFileName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(u'/') && !name.contains(QChar(0));
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace glimmerby
