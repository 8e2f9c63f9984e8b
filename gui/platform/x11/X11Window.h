#pragma once
// The X11 window layer: a child window of the host's window on a connection of its own,
// showing the frame's surface through a shared-memory image where the server offers one
// (a plain XPutImage otherwise), reading its events without blocking whenever the frame
// idles.

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <memory>

#include "gui/platform/PlatformWindow.h"
#include "gui/platform/x11/X11Display.h"

namespace gui::platform::x11 {

class X11Window : public PlatformWindow {
public:
    // Null when there is no display or the parent is not a window of it.
    static std::unique_ptr<X11Window> create(Window parent, int32_t width, int32_t height, WindowEvents& events);
    ~X11Window() override;

    PixelSurface& surface() override { return pixels; }
    void present(const CRect& area) override;
    void processEvents() override;
    bool isAlive() const override { return alive; }
    void* nativeHandle() const override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }
    CPoint screenOrigin() override;
    CPoint pointerPosition() override;
    int32_t buttonState() override;
    void setCursor(int32_t kind) override;
    int32_t popupMenu(const PopupMenu& menu, CPoint screenPosition, bool followRightButton) override;
    void setScalePercent(int32_t percent) override { scalePercent = percent; }
    bool setDropTarget(bool active) override { return false; }  // no drag and drop protocol here
    bool resize(int32_t width, int32_t height, bool hostWindowsToo) override;
    bool getPosition(int32_t& x, int32_t& y) override;
    bool getParentRect(CRect& rect) override;

    Window handle() const { return window; }
    bool usesSharedMemory() const { return shmAttached; }

private:
    X11Window(Window parent, WindowEvents& events);
    bool open(int32_t width, int32_t height);
    bool makeImage(int32_t width, int32_t height);
    void announceSize(int32_t width, int32_t height);
    void freeImage();
    void convertToImage(const CRect& area);
    void handle(XEvent& event);
    void markDestroyed();

    X11Display connection;
    Window parentWindow;
    WindowEvents& events;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    Colormap ownColormap = 0;
    GC gc = nullptr;
    bool alive = false;

    XImage* image = nullptr;
    XShmSegmentInfo shmInfo{};
    bool shmAttached = false;
    bool directPixels = false;  // the image's memory is the surface's (0x00RRGGBB, 32 bits)
    PixelSurface pixels;

    Cursor cursors[10] = {};
    int32_t pressButtons = -1;  // buttons of the press being dispatched, until first asked for
    int32_t scalePercent = 100;
};

}  // namespace gui::platform::x11
