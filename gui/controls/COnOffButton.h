#pragma once
// A button that toggles between off and on at each press; its background holds the off
// image above the on image.

#include "gui/controls/CControl.h"

class COnOffButton : public CControl {
public:
    // Styles: the order of reporting the change and of the tracking idle.
    enum { kPostListenerUpdate = 0, kPreListenerUpdate = 1 };

    COnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                 int32_t style = kPostListenerUpdate);

    void draw(CDrawContext* context) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    bool isKindOf(const char* className) const override;

    virtual int32_t getStyle() const { return style; }
    virtual void setStyle(int32_t v) { style = v; }

protected:
    int32_t style;
};
