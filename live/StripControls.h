#pragma once
// The strip's own controls, drawn with the toolkit's primitives (the strip has no bitmaps):
// a text label, the menus that show what plays (program, cabinet), a push button, a level
// meter with its clip lamp, the tuner's cents scale and the input gain knob.

#include <functional>
#include <string>

#include "gui/controls/CKnob.h"
#include "gui/controls/COptionMenu.h"
#include "gui/controls/CParamDisplay.h"

namespace live {

// A box with a text that the strip sets (CParamDisplay shows values, not texts).
class TextLabel : public CParamDisplay {
public:
    TextLabel(const CRect& rect, int32_t font, int32_t align, bool boxed);
    void setText(const std::string& text);
    const std::string& text() const { return text_; }
    void draw(CDrawContext* context) override;

private:
    std::string text_;
};

// A menu that shows a text of the strip's rather than its current entry's (the program
// menu: the current program's name, which may be a user preset's or a renamed program's;
// the cabinet menu: the cabinet playing), and whose entries are brought up to date just
// before it opens.
class ChoiceMenu : public COptionMenu {
public:
    ChoiceMenu(const CRect& rect, CControlListener* owner, int32_t id, std::function<void()> beforeOpening);
    void setShownText(const std::string& text);
    void draw(CDrawContext* context) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;

private:
    std::function<void()> beforeOpening_;
    std::string shown_;
};

// A button that acts when pressed (previous, next, save).
class PushButton : public CControl {
public:
    PushButton(const CRect& rect, CControlListener* owner, int32_t id, const char* label);
    void draw(CDrawContext* context) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;

private:
    const char* label_;
};

// A row of LEDs: value 0..1 lights that share of them (green, then yellow, then red).
class LevelMeter : public CControl {
public:
    static constexpr int32_t kLedWidth = 5;  // four lit pixels and a gap
    explicit LevelMeter(const CRect& rect);
    void draw(CDrawContext* context) override;
};

// A lamp: lit while the value is above one half.
class Lamp : public CControl {
public:
    Lamp(const CRect& rect, CColor lit, CColor dark);
    void draw(CDrawContext* context) override;

private:
    CColor lit_, dark_;
};

// The tuner's scale from -50 to +50 cents with a needle at the value (0..1 for -50..50),
// green within the in-tune range; no needle while there is no pitch.
class CentsScale : public CControl {
public:
    explicit CentsScale(const CRect& rect);
    void setReading(bool pitched, double cents);
    void draw(CDrawContext* context) override;

private:
    bool pitched_ = false;
    bool inTune_ = false;
};

// The input gain: a knob of the toolkit (linear drags, Shift for fine steps, Control-click
// for 0 dB, the wheel) drawn as a dial.
class GainKnob : public CKnob {
public:
    GainKnob(const CRect& rect, CControlListener* owner, int32_t id);
    void draw(CDrawContext* context) override;
};

}  // namespace live
