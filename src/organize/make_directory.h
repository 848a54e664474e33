#pragma once
// "Make Dir Here" and the options dialog's "MkDir": the one way a new directory is asked for
// and made.

#include <QString>

#include <optional>

namespace glimmerby {

class InputBoxes;
class MessageBoxes;

// Asks, in an input box titled "Make Dir" proposing parent (ending in "/"), for the
// directory to make: a full path, or a name inside parent. Makes exactly that one
// directory. Answers its path ending in "/"; nothing when the answer was empty or parent
// itself (ignoring case), or when the directory could not be made, which a box reports
// ("Error creating dir", an empty line, the error's number and text).
std::optional<QString> AskAndMakeDirectory(InputBoxes &inputs, MessageBoxes &boxes,
                                           const QString &parent);

} // namespace glimmerby
