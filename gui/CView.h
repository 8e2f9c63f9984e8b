#pragma once
// The base of everything shown on the panel: a rectangle in its parent's coordinates that
// draws itself, follows the mouse when pressed, and is redrawn when marked dirty.

#include <cstdint>

#include "gui/CReferenceCounter.h"
#include "gui/GuiTypes.h"

class CBitmap;
class CDragContainer;
class CDrawContext;
class CFrame;
class CFrameEditor;
class CView;

// The message that asks a view whether it is a container; compared by identity.
extern const char* const kMsgCheckIfViewContainer;

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    // Virtual operations, in this order.
    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    virtual bool overlaps(const CRect& rect) const;  // touching counts
    virtual void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1);
    virtual void setBackground(CBitmap* background);
    virtual CBitmap* getBackground() const { return pBackground; }
    virtual int32_t keyDown(const CKeyCode& key);  // -1: not handled
    virtual int32_t keyUp(const CKeyCode& key);
    virtual bool wheelAxis(CDrawContext* context, const CPoint& where, int32_t axis, float distance);
    virtual bool wheel(CDrawContext* context, const CPoint& where, float distance);
    virtual bool dropDrag(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void dragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void dragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void dragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void focusLost(CDrawContext* context);
    virtual void focusGained(CDrawContext* context);
    virtual bool isDirty() const { return bDirty; }
    virtual void setDirty(bool state = true) { bDirty = state; }
    virtual void setMouseEnabled(bool enable = true) { bMouseEnabled = enable; }
    virtual bool getMouseEnabled() const { return bMouseEnabled; }
    virtual void setMouseArea(const CRect& rect) { mouseableArea = rect; }
    virtual CRect& getMouseArea(CRect& rect) const;
    virtual bool hitTest(const CPoint& where, int32_t buttons = -1);  // all four edges inclusive
    virtual void setTransparency(bool state) { bTransparencyEnabled = state; }
    virtual bool getTransparency() const { return bTransparencyEnabled; }
    virtual void setViewSize(const CRect& rect);
    virtual CRect& getViewSize(CRect& rect) const;
    virtual bool detachedFrom(CView* parent);
    virtual bool attachedTo(CView* parent);
    virtual CPoint& getMouseLocation(CDrawContext* context, CPoint& point);
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;
    virtual CFrameEditor* getEditor() const;
    virtual int32_t notify(CView* sender, const char* message);
    virtual void redrawArea(CDrawContext* context, const CRect& rect);
    virtual bool getWantsFocus() const { return bWantsFocus; }
    virtual void setWantsFocus(bool state) { bWantsFocus = state; }
    virtual bool isKindOf(const char* className) const;
    virtual void update(CDrawContext* context);
    // A container gives its views the same frame.
    virtual void setParentFrame(CFrame* frame) { pParentFrame = frame; }

    // Plain accessors.
    const CRect& getViewSize() const { return size; }
    CFrame* getFrame() const { return pParentFrame; }
    CView* getParentView() const { return pParentView; }
    void setParentView(CView* parent) { pParentView = parent; }
    bool isContainer() { return notify(this, kMsgCheckIfViewContainer) != 0; }

    // Geometry of the view's rectangle.
    int32_t width() const { return size.width(); }
    int32_t height() const { return size.height(); }

protected:
    // Adds a view's origin to both offsets of a context, and takes it off again.
    static void enterOffsets(CDrawContext* context, const CPoint& origin);
    static void leaveOffsets(CDrawContext* context, const CPoint& origin);
    // The same for the length of a scope.
    class EnteredOffsets {
    public:
        EnteredOffsets(CDrawContext* c, const CPoint& o) : context(c), origin(o) { enterOffsets(context, origin); }
        ~EnteredOffsets() { leaveOffsets(context, origin); }
        EnteredOffsets(const EnteredOffsets&) = delete;
        EnteredOffsets& operator=(const EnteredOffsets&) = delete;

    private:
        CDrawContext* context;
        CPoint origin;
    };

    CRect size;
    CRect mouseableArea;
    CFrame* pParentFrame = nullptr;
    CView* pParentView = nullptr;
    bool bDirty = false;
    bool bMouseEnabled = true;
    bool bTransparencyEnabled = false;
    bool bWantsFocus = false;
    CBitmap* pBackground = nullptr;
};

// Compares class names for isKindOf.
bool classNameIs(const char* a, const char* b);
