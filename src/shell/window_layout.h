#pragma once
// The arithmetic of the main window's resize layout, in pixels of the client area.
// Kept apart from the widgets so that it can be checked on its own.

#include <QList>
#include <QRect>
#include <QSize>

namespace glimmerby {

// Fixed places of the left column and the preview area.
namespace layout {
inline constexpr int ColumnWidth = 136;
inline constexpr int DriveTop = 24, DriveHeight = 21;
inline constexpr int DirTop = 45;
inline constexpr int FileTop = 111;
inline constexpr int ComboHeight = 21;
inline constexpr int PreviewLeft = 136;
inline constexpr int LargePlayerLeft = 140;
inline constexpr int SmallPlayerLeft = 137;
inline constexpr int DamagedViewLeft = 138, DamagedViewTop = 27;
// The smallest outer window, in twips.
inline constexpr int MinOuterHeightTwips = 4600, MinOuterWidthTwips = 6500;
} // namespace layout

struct LayoutInput {
    int scaleWidth = 0;
    int scaleHeight = 0;
    QRect pb;  // step progress bar as it is now (its left and height are kept)
    QSize pb1; // batch progress bar size
    bool picture1Visible = false;
    QSize picture1; // the damaged-JPEG view's size
    int dirTop = layout::DirTop;
};

struct LayoutResult {
    int mpWidth = 0;        // small sound player
    int pbWidth = 0;        // step progress bar
    QRect pb1;              // batch progress bar
    QRect hScroll, vScroll; // picture scroll bars (the other extent is the bar's own)
    QRect text2;            // description box (its height is the box's own)
    bool scrollBarsVisible = false;
    bool resetScrollBars = false; // move the damaged view back to its home position
    double dirHeight = 0;         // directory list height (the widget rounds it)
    int fileTop = 0;
    double fileHeight = 0;
    int comboTop = 0;
    QSize largePlayer; // the movie player's size
};

LayoutResult computeLayout(const LayoutInput &in);

// The large movie player's size for a client area: W - 150 by H - 65.
QSize largePlayerSize(int scaleWidth, int scaleHeight);

// Scroll bars of the damaged-JPEG view are needed when it does not fit the area.
bool damagedViewNeedsScrollBars(int scaleWidth, int scaleHeight, QSize picture);

// Where a window restored from saved metrics goes. Its size is cut to the available area
// of the screen it is on (the nearest one when it is on none), but never below minimum;
// its place is moved, when needed, so that its top-left corner region lies on that area.
QRect restoredWindowGeometry(const QRect &wanted, const QSize &minimum,
                             const QList<QRect> &available);

// A window of size centred in area, moved back so that its top-left corner stays in area.
QPoint centredInArea(const QSize &size, const QRect &area);

} // namespace glimmerby
