#pragma once
// The one way the program asks the user for a line of text. The windows use the real,
// modal implementation; tests give the answers themselves.

#include <QString>

namespace glimmerby {

class InputBoxes {
  public:
    virtual ~InputBoxes() = default;
    // A modal box with a prompt, a text field holding defaultText, OK and Cancel.
    // Returns the text of the field, or an empty string when the box was cancelled.
    virtual QString ask(const QString &prompt, const QString &title,
                        const QString &defaultText) = 0;
};

} // namespace glimmerby
