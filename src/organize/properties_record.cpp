#include "organize/properties_record.h"

namespace glimmerby {

const std::array<QString, PropertyCount> PropertyKeys = {
    QStringLiteral("&Title="), QStringLiteral("&Copyright="), QStringLiteral("&Camera="),
    QStringLiteral("&Engineering="), QStringLiteral("&Comments=")};

QString ReplaceAll(const QString &text, const QString &find, const QString &replacement) {
    if (find.isEmpty())
        return text;
    QString result = text;
    result.replace(find, replacement, Qt::CaseSensitive);
    return result;
}

bool isPropertiesRecord(const QString &description) {
    return description.contains(PropertyKeys[0]);
}

QString encodePropertyValue(const QString &value) {
    QString v = ReplaceAll(value, QStringLiteral("\r"), QString());
    v = ReplaceAll(v, QStringLiteral(" "), QStringLiteral("%20"));
    v = ReplaceAll(v, QStringLiteral("&"), QStringLiteral("%26"));
    return ReplaceAll(v, QStringLiteral("\n"), QStringLiteral("%0A"));
}

QString decodePropertyValue(const QString &value) {
    QString v = ReplaceAll(value, QStringLiteral("%20"), QStringLiteral(" "));
    v = ReplaceAll(v, QStringLiteral("%26"), QStringLiteral("&"));
    return ReplaceAll(v, QStringLiteral("%0A"), QStringLiteral("\n"));
}

std::optional<PropertyFields> parsePropertiesRecord(const QString &description) {
    if (!isPropertiesRecord(description))
        return std::nullopt;
    PropertyFields fields;
    for (int i = 0; i < PropertyCount; ++i) {
        const qsizetype at = description.indexOf(PropertyKeys[i]);
        if (at < 0)
            continue;
        const qsizetype start = at + PropertyKeys[i].size();
        qsizetype end = description.size();
        if (i < PropertyCount - 1) {
            const qsizetype amp = description.indexOf(u'&', start);
            if (amp >= 0)
                end = amp;
        }
        fields[i] = decodePropertyValue(description.mid(start, end - start));
    }
    return fields;
}

QString buildPropertiesRecord(const PropertyFields &fields) {
    QString record;
    for (int i = 0; i < PropertyCount; ++i)
        record += PropertyKeys[i] + encodePropertyValue(fields[i]);
    return record;
}

} // namespace glimmerby
