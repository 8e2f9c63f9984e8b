#include "gui/controls/CControl.h"

#include <cmath>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/controls/ControlMath.h"

using gui::controls::sameValue;

CControl::CControl(const CRect& rect, CControlListener* listener_, int32_t tag_, CBitmap* background)
    : CView(rect), listener(listener_), tag(tag_)
{
    setTransparency(false);
    setMouseEnabled(true);
    setBackground(background);
}

bool CControl::isDirty() const { return !sameValue(value, oldValue) || bDirty; }

void CControl::setDirty(bool state)
{
    CView::setDirty(state);
    if (state)
        oldValue = value == -1.f ? 0.f : -1.f;
    else
        oldValue = value;
}

bool CControl::isKindOf(const char* className) const
{
    return classNameIs(className, "CControl") || CView::isKindOf(className);
}

void CControl::trackIdle()
{
    if (pParentFrame)
        pParentFrame->trackIdle();
}

void CControl::beginEdit()
{
    if (!pParentFrame)
        return;
    CFrame* frame = pParentFrame;
    frame->setFocusView(this);
    frame->beginEdit(tag);
    if (openEdits++ == 0) {
        editFrame = frame;
        editTag = tag;
    }
}

void CControl::endEdit()
{
    CFrame* frame = pParentFrame;
    int32_t gestureTag = tag;
    if (openEdits > 0) {
        frame = editFrame;
        gestureTag = editTag;
        if (--openEdits == 0)
            editFrame = nullptr;
    }
    if (frame)
        frame->endEdit(gestureTag);
}

void CControl::copyBackOffset() { backOffset = CPoint(size.left, size.top); }

void CControl::bounceValue()
{
    if (value > vmax)
        value = vmax;
    else if (value < vmin || std::isnan(value))  // a NaN never leaves a gesture
        value = vmin;
}

bool CControl::checkDefaultValue(CDrawContext* context, int32_t buttons)
{
    if (buttons != (kLButton | kControl))
        return false;
    beginEdit();
    value = getDefaultValue();
    reportIfDirty(context);
    endEdit();
    return true;
}

bool CControl::acceptsPress(CDrawContext* context, int32_t& buttons) const
{
    if (!getMouseEnabled())
        return false;
    if (buttons == -1) {
        if (!context)
            return false;  // nothing to read them from
        buttons = context->getMouseButtons();
    }
    return true;
}

bool CControl::listenerTookPress(CDrawContext* context, int32_t buttons)
{
    return listener && (buttons & kModifierButtons) && listener->modifierClicked(context, this, buttons) != 0;
}

bool CControl::pressPrologue(CDrawContext* context, int32_t& buttons, bool defaultCheck)
{
    if (!acceptsPress(context, buttons) || !(buttons & kLButton))
        return false;
    if (listenerTookPress(context, buttons))
        return false;
    return !(defaultCheck && checkDefaultValue(context, buttons));
}

void CControl::reportIfDirty(CDrawContext* context)
{
    if (listener && isDirty())
        listener->valueChanged(context, this);
}

void CControl::reportGesture(CDrawContext* context)
{
    if (!listener)
        return;
    beginEdit();
    listener->valueChanged(context, this);
    endEdit();
}

float CControl::drawnValue() const { return gui::controls::finiteOrNearestEnd(value, vmin, vmax); }

void CControl::drawBitmapInto(CDrawContext* context, CBitmap* bitmap, const CRect& dest, const CPoint& source) const
{
    if (!bitmap)
        return;
    if (bTransparencyEnabled)
        bitmap->drawTransparent(context, dest, source);
    else
        bitmap->drawBitmap(context, dest, source);
}
