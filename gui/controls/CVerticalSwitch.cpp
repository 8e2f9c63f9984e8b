#include "gui/controls/CVerticalSwitch.h"

#include <algorithm>

#include "gui/CDrawContext.h"
#include "gui/controls/ControlMath.h"

CVerticalSwitch::CVerticalSwitch(const CRect& rect, CControlListener* listener_, int32_t tag_, int32_t imageCount,
                                 int32_t imageHeight, int32_t positionCount, CBitmap* background,
                                 const CPoint& offset_)
    : CControl(rect, listener_, tag_, background),
      offset(offset_),
      subPixmaps(imageCount),
      heightOfOneImage(imageHeight),
      iMaxPositions(positionCount)
{
    setDefaultValue(0.f);
}

bool CVerticalSwitch::isKindOf(const char* className) const
{
    return classNameIs(className, "CVerticalSwitch") || CControl::isKindOf(className);
}

void CVerticalSwitch::draw(CDrawContext* context)
{
    if (pBackground) {
        const int32_t index = gui::controls::roundedImageIndex(drawnValue(), iMaxPositions, subPixmaps);
        drawBitmapInto(context, pBackground, size, CPoint(0, gui::saturate32(int64_t(index) * heightOfOneImage)));
    }
    setDirty(false);
}

// The image is split into one band per position, from the top.
float CVerticalSwitch::valueAt(const CPoint& where) const
{
    if (iMaxPositions < 2)
        return 0.f;
    const int32_t band = std::max(1, heightOfOneImage / iMaxPositions);
    const int64_t position = (int64_t(where.v) - size.top) / band;
    return std::clamp(float(position) / float(iMaxPositions - 1), 0.f, 1.f);
}

void CVerticalSwitch::trackMouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (!context || !pressPrologue(context, buttons))
        return;
    const int32_t pressButtons = buttons;
    CPoint at = where;
    beginEdit();
    do {
        value = valueAt(at);
        reportIfDirty(context);
        getMouseLocation(context, at);
        trackIdle();
    } while (context->getMouseButtons() == pressButtons);
    endEdit();
}
