#pragma once
// The scale a view tree is drawn at. Views, layouts, hit tests and controls work in
// logical coordinates (the panel's design size, 100 %); a surface drawn at another scale
// has more pixels, and every logical coordinate x has its pixel edge floor(x * percent /
// 100) there. Logical pixel x covers the pixels from its edge to the next one's, so
// rectangles that meet in logical coordinates meet on the surface too.
//
// A surface may hold a part of the window only (an off-screen buffer of a view): it is
// anchored at the logical point where it lies, and its pixels are those the window would
// have there, so copying it to the window changes nothing but speed.

#include <cstdint>

#include "gui/GuiTypes.h"

namespace gui {

class Scale {
public:
    static constexpr int32_t kDesignPercent = 100;
    static constexpr int32_t kMinPercent = 50;
    static constexpr int32_t kMaxPercent = 400;

    Scale() = default;
    // Percent outside kMinPercent..kMaxPercent is brought inside.
    explicit Scale(int32_t percent, CPoint anchor = CPoint());

    int32_t percent() const { return pct; }
    CPoint anchor() const { return origin; }
    bool isDesignSize() const { return pct == kDesignPercent; }
    bool operator==(const Scale& o) const { return pct == o.pct && origin == o.origin; }
    bool operator!=(const Scale& o) const { return !(*this == o); }

    // Logical to surface pixels (pixel edges; relative to the anchor).
    int32_t toDeviceX(int32_t x) const { return axisToDevice(x, origin.h); }
    int32_t toDeviceY(int32_t y) const { return axisToDevice(y, origin.v); }
    CPoint toDevice(const CPoint& p) const { return CPoint(toDeviceX(p.h), toDeviceY(p.v)); }
    CRect toDevice(const CRect& r) const;
    // The logical pixel a surface pixel belongs to.
    int32_t toLogicalX(int32_t x) const { return axisToLogical(x, origin.h); }
    int32_t toLogicalY(int32_t y) const { return axisToLogical(y, origin.v); }
    CPoint toLogical(const CPoint& p) const { return CPoint(toLogicalX(p.h), toLogicalY(p.v)); }
    // The smallest logical rectangle whose pixels cover a rectangle of surface pixels.
    CRect toLogicalCover(const CRect& deviceArea) const;

    // Sizes that are not positions: a length (pen widths, dashes; at least 1) and a font's
    // pixel height, both rounded to the nearest pixel, halves up.
    int32_t length(int32_t logical) const;
    int32_t fontSize(int32_t logical) const;

private:
    int32_t axisToDevice(int32_t x, int32_t anchor) const;
    int32_t axisToLogical(int32_t x, int32_t anchor) const;

    int32_t pct = kDesignPercent;
    CPoint origin;
};

// Where a bitmap drawn at a scale has its pixels: each axis of the scaled picture is
// `deviceSize` pixels for `logicalSize` logical ones, and logical coordinate x maps to
// floor(x * deviceSize / logicalSize). A picture of ceil(size * scale) pixels per image
// maps every logical point inside an image as Scale does, and the images of a film strip
// to the start of their own pixels.
int32_t mapAxis(int32_t x, int32_t logicalSize, int32_t deviceSize);

}  // namespace gui
