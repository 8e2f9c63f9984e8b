#pragma once
// Small helpers shared by the toolkit's tests.

#include <algorithm>
#include <cstdint>
#include <string>

#include "gui/GuiTypes.h"
#include "gui/PixelSurface.h"
#include "tests/support/ReferenceImage.h"

namespace guitest {

inline testimage::Image imageOf(const gui::PixelSurface& s)
{
    testimage::Image image;
    image.width = s.width();
    image.height = s.height();
    image.pixels.reserve(size_t(s.width()) * size_t(s.height()));
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x)
            image.pixels.push_back(s.pixel(x, y));
    return image;
}

inline int64_t countPixels(const gui::PixelSurface& s, uint32_t rgb)
{
    int64_t n = 0;
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x)
            n += s.pixel(x, y) == rgb;
    return n;
}

// The smallest rectangle holding every pixel for which `ink` holds (empty when there is none).
template <typename Ink>
CRect boundsWhere(const gui::PixelSurface& s, Ink ink)
{
    CRect r(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
    bool any = false;
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x)
            if (ink(s.pixel(x, y))) {
                any = true;
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return any ? r : CRect();
}

// Pixels of colour `rgb`; pixels that differ from `background`.
inline CRect boundsOf(const gui::PixelSurface& s, uint32_t rgb)
{
    return boundsWhere(s, [rgb](uint32_t p) { return p == rgb; });
}
inline CRect inkBounds(const gui::PixelSurface& s, uint32_t background)
{
    return boundsWhere(s, [background](uint32_t p) { return p != background; });
}

inline std::string referenceDir() { return KORVALEX_GUI_REFERENCE_DIR; }

}  // namespace guitest
