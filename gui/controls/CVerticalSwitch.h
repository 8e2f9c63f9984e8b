#pragma once
// A switch of several positions stacked vertically: a press picks the position under the
// pointer and follows the pointer while the button stays held.

#include "gui/controls/CControl.h"

class CVerticalSwitch : public CControl {
public:
    CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t imageCount,
                    int32_t imageHeight, int32_t positionCount, CBitmap* background,
                    const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    bool isKindOf(const char* className) const override;

protected:
    float valueAt(const CPoint& where) const;

    CPoint offset;
    int32_t subPixmaps;
    int32_t heightOfOneImage;
    int32_t iMaxPositions;
};
