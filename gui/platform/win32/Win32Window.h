#pragma once
// The Win32 window layer: a child window of the host's window with a window class of this
// module ("Plugin%p" of the module handle, registered once per module with a use count),
// the frame's surface shown by a DIB block transfer, OLE initialised per window and the
// window registered as a drop target.

#include <windows.h>

#include <memory>

#include "gui/platform/PlatformWindow.h"

namespace gui::platform::win32 {

class CDropTarget;

class Win32Window : public PlatformWindow {
public:
    static std::unique_ptr<Win32Window> create(HWND parent, int32_t width, int32_t height, WindowEvents& events);
    ~Win32Window() override;

    PixelSurface& surface() override { return pixels; }
    void present(const CRect& area) override;
    // The host's message loop delivers the window's messages; while a control follows the
    // mouse, the idle it keeps up dispatches the thread's waiting paint messages here.
    void processEvents() override;
    bool isAlive() const override { return window != nullptr; }
    void* nativeHandle() const override { return window; }
    CPoint screenOrigin() override;
    CPoint pointerPosition() override;
    int32_t buttonState() override;
    void setCursor(int32_t kind) override;
    int32_t popupMenu(const PopupMenu& menu, CPoint screenPosition, bool followRightButton) override;
    void setScalePercent(int32_t) override {}  // Windows draws its menus at the window's DPI
    bool setDropTarget(bool active) override;
    bool resize(int32_t width, int32_t height, bool hostWindowsToo) override;
    bool getPosition(int32_t& x, int32_t& y) override;
    bool getParentRect(CRect& rect) override;

    HWND handle() const { return window; }

private:
    Win32Window(HWND parent, WindowEvents& events);
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    void blit(HDC dc, const CRect& area);

    HWND parentWindow;
    WindowEvents& events;
    HWND window = nullptr;
    bool classUsed = false;
    bool oleInitialised = false;
    PixelSurface pixels;
    HDC paintDC = nullptr;  // while a paint message is handled
    CDropTarget* dropTarget = nullptr;
    HCURSOR firstCursor = nullptr;
    bool cursorRemembered = false;
    int32_t pressButtons = -1;  // buttons of the press being dispatched, until first asked for
};

}  // namespace gui::platform::win32
