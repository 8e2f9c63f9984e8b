#pragma once
// Geometry, colour and input types shared by every part of the view toolkit.
//
// Coordinates are 32-bit signed. Arithmetic on them saturates at the 32-bit limits instead
// of overflowing, so that views and drawing calls with extreme coordinates stay defined.

#include <cstdint>
#include <utility>

namespace gui {

inline int32_t saturate32(int64_t v)
{
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}
inline int32_t addSat(int32_t a, int64_t b) { return saturate32(static_cast<int64_t>(a) + b); }

}  // namespace gui

struct CPoint {
    int32_t h = 0;
    int32_t v = 0;

    CPoint() = default;
    CPoint(int32_t h_, int32_t v_) : h(h_), v(v_) {}

    CPoint& offset(int32_t dh, int32_t dv)
    {
        h = gui::addSat(h, dh);
        v = gui::addSat(v, dv);
        return *this;
    }
    bool operator==(const CPoint& o) const { return h == o.h && v == o.v; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

// Right and bottom are exclusive when drawing; hit tests include all four edges.
struct CRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    CRect() = default;
    constexpr CRect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}

    int32_t width() const { return gui::saturate32(static_cast<int64_t>(right) - left); }
    int32_t height() const { return gui::saturate32(static_cast<int64_t>(bottom) - top); }
    bool isEmpty() const { return right <= left || bottom <= top; }

    CRect& offset(int32_t dx, int32_t dy)
    {
        left = gui::addSat(left, dx);
        right = gui::addSat(right, dx);
        top = gui::addSat(top, dy);
        bottom = gui::addSat(bottom, dy);
        return *this;
    }
    CRect offsetBy(int32_t dx, int32_t dy) const { return CRect(*this).offset(dx, dy); }
    CRect& moveTo(int32_t x, int32_t y)
    {
        const int64_t w = static_cast<int64_t>(right) - left;
        const int64_t h = static_cast<int64_t>(bottom) - top;
        left = x;
        top = y;
        right = gui::addSat(x, w);
        bottom = gui::addSat(y, h);
        return *this;
    }
    // Intersection; an empty result keeps right >= left and bottom >= top.
    CRect& bound(const CRect& o)
    {
        if (left < o.left) left = o.left;
        if (top < o.top) top = o.top;
        if (right > o.right) right = o.right;
        if (bottom > o.bottom) bottom = o.bottom;
        if (right < left) right = left;
        if (bottom < top) bottom = top;
        return *this;
    }
    CRect intersection(const CRect& o) const { return CRect(*this).bound(o); }
    // Left/top the smaller, right/bottom the larger coordinate.
    CRect& normalize()
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        return *this;
    }
    bool containsInclusive(const CPoint& p) const
    {
        return p.h >= left && p.h <= right && p.v >= top && p.v <= bottom;
    }
    bool operator==(const CRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CRect& o) const { return !(*this == o); }
};

// Red, green, blue and alpha. Drawing uses red, green and blue only.
struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    bool operator==(const CColor& o) const
    {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    bool operator!=(const CColor& o) const { return !(*this == o); }
};

extern const CColor kBlackCColor;
extern const CColor kWhiteCColor;
extern const CColor kGreyCColor;
extern const CColor kRedCColor;
extern const CColor kGreenCColor;
extern const CColor kBlueCColor;
extern const CColor kYellowCColor;
extern const CColor kMagentaCColor;
extern const CColor kCyanCColor;
extern const CColor kTransparentCColor;  // bitmaps' default transparent colour: white, alpha 0

// The mouse-button bit set that views receive: logical buttons and modifier keys.
enum CButton : int32_t {
    kLButton = 1,
    kMButton = 2,
    kRButton = 4,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
    kApple = 64,  // a fourth modifier no supported platform sets
};

// A key as hosts describe it: a character, or a virtual key code, plus modifier bits.
struct CKeyCode {
    int32_t character = 0;
    uint8_t virt = 0;
    uint8_t modifier = 0;
};

// Virtual key codes and modifier bits of key records (the numbering hosts use).
enum CVirtualKey : uint8_t {
    kVKeyBack = 1,
    kVKeyTab,
    kVKeyClear,
    kVKeyReturn,
    kVKeyPause,
    kVKeyEscape,
    kVKeySpace,
    kVKeyNext,
    kVKeyEnd,
    kVKeyHome,
    kVKeyLeft,
    kVKeyUp,
    kVKeyRight,
    kVKeyDown,
    kVKeyPageUp,
    kVKeyPageDown,
};
enum CKeyModifier : uint8_t {
    kKeyModShift = 1 << 0,
    kKeyModAlternate = 1 << 1,
    kKeyModCommand = 1 << 2,
    kKeyModControl = 1 << 3,
};

// Cursor kinds of CFrame::setCursor.
enum CCursorType : int32_t {
    kCursorDefault = 0,
    kCursorWait = 1,
    kCursorHSize = 2,
    kCursorVSize = 3,
    kCursorSizeAll = 4,
    kCursorNESWSize = 5,
    kCursorNWSESize = 6,
    kCursorCopy = 7,
    kCursorNotAllowed = 8,
    kCursorHand = 9,
};
