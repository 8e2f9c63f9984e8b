#include "gui/CFrame.h"

#include <atomic>

#include "gui/CDragContainer.h"
#include "gui/CDrawContext.h"
#include "gui/Hold.h"

namespace {

std::atomic<int32_t> knobMode{0};

bool isStandardCursor(int32_t kind)
{
    return (kind >= kCursorWait && kind <= kCursorNWSESize) || kind == kCursorNotAllowed || kind == kCursorHand;
}

}  // namespace

void CFrame::setKnobModeForAll(int32_t mode) { knobMode.store(mode, std::memory_order_relaxed); }
int32_t CFrame::knobModeForAll() { return knobMode.load(std::memory_order_relaxed); }
void CFrame::sleep(uint32_t milliseconds) { gui::platform::sleep(milliseconds); }

CFrame::CFrame(const CRect& rect, void* systemWindow, CFrameEditor* editor, int32_t scalePercent)
    : CViewContainer(rect, nullptr, nullptr), pEditor(editor), pSystemWindow(systemWindow), scale(scalePercent)
{
    pParentFrame = this;
    // The window's surface is a back buffer already: the frame draws into it directly.
    useOffscreen(false);
    if (systemWindow) {
        window = gui::platform::createWindow(systemWindow, windowWidth(), windowHeight(), *this);
        if (window) {
            window->setScalePercent(scale.percent());
            setDropActive(true);
        } else {
            bOpenFlag = false;
        }
    }
}

CFrame::~CFrame()
{
    if (pModalView)
        removeView(pModalView, false);
    pModalView = nullptr;
    setCursor(kCursorDefault);
    setDropActive(false);
    if (currentDrag)
        currentDrag->release();
    window.reset();
    removeAll(true);
    pFocusView = nullptr;
}

CDrawContext* CFrame::makeWindowContext() { return new CDrawContext(this, nullptr, window.get()); }

// ---- drawing ------------------------------------------------------------------------

void CFrame::idle()
{
    if (window)
        window->processEvents();
    if (!bOpenFlag || bFirstDraw || !isDirty())
        return;
    CDrawContext* context = makeWindowContext();
    update(context);
    context->release();
}

void CFrame::update(CDrawContext* context)
{
    if (!bOpenFlag || bUpdatesDisabled)
        return;
    if (bDirty) {
        draw(context);
        setDirty(false);
        return;
    }
    // The modal view lies over the panel: it is brought up to date last, and drawn again
    // whenever something under it was.
    CRect clip;
    context->getClipRect(clip);
    bool modalCovered = false;
    for (size_t i = 0; i < children.size(); ++i) {
        CView* child = children[i];
        if (child == pModalView)
            continue;
        if (pModalView && child->isDirty() && child->overlaps(pModalView->getViewSize()))
            modalCovered = true;
        context->setClipRect(child->getViewSize().intersection(clip));
        child->update(context);
    }
    context->setClipRect(clip);
    if (pModalView && (modalCovered || pModalView->isDirty())) {
        pModalView->setDirty(true);
        pModalView->update(context);
    }
}

void CFrame::draw(CDrawContext* context)
{
    bFirstDraw = false;
    CViewContainer::draw(context);
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect)
{
    bFirstDraw = false;
    CDrawContext* target = context ? context : makeWindowContext();
    CRect oldClip;
    target->getClipRect(oldClip);
    target->setClipRect(updateRect.intersection(oldClip));
    if (updateRect.width() > 0 && updateRect.height() > 0)
        CViewContainer::drawRect(target, updateRect);
    target->setClipRect(oldClip);
    if (!context)
        target->release();
}

void CFrame::drawView(CView* view)
{
    CDrawContext* context = makeWindowContext();
    if (view && isChild(view))
        view->draw(context);
    else
        draw(context);
    context->release();
}

void CFrame::invalidate(const CRect& rect)
{
    for (CView* child : children)
        if (child->overlaps(rect))
            child->setDirty(true);
}

bool CFrame::setUpdatesDisabled(bool state)
{
    const bool before = bUpdatesDisabled;
    bUpdatesDisabled = state;
    return before;
}

// ---- mouse, keys, wheel -------------------------------------------------------------

void CFrame::trackMouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (bTracking)
        return;  // a press that arrived while another one is being followed
    if (pFocusView)
        setFocusView(nullptr);
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    bTracking = true;
    if (!pModalView && pEditor && pEditor->pressBeforeViews(context, where, buttons)) {
        bTracking = false;
        return;
    }
    if (pModalView) {
        if (pModalView->hitTest(where, buttons)) {
            Hold hold(pModalView);
            pModalView->trackMouse(context, where, buttons);
        }
    } else {
        CViewContainer::trackMouse(context, where, buttons);
    }
    bTracking = false;
}

// Keys go to the focus view first, then to the modal view.
int32_t CFrame::keyToFocusOrModal(const CKeyCode& key, int32_t (CView::*handler)(const CKeyCode&))
{
    int32_t result = -1;
    for (CView* view : {pFocusView, pModalView}) {
        if (!view || result != -1)
            continue;
        Hold hold(view);
        result = (view->*handler)(key);
    }
    return result;
}

int32_t CFrame::keyDown(const CKeyCode& key)
{
    const int32_t result = keyToFocusOrModal(key, &CView::keyDown);
    if (result != -1)
        return result;
    if (key.virt == kVKeyTab && advanceFocus(pFocusView, (key.modifier & kKeyModShift) != 0))
        return 1;
    return -1;
}

int32_t CFrame::keyUp(const CKeyCode& key) { return keyToFocusOrModal(key, &CView::keyUp); }

bool CFrame::wheelAxis(CDrawContext* context, const CPoint& where, int32_t axis, float distance)
{
    CView* target = pModalView ? pModalView : getViewAt(where, false);
    if (!target)
        return false;
    Hold hold(target);
    CDrawContext* c = context ? context : makeWindowContext();
    const bool used = target->wheelAxis(c, where, axis, distance);
    if (!context)
        c->release();
    return used;
}

// ---- focus and modal view -----------------------------------------------------------

void CFrame::setFocusView(CView* view)
{
    CView* old = pFocusView;
    pFocusView = view;
    if (view && view->getWantsFocus())
        view->setDirty(true);
    if (old) {
        old->focusLost(nullptr);
        if (old->getWantsFocus())
            old->setDirty(true);
    }
}

bool CFrame::setModalView(CView* view)
{
    if (view && pModalView)
        return false;
    if (pModalView)
        removeView(pModalView, false);
    pModalView = view;
    if (view)
        addView(view);
    return true;
}

bool CFrame::advanceFocus(CView* oldFocus, bool backwards)
{
    if (pModalView)
        return false;
    if (!oldFocus)
        oldFocus = pFocusView;
    if (!oldFocus)
        return CViewContainer::advanceFocus(nullptr, backwards);
    if (isChild(oldFocus)) {
        if (CViewContainer::advanceFocus(oldFocus, backwards))
            return true;
        setFocusView(nullptr);
        return false;
    }
    // Deeper: each enclosing container searches after its child on the way up.
    CView* child = oldFocus;
    for (CView* parent = child->getParentView(); parent && parent->isContainer(); parent = parent->getParentView()) {
        if (static_cast<CViewContainer*>(parent)->CViewContainer::advanceFocus(child, backwards))
            return true;
        child = parent;
    }
    return false;
}

CView* CFrame::getCurrentView() const { return pModalView ? pModalView : CViewContainer::getCurrentView(); }

bool CFrame::isKindOf(const char* className) const
{
    return classNameIs(className, "CFrame") || CViewContainer::isKindOf(className);
}

// ---- editor, time, cursor, window ---------------------------------------------------

void CFrame::trackIdle()
{
    if (pEditor)
        pEditor->trackIdle();
}

uint32_t CFrame::getTicks() const { return pEditor ? gui::platform::ticks() : 0; }

int32_t CFrame::getKnobMode() const { return knobModeForAll(); }

void CFrame::beginEdit(int32_t tag)
{
    if (pEditor)
        pEditor->beginEdit(tag);
}

void CFrame::endEdit(int32_t tag)
{
    if (pEditor)
        pEditor->endEdit(tag);
}

bool CFrame::getCurrentLocation(CPoint& where) const
{
    if (!window) {
        where = CPoint();
        return false;
    }
    where = window->pointerPosition();
    const CPoint origin = window->screenOrigin();
    where.offset(-origin.h, -origin.v);
    where = scale.toLogical(where);
    return true;
}

CPoint CFrame::frameToScreen(const CPoint& where) const
{
    CPoint screen = scale.toDevice(where);
    if (window) {
        const CPoint origin = window->screenOrigin();
        screen.offset(origin.h, origin.v);
    }
    return screen;
}

int32_t CFrame::popupMenu(const gui::platform::PopupMenu& menu, const CPoint& where, bool followRightButton)
{
    return window ? window->popupMenu(menu, frameToScreen(where), followRightButton) : -1;
}

void CFrame::setCursor(int32_t kind)
{
    if (!window)
        return;
    if (isStandardCursor(kind)) {
        window->setCursor(kind);
        bCursorChanged = true;
    } else if (bCursorChanged) {
        window->setCursor(kCursorDefault);
    }
}

bool CFrame::setDropActive(bool active)
{
    if (!bDropActive && !active)
        return true;
    if (!window)
        return false;
    window->setDropTarget(active);
    bDropActive = active;
    return true;
}

bool CFrame::getPosition(int32_t& x, int32_t& y) const
{
    return bOpenFlag && window && window->getPosition(x, y);
}

bool CFrame::getSize(CRect* rect) const
{
    return bOpenFlag && window && rect && window->getParentRect(*rect);
}

bool CFrame::setSize(int32_t width, int32_t height)
{
    if (!bOpenFlag || (width == size.width() && height == size.height()))
        return false;
    resizeWindow(width, height);
    CViewContainer::setViewSize(CRect(0, 0, width, height));
    mouseableArea = size;
    return true;
}

// The host is asked first; when it does not resize its windows, the window layer does.
void CFrame::resizeWindow(int32_t width, int32_t height)
{
    const int32_t w = scale.toDeviceX(width), h = scale.toDeviceY(height);
    const bool hostDidIt = pEditor && pEditor->sizeWindow(w, h);
    if (window)
        window->resize(w, h, !hostDidIt);
}

bool CFrame::setScalePercent(int32_t percent)
{
    const gui::Scale wanted(percent);
    if (wanted == scale)
        return false;
    scale = wanted;
    if (window)
        window->setScalePercent(scale.percent());
    if (bOpenFlag)
        resizeWindow(size.width(), size.height());
    setDirty(true);
    return true;
}

void CFrame::setViewSize(const CRect& rect) { setSize(rect.width(), rect.height()); }

// ---- window events ------------------------------------------------------------------

// Window events come in the window's pixels; the tree takes them in logical coordinates.
void CFrame::onPaint(const CRect& area)
{
    if (area.isEmpty())
        return;
    CDrawContext* context = makeWindowContext();
    drawRect(context, scale.toLogicalCover(area));
    context->markChanged(area);
    context->release();
}

void CFrame::onButtonDown(CPoint where)
{
    CDrawContext* context = makeWindowContext();
    CPoint local = scale.toLogical(where);
    trackMouse(context, local, -1);
    context->release();
}

void CFrame::onWheel(CPoint where, float distance)
{
    CDrawContext* context = makeWindowContext();
    wheel(context, scale.toLogical(where), distance);
    context->release();
}

bool CFrame::onKey(bool down, const CKeyCode& key) { return (down ? keyDown(key) : keyUp(key)) != -1; }

void CFrame::onDestroyed()
{
    setOpenFlag(false);
    pSystemWindow = nullptr;
}

bool CFrame::onDragEnter(CDragContainer* drag)
{
    if (!drag)
        return false;
    finishDrag();
    currentDrag = drag;
    CDrawContext* context = makeWindowContext();
    CPoint where;
    getMouseLocation(context, where);
    dragEnter(context, drag, where);
    context->release();
    return true;
}

void CFrame::onDragMove()
{
    if (!currentDrag)
        return;
    CDrawContext* context = makeWindowContext();
    CPoint where;
    getMouseLocation(context, where);
    dragMove(context, currentDrag, where);
    context->release();
}

void CFrame::onDragLeave()
{
    if (!currentDrag)
        return;
    CDrawContext* context = makeWindowContext();
    CPoint where;
    getMouseLocation(context, where);
    dragLeave(context, currentDrag, where);
    context->release();
    finishDrag();
}

bool CFrame::onDrop()
{
    if (!currentDrag)
        return false;
    CDrawContext* context = makeWindowContext();
    CPoint where;
    getMouseLocation(context, where);
    const bool dropped = dropDrag(context, currentDrag, where);
    context->release();
    finishDrag();
    return dropped;
}

void CFrame::finishDrag()
{
    if (currentDrag)
        currentDrag->release();
    currentDrag = nullptr;
}
