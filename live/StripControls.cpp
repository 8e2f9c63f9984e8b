#include "live/StripControls.h"

#include <algorithm>
#include <cmath>

#include "gui/CDrawContext.h"
#include "live/StripLayout.h"

namespace live {

using namespace strip;

// ---- TextLabel -------------------------------------------------------------------------

TextLabel::TextLabel(const CRect& rect, int32_t font, int32_t align, bool boxed)
    : CParamDisplay(rect, nullptr, boxed ? 0 : kNoFrame)
{
    setFont(font);
    setHoriAlign(align);
    setFontColor(kTextColor);
    setBackColor(boxed ? kBoxColor : kStripColor);
    setFrameColor(kFrameColor);
}

void TextLabel::setText(const std::string& text)
{
    if (text == text_)
        return;
    text_ = text;
    setDirty();
}

void TextLabel::draw(CDrawContext* context) { drawText(context, text_.c_str()); }

// ---- ChoiceMenu ------------------------------------------------------------------------

ChoiceMenu::ChoiceMenu(const CRect& rect, CControlListener* owner, int32_t id, std::function<void()> beforeOpening)
    : COptionMenu(rect, owner, id, nullptr, nullptr, kCheckCurrentStyle), beforeOpening_(std::move(beforeOpening))
{
    setFont(kNormalFont);
    setHoriAlign(kLeftText);
    setFontColor(kTextColor);
    setBackColor(kBoxColor);
    setFrameColor(kFrameColor);
}

void ChoiceMenu::setShownText(const std::string& text)
{
    if (text == shown_)
        return;
    shown_ = text;
    setDirty();
}

void ChoiceMenu::draw(CDrawContext* context)
{
    drawText(context, (" " + shown_).c_str());
    // The arrow that says this opens a list, on a ground of its own where a long text ends.
    const int32_t x = size.right - 14, y = size.top + size.height() / 2 - 2;
    context->setFillColor(kBoxColor);
    context->fillRectangle(CRect(x - 4, size.top + 1, size.right - 1, size.bottom - 1));
    context->setFrameColor(kTextColor);
    for (int32_t row = 0; row < 4; ++row) {
        context->moveTo(CPoint(x + row, y + row));
        context->lineTo(CPoint(x + 8 - row, y + row));
    }
}

void ChoiceMenu::trackMouse(CDrawContext* context, CPoint& where, int32_t buttons)
{
    if (beforeOpening_)
        beforeOpening_();
    COptionMenu::trackMouse(context, where, buttons);
}

// ---- PushButton ------------------------------------------------------------------------

PushButton::PushButton(const CRect& rect, CControlListener* owner, int32_t id, const char* label)
    : CControl(rect, owner, id, nullptr), label_(label)
{
}

void PushButton::draw(CDrawContext* context)
{
    context->setFillColor(kButtonColor);
    context->fillRectangle(size);
    context->setFrameColor(kFrameColor);
    context->drawRectangle(size, 0);
    context->setFont(kNormalFont, 0, kBoldFace);
    context->setFontColor(kTextColor);
    context->drawString(label_, size, false, kCenterText);
    setDirty(false);
}

void PushButton::trackMouse(CDrawContext* context, CPoint&, int32_t buttons)
{
    if (!pressPrologue(context, buttons, false))
        return;
    value = 1.0f;
    reportGesture(context);
    value = 0.0f;
}

// ---- LevelMeter ------------------------------------------------------------------------

LevelMeter::LevelMeter(const CRect& rect) : CControl(rect, nullptr, 0, nullptr) { setMouseEnabled(false); }

void LevelMeter::draw(CDrawContext* context)
{
    context->setFillColor(kBoxColor);
    context->fillRectangle(size);
    context->setFrameColor(kFrameColor);
    context->drawRectangle(size, 0);
    const int32_t leds = (size.width() - 2) / kLedWidth;
    const auto lit = static_cast<int32_t>(std::lround(std::clamp(drawnValue(), 0.0f, 1.0f) * leds));
    for (int32_t i = 0; i < leds; ++i) {
        const float share = float(i + 1) / float(leds);
        CColor color = share > kMeterRed ? kRedLed : (share > kMeterYellow ? kYellowLed : kGreenLed);
        if (i >= lit)
            color = CColor{uint8_t(color.red / 5), uint8_t(color.green / 5), uint8_t(color.blue / 5), 255};
        context->setFillColor(color);
        // fillRectangle leaves out its first row and column.
        const int32_t left = size.left + 1 + i * kLedWidth;
        context->fillRectangle(CRect(left, size.top + 1, left + kLedWidth, size.bottom - 1));
    }
    setDirty(false);
}

// ---- Lamp ------------------------------------------------------------------------------

Lamp::Lamp(const CRect& rect, CColor lit, CColor dark) : CControl(rect, nullptr, 0, nullptr), lit_(lit), dark_(dark)
{
    setMouseEnabled(false);
}

void Lamp::draw(CDrawContext* context)
{
    context->setFillColor(drawnValue() > 0.5f ? lit_ : dark_);
    context->fillRectangle(size);
    context->setFrameColor(kFrameColor);
    context->drawRectangle(size, 0);
    setDirty(false);
}

// ---- CentsScale ------------------------------------------------------------------------

CentsScale::CentsScale(const CRect& rect) : CControl(rect, nullptr, 0, nullptr) { setMouseEnabled(false); }

void CentsScale::setReading(bool pitched, double cents)
{
    const bool inTune = pitched && std::fabs(cents) < kInTuneCents;
    const float v = pitched ? static_cast<float>(std::clamp(cents / 100.0 + 0.5, 0.0, 1.0)) : 0.5f;
    if (pitched != pitched_ || inTune != inTune_ || v != value) {
        pitched_ = pitched;
        inTune_ = inTune;
        value = v;
        setDirty();
    }
}

void CentsScale::draw(CDrawContext* context)
{
    context->setFillColor(kBoxColor);
    context->fillRectangle(size);
    context->setFrameColor(kFrameColor);
    context->drawRectangle(size, 0);
    const int32_t inner = size.width() - 4;
    const int32_t middle = size.top + size.height() / 2;
    // Ticks every 10 cents, the centre one full height.
    context->setFrameColor(kTickColor);
    for (int32_t tick = 0; tick <= 10; ++tick) {
        const int32_t x = size.left + 2 + inner * tick / 10;
        const int32_t reach = tick == 5 ? size.height() / 2 - 2 : 3;
        context->moveTo(CPoint(x, middle - reach));
        context->lineTo(CPoint(x, middle + reach + 1));
    }
    if (pitched_) {
        const int32_t x = size.left + 2 + static_cast<int32_t>(std::lround(drawnValue() * inner));
        context->setFillColor(inTune_ ? kGreenLed : kNeedleColor);
        context->fillRectangle(CRect(x - 2, size.top + 1, x + 2, size.bottom - 1));
    }
    setDirty(false);
}

// ---- GainKnob --------------------------------------------------------------------------

GainKnob::GainKnob(const CRect& rect, CControlListener* owner, int32_t id)
    : CKnob(rect, owner, id, nullptr, nullptr)
{
    setColorHandle(kTextColor);
    setColorShadowHandle(kStripColor);
    setStartAngle(static_cast<float>(5.0 * M_PI / 4.0));
    setRangeAngle(static_cast<float>(-3.0 * M_PI / 2.0));
}

void GainKnob::draw(CDrawContext* context)
{
    context->setFillColor(kStripColor);
    context->fillRectangle(CRect(size.left - 1, size.top - 1, size.right, size.bottom));
    // The dial: a polygon close to a circle.
    constexpr int kCorners = 24;
    const double cx = size.left + size.width() / 2.0 - 0.5, cy = size.top + size.height() / 2.0 - 0.5;
    const double r = size.width() / 2.0 - 1.5;
    context->setFrameColor(kFrameColor);
    for (int i = 0; i <= kCorners; ++i) {
        const double a = 2.0 * M_PI * i / kCorners;
        const CPoint p(static_cast<int32_t>(std::lround(cx + r * std::cos(a))),
                       static_cast<int32_t>(std::lround(cy + r * std::sin(a))));
        if (i == 0)
            context->moveTo(p);
        else
            context->lineTo(p);
    }
    drawHandle(context);
    setDirty(false);
}

}  // namespace live
