#pragma once
// The pop-up menu on X11: override-redirect windows drawn by PopupMenuLook, one per open
// level, with the pointer and keyboard grabbed while the menu is open.

#include <X11/Xlib.h>

#include <functional>

#include "gui/GuiTypes.h"
#include "gui/platform/PopupMenu.h"
#include "gui/platform/x11/X11Display.h"

namespace gui::platform::x11 {

// Handles an event that is not the menu's (the owner window's); false ends the menu.
using OwnerEvents = std::function<bool(XEvent&)>;

// Shows `menu` with its top-left corner at a screen position (moved inside the screen) and
// runs until an item is chosen (its id) or the menu is dismissed (-1). While the button
// that opened it is held, releasing it over an item chooses; a click that opened it
// leaves it open for a second click. Escape or a click outside chooses nothing; the arrow
// keys, Return and Space work as well.
// The menu is drawn at `scalePercent` (the frame's scale).
int32_t runPopupMenu(X11Display& connection, const PopupMenu& menu, CPoint screenPosition, bool followRightButton,
                     int32_t scalePercent, const OwnerEvents& ownerEvents);

}  // namespace gui::platform::x11
