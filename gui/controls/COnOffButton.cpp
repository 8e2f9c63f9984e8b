#include "gui/controls/COnOffButton.h"

#include <cmath>

#include "gui/CBitmap.h"

COnOffButton::COnOffButton(const CRect& rect, CControlListener* listener_, int32_t tag_, CBitmap* background,
                           int32_t style_)
    : CControl(rect, listener_, tag_, background), style(style_)
{
}

bool COnOffButton::isKindOf(const char* className) const
{
    return classNameIs(className, "COnOffButton") || CControl::isKindOf(className);
}

void COnOffButton::draw(CDrawContext* context)
{
    CPoint source(0, 0);
    if (drawnValue() != 0.f && pBackground)
        source.v = pBackground->getHeight() / 2;
    drawBitmapInto(context, pBackground, size, source);
    setDirty(false);
}

// One press, one toggle: any value whose integer part is 0 turns on, anything else off.
void COnOffButton::trackMouse(CDrawContext* context, CPoint&, int32_t buttons)
{
    if (!pressPrologue(context, buttons, false))
        return;
    value = std::trunc(drawnValue()) == 0.f ? 1.f : 0.f;
    if (style == kPreListenerUpdate) {
        reportGesture(context);
        trackIdle();
    } else {
        trackIdle();
        reportGesture(context);
    }
}
