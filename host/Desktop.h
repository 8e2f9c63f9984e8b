#pragma once
// The screen as a test or a person sees it: pictures of windows, and pointer input as if
// from the mouse (XTest on X11, SendInput on Windows). One Desktop per thread; it may be
// used from a thread other than the one that runs the editor.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/PngWriter.h"

struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

class Desktop {
public:
    static std::unique_ptr<Desktop> connect(std::string& error);
    virtual ~Desktop() = default;

    // The client area of a window (a native handle, as EditorWindow::nativeHandle gives it).
    virtual bool capture(uintptr_t window, Picture& picture) = 0;
    virtual bool captureScreen(Picture& picture) = 0;
    virtual bool clientOrigin(uintptr_t window, int32_t& x, int32_t& y) = 0;
    virtual bool isViewable(uintptr_t window) = 0;

    // Pointer input at screen positions; each call returns once the input is delivered.
    // Buttons: 1 left, 2 middle, 3 right.
    virtual bool moveTo(int32_t x, int32_t y) = 0;
    virtual bool button(int32_t which, bool down) = 0;
    virtual bool wheel(int32_t notches) = 0;  // positive: away from the user
    virtual bool key(bool down, uint32_t keySym) = 0;  // X11 key symbols; letters, Escape, Return, arrows

    // Screen rectangles of the pop-up menus shown now, the newest last.
    virtual std::vector<ScreenRect> popupMenus() = 0;
};
