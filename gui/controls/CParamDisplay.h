#pragma once
// A value shown as text over a bitmap or a filled box (the numeric readouts), and the text
// drawing that the pop-up menu shares.

#include <cstddef>

#include "gui/CDrawContext.h"
#include "gui/controls/CControl.h"

// Style bits of displays and menus.
enum CDisplayStyle : int32_t {
    kCheckStyle = 1,          // menu: each entry has its own check mark, toggled when chosen
    kShadowText = 4,          // the text again underneath, one pixel right and down, in the shadow colour
    k3DIn = 128,              // border lit from the bottom right (back colour top left, frame colour bottom right)
    k3DOut = 256,             // border lit from the top left (frame colour top left, back colour bottom right)
    kPopupStyle = 512,        // menu: the pop-up opens at the top edge instead of the bottom edge
    kCheckCurrentStyle = 1024,  // menu: the current entry is checked in the pop-up
    kNoTextStyle = 2048,      // background only
    kNoDrawStyle = 4096,      // nothing at all
    kNoFrame = 16384,         // no outline around the box
};

class CParamDisplay : public CControl {
public:
    // Texts are at most this many bytes, the terminating NUL included.
    static constexpr size_t kTextSize = 256;

    // Conversions write at most `size` bytes into `text`, the NUL included; whatever they
    // leave is cut to kTextSize - 1 characters.
    using ValueToText = void (*)(float value, char* text, size_t size);
    using ValueToTextWithData = void (*)(float value, char* text, size_t size, void* userData);
    using TextToValue = bool (*)(const char* text, float& value, void* userData);

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, int32_t style = 0);

    void draw(CDrawContext* context) override;
    bool isKindOf(const char* className) const override;

    // Operations of displays, in this order. The font, colour, alignment, style and face
    // setters mark the display dirty only when something changes.
    virtual void setFont(int32_t fontID);
    virtual void setFontColor(const CColor& color);
    virtual void setBackColor(const CColor& color);
    virtual void setFrameColor(const CColor& color);
    virtual void setShadowColor(const CColor& color);
    virtual void setHoriAlign(int32_t align);
    virtual void setStringConvertWithData(ValueToTextWithData convert, void* userData);
    virtual void setStringConvert(ValueToText convert) { stringConvert = convert; }
    virtual void setTextToValue(TextToValue convert) { textToValue = convert; }
    virtual void setStyle(int32_t newStyle);
    virtual void setTextFace(int32_t face);
    virtual void setTextTransparency(bool state) { bTextTransparencyEnabled = state; }

    int32_t getFont() const { return fontID; }
    CColor getFontColor() const { return fontColor; }
    CColor getBackColor() const { return backColor; }
    CColor getFrameColor() const { return frameColor; }
    CColor getShadowColor() const { return shadowColor; }
    int32_t getHoriAlign() const { return horiTxtAlign; }
    int32_t getStyle() const { return style; }
    int32_t getTextFace() const { return txtFace; }
    bool getTextTransparency() const { return bTextTransparencyEnabled; }
    TextToValue getTextToValue() const { return textToValue; }

    // The text the display shows for its value (what draw writes).
    void valueText(char (&text)[kTextSize]) const;

protected:
    // Background (the given bitmap, else the display's own, else the box), 3D border and
    // text. Null or empty text draws no text.
    void drawText(CDrawContext* context, const char* text, CBitmap* background = nullptr);

    ValueToText stringConvert = nullptr;
    ValueToTextWithData stringConvertWithData = nullptr;
    TextToValue textToValue = nullptr;
    void* userData = nullptr;
    int32_t horiTxtAlign = kCenterText;
    int32_t style;
    int32_t fontID = kNormalFont;
    int32_t txtFace = kNormalFace;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
    bool bTextTransparencyEnabled = true;
};
