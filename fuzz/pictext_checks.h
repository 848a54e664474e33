#pragma once
// The round trips every description-file input must keep, shared by the fuzzer and the
// corpus replay test. Returns nullptr when all hold, else what broke.

#include "app/ini_file.h"
#include "organize/properties_record.h"
#include "shell/picture_text.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace glimmerby {

// True when after differs from before in at most one line's text plus inserted lines.
inline bool onlyOneLineTouched(const QByteArray &before, const QByteArray &after) {
    qsizetype p = 0;
    const qsizetype limit = std::min(before.size(), after.size());
    while (p < limit && before[p] == after[p])
        ++p;
    qsizetype s = 0;
    while (s < limit - p && before[before.size() - 1 - s] == after[after.size() - 1 - s])
        ++s;
    return !before.mid(p, before.size() - s - p).contains('\n');
}

inline bool hasEscapes(const QString &text) {
    return text.contains(QLatin1String("%20")) || text.contains(QLatin1String("%26")) ||
           text.contains(QLatin1String("%0A"));
}

inline const char *checkPictextInput(const QByteArray &data) {
    // 1. The document gives back the bytes it was made of.
    IniDocument doc = IniDocument::fromBytes(data);
    if (doc.toBytes() != data)
        return "document bytes changed";

    // 2. A written value reads back, and no other line changes. The first line of the
    // input names the key, the rest is the value.
    const qsizetype nl = data.indexOf('\n');
    const QByteArray key = nl >= 0 ? data.left(std::min<qsizetype>(nl, 64)) : data.left(8);
    const QByteArray value = nl >= 0 ? data.mid(nl + 1, 4096) : data.mid(8, 4096);
    for (const QByteArray &section : {PictureTextSection, QByteArray("UserProfile")}) {
        IniDocument edited = doc;
        if (IniDocument::lookup(data, section, key) != doc.value(section, key))
            return "fast look-up differs from the document";
        const std::optional<QByteArray> fast = IniDocument::withValue(data, section, key, value);
        if (edited.setValue(section, key, value)) {
            if (edited.value(section, key) != value)
                return "written value reads back differently";
            if (!onlyOneLineTouched(data, edited.toBytes()))
                return "a write changed another line";
            if (fast && *fast != edited.toBytes())
                return "fast write differs from the document";
            if (fast && IniDocument::lookup(*fast, section, key) != value)
                return "fast write reads back differently";
        } else if (fast) {
            return "fast write accepted what the document refused";
        }
    }
    (void)doc.profileString(PictureTextSection, key, "NONE");
    (void)doc.profileInt("UserProfile", key, 7);

    // 3. Descriptions: the stored form reads back as the one-line text, also through
    // the document.
    const QString text = QString::fromUtf8(data);
    const QByteArray stored = encodeDescription(text);
    if (decodeDescription(stored) != descriptionLine(text))
        return "description changed on its way through the codec";
    IniDocument fresh;
    if (!fresh.setValue(PictureTextSection, "k", stored) ||
        fresh.value(PictureTextSection, "k") != stored)
        return "stored description does not read back";
    (void)decodeDescription(data);
    (void)fromWindows1252(data);

    // 4. Records: five fields (split at the byte 0x01) come back from their record, when
    // they hold no literal escapes.
    (void)parsePropertiesRecord(text);
    const QStringList parts = QString(text).remove(u'\r').split(QChar(1));
    PropertyFields fields;
    bool plain = true;
    for (int i = 0; i < PropertyCount; ++i) {
        fields[i] = parts.value(i);
        plain = plain && !hasEscapes(fields[i]);
    }
    if (plain) {
        const QString record = buildPropertiesRecord(fields);
        if (record.contains(u'\r'))
            return "record holds a carriage return";
        const std::optional<PropertyFields> back = parsePropertiesRecord(record);
        if (!back || *back != fields)
            return "record fields changed";
        if (decodeDescription(encodeDescription(record)) != descriptionLine(record))
            return "record changed as a description";
    }
    return nullptr;
}

} // namespace glimmerby
