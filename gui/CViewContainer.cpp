#include "gui/CViewContainer.h"

#include <algorithm>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/Hold.h"

namespace {

CViewContainer* asContainer(CView* view)
{
    return view && view->isKindOf("CViewContainer") ? static_cast<CViewContainer*>(view) : nullptr;
}

}  // namespace

CViewContainer::CViewContainer(const CRect& rect, CFrame* frame, CBitmap* background) : CView(rect)
{
    pParentFrame = frame;
    if (background)
        setBackground(background);
}

void CViewContainer::setParentFrame(CFrame* frame)
{
    CView::setParentFrame(frame);
    for (CView* child : children)
        child->setParentFrame(frame);
}

CViewContainer::~CViewContainer()
{
    removeAll(true);
    releaseOffscreen();
}

// The buffer holds the window's pixels where the container lies, at the frame's scale.
gui::Scale CViewContainer::offscreenScale() const
{
    CPoint origin(0, 0);
    localToFrame(origin);
    return gui::Scale(pParentFrame ? pParentFrame->getScale().percent() : gui::Scale::kDesignPercent, origin);
}

void CViewContainer::makeOffscreen()
{
    releaseOffscreen();
    pOffscreenContext =
        new COffscreenContext(pParentFrame, size.width(), size.height(), kBlackCColor, offscreenScale().anchor());
}

void CViewContainer::releaseOffscreen()
{
    if (pOffscreenContext) {
        pOffscreenContext->release();
        pOffscreenContext = nullptr;
    }
}

bool CViewContainer::containsDeep(const CView* view) const
{
    if (!view)
        return false;
    if (view == this)
        return true;
    for (CView* child : children) {
        if (child == view)
            return true;
        if (CViewContainer* inner = asContainer(child); inner && inner->containsDeep(view))
            return true;
    }
    return false;
}

// ---- drawing ------------------------------------------------------------------------

CDrawContext* CViewContainer::beginDrawing(CDrawContext* context, CRect& clip)
{
    // A transparent container shows what lies under it, which its own buffer does not hold:
    // it draws straight into the given context.
    const bool buffered = bDrawInOffscreen && !bTransparencyEnabled;
    if (buffered && (!pOffscreenContext || pOffscreenContext->getScale() != offscreenScale()))
        makeOffscreen();
    CDrawContext* target;
    if (buffered && pOffscreenContext) {
        target = pOffscreenContext;
        context->getClipRect(clip);  // in the parent's coordinates
        if (this != pParentFrame)
            clip.offset(-size.left, -size.top);
    } else {
        target = context;
        enterOffsets(context, origin());
        context->getClipRect(clip);
    }
    clip.bound(localBounds());
    return target;
}

void CViewContainer::endDrawing(CDrawContext* context, CDrawContext* target)
{
    if (target == context)
        leaveOffsets(context, origin());
}

void CViewContainer::draw(CDrawContext* context)
{
    CRect clip;
    CDrawContext* target = beginDrawing(context, clip);
    CRect oldClip;
    target->getClipRect(oldClip);
    target->setClipRect(clip);

    const CRect local = localBounds();
    if (pBackground) {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(target, local, backgroundOffset);
        else
            pBackground->drawBitmap(target, local, backgroundOffset);
    } else if (!bTransparencyEnabled) {
        target->setFillColor(backgroundColor);
        target->fillRectangle(local);
    }
    for (CView* child : children) {
        target->setClipRect(child->getViewSize().intersection(clip));
        child->draw(target);
    }

    target->setClipRect(oldClip);
    if (target != context)
        pOffscreenContext->copyFrom(context, size, CPoint(0, 0));
    endDrawing(context, target);
    setDirty(false);
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect)
{
    const CRect r = updateRect.intersection(size);
    const CRect local = r.offsetBy(-size.left, -size.top);
    CRect clip;
    CDrawContext* target = beginDrawing(context, clip);
    clip.bound(local);
    CRect oldClip;
    target->getClipRect(oldClip);
    target->setClipRect(clip);

    drawBackgroundRect(target, local);
    for (CView* child : children) {
        if (!child->overlaps(local))
            continue;
        const CRect childClip = child->getViewSize().intersection(clip);
        if (childClip.isEmpty())
            continue;
        target->setClipRect(childClip);
        const bool wasDirty = child->isDirty();
        child->drawRect(target, local);
        // A child drawn only in part stays dirty so that the rest follows later.
        if (wasDirty && childClip != child->getViewSize() && !isKindOf("CScrollContainer"))
            child->setDirty(true);
    }

    target->setClipRect(oldClip);
    if (target != context)
        pOffscreenContext->copyFrom(context, r, CPoint(local.left, local.top));
    endDrawing(context, target);
    setDirty(false);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect)
{
    if (pBackground) {
        CRect oldClip;
        context->getClipRect(oldClip);
        context->setClipRect(rect.intersection(oldClip));
        const CRect whole(0, 0, pBackground->getWidth(), pBackground->getHeight());
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, whole, backgroundOffset);
        else
            pBackground->drawBitmap(context, whole, backgroundOffset);
        context->setClipRect(oldClip);
    } else if (!bTransparencyEnabled) {
        context->setFillColor(backgroundColor);
        context->fillRectangle(rect);
    }
}

void CViewContainer::redrawArea(CDrawContext* context, const CRect& rect)
{
    const CRect moved = rect.offsetBy(size.left, size.top);
    if (bTransparencyEnabled) {
        if (pParentView)
            pParentView->redrawArea(context, moved);
        else if (pParentFrame && pParentFrame != static_cast<CView*>(this))
            pParentFrame->drawRect(context, moved);
        return;
    }
    CPoint parentOrigin;
    if (pParentView) {
        pParentView->localToFrame(parentOrigin);
        enterOffsets(context, parentOrigin);
    }
    drawRect(context, moved);
    if (pParentView)
        leaveOffsets(context, parentOrigin);
}

bool CViewContainer::isDirty() const
{
    if (bDirty)
        return true;
    const CRect local = localBounds();
    return std::any_of(children.begin(), children.end(), [&](CView* child) {
        return child->isDirty() && !child->getViewSize().intersection(local).isEmpty();
    });
}

void CViewContainer::update(CDrawContext* context)
{
    const CRect local = localBounds();
    if (updateMode == kNormalUpdate || (updateMode == kOnlyDirtyUpdate && bDirty)) {
        if (isDirty()) {
            redrawArea(context, local);
            setDirty(false);
        }
        return;
    }
    if (updateMode != kOnlyDirtyUpdate)
        return;
    for (CView* child : children) {
        if (!child->isDirty() || !child->overlaps(local))
            continue;
        if (child->notify(this, kMsgCheckIfViewContainer))
            child->update(context);
        else
            child->redrawArea(context, child->getViewSize().intersection(local));
    }
    setDirty(false);
}

// ---- children -----------------------------------------------------------------------

void CViewContainer::addView(CView* view, const CRect& mouseArea, bool mouseEnabled)
{
    if (!view)
        return;
    view->setMouseEnabled(mouseEnabled);
    view->setMouseArea(mouseArea);
    addView(view);
}

void CViewContainer::addView(CView* view)
{
    if (!view)
        return;
    view->retain();
    children.push_back(view);
    view->setParentFrame(pParentFrame);
    view->setParentView(this);
    view->attachedTo(this);
    view->setDirty(true);
}

void CViewContainer::removeView(CView* view, bool releaseToo)
{
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end())
        return;
    children.erase(it);
    // Keys must not reach a view that has left the panel: the focus goes with it.
    if (pParentFrame) {
        CView* focus = pParentFrame->getFocusView();
        CViewContainer* inner = asContainer(view);
        if (focus && (focus == view || (inner && inner->containsDeep(focus))))
            pParentFrame->setFocusView(nullptr);
    }
    if (currentDragView == view)
        currentDragView = nullptr;
    view->detachedFrom(this);
    view->setParentView(nullptr);
    // Only the view itself: the views inside a control's page that is taken away while the
    // control is being pressed still reach the frame for the idle that ends the press.
    view->CView::setParentFrame(nullptr);
    if (releaseToo)
        view->release();
    view->release();
}

void CViewContainer::removeAll(bool releaseToo)
{
    while (!children.empty())
        removeView(children.front(), releaseToo);
}

bool CViewContainer::isChild(CView* view) const
{
    return std::find(children.begin(), children.end(), view) != children.end();
}

int32_t CViewContainer::getNbViews() const { return static_cast<int32_t>(children.size()); }

CView* CViewContainer::getView(int32_t index) const
{
    return index >= 0 && index < getNbViews() ? children[size_t(index)] : nullptr;
}

void CViewContainer::setBackgroundColor(const CColor& color)
{
    backgroundColor = color;
    setDirty(true);
}

void CViewContainer::useOffscreen(bool state)
{
    bDrawInOffscreen = state;
    if (!state)
        releaseOffscreen();
}

void CViewContainer::setViewSize(const CRect& rect)
{
    CView::setViewSize(rect);
    if (pOffscreenContext && bDrawInOffscreen)
        makeOffscreen();
}

bool CViewContainer::attachedTo(CView*)
{
    if (!pOffscreenContext && bDrawInOffscreen)
        makeOffscreen();
    return true;
}

bool CViewContainer::detachedFrom(CView*)
{
    releaseOffscreen();
    return true;
}

// ---- coordinates and queries --------------------------------------------------------

CPoint& CViewContainer::frameToLocal(CPoint& point) const
{
    point.offset(-size.left, -size.top);
    if (pParentView && pParentView->isContainer())
        return pParentView->frameToLocal(point);
    return point;
}

CPoint& CViewContainer::localToFrame(CPoint& point) const
{
    point.offset(size.left, size.top);
    if (pParentView && pParentView->isContainer())
        return pParentView->localToFrame(point);
    return point;
}

int32_t CViewContainer::notify(CView*, const char* message) { return message == kMsgCheckIfViewContainer ? 1 : 0; }

bool CViewContainer::isKindOf(const char* className) const
{
    return classNameIs(className, "CViewContainer") || CView::isKindOf(className);
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const
{
    if (!pParentFrame)
        return nullptr;
    const CPoint local = toLocal(where);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        CRect area;
        if (!child->getMouseArea(area).containsInclusive(local))
            continue;
        if (deep)
            if (CViewContainer* inner = asContainer(child))
                return inner->getViewAt(local, deep);
        return child;
    }
    return nullptr;
}

CView* CViewContainer::getCurrentView() const
{
    if (!pParentFrame)
        return nullptr;
    CPoint where;
    pParentFrame->getCurrentLocation(where);
    frameToLocal(where);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CRect area;
        if ((*it)->getMouseArea(area).containsInclusive(where))
            return *it;
    }
    return nullptr;
}

bool CViewContainer::advanceFocus(CView* oldFocus, bool backwards)
{
    std::vector<CView*> order = children;
    if (backwards)
        std::reverse(order.begin(), order.end());
    auto start = order.begin();
    if (oldFocus) {
        auto found = std::find(order.begin(), order.end(), oldFocus);
        start = found == order.end() ? order.end() : found + 1;
    }
    for (auto it = start; it != order.end(); ++it) {
        CView* child = *it;
        if (child->getWantsFocus()) {
            if (pParentFrame)
                pParentFrame->setFocusView(child);
            return true;
        }
        if (CViewContainer* inner = asContainer(child); inner && inner->advanceFocus(nullptr, backwards))
            return true;
    }
    return false;
}

// ---- events -------------------------------------------------------------------------

void CViewContainer::trackMouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    CPoint local = toLocal(where);
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (child->getMouseEnabled() && child->hitTest(local, buttons)) {
            Hold hold(child);
            child->trackMouse(context, local, buttons);
            return;
        }
    }
}

int32_t CViewContainer::dispatchKey(const CKeyCode& key, int32_t (CView::*handler)(const CKeyCode&))
{
    // Children from the top; a handler may take views out, so the list is looked at anew.
    for (int32_t i = getNbViews() - 1; i >= 0; --i) {
        if (i >= getNbViews())
            continue;
        CView* child = children[size_t(i)];
        Hold hold(child);
        const int32_t result = (child->*handler)(key);
        if (result != -1)
            return result;
    }
    return -1;
}

int32_t CViewContainer::keyDown(const CKeyCode& key) { return dispatchKey(key, &CView::keyDown); }

int32_t CViewContainer::keyUp(const CKeyCode& key) { return dispatchKey(key, &CView::keyUp); }

bool CViewContainer::wheelAxis(CDrawContext* context, const CPoint& where, int32_t axis, float distance)
{
    CView* target = getViewAt(where, false);
    if (!target || !context)
        return false;
    Hold hold(target);
    EnteredOffsets entered(context, origin());
    return target->wheelAxis(context, toLocal(where), axis, distance);
}

bool CViewContainer::wheel(CDrawContext* context, const CPoint& where, float distance)
{
    return wheelAxis(context, where, 1, distance);
}

void CViewContainer::focusLost(CDrawContext* context)
{
    for (CView* child : std::vector<CView*>(children))
        child->focusLost(context);
}

void CViewContainer::focusGained(CDrawContext* context)
{
    for (CView* child : std::vector<CView*>(children))
        child->focusGained(context);
}

CView* CViewContainer::dragTargetAt(const CPoint& where) const { return getViewAt(where, false); }

void CViewContainer::dragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!pParentFrame || !context)
        return;
    const CPoint local = toLocal(where);
    EnteredOffsets entered(context, origin());
    if (currentDragView)
        currentDragView->dragLeave(context, drag, local);
    currentDragView = dragTargetAt(where);
    if (currentDragView)
        currentDragView->dragEnter(context, drag, local);
}

void CViewContainer::dragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!pParentFrame || !context)
        return;
    const CPoint local = toLocal(where);
    EnteredOffsets entered(context, origin());
    CView* view = dragTargetAt(where);
    if (view != currentDragView) {
        if (currentDragView)
            currentDragView->dragLeave(context, drag, local);
        if (view)
            view->dragEnter(context, drag, local);
        currentDragView = view;
    } else if (currentDragView) {
        currentDragView->dragMove(context, drag, local);
    }
}

void CViewContainer::dragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!pParentFrame || !context)
        return;
    EnteredOffsets entered(context, origin());
    if (currentDragView)
        currentDragView->dragLeave(context, drag, toLocal(where));
    currentDragView = nullptr;
}

bool CViewContainer::dropDrag(CDrawContext* context, CDragContainer* drag, const CPoint& where)
{
    if (!pParentFrame || !context)
        return false;
    const CPoint local = toLocal(where);
    EnteredOffsets entered(context, origin());
    CView* view = dragTargetAt(where);
    if (view != currentDragView) {
        if (currentDragView)
            currentDragView->dragLeave(context, drag, local);
        currentDragView = view;
    }
    bool dropped = false;
    if (currentDragView) {
        dropped = currentDragView->dropDrag(context, drag, local);
        currentDragView->dragLeave(context, drag, local);
    }
    currentDragView = nullptr;
    return dropped;
}
