#pragma once
// A picture from the build's bitmap resources, drawn opaquely, with a transparent colour
// keyed on red, green and blue, or blended with constant alpha.
//
// Its size is logical (the picture at 100 %). Drawn into a context of another scale, it
// takes the picture the resources hold for that scale, drawn from the same design with
// more pixels; a bitmap without one is shown enlarged pixel by pixel instead.

#include <cstdint>
#include <vector>

#include "gui/CDrawContext.h"
#include "gui/CReferenceCounter.h"
#include "gui/GuiTypes.h"
#include "gui/PixelSurface.h"

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

    // The picture for drawing at `scalePercent` (loaded when first asked for), and whether
    // the resources held one drawn for that scale (false: the 100 % picture enlarged).
    const gui::PixelSurface& pixelsAt(int32_t scalePercent);
    bool isDrawnFor(int32_t scalePercent);
    // A logical point of the bitmap as a pixel of its picture at `scalePercent`.
    CPoint pixelAt(const CPoint& point, int32_t scalePercent);

protected:
    struct ScaledPicture {
        int32_t percent = 0;
        bool drawn = false;  // from the resources, not enlarged
        gui::PixelSurface pixels;
    };
    ScaledPicture& pictureAt(int32_t scalePercent);
    // The picture for the context's scale, copied as `mode` says.
    void blitTo(CDrawContext* context, const CRect& dest, const CPoint& source, CDrawContext::Blit mode,
                uint8_t alpha = 255);

    int32_t resourceID = 0;
    int32_t width = 0;
    int32_t height = 0;
    CColor transparentColor = kTransparentCColor;
    bool loaded = false;
    gui::PixelSurface image;
    std::vector<ScaledPicture> scaled;
};
