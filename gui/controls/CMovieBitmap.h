#pragma once
// A display that shows one image of a film strip for its value; no mouse handling.

#include "gui/controls/CControl.h"

class CMovieBitmap : public CControl {
public:
    CMovieBitmap(const CRect& size, CControlListener* listener, int32_t tag, int32_t imageCount, int32_t imageHeight,
                 CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    bool isKindOf(const char* className) const override;

protected:
    CPoint offset;
    int32_t subPixmaps;
    int32_t heightOfOneImage;
};
