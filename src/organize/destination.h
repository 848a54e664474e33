#pragma once
// The copy and move destination. The path itself is kept in AppState::DestinationDir; the
// first items of the "Copy File(s) To..." and "Move File(s) To" menus and status panel 3
// only show it, so that no character of the path is ever taken for a menu mnemonic.

#include <QString>

namespace glimmerby {

struct AppContext;

// Makes dir the destination and shows it in both menus and in panel 3.
void SetDestinationDir(AppContext &ctx, const QString &dir);

// The text a menu item shows for a path: "&" doubled so that it is not a mnemonic.
QString MenuCaptionFor(const QString &path);

} // namespace glimmerby
