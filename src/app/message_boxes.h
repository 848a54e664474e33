#pragma once
// The one way the program shows modal message boxes. The windows use the real,
// modal implementation; tests answer the boxes themselves.

#include <QString>

namespace glimmerby {

enum class BoxIcon { None, Exclamation, Information, Critical };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A modal box with one OK button; returns when it is closed.
    virtual void show(const QString &text, const QString &title, BoxIcon icon = BoxIcon::None) = 0;
};

// The program's title, the caption of its message boxes.
inline const QString ProgramTitle = QStringLiteral("Glimmerby");

} // namespace glimmerby
