#pragma once
// How the X11 pop-up menu looks: the layout of a menu level (items in columns) and its
// drawing with the toolkit's own raster and fonts, at the scale of the frame that shows
// it (percent; 100 is the design size). Nothing here talks to the X server.

#include <cstdint>
#include <vector>

#include "gui/PixelSurface.h"
#include "gui/platform/PopupMenu.h"

namespace gui::platform::x11 {

struct PopupLayout {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<CRect> items;  // one per item, in the level's own coordinates
};

// Items in rows of one column; an item marked as a column break starts the next column.
PopupLayout layoutPopup(const PopupMenu& menu, int32_t scalePercent = 100);

// Draws a level into `surface` (of the layout's size) with item `highlighted` (or -1) lit.
void drawPopup(PixelSurface& surface, const PopupMenu& menu, const PopupLayout& layout, int32_t highlighted,
               int32_t scalePercent = 100);

// Items the pointer or the keys can choose or open.
bool isChoosable(const PopupItem& item);
bool opensSubMenu(const PopupItem& item);

// The item of a level at a point of the level's coordinates, or -1.
int32_t itemAt(const PopupLayout& layout, CPoint where);

// Where a level of size `size` goes: at `wanted`, moved inside the screen.
CPoint placeMenu(CPoint wanted, CPoint size, const CRect& screen);
// Where the sub-menu of an item goes: beside the parent level (right of it, or left where
// the screen ends), its first item level with the parent's item.
CPoint placeSubMenu(const CRect& parentOnScreen, const CRect& itemOnScreen, CPoint size, const CRect& screen,
                    int32_t scalePercent = 100);

}  // namespace gui::platform::x11
