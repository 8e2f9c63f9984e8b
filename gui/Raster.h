#pragma once
// The raster routines every drawing call ends in. All rectangles are in the surface's own
// (device) coordinates; `clip` must lie inside the surface (see clipToSurface). Nothing is
// written outside the clip, whatever the coordinates asked for.

#include <cstdint>

#include "gui/GuiTypes.h"
#include "gui/PixelSurface.h"

namespace gui::raster {

enum class Mix : int32_t { Copy = 0, Or = 1, NotXor = 2 };

constexpr int32_t kDash = 3;  // pixels drawn, then left, by a dotted pen

struct Pen {
    uint32_t rgb = 0xFFFFFF;
    int32_t width = 1;
    bool dotted = false;
    int32_t dash = kDash;
};

CRect clipToSurface(const CRect& clip, const PixelSurface& surface);

// Source-over with constant alpha, per channel: (src * a + dst * (255 - a) + 127) / 255,
// so alpha 0 keeps the destination and 255 gives the source exactly.
inline uint8_t blendChannel(uint8_t src, uint8_t dst, uint32_t alpha)
{
    return static_cast<uint8_t>((src * alpha + dst * (255u - alpha) + 127u) / 255u);
}
inline uint32_t blendPixel(uint32_t src, uint32_t dst, uint32_t alpha)
{
    return packRGB(blendChannel(redOf(src), redOf(dst), alpha), blendChannel(greenOf(src), greenOf(dst), alpha),
                   blendChannel(blueOf(src), blueOf(dst), alpha));
}

void fillRect(PixelSurface& dst, const CRect& area, const CRect& clip, uint32_t rgb);
// The same, each pixel mixed with the colour as a pen's are.
void mixRect(PixelSurface& dst, const CRect& area, const CRect& clip, uint32_t rgb, Mix mix);

// A line from `from` to `to`, the end point excluded, as successive pixels of the major
// axis with the minor coordinate rounded to the nearest pixel (ties toward the start).
// A pen wider than one pixel stamps a square of its width centred on each pixel; a dotted
// pen draws `dash` pixels, leaves as many, starting anew with every line.
void drawLine(PixelSurface& dst, CPoint from, CPoint to, const Pen& pen, Mix mix, const CRect& clip);

// Copies the part of `area` that lies inside the clip from `src` starting at `srcOrigin`
// (the pixel that lands on area's top-left corner); source pixels outside `src` are skipped.
void copyOpaque(PixelSurface& dst, const CRect& area, const CRect& clip, const PixelSurface& src, CPoint srcOrigin);
// As copyOpaque, leaving out source pixels whose colour equals `key`.
void copyKeyed(PixelSurface& dst, const CRect& area, const CRect& clip, const PixelSurface& src, CPoint srcOrigin,
               uint32_t key);
// As copyOpaque, blending with constant alpha (blendPixel).
void copyBlended(PixelSurface& dst, const CRect& area, const CRect& clip, const PixelSurface& src, CPoint srcOrigin,
                 uint8_t alpha);

}  // namespace gui::raster
