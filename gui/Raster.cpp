#include "gui/Raster.h"

#include <algorithm>
#include <cstring>

namespace gui::raster {

namespace {

// floor((2 * i * minorLen + majorLen - 1) / (2 * majorLen)) for lengths below 2^33, where
// the products need more than 64 bits: a 128-bit numerator in two halves, long division.
int64_t roundedMinorWide(uint64_t i, uint64_t minorLen, uint64_t majorLen)
{
    const uint64_t aLo = i & 0xFFFFFFFFu, aHi = i >> 32;
    const uint64_t bLo = minorLen & 0xFFFFFFFFu, bHi = minorLen >> 32;
    // i * minorLen = hi:lo
    const uint64_t ll = aLo * bLo, lh = aLo * bHi, hl = aHi * bLo, hh = aHi * bHi;
    const uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    uint64_t lo = (ll & 0xFFFFFFFFu) | (mid << 32);
    uint64_t hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    // times two, plus majorLen - 1
    hi = (hi << 1) | (lo >> 63);
    lo <<= 1;
    const uint64_t add = majorLen - 1;
    lo += add;
    if (lo < add)
        ++hi;
    const uint64_t divisor = 2 * majorLen;
    uint64_t quotient = 0, remainder = 0;
    for (int bit = 127; bit >= 0; --bit) {
        remainder = (remainder << 1) | ((bit >= 64 ? hi >> (bit - 64) : lo >> bit) & 1u);
        quotient <<= 1;
        if (remainder >= divisor) {
            remainder -= divisor;
            quotient |= 1;
        }
    }
    return int64_t(quotient);
}

uint32_t mixPixel(uint32_t dst, uint32_t rgb, Mix mix)
{
    switch (mix) {
    case Mix::Or:
        return dst | rgb;
    case Mix::NotXor:
        return ~(dst ^ rgb) & 0xFFFFFFu;
    case Mix::Copy:
        break;
    }
    return rgb;
}

// The pixel range [lo, hi] of coordinate `start + step * i` for i in [first, last] that
// falls inside [minValue, maxValue]; false when none does.
bool majorRange(int64_t start, int64_t step, int64_t minValue, int64_t maxValue, int64_t& first, int64_t& last)
{
    int64_t lo, hi;
    if (step > 0) {
        lo = minValue - start;
        hi = maxValue - start;
    } else {
        lo = start - maxValue;
        hi = start - minValue;
    }
    first = std::max(first, lo);
    last = std::min(last, hi);
    return first <= last;
}

// The area of `area` ∩ clip whose source pixels exist in `src`, and the source point of its
// top-left corner; false when nothing is left.
bool sourceWindow(const CRect& area, const CRect& clip, const PixelSurface& src, CPoint srcOrigin, CRect& visible,
                  int64_t& srcX, int64_t& srcY)
{
    if (src.isEmpty())
        return false;
    const int64_t dx = int64_t(srcOrigin.h) - area.left;  // source x = dest x + dx
    const int64_t dy = int64_t(srcOrigin.v) - area.top;
    int64_t left = std::max<int64_t>({area.left, clip.left, -dx});
    int64_t top = std::max<int64_t>({area.top, clip.top, -dy});
    int64_t right = std::min<int64_t>({area.right, clip.right, int64_t(src.width()) - dx});
    int64_t bottom = std::min<int64_t>({area.bottom, clip.bottom, int64_t(src.height()) - dy});
    if (right <= left || bottom <= top)
        return false;
    visible = CRect(int32_t(left), int32_t(top), int32_t(right), int32_t(bottom));
    srcX = left + dx;
    srcY = top + dy;
    return true;
}

template <typename PixelOp>
void copyWith(PixelSurface& dst, const CRect& area, const CRect& clip, const PixelSurface& src, CPoint srcOrigin,
              PixelOp op)
{
    CRect v;
    int64_t sx, sy;
    if (!sourceWindow(area, clip, src, srcOrigin, v, sx, sy))
        return;
    const int32_t w = v.width();
    for (int32_t y = v.top; y < v.bottom; ++y) {
        const uint32_t* s = src.row(int32_t(sy + (y - v.top))) + sx;
        uint32_t* d = dst.row(y) + v.left;
        for (int32_t x = 0; x < w; ++x)
            d[x] = op(s[x], d[x]);
    }
}

}  // namespace

CRect clipToSurface(const CRect& clip, const PixelSurface& surface)
{
    CRect r = clip;
    r.bound(surface.bounds());
    return r;
}

void fillRect(PixelSurface& dst, const CRect& area, const CRect& clip, uint32_t rgb)
{
    CRect r = area;
    r.bound(clip);
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::fill_n(dst.row(y) + r.left, r.width(), rgb);
}

void mixRect(PixelSurface& dst, const CRect& area, const CRect& clip, uint32_t rgb, Mix mix)
{
    CRect r = area;
    r.bound(clip);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = dst.row(y);
        for (int32_t x = r.left; x < r.right; ++x)
            row[x] = mixPixel(row[x], rgb, mix);
    }
}

void drawLine(PixelSurface& dst, CPoint from, CPoint to, const Pen& pen, Mix mix, const CRect& clip)
{
    if (clip.isEmpty())
        return;
    const int64_t dx = int64_t(to.h) - from.h;
    const int64_t dy = int64_t(to.v) - from.v;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const int64_t steps = std::max(adx, ady);
    if (steps == 0)
        return;
    const bool xMajor = adx >= ady;
    const int64_t major0 = xMajor ? from.h : from.v;
    const int64_t minor0 = xMajor ? from.v : from.h;
    const int64_t majorStep = xMajor ? (dx < 0 ? -1 : 1) : (dy < 0 ? -1 : 1);
    const int64_t minorStep = xMajor ? (dy < 0 ? -1 : 1) : (dx < 0 ? -1 : 1);
    const int64_t majorLen = xMajor ? adx : ady;
    const int64_t minorLen = xMajor ? ady : adx;

    const int32_t width = std::max(1, pen.width);
    const int64_t stampLo = -(width - 1) / 2;
    const int64_t stampHi = width / 2;
    const int64_t majorMin = (xMajor ? clip.left : clip.top) - stampHi;
    const int64_t majorMax = (xMajor ? clip.right : clip.bottom) - 1 - stampLo;
    const int64_t minorMin = (xMajor ? clip.top : clip.left) - stampHi;
    const int64_t minorMax = (xMajor ? clip.bottom : clip.right) - 1 - stampLo;

    // Minor offset of step i: i * minorLen / majorLen rounded, halves toward the start.
    const bool narrow = majorLen < (int64_t(1) << 30);
    auto minorOffset = [&](int64_t i) {
        return narrow ? (2 * i * minorLen + majorLen - 1) / (2 * majorLen)
                      : roundedMinorWide(uint64_t(i), uint64_t(minorLen), uint64_t(majorLen));
    };
    int64_t first = 0, last = steps - 1;
    if (!majorRange(major0, majorStep, majorMin, majorMax, first, last))
        return;
    int64_t offsetMin, offsetMax;  // allowed minor offsets
    if (minorStep > 0) {
        offsetMin = minorMin - minor0;
        offsetMax = minorMax - minor0;
    } else {
        offsetMin = minor0 - minorMax;
        offsetMax = minor0 - minorMin;
    }
    // minorOffset is non-decreasing: narrow [first, last] by binary search.
    {
        int64_t lo = first, hi = last + 1;
        while (lo < hi) {
            const int64_t mid = lo + (hi - lo) / 2;
            if (minorOffset(mid) >= offsetMin)
                hi = mid;
            else
                lo = mid + 1;
        }
        first = lo;
        lo = first - 1;
        hi = last;
        while (lo < hi) {
            const int64_t mid = hi - (hi - lo) / 2;
            if (minorOffset(mid) <= offsetMax)
                lo = mid;
            else
                hi = mid - 1;
        }
        last = lo;
    }
    for (int64_t i = first; i <= last; ++i) {
        if (pen.dotted && (i / std::max(1, pen.dash)) % 2 != 0)
            continue;
        const int64_t major = major0 + majorStep * i;
        const int64_t minor = minor0 + minorStep * minorOffset(i);
        const int64_t px = xMajor ? major : minor;
        const int64_t py = xMajor ? minor : major;
        const int64_t x0 = std::max<int64_t>(px + stampLo, clip.left);
        const int64_t x1 = std::min<int64_t>(px + stampHi, clip.right - 1);
        const int64_t y0 = std::max<int64_t>(py + stampLo, clip.top);
        const int64_t y1 = std::min<int64_t>(py + stampHi, clip.bottom - 1);
        for (int64_t y = y0; y <= y1; ++y) {
            uint32_t* row = dst.row(int32_t(y));
            for (int64_t x = x0; x <= x1; ++x)
                row[x] = mixPixel(row[x], pen.rgb, mix);
        }
    }
}

void copyOpaque(PixelSurface& dst, const CRect& area, const CRect& clip, const PixelSurface& src, CPoint srcOrigin)
{
    CRect v;
    int64_t sx, sy;
    if (!sourceWindow(area, clip, src, srcOrigin, v, sx, sy))
        return;
    const size_t bytes = size_t(v.width()) * sizeof(uint32_t);
    // Within one surface the rows must be taken in an order that reads each before it is overwritten.
    const bool upward = &dst == &src && sy < v.top;
    for (int32_t n = 0; n < v.height(); ++n) {
        const int32_t k = upward ? v.height() - 1 - n : n;
        std::memmove(dst.row(v.top + k) + v.left, src.row(int32_t(sy + k)) + sx, bytes);
    }
}

void copyKeyed(PixelSurface& dst, const CRect& area, const CRect& clip, const PixelSurface& src, CPoint srcOrigin,
               uint32_t key)
{
    copyWith(dst, area, clip, src, srcOrigin, [key](uint32_t s, uint32_t d) { return s == key ? d : s; });
}

void copyBlended(PixelSurface& dst, const CRect& area, const CRect& clip, const PixelSurface& src, CPoint srcOrigin,
                 uint8_t alpha)
{
    copyWith(dst, area, clip, src, srcOrigin, [alpha](uint32_t s, uint32_t d) { return blendPixel(s, d, alpha); });
}

}  // namespace gui::raster
