#include "gui/controls/CMovieBitmap.h"

#include "gui/controls/ControlMath.h"

CMovieBitmap::CMovieBitmap(const CRect& rect, CControlListener* listener_, int32_t tag_, int32_t imageCount,
                           int32_t imageHeight, CBitmap* background, const CPoint& offset_)
    : CControl(rect, listener_, tag_, background), offset(offset_), subPixmaps(imageCount), heightOfOneImage(imageHeight)
{
}

bool CMovieBitmap::isKindOf(const char* className) const
{
    return classNameIs(className, "CMovieBitmap") || CControl::isKindOf(className);
}

void CMovieBitmap::draw(CDrawContext* context)
{
    if (value > 1.f)
        value = 1.f;
    CPoint source = offset;
    const float shown = drawnValue();
    if (shown > 0.f) {
        const int32_t index = gui::controls::roundedImageIndex(shown, subPixmaps, subPixmaps);
        source.v = gui::addSat(source.v, int64_t(index) * heightOfOneImage);
    }
    drawBitmapInto(context, pBackground, size, source);
    setDirty(false);
}
