#include "shell/picture_text.h"

#include "app/ini_file.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace glimmerby {

namespace {

const QByteArray NoneValue("NONE");

enum class FileKind { Missing, Regular, Other, Unknown };

// What is at path itself (a symbolic link is "Other", not what it points to).
FileKind kindAt(const QString &path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT ? FileKind::Missing : FileKind::Unknown;
    return S_ISREG(info.st_mode) ? FileKind::Regular : FileKind::Other;
}

// UTF-16 files (with or without a byte order mark) hold NUL bytes in every ASCII
// character; rewriting them byte-wise would ruin them.
bool looksLikeUtf16(const QByteArray &content) {
    return content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF") ||
           content.contains('\0');
}

QByteArray defaultValue() {
    return DescriptionMarker + DefaultDescription.toUtf8() + DescriptionMarker;
}

// The whole content of a regular file, as IniDocument::load would read it; nullopt when
// it cannot be read whole.
std::optional<QByteArray> readContent(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > IniFileSizeLimit)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.read(IniFileSizeLimit + 1);
    if (file.error() != QFileDevice::NoError || content.size() > IniFileSizeLimit)
        return std::nullopt;
    return content;
}

bool createWithDefault(const QString &path) {
    IniDocument doc;
    return doc.setValue(PictureTextSection, "Default", defaultValue()) && doc.save(path);
}

} // namespace

QString pictureTextPath(const QString &dir) {
    if (dir.isEmpty() || dir.endsWith(u'/'))
        return dir + PictureTextFileName;
    return dir + u'/' + PictureTextFileName;
}

QString noDescriptionText(const QString &key) {
    return QStringLiteral("No discription avalible for: ") + key;
}

QString descriptionLine(const QString &text) {
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            line += u' ';
        } else if (c == u'\n') {
            line += u' ';
        } else if (c != QChar(0)) {
            line += c;
        }
    }
    return line;
}

QByteArray encodeDescription(const QString &text) {
    return DescriptionMarker + descriptionLine(text).toUtf8() + DescriptionMarker;
}

QString fromWindows1252(const QByteArray &bytes) {
    // 0x80 to 0x9F differ from Latin-1; the five unassigned codes stay as they are.
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = (b >= 0x80 && b < 0xA0) ? QChar(high[b - 0x80]) : QChar(b);
    }
    return text;
}

QString decodeDescription(const QByteArray &stored) {
    QByteArray inner = stored;
    if (inner.startsWith(DescriptionMarker))
        inner.remove(0, 1);
    if (inner.endsWith(DescriptionMarker))
        inner.chop(1);
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8.decode(inner);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(inner);
}

bool isStorableKey(const QString &key) {
    if (key.isEmpty() || key.startsWith(u'[') || key.startsWith(u';') || key.contains(u'='))
        return false;
    for (const QChar c : key) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            return false;
    }
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; };
    return !blank(key.front()) && !blank(key.back());
}

PictureTextRead readPictureText(const QString &dir, const QString &key) {
    PictureTextRead result{noDescriptionText(key), false};
    const QString path = pictureTextPath(dir);
    // Existence check: a missing file is created with its "Default" entry, once; when
    // that fails (a read-only medium) there is nothing to read.
    if (kindAt(path) == FileKind::Missing && !createWithDefault(path))
        return result;
    const std::optional<QByteArray> content = readContent(path);
    if (!content || !isStorableKey(key))
        return result;
    const std::optional<QByteArray> value =
        IniDocument::lookup(*content, PictureTextSection, key.toUtf8());
    if (!value || *value == NoneValue)
        return result;
    result.text = decodeDescription(*value);
    result.found = true;
    return result;
}

QString ReadPictureText(const QString &dir, const QString &key) {
    return readPictureText(dir, key).text;
}

bool WritePictureText(const QString &dir, const QString &key, const QString &text) {
    return writeStoredDescriptions(dir, {{key, encodeDescription(text)}});
}

std::optional<QByteArray> storedDescription(const QString &dir, const QString &key) {
    const QString path = pictureTextPath(dir);
    if (!isStorableKey(key) || kindAt(path) == FileKind::Missing)
        return std::nullopt;
    const std::optional<QByteArray> content = readContent(path);
    if (!content)
        return std::nullopt;
    std::optional<QByteArray> value =
        IniDocument::lookup(*content, PictureTextSection, key.toUtf8());
    if (value && *value == NoneValue)
        return std::nullopt;
    return value;
}

bool writeStoredDescriptions(const QString &dir, const QList<QPair<QString, QByteArray>> &entries,
                             const QStringList &removals) {
    const QString path = pictureTextPath(dir);
    IniDocument doc;
    switch (kindAt(path)) {
    case FileKind::Missing:
        if (!doc.setValue(PictureTextSection, "Default", defaultValue()))
            return false;
        break;
    case FileKind::Regular: {
        // A file that could not be read whole, or one in UTF-16, is never replaced.
        const std::optional<QByteArray> content = readContent(path);
        if (!content || looksLikeUtf16(*content))
            return false;
        // Keys that have their line already: the values are put in place in the bytes.
        std::optional<QByteArray> edited = removals.isEmpty() ? content : std::nullopt;
        for (const auto &[key, value] : entries) {
            if (!edited || !isStorableKey(key))
                break;
            edited = IniDocument::withValue(*edited, PictureTextSection, key.toUtf8(), value);
        }
        if (edited && std::all_of(entries.begin(), entries.end(),
                                  [](const auto &e) { return isStorableKey(e.first); }))
            return !entries.isEmpty() && IniDocument::saveBytes(path, *edited);
        doc = IniDocument::fromBytes(*content);
        break;
    }
    case FileKind::Other:   // a link, a directory, a device: not ours to replace
    case FileKind::Unknown: // cannot even look: leave it
        return false;
    }
    bool any = false;
    for (const auto &[key, value] : entries) {
        if (isStorableKey(key) && doc.setValue(PictureTextSection, key.toUtf8(), value))
            any = true;
    }
    for (const QString &key : removals)
        doc.removeKey(PictureTextSection, key.toUtf8());
    return any && doc.save(path);
}

} // namespace glimmerby
