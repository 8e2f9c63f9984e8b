#pragma once
// A level meter of LEDs: the lit part comes from the on bitmap, the rest from the off
// bitmap. The shown level jumps up at once and falls by one decay step per drawing.

#include "gui/Scale.h"
#include "gui/controls/CControl.h"

class COffscreenContext;

class CVuMeter : public CControl {
public:
    enum { kHorizontal = 1, kVertical = 2 };  // without the horizontal bit the meter is vertical

    CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, int32_t ledCount, int32_t style = kVertical);
    ~CVuMeter() override;

    void draw(CDrawContext* context) override;
    bool attachedTo(CView* parent) override;
    bool detachedFrom(CView* parent) override;
    bool isKindOf(const char* className) const override;

    virtual void setDecayStep(float step) { decreaseValue = step; }

    float getDecayStep() const { return decreaseValue; }
    // Drawing through a buffer of the meter's own (the default) or straight to the context.
    void setUseOffscreen(bool state);
    bool getUseOffscreen() const { return bUseOffscreen; }

protected:
    void makeOffscreen();
    void releaseOffscreen();
    gui::Scale offscreenScale() const;
    void resetRectangles();

    CBitmap* onBitmap;
    CBitmap* offBitmap;
    COffscreenContext* pOffscreen = nullptr;
    int32_t nbLed;
    int32_t style;
    float decreaseValue = 0.1f;
    bool bUseOffscreen = true;
    CRect rectOn;
    CRect rectOff;
};
