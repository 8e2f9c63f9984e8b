#pragma once
// Knobs: CKnob draws a handle over its background at the angle of its value and follows
// the mouse linearly (up and right increase) or around its centre; CAnimKnob shows one
// image of a film strip instead of a handle.

#include "gui/controls/CControl.h"

// Process-wide knob modes (CFrame::setKnobModeForAll); alt swaps linear and circular.
enum CKnobMode : int32_t { kCircularMode = 0, kRelativeCircularMode = 1, kLinearMode = 2 };

class CKnob : public CControl {
public:
    // `handle` may be null: the handle is then a line in the handle colours.
    CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, CBitmap* handle,
          const CPoint& offset = CPoint(0, 0));
    ~CKnob() override;

    // Overrides.
    void draw(CDrawContext* context) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    bool wheel(CDrawContext* context, const CPoint& where, float distance) override;
    int32_t keyDown(const CKeyCode& key) override;  // arrows while the knob has the focus
    bool isKindOf(const char* className) const override;
    // The angles map the range; a new range moves the mapping with it.
    void setMin(float v) override;
    void setMax(float v) override;

    // Operations of knobs, in this order.
    virtual void drawHandle(CDrawContext* context);
    virtual void setStartAngle(float angle);  // radians, counter-clockwise from the right
    virtual float getStartAngle() const { return startAngle; }
    virtual void setRangeAngle(float angle);  // negative: clockwise travel
    virtual float getRangeAngle() const { return rangeAngle; }
    // The handle's point for the value, and the value for a point, both relative to the
    // knob's top-left corner.
    virtual void valueToPoint(CPoint& point) const;
    virtual float valueFromPoint(const CPoint& point) const;
    virtual void setInsetValue(int32_t v) { inset = v; }
    virtual void setColorShadowHandle(const CColor& color);
    virtual void setColorHandle(const CColor& color);
    virtual void setHandleBitmap(CBitmap* bitmap);
    virtual void setZoomFactor(float factor) { zoomFactor = factor; }
    virtual float getZoomFactor() const { return zoomFactor; }

    int32_t getInsetValue() const { return inset; }
    CColor getColorHandle() const { return colorHandle; }
    CColor getColorShadowHandle() const { return colorShadowHandle; }
    CBitmap* getHandleBitmap() const { return pHandle; }

protected:
    void compute();  // the angle-to-value mapping
    void trackLinear(CDrawContext* context, CPoint where, int32_t buttons);
    void trackCircular(CDrawContext* context, CPoint where);
    CPoint relative(const CPoint& where) const { return CPoint(where.h - size.left, where.v - size.top); }

    CPoint offset;
    CColor colorHandle = kWhiteCColor;
    CColor colorShadowHandle = kGreyCColor;
    CBitmap* pHandle = nullptr;
    int32_t inset = 3;
    float startAngle = 0.f;
    float rangeAngle = 1.f;
    float halfAngle = 0.f;
    float aCoef = 0.f;  // value per radian
    float bCoef = 0.f;  // value offset
    float radius;
    float zoomFactor = 1.5f;
};

class CAnimKnob : public CKnob {
public:
    // `imageCount` images of `imageHeight` pixels stacked in the background.
    CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t imageCount, int32_t imageHeight,
              CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    // Clean while the (invisible) handle point has not moved by a pixel.
    bool isDirty() const override;
    bool isKindOf(const char* className) const override;

    int32_t getImageCount() const { return subPixmaps; }
    int32_t getImageHeight() const { return heightOfOneImage; }

protected:
    int32_t subPixmaps;
    int32_t heightOfOneImage;
    CPoint lastDrawnPoint;
};
