#pragma once
// The picture properties record: five fields packed into one description line,
//   "&Title=" t "&Copyright=" c "&Camera=" m "&Engineering=" e "&Comments=" n
// where every blank is written "%20", every "&" "%26" and every line feed "%0A";
// carriage returns are dropped. A description holding "&Title=" is a record.

#include <QString>

#include <array>
#include <optional>

namespace glimmerby {

inline constexpr int PropertyCount = 5;
using PropertyFields = std::array<QString, PropertyCount>;

// The keys in field order: title, copyright, camera, engineering, comments.
extern const std::array<QString, PropertyCount> PropertyKeys;

// text with every occurrence of find replaced; an empty find leaves text unchanged.
QString ReplaceAll(const QString &text, const QString &find, const QString &replacement);

bool isPropertiesRecord(const QString &description);

// The five fields of a record; nullopt when the description is not a record. The first
// four values run from after their key's first occurrence to the next "&" (or the end),
// the comments from after "&Comments=" to the end; a missing key gives "".
std::optional<PropertyFields> parsePropertiesRecord(const QString &description);

// The record line of five fields.
QString buildPropertiesRecord(const PropertyFields &fields);

QString encodePropertyValue(const QString &value);
QString decodePropertyValue(const QString &value);

} // namespace glimmerby
