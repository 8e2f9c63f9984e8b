#include "gui/CView.h"

#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

const char* const kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";

bool classNameIs(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

CView::CView(const CRect& rect) : size(rect), mouseableArea(rect) {}

CView::~CView()
{
    if (pBackground)
        pBackground->release();
}

void CView::enterOffsets(CDrawContext* context, const CPoint& origin)
{
    context->offset.offset(origin.h, origin.v);
    context->offsetScreen.offset(origin.h, origin.v);
}

void CView::leaveOffsets(CDrawContext* context, const CPoint& origin)
{
    context->offset.offset(-origin.h, -origin.v);
    context->offsetScreen.offset(-origin.h, -origin.v);
}

void CView::draw(CDrawContext* context)
{
    if (pBackground) {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size);
        else
            pBackground->drawBitmap(context, size);
    }
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect&) { draw(context); }

bool CView::overlaps(const CRect& r) const
{
    return r.right >= size.left && size.right >= r.left && r.bottom >= size.top && size.bottom >= r.top;
}

void CView::trackMouse(CDrawContext*, CPoint&, int32_t) {}

void CView::setBackground(CBitmap* background)
{
    if (background)
        background->retain();
    if (pBackground)
        pBackground->release();
    pBackground = background;
    setDirty(true);
}

int32_t CView::keyDown(const CKeyCode&) { return -1; }
int32_t CView::keyUp(const CKeyCode&) { return -1; }

bool CView::wheelAxis(CDrawContext* context, const CPoint& where, int32_t, float distance)
{
    return wheel(context, where, distance);
}

bool CView::wheel(CDrawContext*, const CPoint&, float) { return false; }
bool CView::dropDrag(CDrawContext*, CDragContainer*, const CPoint&) { return false; }
void CView::dragEnter(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::dragLeave(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::dragMove(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::focusLost(CDrawContext*) {}
void CView::focusGained(CDrawContext*) {}

CRect& CView::getMouseArea(CRect& rect) const
{
    rect = mouseableArea;
    return rect;
}

bool CView::hitTest(const CPoint& where, int32_t) { return mouseableArea.containsInclusive(where); }

void CView::setViewSize(const CRect& rect)
{
    size = rect;
    setDirty(true);
}

CRect& CView::getViewSize(CRect& rect) const
{
    rect = size;
    return rect;
}

bool CView::detachedFrom(CView*) { return true; }
bool CView::attachedTo(CView*) { return true; }

CPoint& CView::getMouseLocation(CDrawContext* context, CPoint& point)
{
    if (!context)
        return point;
    if (pParentView && pParentView->isContainer()) {
        const CPoint origin(pParentView->size.left, pParentView->size.top);
        enterOffsets(context, origin);
        pParentView->getMouseLocation(context, point);
        leaveOffsets(context, origin);
        return point;
    }
    context->getPointerPosition(point);
    return point;
}

CPoint& CView::frameToLocal(CPoint& point) const
{
    if (pParentView && pParentView->isContainer())
        return pParentView->frameToLocal(point);
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const
{
    if (pParentView && pParentView->isContainer())
        return pParentView->localToFrame(point);
    return point;
}

CFrameEditor* CView::getEditor() const { return pParentFrame ? pParentFrame->getEditor() : nullptr; }

int32_t CView::notify(CView*, const char*) { return 0; }

void CView::redrawArea(CDrawContext* context, const CRect& rect)
{
    if (pParentView)
        pParentView->redrawArea(context, rect);
    else if (pParentFrame)
        pParentFrame->drawRect(context, rect);
}

bool CView::isKindOf(const char* className) const { return classNameIs(className, "CView"); }

void CView::update(CDrawContext* context)
{
    if (!isDirty())
        return;
    if (context)
        redrawArea(context, size);
    else if (pParentFrame)
        pParentFrame->drawView(this);
    setDirty(false);
}
