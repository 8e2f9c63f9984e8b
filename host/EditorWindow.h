#pragma once
// The host's own top-level window that holds a plug-in's editor (an X11 window on Linux,
// a Win32 window on Windows), with its client area of the editor's size.

#include <cstdint>
#include <memory>
#include <string>

class EditorWindow {
public:
    // A shown window with a client area of width x height; `hidden` leaves it unmapped
    // (hosts that size the window only after the editor is open).
    static std::unique_ptr<EditorWindow> create(int32_t width, int32_t height, const std::string& title,
                                                std::string& error, bool hidden = false);
    virtual ~EditorWindow() = default;

    // The parent handed to the editor's open request, and the same handle as a number.
    virtual void* parentHandle() = 0;
    uintptr_t nativeHandle() { return reinterpret_cast<uintptr_t>(parentHandle()); }

    // Handles the window's pending events (and, on Windows, every message of the thread).
    virtual void processEvents() = 0;
    virtual bool closeRequested() const = 0;  // the user closed the window
    // Gives the client area a new size and shows the window.
    virtual void show(int32_t width, int32_t height) = 0;
    // Destroys the window now, whatever it holds.
    virtual void destroy() = 0;
    virtual bool exists() const = 0;
};
