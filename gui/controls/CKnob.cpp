#include "gui/controls/CKnob.h"

#include <cmath>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/controls/ControlMath.h"

using gui::controls::truncToInt;

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr double kTwoPiExact = 6.283185307179586;
constexpr float kDefaultStartAngle = 3.9269907f;  // 225 degrees: lower left
constexpr float kDefaultRangeAngle = -4.712389f;  // 270 degrees clockwise
constexpr float kLinearRange = 200.f;             // pixels for the whole range

// Once into 0..2pi.
float wrapOnce(float angle)
{
    if (angle < 0)
        return angle + kTwoPi;
    if (angle > kTwoPiExact)
        return angle - kTwoPi;
    return angle;
}

int32_t handleInset(const CBitmap* handle) { return handle ? truncToInt(handle->getWidth() * 0.5f + 2.5f) : 3; }

}  // namespace

CKnob::CKnob(const CRect& rect, CControlListener* listener_, int32_t tag_, CBitmap* background, CBitmap* handle,
             const CPoint& offset_)
    : CControl(rect, listener_, tag_, background), offset(offset_), pHandle(handle)
{
    if (pHandle)
        pHandle->retain();
    inset = handleInset(pHandle);
    radius = float(rect.width()) * 0.5f;
    setStartAngle(kDefaultStartAngle);
    setRangeAngle(kDefaultRangeAngle);
    setWantsFocus(true);
}

CKnob::~CKnob()
{
    if (pHandle)
        pHandle->release();
}

bool CKnob::isKindOf(const char* className) const
{
    return classNameIs(className, "CKnob") || CControl::isKindOf(className);
}

// ---- geometry -----------------------------------------------------------------------

void CKnob::compute()
{
    aCoef = (vmax - vmin) / rangeAngle;
    bCoef = vmin - aCoef * startAngle;
    halfAngle = (kTwoPi - std::fabs(rangeAngle)) * 0.5f;
    setDirty();
}

void CKnob::setStartAngle(float angle)
{
    startAngle = angle;
    compute();
}

void CKnob::setRangeAngle(float angle)
{
    rangeAngle = angle;
    compute();
}

void CKnob::setMin(float v)
{
    CControl::setMin(v);
    compute();
}

void CKnob::setMax(float v)
{
    CControl::setMax(v);
    compute();
}

void CKnob::valueToPoint(CPoint& point) const
{
    const float alpha = (drawnValue() - bCoef) / aCoef;
    const float reach = radius - float(inset);
    point.h = truncToInt(radius + std::cos(alpha) * reach + 0.5f);
    point.v = truncToInt(radius - std::sin(alpha) * reach + 0.5f);
}

// The dead zone between the end stops is split at its middle: each half belongs to the
// end stop beside it.
float CKnob::valueFromPoint(const CPoint& point) const
{
    float alpha = std::atan2(radius - float(point.v), float(point.h) - radius);
    if (alpha < 0)
        alpha += kTwoPi;
    float alpha2 = alpha - startAngle;
    if (rangeAngle < 0) {
        alpha2 -= rangeAngle;
        const float alpha3 = wrapOnce(alpha2);
        if (alpha3 > halfAngle - rangeAngle)
            return vmax;
        if (alpha3 > -rangeAngle)
            return vmin;
        if (alpha2 > halfAngle - rangeAngle)
            alpha2 -= kTwoPi;
        else if (alpha2 < -halfAngle)
            alpha2 += kTwoPi;
        return aCoef * alpha2 + vmax;
    }
    const float alpha3 = wrapOnce(alpha2);
    if (alpha3 > rangeAngle + halfAngle)
        return vmin;
    if (alpha3 > rangeAngle)
        return vmax;
    if (alpha2 > rangeAngle + halfAngle)
        alpha2 -= kTwoPi;
    else if (alpha2 < -halfAngle)
        alpha2 += kTwoPi;
    return aCoef * alpha2 + vmin;
}

// ---- drawing ------------------------------------------------------------------------

void CKnob::draw(CDrawContext* context)
{
    drawBitmapInto(context, pBackground, size, offset);
    drawHandle(context);
    setDirty(false);
}

void CKnob::drawHandle(CDrawContext* context)
{
    CPoint p;
    valueToPoint(p);
    if (pHandle) {
        const int32_t w = pHandle->getWidth();
        const int32_t h = pHandle->getHeight();
        CRect r(0, 0, w, h);
        r.moveTo(gui::addSat(size.left, int64_t(p.h) - w / 2), gui::addSat(size.top, int64_t(p.v) - h / 2));
        pHandle->drawTransparent(context, r);
        return;
    }
    const CPoint tip(gui::addSat(size.left, int64_t(p.h) - 1), gui::addSat(size.top, p.v));
    const CPoint centre(gui::addSat(size.left, size.width() / 2 - 1), gui::addSat(size.top, size.height() / 2));
    context->setFrameColor(colorShadowHandle);
    context->moveTo(tip);
    context->lineTo(centre);
    context->setFrameColor(colorHandle);
    context->moveTo(CPoint(tip).offset(1, -1));
    context->lineTo(CPoint(centre).offset(1, -1));
}

void CKnob::setColorShadowHandle(const CColor& color)
{
    colorShadowHandle = color;
    setDirty();
}

void CKnob::setColorHandle(const CColor& color)
{
    colorHandle = color;
    setDirty();
}

void CKnob::setHandleBitmap(CBitmap* bitmap)
{
    if (bitmap)
        bitmap->retain();
    if (pHandle)
        pHandle->release();
    pHandle = bitmap;
    inset = handleInset(pHandle);
}

// ---- mouse, wheel, keys -------------------------------------------------------------

void CKnob::trackMouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (!context || !pressPrologue(context, buttons))
        return;
    const int32_t mode = pParentFrame ? pParentFrame->getKnobMode() : CFrame::knobModeForAll();
    const bool linear = (mode == kLinearMode) != ((buttons & kAlt) != 0);
    CPoint at = where;
    beginEdit();
    if (linear)
        trackLinear(context, at, buttons);
    else
        trackCircular(context, at);
    endEdit();
}

// Up and right increase. A change of the modifiers (shift: finer) changes the speed from
// where the pointer is, without a jump.
void CKnob::trackLinear(CDrawContext* context, CPoint where, int32_t buttons)
{
    const auto stepFor = [this](int32_t held) {
        const float range = (held & kShift) ? zoomFactor * kLinearRange : kLinearRange;
        return (vmax - vmin) / range;
    };
    const CPoint first = where;
    float step = stepFor(buttons);
    float entryValue = drawnValue();
    int32_t lastButtons = buttons;
    CPoint last(-1, -1);
    do {
        buttons = context->getMouseButtons();
        if (where != last) {
            last = where;
            const float distance = float((int64_t(where.h) - first.h) + (int64_t(first.v) - where.v));
            if (buttons != lastButtons) {
                const float newStep = stepFor(buttons);
                entryValue += distance * (step - newStep);
                step = newStep;
                lastButtons = buttons;
            }
            value = entryValue + distance * step;
            bounceValue();
            reportIfDirty(context);
        }
        getMouseLocation(context, where);
        trackIdle();
    } while (context->getMouseButtons() & kLButton);
}

// The value follows the pointer's angle; it does not jump across the dead zone but stays
// at the end stop it came from.
void CKnob::trackCircular(CDrawContext* context, CPoint where)
{
    const float middle = (vmax - vmin) * 0.5f;
    float reference = valueFromPoint(relative(where));
    CPoint last(-1, -1);
    do {
        if (where != last) {
            last = where;
            const float v = valueFromPoint(relative(where));
            if (reference - v > middle) {
                value = vmax;
            } else if (v - reference > middle) {
                value = vmin;
            } else {
                value = v;
                reference = v;
            }
            reportIfDirty(context);
        }
        getMouseLocation(context, where);
        trackIdle();
    } while (context->getMouseButtons() & kLButton);
}

bool CKnob::wheel(CDrawContext* context, const CPoint&, float distance)
{
    if (!getMouseEnabled())
        return false;
    const bool fine = context && (context->getMouseButtons() & kShift);
    value += fine ? distance * wheelInc * 0.1f : distance * wheelInc;
    bounceValue();
    if (isDirty())
        reportGesture(context);
    return true;
}

int32_t CKnob::keyDown(const CKeyCode& key)
{
    float direction;
    switch (key.virt) {
    case kVKeyLeft:
    case kVKeyDown:
        direction = -1.f;
        break;
    case kVKeyUp:
    case kVKeyRight:
        direction = 1.f;
        break;
    default:
        return -1;
    }
    const float step = direction * wheelInc;
    value += (key.modifier & kKeyModShift) ? step * 0.1f : step;
    bounceValue();
    if (isDirty())
        reportGesture(nullptr);
    return 1;
}

// ---- filmstrip knob -----------------------------------------------------------------

CAnimKnob::CAnimKnob(const CRect& rect, CControlListener* listener_, int32_t tag_, int32_t imageCount,
                     int32_t imageHeight, CBitmap* background, const CPoint& offset_)
    : CKnob(rect, listener_, tag_, background, nullptr, offset_), subPixmaps(imageCount), heightOfOneImage(imageHeight)
{
    inset = 0;
}

bool CAnimKnob::isKindOf(const char* className) const
{
    return classNameIs(className, "CAnimKnob") || CKnob::isKindOf(className);
}

void CAnimKnob::draw(CDrawContext* context)
{
    const int32_t index = gui::controls::animKnobImageIndex(drawnValue(), subPixmaps, heightOfOneImage);
    const CPoint source(0, gui::saturate32(int64_t(index) * heightOfOneImage));
    drawBitmapInto(context, pBackground, size, source);
    valueToPoint(lastDrawnPoint);
    setDirty(false);
}

bool CAnimKnob::isDirty() const
{
    if (!bDirty) {
        CPoint p;
        valueToPoint(p);
        if (p == lastDrawnPoint)
            return false;
    }
    return CKnob::isDirty();
}
