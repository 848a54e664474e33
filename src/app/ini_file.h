#pragma once
// An INI document with the rules of the Windows profile functions
// (GetPrivateProfileString, GetPrivateProfileInt, WritePrivateProfileString), kept
// line by line so that a write changes nothing but the one line it is about.
//
// Values are bytes: the settings file holds paths in the local 8-bit encoding and the
// description files wrap their values in the byte 0xDB, so nothing is decoded here.
// Conversion to QString happens at the edges (profileBytes / profileText).

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace glimmerby {

// Longest value a profile read returns: the reader's buffer holds 1024 characters
// including the terminating NUL.
inline constexpr int ProfileValueLimit = 1023;

// Files larger than this are not loaded (and therefore never rewritten).
inline constexpr qint64 IniFileSizeLimit = 64 * 1024 * 1024;

enum class IniLoadStatus {
    Loaded,     // the file was read
    Missing,    // no such file: an empty document, the first save creates it
    Unreadable, // a directory, no permission, too large, read error: empty and not savable
};

class IniDocument {
  public:
    IniDocument() = default;

    // Reads the file at path. Never fails hard: see status().
    static IniDocument load(const QString &path);
    // Parses bytes as the content of a file.
    static IniDocument fromBytes(const QByteArray &content);

    IniLoadStatus status() const { return m_status; }

    // The value of key in section, both names matched ignoring ASCII case; the first
    // matching section and the first matching key in it count. Blanks around the value
    // are removed, then one pair of matching quotes (" or ') around it, and the value
    // ends at a NUL byte. No length cut. nullopt when the section or key is missing or
    // the key's line has no "=".
    std::optional<QByteArray> value(const QByteArray &section, const QByteArray &key) const;

    // What GetPrivateProfileString hands back: value() cut to ProfileValueLimit bytes
    // (never in the middle of a UTF-8 sequence), or defaultValue when missing.
    QByteArray profileString(const QByteArray &section, const QByteArray &key,
                             const QByteArray &defaultValue) const;

    // GetPrivateProfileInt: the decimal number at the start of the value (after blanks,
    // with an optional sign), 0 when the value does not start with one, defaultValue when
    // the key is missing or its value is empty. Numbers beyond 32 bits saturate.
    std::int32_t profileInt(const QByteArray &section, const QByteArray &key,
                            std::int32_t defaultValue) const;

    // Sets key in section, creating both as needed. An existing key keeps its line: only
    // the text after its "=" is replaced. A value with blanks or quotes at its ends is
    // written inside double quotes so that it reads back exactly. Refused (false, document
    // unchanged) for names that cannot be written as one line (empty key, "=" in a key,
    // "]" in a section, line breaks or NUL anywhere) and for values with line breaks or
    // NUL bytes.
    bool setValue(const QByteArray &section, const QByteArray &key, const QByteArray &value);

    // Takes every line of key away from the first section of that name (as writing "no
    // value" with the profile functions does), so that no later duplicate comes to light.
    // False when there was none.
    bool removeKey(const QByteArray &section, const QByteArray &key);

    // The whole document as bytes; unchanged lines are byte for byte as read.
    QByteArray toBytes() const;

    // Fast paths on a file's content for large files, without building a document:
    // lookup() gives what fromBytes(content).value(section, key) gives; withValue() gives
    // what setValue() then toBytes() give when the key already has a line with "=", and
    // nullopt otherwise (the document path must then be taken).
    static std::optional<QByteArray> lookup(const QByteArray &content, const QByteArray &section,
                                            const QByteArray &key);
    static std::optional<QByteArray> withValue(const QByteArray &content, const QByteArray &section,
                                               const QByteArray &key, const QByteArray &value);
    // Writes content over the file at path the way save() does (same refusals).
    static bool saveBytes(const QString &path, const QByteArray &content);

    // Replaces the file atomically through ReplaceFileContents: a temporary file beside
    // it, every write checked, flushed to disk, then renamed over the target. A new file
    // gets 0666 less the umask, a replaced one keeps its mode; a chain of symbolic links
    // is followed to the file it ends at, which is replaced. On any failure the temporary
    // file is removed, the old file is left whole and false is returned. A document that
    // could not be read (Unreadable) is never saved, so an existing file is not lost.
    bool save(const QString &path) const;

  private:
    struct Line {
        QByteArray text; // without the line ending
        QByteArray eol;  // "\n", "\r\n" or "" (last line without an ending)
    };
    struct Found {
        int sectionLine = -1; // index of the first matching section header
        int keyLine = -1;     // index of the first matching key in it
        int lastContent = -1; // last non-blank line of that section
    };

    Found find(const QByteArray &section, const QByteArray &key) const;
    QByteArray lineEnding() const;

    QList<Line> m_lines;
    IniLoadStatus m_status = IniLoadStatus::Missing;
};

// Parses the leading decimal number of text the way the profile integer reader does.
// nullopt when text is empty; 0 when it does not start with a number.
std::optional<std::int32_t> parseProfileInt(const QByteArray &text);

// A 32-bit value stored in a 16-bit variable: a value that does not fit gives fallback,
// as an overflowing assignment leaves the variable at its earlier value.
std::int16_t narrowToInt16(std::int32_t value, std::int16_t fallback);

// Text <-> profile bytes. Text is written as UTF-8 (the encoding of file names); bytes
// that are not valid UTF-8 are read as Windows-1252, the 8-bit text of older files.
QByteArray profileBytes(const QString &text);
QString profileText(const QByteArray &bytes);

// Load-modify-save helpers on a file path; section and key as given.
QString ReadProfileString(const QString &iniPath, const QString &section, const QString &key,
                          const QString &defaultValue);
std::int32_t ReadProfileInt(const QString &iniPath, const QString &section, const QString &key,
                            std::int32_t defaultValue);
bool WriteProfileString(const QString &iniPath, const QString &section, const QString &key,
                        const QString &value);

} // namespace glimmerby
