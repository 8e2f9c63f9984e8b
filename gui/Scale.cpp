#include "gui/Scale.h"

#include <algorithm>

namespace gui {

namespace {

int64_t floorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

}  // namespace

Scale::Scale(int32_t percent, CPoint anchor)
    : pct(std::clamp(percent, kMinPercent, kMaxPercent)), origin(anchor)
{
}

int32_t Scale::axisToDevice(int32_t x, int32_t anchor) const
{
    if (pct == kDesignPercent)
        return x;
    const int64_t base = floorDiv(int64_t(anchor) * pct, 100);
    return saturate32(floorDiv((int64_t(x) + anchor) * pct, 100) - base);
}

// The largest k whose edge lies at or before pixel x: floor(k * p / 100) <= x holds
// exactly while k * p <= 100 * (x + 1) - 1.
int32_t Scale::axisToLogical(int32_t x, int32_t anchor) const
{
    if (pct == kDesignPercent)
        return x;
    const int64_t absolute = int64_t(x) + floorDiv(int64_t(anchor) * pct, 100);
    return saturate32(floorDiv(100 * (absolute + 1) - 1, pct) - anchor);
}

CRect Scale::toDevice(const CRect& r) const
{
    return CRect(toDeviceX(r.left), toDeviceY(r.top), toDeviceX(r.right), toDeviceY(r.bottom));
}

CRect Scale::toLogicalCover(const CRect& d) const
{
    if (d.isEmpty())
        return CRect(toLogicalX(d.left), toLogicalY(d.top), toLogicalX(d.left), toLogicalY(d.top));
    return CRect(toLogicalX(d.left), toLogicalY(d.top), addSat(toLogicalX(addSat(d.right, -1)), 1),
                 addSat(toLogicalY(addSat(d.bottom, -1)), 1));
}

int32_t Scale::length(int32_t logical) const
{
    return std::max(1, saturate32(floorDiv(int64_t(logical) * pct + 50, 100)));
}

int32_t Scale::fontSize(int32_t logical) const { return saturate32(floorDiv(int64_t(logical) * pct + 50, 100)); }

int32_t mapAxis(int32_t x, int32_t logicalSize, int32_t deviceSize)
{
    if (logicalSize <= 0 || logicalSize == deviceSize)
        return x;
    return saturate32(floorDiv(int64_t(x) * deviceSize, logicalSize));
}

}  // namespace gui
