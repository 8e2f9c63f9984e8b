#include "gui/controls/CVuMeter.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/controls/ControlMath.h"

using gui::controls::truncToInt;

namespace {

// The part of `length` pixels lit for `level`, in whole LEDs.
int32_t litLength(float level, int32_t ledCount, int32_t length)
{
    if (ledCount <= 0)
        return truncToInt(level * float(length));
    const int32_t leds = truncToInt(float(ledCount) * level + 0.5f);
    return truncToInt(float(leds) / float(ledCount) * float(length));
}

}  // namespace

CVuMeter::CVuMeter(const CRect& rect, CBitmap* on, CBitmap* off, int32_t ledCount, int32_t style_)
    : CControl(rect, nullptr, 0, nullptr), onBitmap(on), offBitmap(off), nbLed(ledCount), style(style_)
{
    if (onBitmap)
        onBitmap->retain();
    if (offBitmap)
        offBitmap->retain();
    rectOn = rectOff = CRect(size).normalize();
}

CVuMeter::~CVuMeter()
{
    releaseOffscreen();
    if (onBitmap)
        onBitmap->release();
    if (offBitmap)
        offBitmap->release();
}

bool CVuMeter::isKindOf(const char* className) const
{
    return classNameIs(className, "CVuMeter") || CControl::isKindOf(className);
}

void CVuMeter::releaseOffscreen()
{
    if (pOffscreen)
        pOffscreen->release();
    pOffscreen = nullptr;
}

// The buffer is at the frame's scale on the meter's own pixel grid, as the bitmaps are
// drawn: the boundary between lit and unlit LEDs falls where the bitmaps have it, wherever
// the meter lies.
gui::Scale CVuMeter::offscreenScale() const
{
    return gui::Scale(pParentFrame ? pParentFrame->getScale().percent() : gui::Scale::kDesignPercent);
}

void CVuMeter::makeOffscreen()
{
    releaseOffscreen();
    pOffscreen = new COffscreenContext(pParentFrame, size.width(), size.height(), kBlackCColor);
}

void CVuMeter::resetRectangles()
{
    if (bUseOffscreen)
        rectOn = rectOff = CRect(0, 0, size.width(), size.height());
    else
        rectOn = rectOff = CRect(size).normalize();
}

void CVuMeter::setUseOffscreen(bool state)
{
    bUseOffscreen = state;
    if (!state)
        releaseOffscreen();
    resetRectangles();
    setDirty();
}

bool CVuMeter::attachedTo(CView*)
{
    releaseOffscreen();
    if (bUseOffscreen)
        makeOffscreen();
    resetRectangles();
    return true;
}

bool CVuMeter::detachedFrom(CView*)
{
    releaseOffscreen();
    return true;
}

void CVuMeter::draw(CDrawContext* context)
{
    if (!onBitmap)
        return;
    bounceValue();
    float level = oldValue - decreaseValue;
    if (!(level >= value))  // also a NaN step or old value
        level = value;
    oldValue = level;

    if (bUseOffscreen && (!pOffscreen || pOffscreen->getScale() != offscreenScale())) {
        makeOffscreen();
        resetRectangles();
    }
    CDrawContext* target = bUseOffscreen ? pOffscreen : context;
    CPoint onSource, offSource;
    if (style & kHorizontal) {
        int32_t x = litLength(level, nbLed, onBitmap->getWidth());
        offSource = CPoint(x, 0);
        if (!bUseOffscreen)
            x = gui::addSat(x, size.left);
        rectOff.left = x;
        rectOn.right = x;
    } else {
        int32_t y = litLength(vmax - level, nbLed, onBitmap->getHeight());
        onSource = CPoint(0, y);
        if (!bUseOffscreen)
            y = gui::addSat(y, size.top);
        rectOff.bottom = y;
        rectOn.top = y;
    }
    drawBitmapInto(target, offBitmap, rectOff, offSource);
    drawBitmapInto(target, onBitmap, rectOn, onSource);
    if (bUseOffscreen)
        pOffscreen->copyFrom(context, size);
    bDirty = false;  // the old value keeps the shown level: the meter stays dirty while it falls
}
