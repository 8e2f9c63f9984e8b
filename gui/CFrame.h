#pragma once
// The root of a view tree and its window: the frame creates a child window in the host's
// window, turns the window's paint, button, wheel and key events into calls on the tree,
// redraws dirty views when idle, and holds the keyboard focus and an optional modal view.
//
// The frame has a scale (gui/Scale.h): its window has the scaled size and is drawn with
// the bitmaps and fonts of that scale, while the tree keeps its logical coordinates; the
// frame maps the window's pixels (paint areas, presses, the pointer) back to them.

#include <cstdint>
#include <memory>

#include "gui/CViewContainer.h"
#include "gui/Scale.h"
#include "gui/platform/PlatformWindow.h"

// What a frame needs from the editor that owns it.
class CFrameEditor {
public:
    virtual ~CFrameEditor() = default;
    virtual void beginEdit(int32_t tag) = 0;
    virtual void endEdit(int32_t tag) = 0;
    // Keeps the editor idling while a control follows the mouse.
    virtual void trackIdle() = 0;
    // Asks the host to give the editor's window a new size (in the window's pixels); true
    // when it did.
    virtual bool sizeWindow(int32_t width, int32_t height) = 0;
    // A press the editor may take before the views (a menu of its own); true when it did.
    virtual bool pressBeforeViews(CDrawContext* context, const CPoint& where, int32_t buttons) { return false; }
};

class CFrame : public CViewContainer, private gui::platform::WindowEvents {
public:
    // With a system window (the host's), the frame's own window is created in it at once,
    // with the size of `size` at the scale given.
    CFrame(const CRect& size, void* systemWindow, CFrameEditor* editor,
           int32_t scalePercent = gui::Scale::kDesignPercent);
    ~CFrame() override;

    // Overrides.
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    int32_t keyDown(const CKeyCode& key) override;
    int32_t keyUp(const CKeyCode& key) override;
    bool wheelAxis(CDrawContext* context, const CPoint& where, int32_t axis, float distance) override;
    void setViewSize(const CRect& rect) override;
    CFrameEditor* getEditor() const override { return pEditor; }
    void update(CDrawContext* context) override;
    CView* getCurrentView() const override;
    bool advanceFocus(CView* oldFocus, bool backwards) override;
    bool isKindOf(const char* className) const override;

    // Operations of frames, in this order.
    virtual bool openInHostWindow(void*) { return false; }
    virtual bool closeHostWindow() { return false; }
    virtual bool isOpen() const { return bOpenFlag; }
    virtual void idle();
    virtual void trackIdle();  // the editor's throttled idle, for controls following the mouse
    virtual uint32_t getTicks() const;
    virtual int32_t getKnobMode() const;
    virtual bool setPosition(int32_t x, int32_t y) { return false; }
    virtual bool getPosition(int32_t& x, int32_t& y) const;
    virtual bool setSize(int32_t width, int32_t height);
    virtual bool getSize(CRect* rect) const;
    virtual bool getSize(CRect& rect) const { return getSize(&rect); }
    virtual bool setModalView(CView* view);
    virtual CView* getModalView() const { return pModalView; }
    virtual void beginEdit(int32_t tag);
    virtual void endEdit(int32_t tag);
    virtual bool getCurrentLocation(CPoint& where) const;
    virtual void setCursor(int32_t kind);
    virtual void setFocusView(CView* view);
    virtual CView* getFocusView() const { return pFocusView; }
    virtual bool setDropActive(bool active);
    virtual bool isDropActive() const { return bDropActive; }
    virtual void setOpenFlag(bool state) { bOpenFlag = state; }
    virtual bool getOpenFlag() const { return bOpenFlag; }
    virtual void invalidate(const CRect& rect);
    virtual bool setUpdatesDisabled(bool state);
    virtual bool getUpdatesDisabled() const { return bUpdatesDisabled; }
    virtual void drawView(CView* view);

    // The scale the frame is drawn at. A new one resizes the window (asking the host first,
    // as setSize does) and draws the whole tree again; false when nothing changed.
    const gui::Scale& getScale() const { return scale; }
    bool setScalePercent(int32_t percent);
    // The size of the frame's window in its own pixels.
    int32_t windowWidth() const { return scale.toDeviceX(size.width()); }
    int32_t windowHeight() const { return scale.toDeviceY(size.height()); }
    // Shows a pop-up menu with its top-left corner at a point of the frame (logical) and
    // answers the id of the item chosen, or -1.
    int32_t popupMenu(const gui::platform::PopupMenu& menu, const CPoint& where, bool followRightButton);
    // The screen position (screen pixels) of a point of the frame.
    CPoint frameToScreen(const CPoint& where) const;

    // The frame's window, or null.
    gui::platform::PlatformWindow* getPlatformWindow() const { return window.get(); }
    void* getSystemWindow() const { return pSystemWindow; }
    // Pauses the user-interface thread (for the editor's throttled idle).
    static void sleep(uint32_t milliseconds);

    // The process-wide knob mode (set by the editor, read by knobs while dragging).
    static void setKnobModeForAll(int32_t mode);
    static int32_t knobModeForAll();

private:
    // Window events.
    void onPaint(const CRect& area) override;
    void onButtonDown(CPoint where) override;
    void onWheel(CPoint where, float distance) override;
    bool onKey(bool down, const CKeyCode& key) override;
    void onDestroyed() override;
    bool onDragEnter(CDragContainer* drag) override;
    void onDragMove() override;
    void onDragLeave() override;
    bool onDrop() override;

    CDrawContext* makeWindowContext();
    void resizeWindow(int32_t width, int32_t height);
    int32_t keyToFocusOrModal(const CKeyCode& key, int32_t (CView::*handler)(const CKeyCode&));
    void finishDrag();

    CFrameEditor* pEditor;
    void* pSystemWindow;
    CView* pModalView = nullptr;
    CView* pFocusView = nullptr;
    bool bFirstDraw = true;
    bool bOpenFlag = true;
    bool bDropActive = false;
    bool bUpdatesDisabled = false;
    bool bTracking = false;  // a press is being followed; presses that arrive meanwhile are dropped
    bool bCursorChanged = false;
    CDragContainer* currentDrag = nullptr;
    gui::Scale scale;
    std::unique_ptr<gui::platform::PlatformWindow> window;
};
