#pragma once
// A view that holds an ordered list of child views: it draws them clipped to itself
// (through a back buffer of its own unless told otherwise) and passes mouse, key, wheel
// and drag events to them. Later children lie on top of earlier ones.

#include <vector>

#include "gui/CView.h"
#include "gui/Scale.h"

class COffscreenContext;

class CViewContainer : public CView {
public:
    // Update modes: 0 redraws the whole container when anything in it is dirty, 1 only the
    // dirty children.
    enum { kNormalUpdate = 0, kOnlyDirtyUpdate = 1 };

    CViewContainer(const CRect& size, CFrame* frame, CBitmap* background = nullptr);
    ~CViewContainer() override;

    // Overrides of CView.
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    int32_t keyDown(const CKeyCode& key) override;
    int32_t keyUp(const CKeyCode& key) override;
    bool wheelAxis(CDrawContext* context, const CPoint& where, int32_t axis, float distance) override;
    bool wheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool dropDrag(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void dragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void dragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void dragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void focusLost(CDrawContext* context) override;
    void focusGained(CDrawContext* context) override;
    bool isDirty() const override;
    void setViewSize(const CRect& rect) override;
    bool detachedFrom(CView* parent) override;
    bool attachedTo(CView* parent) override;
    CPoint& frameToLocal(CPoint& point) const override;
    CPoint& localToFrame(CPoint& point) const override;
    int32_t notify(CView* sender, const char* message) override;
    void redrawArea(CDrawContext* context, const CRect& rect) override;
    bool isKindOf(const char* className) const override;
    void update(CDrawContext* context) override;

    // Operations added by containers, in this order.
    virtual void addView(CView* view, const CRect& mouseArea, bool mouseEnabled = true);
    virtual void addView(CView* view);
    // Takes a child out; with releaseToo the creator's reference is dropped as well, so a
    // view created and added once is destroyed, while without it the creator gets it back.
    virtual void removeView(CView* view, bool releaseToo = true);
    void setParentFrame(CFrame* frame) override;
    virtual void removeAll(bool releaseToo = true);
    virtual bool isChild(CView* view) const;
    virtual int32_t getNbViews() const;
    virtual CView* getView(int32_t index) const;
    virtual void setBackgroundColor(const CColor& color);
    virtual CColor getBackgroundColor() const { return backgroundColor; }
    virtual void setBackgroundOffset(const CPoint& offset) { backgroundOffset = offset; }
    virtual const CPoint& getBackgroundOffset() const { return backgroundOffset; }
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    virtual void setUpdateMode(int32_t mode) { updateMode = mode; }
    virtual int32_t getUpdateMode() const { return updateMode; }
    virtual void useOffscreen(bool state);
    virtual CView* getCurrentView() const;
    virtual CView* getViewAt(const CPoint& where, bool deep = false) const;
    virtual bool advanceFocus(CView* oldFocus, bool backwards);

    // True when `view` is this container or lies anywhere inside it.
    bool containsDeep(const CView* view) const;

protected:
    CPoint origin() const { return CPoint(size.left, size.top); }
    CPoint toLocal(const CPoint& where) const { return CPoint(where).offset(-size.left, -size.top); }
    CRect localBounds() const { return CRect(0, 0, size.width(), size.height()); }
    void makeOffscreen();
    void releaseOffscreen();
    gui::Scale offscreenScale() const;
    // Where drawing goes (the back buffer, or the given context entered) and the clip to
    // use there, in the container's own coordinates.
    CDrawContext* beginDrawing(CDrawContext* context, CRect& clip);
    void endDrawing(CDrawContext* context, CDrawContext* target);
    CView* dragTargetAt(const CPoint& local) const;
    int32_t dispatchKey(const CKeyCode& key, int32_t (CView::*handler)(const CKeyCode&));

    std::vector<CView*> children;  // drawing order; each holds one reference
    int32_t updateMode = kOnlyDirtyUpdate;
    COffscreenContext* pOffscreenContext = nullptr;
    CColor backgroundColor = kBlackCColor;
    CPoint backgroundOffset;
    bool bDrawInOffscreen = true;
    CView* currentDragView = nullptr;
};
