#include "app/ini_file.h"
#include "app/file_ops.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace glimmerby {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArray trimmed(const QByteArray &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The profile functions compare names without regard to case. Only ASCII letters are
// folded: the names are bytes in an unknown encoding.
bool sameName(const QByteArray &a, const QByteArray &b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QByteArray name;
    qsizetype equalsPos = -1; // position of the "=" of a key line, -1 when it has none
};

const QByteArray Utf8Bom("\xEF\xBB\xBF");

ParsedLine parseLine(const QByteArray &text, bool firstLine) {
    ParsedLine parsed;
    qsizetype i = 0;
    // Editors that save UTF-8 may put a byte order mark before the first section.
    if (firstLine && text.startsWith(Utf8Bom))
        i = Utf8Bom.size();
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i >= text.size())
        return parsed;
    if (text[i] == '[') {
        const qsizetype close = text.lastIndexOf(']');
        const qsizetype end = close > i ? close : text.size();
        parsed.kind = LineKind::Section;
        parsed.name = trimmed(text.mid(i + 1, end - i - 1));
        return parsed;
    }
    if (text[i] == ';')
        return parsed;
    parsed.kind = LineKind::Key;
    parsed.equalsPos = text.indexOf('=', i);
    const qsizetype nameEnd = parsed.equalsPos >= 0 ? parsed.equalsPos : text.size();
    parsed.name = trimmed(text.mid(i, nameEnd - i));
    return parsed;
}

bool hasLineBreakOrNul(const QByteArray &text) {
    return text.contains('\n') || text.contains('\r') || text.contains('\0');
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// A value the reader would change (blanks at its ends, or a matching pair of quotes
// around it) goes into the file inside double quotes; the reader removes exactly them.
QByteArray protectValue(const QByteArray &value) {
    if (value.isEmpty())
        return value;
    const bool blankEnds = isBlank(value.front()) || isBlank(value.back());
    const bool quoted =
        value.size() >= 2 && isQuote(value.front()) && value.back() == value.front();
    if (blankEnds || quoted)
        return '"' + value + '"';
    return value;
}

bool isValidUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = decoder.decode(bytes);
    Q_UNUSED(ignored);
    return !decoder.hasError();
}

// The 1023-byte cut of the reader, moved back to a character boundary when the value
// is UTF-8 so that the text does not end in half a character.
QByteArray cutToLimit(const QByteArray &value) {
    if (value.size() <= ProfileValueLimit)
        return value;
    qsizetype cut = ProfileValueLimit;
    if (isValidUtf8(value)) {
        while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
            --cut;
    }
    return value.left(cut);
}

} // namespace

IniDocument IniDocument::fromBytes(const QByteArray &content) {
    IniDocument doc;
    doc.m_status = IniLoadStatus::Loaded;
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype newline = content.indexOf('\n', start);
        Line line;
        if (newline < 0) {
            line.text = content.mid(start);
            start = content.size();
        } else {
            line.text = content.mid(start, newline - start);
            line.eol = "\n";
            if (line.text.endsWith('\r')) {
                line.text.chop(1);
                line.eol = "\r\n";
            }
            start = newline + 1;
        }
        doc.m_lines.append(line);
    }
    return doc;
}

IniDocument IniDocument::load(const QString &path) {
    IniDocument doc;
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        doc.m_status = errno == ENOENT ? IniLoadStatus::Missing : IniLoadStatus::Unreadable;
        return doc;
    }
    // Only regular files: a directory has no content and a FIFO or device would block
    // or never end.
    if (!S_ISREG(info.st_mode) || info.st_size > IniFileSizeLimit) {
        doc.m_status = IniLoadStatus::Unreadable;
        return doc;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        doc.m_status = IniLoadStatus::Unreadable;
        return doc;
    }
    const QByteArray content = file.read(IniFileSizeLimit + 1);
    if (file.error() != QFileDevice::NoError || content.size() > IniFileSizeLimit) {
        doc.m_status = IniLoadStatus::Unreadable;
        return doc;
    }
    return fromBytes(content);
}

IniDocument::Found IniDocument::find(const QByteArray &section, const QByteArray &key) const {
    Found found;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const ParsedLine parsed = parseLine(m_lines[i].text, i == 0);
        if (found.sectionLine < 0) {
            if (parsed.kind == LineKind::Section && sameName(parsed.name, section)) {
                found.sectionLine = int(i);
                found.lastContent = int(i);
            }
            continue;
        }
        // Inside the first matching section: a later section of the same name is not
        // looked at, as the profile functions do.
        if (parsed.kind == LineKind::Section)
            break;
        if (!trimmed(m_lines[i].text).isEmpty())
            found.lastContent = int(i);
        if (found.keyLine < 0 && parsed.kind == LineKind::Key && sameName(parsed.name, key))
            found.keyLine = int(i);
    }
    return found;
}

std::optional<QByteArray> IniDocument::value(const QByteArray &section,
                                             const QByteArray &key) const {
    const Found found = find(section, key);
    if (found.keyLine < 0)
        return std::nullopt;
    const QByteArray &text = m_lines[found.keyLine].text;
    const ParsedLine parsed = parseLine(text, found.keyLine == 0);
    if (parsed.equalsPos < 0)
        return std::nullopt;
    QByteArray result = text.mid(parsed.equalsPos + 1);
    const qsizetype nul = result.indexOf('\0');
    if (nul >= 0)
        result.truncate(nul);
    result = trimmed(result);
    if (result.size() >= 2 && isQuote(result.front()) && result.back() == result.front())
        result = result.mid(1, result.size() - 2);
    return result;
}

QByteArray IniDocument::profileString(const QByteArray &section, const QByteArray &key,
                                      const QByteArray &defaultValue) const {
    const std::optional<QByteArray> found = value(section, key);
    return found ? cutToLimit(*found) : defaultValue;
}

std::int32_t IniDocument::profileInt(const QByteArray &section, const QByteArray &key,
                                     std::int32_t defaultValue) const {
    const std::optional<QByteArray> found = value(section, key);
    if (!found)
        return defaultValue;
    return parseProfileInt(*found).value_or(defaultValue);
}

QByteArray IniDocument::lineEnding() const {
    for (const Line &line : m_lines) {
        if (!line.eol.isEmpty())
            return line.eol;
    }
    return "\n";
}

bool IniDocument::setValue(const QByteArray &section, const QByteArray &key,
                           const QByteArray &value) {
    if (hasLineBreakOrNul(section) || section.contains(']') || hasLineBreakOrNul(key) ||
        key.contains('=') || trimmed(key).isEmpty() || trimmed(key) != key ||
        trimmed(section) != section || key.startsWith(';') || key.startsWith('[') ||
        hasLineBreakOrNul(value))
        return false;

    const QByteArray stored = protectValue(value);
    const Found found = find(section, key);
    if (found.keyLine >= 0) {
        Line &line = m_lines[found.keyLine];
        const ParsedLine parsed = parseLine(line.text, found.keyLine == 0);
        if (parsed.equalsPos >= 0)
            line.text = line.text.left(parsed.equalsPos + 1) + stored;
        else
            line.text = line.text + '=' + stored;
        return true;
    }

    const QByteArray eol = lineEnding();
    const Line keyLine{key + '=' + stored, eol};
    if (found.sectionLine >= 0) {
        const int at = found.lastContent + 1;
        if (m_lines[at - 1].eol.isEmpty())
            m_lines[at - 1].eol = eol;
        m_lines.insert(at, keyLine);
        return true;
    }
    if (!m_lines.isEmpty() && m_lines.last().eol.isEmpty())
        m_lines.last().eol = eol;
    m_lines.append(Line{'[' + section + ']', eol});
    m_lines.append(keyLine);
    return true;
}

bool IniDocument::removeKey(const QByteArray &section, const QByteArray &key) {
    const Found found = find(section, key);
    if (found.keyLine < 0)
        return false;
    for (qsizetype i = found.keyLine; i < m_lines.size();) {
        const ParsedLine parsed = parseLine(m_lines[i].text, i == 0);
        if (parsed.kind == LineKind::Section)
            break;
        if (parsed.kind == LineKind::Key && sameName(parsed.name, key))
            m_lines.removeAt(i);
        else
            ++i;
    }
    return true;
}

QByteArray IniDocument::toBytes() const {
    QByteArray out;
    for (const Line &line : m_lines) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

namespace {

struct RawKeyLine {
    qsizetype textEnd = 0;     // end of the line's text (before "\r\n" or "\n")
    qsizetype equalsPos = -1;  // the "=", -1 when the line has none
};

bool sameNameAt(const char *p, qsizetype size, const QByteArray &name) {
    if (size != name.size())
        return false;
    for (qsizetype i = 0; i < size; ++i) {
        if (foldAscii(p[i]) != foldAscii(name[i]))
            return false;
    }
    return true;
}

void trimSpan(const char *data, qsizetype &begin, qsizetype &end) {
    while (begin < end && isBlank(data[begin]))
        ++begin;
    while (end > begin && isBlank(data[end - 1]))
        --end;
}

// The line of the first matching key in the first matching section, by the rules of
// find(), scanning the bytes without copying them.
std::optional<RawKeyLine> findRawKey(const QByteArray &content, const QByteArray &section,
                                     const QByteArray &key) {
    const char *data = content.constData();
    const qsizetype n = content.size();
    bool inSection = false;
    for (qsizetype start = 0; start < n;) {
        const char *nl = static_cast<const char *>(std::memchr(data + start, '\n', size_t(n - start)));
        const qsizetype next = nl ? (nl - data) + 1 : n;
        qsizetype end = nl ? (nl - data) : n;
        if (nl && end > start && data[end - 1] == '\r')
            --end;
        qsizetype i = start;
        if (start == 0 && content.startsWith(Utf8Bom))
            i = Utf8Bom.size();
        while (i < end && isBlank(data[i]))
            ++i;
        const qsizetype lineStart = start;
        start = next;
        if (i >= end || data[i] == ';')
            continue;
        if (data[i] == '[') {
            if (inSection)
                return std::nullopt;
            qsizetype close = -1;
            for (qsizetype j = end - 1; j >= lineStart; --j) {
                if (data[j] == ']') {
                    close = j;
                    break;
                }
            }
            qsizetype b = i + 1;
            qsizetype e = close > i ? close : end;
            trimSpan(data, b, e);
            inSection = sameNameAt(data + b, e - b, section);
            continue;
        }
        if (!inSection)
            continue;
        const char *eq = static_cast<const char *>(std::memchr(data + i, '=', size_t(end - i)));
        qsizetype b = i;
        qsizetype e = eq ? eq - data : end;
        trimSpan(data, b, e);
        if (sameNameAt(data + b, e - b, key))
            return RawKeyLine{end, eq ? eq - data : -1};
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> IniDocument::lookup(const QByteArray &content,
                                              const QByteArray &section, const QByteArray &key) {
    const std::optional<RawKeyLine> line = findRawKey(content, section, key);
    if (!line || line->equalsPos < 0)
        return std::nullopt;
    const char *data = content.constData();
    qsizetype b = line->equalsPos + 1;
    qsizetype e = line->textEnd;
    if (const void *nul = std::memchr(data + b, '\0', size_t(e - b)))
        e = static_cast<const char *>(nul) - data;
    trimSpan(data, b, e);
    if (e - b >= 2 && isQuote(data[b]) && data[e - 1] == data[b]) {
        ++b;
        --e;
    }
    return content.mid(b, e - b);
}

std::optional<QByteArray> IniDocument::withValue(const QByteArray &content,
                                                 const QByteArray &section, const QByteArray &key,
                                                 const QByteArray &value) {
    // The same refusals as setValue(), checked on an empty document.
    if (!IniDocument().setValue(section, key, value))
        return std::nullopt;
    const std::optional<RawKeyLine> line = findRawKey(content, section, key);
    if (!line || line->equalsPos < 0)
        return std::nullopt;
    return content.left(line->equalsPos + 1) + protectValue(value) + content.mid(line->textEnd);
}

bool IniDocument::save(const QString &path) const {
    if (m_status == IniLoadStatus::Unreadable)
        return false;
    return saveBytes(path, toBytes());
}

bool IniDocument::saveBytes(const QString &path, const QByteArray &content) {

    // A settings file that is a symbolic link (or a chain of them) stays one: the file the
    // chain ends at is replaced, not a link.
    const QString target = ResolveLinkChain(path);
    if (target.isEmpty())
        return false;
    // A file the user made read-only keeps its content, as on a read-only file the
    // profile writer fails.
    const QByteArray nativeTarget = QFile::encodeName(target);
    struct stat old {};
    if (::stat(nativeTarget.constData(), &old) == 0 &&
        ((old.st_mode & 0222) == 0 || ::access(nativeTarget.constData(), W_OK) != 0))
        return false;
    return ReplaceFileContents(target, content) == 0;
}

std::optional<std::int32_t> parseProfileInt(const QByteArray &text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i >= text.size())
        return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate with saturation: a huge number gives the largest 32-bit value of its
    // sign instead of wrapping round.
    constexpr std::int64_t limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t magnitude = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), limit);
        ++i;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(signedValue, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

std::int16_t narrowToInt16(std::int32_t value, std::int16_t fallback) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        return fallback;
    return static_cast<std::int16_t>(value);
}

QByteArray profileBytes(const QString &text) {
    return text.toLocal8Bit();
}

QString profileText(const QByteArray &bytes) {
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    // Text written by an 8-bit program: Windows-1252, which is Latin-1 except for the
    // printable characters it puts at 0x80 to 0x9F (the five it leaves unused stay as
    // their code points).
    static const char16_t High[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += (byte >= 0x80 && byte < 0xA0) ? QChar(High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

QString ReadProfileString(const QString &iniPath, const QString &section, const QString &key,
                          const QString &defaultValue) {
    const IniDocument doc = IniDocument::load(iniPath);
    const std::optional<QByteArray> found = doc.value(profileBytes(section), profileBytes(key));
    if (!found)
        return defaultValue;
    return profileText(doc.profileString(profileBytes(section), profileBytes(key), {}));
}

std::int32_t ReadProfileInt(const QString &iniPath, const QString &section, const QString &key,
                            std::int32_t defaultValue) {
    return IniDocument::load(iniPath).profileInt(profileBytes(section), profileBytes(key),
                                                 defaultValue);
}

bool WriteProfileString(const QString &iniPath, const QString &section, const QString &key,
                        const QString &value) {
    IniDocument doc = IniDocument::load(iniPath);
    if (doc.status() == IniLoadStatus::Unreadable)
        return false;
    if (!doc.setValue(profileBytes(section), profileBytes(key), profileBytes(value)))
        return false;
    return doc.save(iniPath);
}

} // namespace glimmerby
