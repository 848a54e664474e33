#pragma once
// Descriptions of files, kept per directory in "PicText.ini", section "PictureText",
// keyed by the file's base name. A stored value is the byte 0xDB, the text in UTF-8 and
// 0xDB again; values of older files in Windows-1252 still read.
//
// Both operations make sure the description file exists (creating it with its "Default"
// entry, once) and never write through a symbolic link, into anything but a regular
// file, into a UTF-16 file or into a file that could not be read whole.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace glimmerby {

inline constexpr char DescriptionMarker = '\xDB';
inline const QString PictureTextFileName = QStringLiteral("PicText.ini");
inline const QByteArray PictureTextSection = "PictureText";
inline const QString DefaultDescription = QStringLiteral(
    "Pass your mouse over a picture on the left and it will show up in the frame above.");

// dir + "PicText.ini", with a "/" between them when dir does not end in one.
QString pictureTextPath(const QString &dir);

// What a file without a description shows.
QString noDescriptionText(const QString &key);

// The text as one line: each line break (CR LF, CR or LF) becomes one blank and NUL
// characters are dropped, so that the value stays on its line of the file.
QString descriptionLine(const QString &text);

// marker, descriptionLine(text) in UTF-8, marker.
QByteArray encodeDescription(const QString &text);
// A stored value back to text: one marker byte is removed at each end where present,
// the rest is read as UTF-8, or as Windows-1252 when it is not valid UTF-8.
QString decodeDescription(const QByteArray &stored);
QString fromWindows1252(const QByteArray &bytes);

// A base name that can be a key of its own line: not empty, no blanks at its ends, no
// "=", no line break or NUL, not starting with "[" or ";".
bool isStorableKey(const QString &key);

struct PictureTextRead {
    QString text;       // the description, or noDescriptionText(key)
    bool found = false; // false: text is the placeholder
};
PictureTextRead readPictureText(const QString &dir, const QString &key);

// The description of key in dir's description file, or noDescriptionText(key).
QString ReadPictureText(const QString &dir, const QString &key);
// Stores text as the description of key; false when nothing was written.
bool WritePictureText(const QString &dir, const QString &key, const QString &text);

// The stored value (markers included) of key, without creating any file; nullopt when
// there is none (no file, no key, or "NONE").
std::optional<QByteArray> storedDescription(const QString &dir, const QString &key);
// Writes several stored values into dir's description file with one replacement of the
// file, and takes the entries of the keys in removals away in the same write. Entries with
// keys that cannot be stored are left out; false when nothing could be written.
bool writeStoredDescriptions(const QString &dir, const QList<QPair<QString, QByteArray>> &entries,
                             const QStringList &removals = {});

} // namespace glimmerby
