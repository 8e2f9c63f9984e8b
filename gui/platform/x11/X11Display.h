#pragma once
// One Xlib connection of the window layer, owned by a frame's window (or a pop-up menu's
// caller). Errors on this connection are answered by a handler of this connection only, so
// a request on a window the host has just destroyed is recorded instead of reaching the
// host's (or Xlib's default, exiting) error handler; nothing process-wide is changed.

#include <X11/Xlib.h>

#include <cstdint>

namespace gui::platform::x11 {

class X11Display {
public:
    // Opens a connection to the display named by DISPLAY; isOpen() tells whether it worked.
    X11Display();
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    bool isOpen() const { return display != nullptr; }
    Display* get() const { return display; }

    // Errors the server reported for this connection so far (all are swallowed).
    uint32_t errorCount() const { return errors; }
    // Waits until the server has handled every request sent so far; true when none of them
    // failed since the last call of checkedSync (or since opening).
    bool checkedSync();

private:
    Display* display = nullptr;
    uint32_t errors = 0;
    uint32_t errorsChecked = 0;
};

// A 0x00RRGGBB colour as a pixel value of a TrueColor visual (each channel scaled into
// the visual's mask).
unsigned long visualPixel(uint32_t rgb, const Visual* visual);

// Screen coordinates of a window's top-left corner; false when the window is gone.
bool windowScreenOrigin(X11Display& connection, Window window, int32_t& x, int32_t& y);

}  // namespace gui::platform::x11
