// The window tests' Windows parts: the display Wine shows windows on, pop-up menu items
// from the menus' own windows, and the cursor handle in effect.

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "tests/window/support/WindowTests.h"

bool popupMenuItemRect(size_t level, size_t index, ScreenRect& rect);  // host/DesktopWin32.cpp

namespace windowtest {

bool startDisplay(std::string& why, int)
{
    const char* flag = std::getenv("KORVALEX_DISPLAY_TESTS");
    if (flag && std::strcmp(flag, "1") == 0)
        return true;
    why = "no display (scripts/test-windows.sh runs these tests with one)";
    return false;
}

void stopDisplay() {}

ScreenRect popupItemOnScreen(Desktop&, size_t level, const gui::platform::PopupMenu&, size_t index, int32_t)
{
    ScreenRect rect;
    popupMenuItemRect(level, index, rect);
    return rect;
}

uint64_t cursorSignature()
{
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info))
        return 0;
    return reinterpret_cast<uintptr_t>(info.hCursor);
}

}  // namespace windowtest
