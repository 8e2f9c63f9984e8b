#pragma once
// The window layer: everything the toolkit needs from a window system, behind one small
// interface with one backend per platform (x11/, win32/, and headless/ for tests). The
// build links exactly one backend; it provides the free functions at the end.
//
// Every call happens on the thread that created the window.

#include <cstdint>
#include <memory>

#include "gui/GuiTypes.h"
#include "gui/PixelSurface.h"
#include "gui/platform/PopupMenu.h"

class CDragContainer;

namespace gui::platform {

// What a window reports to the toolkit (CFrame implements it). Coordinates are the window's
// pixels; the frame maps them to its logical coordinates.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void onPaint(const CRect& area) = 0;
    virtual void onButtonDown(CPoint where) = 0;  // left, middle or right button pressed
    virtual void onWheel(CPoint where, float distance) = 0;  // one notch is 1, away from the user positive
    virtual bool onKey(bool down, const CKeyCode& key) = 0;  // true when the view tree used it
    virtual void onDestroyed() = 0;  // the window system destroyed the window (or its parent)
    // Drag and drop from other programs (where the platform has it).
    virtual bool onDragEnter(CDragContainer* drag) = 0;
    virtual void onDragMove() = 0;
    virtual void onDragLeave() = 0;
    virtual bool onDrop() = 0;
};

class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;

    // The window's pixels: the toolkit draws here, then presents the areas it changed.
    virtual PixelSurface& surface() = 0;
    virtual void present(const CRect& area) = 0;
    // Reads and handles the window's pending events without waiting (backends whose events
    // arrive by other means do nothing).
    virtual void processEvents() = 0;
    virtual bool isAlive() const = 0;  // false once the window system destroyed it
    // The window system's handle of the window (an X11 window id, a Win32 HWND), for hosts
    // that embed it themselves; null where there is none.
    virtual void* nativeHandle() const = 0;

    virtual CPoint screenOrigin() = 0;     // the window's top-left corner on the screen
    virtual CPoint pointerPosition() = 0;  // the pointer on the screen
    virtual int32_t buttonState() = 0;     // buttons and modifier keys held now (CButton bits)

    // Cursor kinds of CCursorType; kCursorDefault puts back the cursor the window had first.
    virtual void setCursor(int32_t kind) = 0;
    // Shows the menu with its top-left corner at a screen position, follows the given
    // button, and answers the id of the item chosen or -1.
    virtual int32_t popupMenu(const PopupMenu& menu, CPoint screenPosition, bool followRightButton) = 0;
    // The scale the frame draws at (100: design size): pop-up menus the layer draws itself
    // follow it.
    virtual void setScalePercent(int32_t percent) = 0;
    // Registers the window for drops from other programs or revokes it; false when it cannot.
    virtual bool setDropTarget(bool active) = 0;

    // Resizes the window (its surface follows); with `hostWindowsToo` also the host's
    // windows around it, where the platform allows that.
    virtual bool resize(int32_t width, int32_t height, bool hostWindowsToo) = 0;
    // Position of the host's editor window in its parent, and the screen rectangle of the
    // window's parent in the grandparent's coordinates.
    virtual bool getPosition(int32_t& x, int32_t& y) = 0;
    virtual bool getParentRect(CRect& rect) = 0;
};

// Creates the child window of `parent` (the host's window handle) with the given size;
// null when it cannot be created.
std::unique_ptr<PlatformWindow> createWindow(void* parent, int32_t width, int32_t height, WindowEvents& events);

// Per-thread services an editor needs on the thread that creates it (OLE on Windows);
// true when they were set up here and must be released with uninitializeThread.
bool initializeThread();
void uninitializeThread();

// The scale the desktop asks applications to draw at, in percent (100 when it says
// nothing): X11's Xft.dpi resource (96 dots per inch being 100), Windows' DPI of the
// host's window `parent` (or of the system, without one).
int32_t desktopScalePercent(void* parent);

// Milliseconds of a monotonic clock, wrapping at 32 bits; and a pause of the calling thread.
uint32_t ticks();
void sleep(uint32_t milliseconds);

}  // namespace gui::platform
