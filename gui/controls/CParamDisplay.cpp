#include "gui/controls/CParamDisplay.h"

#include <cstdio>

#include "gui/CBitmap.h"

namespace {

template <typename T>
void setIfChanged(T& field, const T& value, CControl& display)
{
    if (field == value)
        return;
    field = value;
    display.setDirty();
}

}  // namespace

CParamDisplay::CParamDisplay(const CRect& rect, CBitmap* background, int32_t style_)
    : CControl(rect, nullptr, 0, background), style(style_)
{
    if (style & kNoDrawStyle)
        setDirty(false);
}

bool CParamDisplay::isKindOf(const char* className) const
{
    return classNameIs(className, "CParamDisplay") || CControl::isKindOf(className);
}

void CParamDisplay::setFont(int32_t font) { setIfChanged(fontID, font, *this); }
void CParamDisplay::setFontColor(const CColor& color) { setIfChanged(fontColor, color, *this); }
void CParamDisplay::setBackColor(const CColor& color) { setIfChanged(backColor, color, *this); }
void CParamDisplay::setFrameColor(const CColor& color) { setIfChanged(frameColor, color, *this); }
void CParamDisplay::setShadowColor(const CColor& color) { setIfChanged(shadowColor, color, *this); }
void CParamDisplay::setHoriAlign(int32_t align) { setIfChanged(horiTxtAlign, align, *this); }
void CParamDisplay::setStyle(int32_t newStyle) { setIfChanged(style, newStyle, *this); }
void CParamDisplay::setTextFace(int32_t face) { setIfChanged(txtFace, face, *this); }

void CParamDisplay::setStringConvertWithData(ValueToTextWithData convert, void* data)
{
    stringConvertWithData = convert;
    userData = data;
}

// Conversions get the value as drawn, so that a NaN never reaches a table lookup.
void CParamDisplay::valueText(char (&text)[kTextSize]) const
{
    text[0] = 0;
    const float shown = drawnValue();
    if (stringConvertWithData)
        stringConvertWithData(shown, text, kTextSize, userData);
    else if (stringConvert)
        stringConvert(shown, text, kTextSize);
    else
        std::snprintf(text, kTextSize, "%2.2f", double(shown));
    text[kTextSize - 1] = 0;
}

void CParamDisplay::draw(CDrawContext* context)
{
    char text[kTextSize];
    valueText(text);
    drawText(context, text);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text, CBitmap* background)
{
    setDirty(false);
    if (style & kNoDrawStyle)
        return;

    if (CBitmap* bitmap = background ? background : pBackground) {
        drawBitmapInto(context, bitmap, size, backOffset);
    } else if (!bTransparencyEnabled) {
        context->setFillColor(backColor);
        context->fillRectangle(size);
        if (!(style & (kNoFrame | k3DIn | k3DOut))) {
            context->setFrameColor(frameColor);
            context->drawRectangle(size, 0);
        }
    }

    if (style & (k3DIn | k3DOut)) {
        context->setLineWidth(1);
        const bool in = style & k3DIn;
        const CPoint bottomLeft(size.left, gui::addSat(size.bottom, -1));
        const CPoint topLeft(size.left, gui::addSat(size.top, 1));
        const CPoint topRight(gui::addSat(size.right, -1), topLeft.v);
        const CPoint bottomRight(topRight.h, bottomLeft.v);
        context->setFrameColor(in ? backColor : frameColor);
        context->moveTo(bottomLeft);
        context->lineTo(topLeft);
        context->lineTo(topRight);
        context->setFrameColor(in ? frameColor : backColor);
        context->moveTo(topRight);
        context->lineTo(bottomRight);
        context->lineTo(bottomLeft);
    }

    if ((style & kNoTextStyle) || !text || !text[0])
        return;
    CRect oldClip;
    context->getClipRect(oldClip);
    context->setClipRect(size.intersection(oldClip));
    context->setFont(fontID, 0, txtFace);
    const bool opaque = !bTextTransparencyEnabled;
    if (opaque)
        context->setFillColor(backColor);  // the text's cells are filled with the back colour
    if (style & kShadowText) {
        context->setFontColor(shadowColor);
        context->drawString(text, size.offsetBy(1, 1), opaque, horiTxtAlign);
    }
    context->setFontColor(fontColor);
    context->drawString(text, size, opaque, horiTxtAlign);
    context->setClipRect(oldClip);
}
