#pragma once
// A picture from the build's bitmap resources, drawn opaquely, with a transparent colour
// keyed on red, green and blue, or blended with constant alpha.

#include <cstdint>

#include "gui/CReferenceCounter.h"
#include "gui/GuiTypes.h"
#include "gui/PixelSurface.h"

class CDrawContext;

class CBitmap : public CReferenceCounter {
public:
    // Loads bitmap resource `resourceID`; a missing or malformed one leaves the bitmap empty.
    explicit CBitmap(int32_t resourceID);
    ~CBitmap() override;

    // Each copies dest's size from `source` in the bitmap to dest in the context; pixels
    // outside the bitmap are not drawn.
    virtual void drawBitmap(CDrawContext* context, const CRect& dest, const CPoint& source = CPoint(0, 0));
    virtual void drawTransparent(CDrawContext* context, const CRect& dest, const CPoint& source = CPoint(0, 0));
    // Source-over with a constant alpha 0..255 (per channel (src * a + dst * (255 - a) + 127) / 255).
    virtual void drawAlphaBlend(CDrawContext* context, const CRect& dest, const CPoint& source = CPoint(0, 0),
                                uint8_t alpha = 128);
    virtual void dispose();
    virtual bool loadFromResource(int32_t resourceID);
    virtual bool loadFromPath(const void* platformPath);  // not supported: empties the bitmap

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    int32_t getResourceID() const { return resourceID; }
    bool isLoaded() const { return loaded; }
    void setTransparentColor(const CColor& color) { transparentColor = color; }
    CColor getTransparentColor() const { return transparentColor; }
    const gui::PixelSurface& pixels() const { return image; }

protected:
    int32_t resourceID = 0;
    int32_t width = 0;
    int32_t height = 0;
    CColor transparentColor = kTransparentCColor;
    bool loaded = false;
    gui::PixelSurface image;
};
