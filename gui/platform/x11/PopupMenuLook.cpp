#include "gui/platform/x11/PopupMenuLook.h"

#include <algorithm>

#include "gui/Fonts.h"
#include "gui/Raster.h"
#include "gui/Scale.h"

namespace gui::platform::x11 {

namespace {

// Metrics at 100 %, pixels.
constexpr int32_t kBorder = 1;
constexpr int32_t kPadding = 5;          // above the first and below the last row
constexpr int32_t kItemHeight = 24;
constexpr int32_t kSeparatorHeight = 9;
constexpr int32_t kCheckColumn = 28;     // left of the label: room for a check mark
constexpr int32_t kArrowColumn = 26;     // right of the label: room for a sub-menu arrow
constexpr int32_t kMinColumnWidth = 132;
constexpr int32_t kColumnGap = 1;        // a divider line between columns
constexpr int32_t kHighlightInset = 4;
constexpr int32_t kFontSize = 13;

// Colours.
constexpr uint32_t kBackground = 0xFBFBFC;
constexpr uint32_t kBorderColour = 0xB9BEC6;
constexpr uint32_t kDivider = 0xE2E5EA;
constexpr uint32_t kText = 0x1F2328;
constexpr uint32_t kGreyedText = 0xA4A9B0;
constexpr uint32_t kTitleText = 0x6A717B;
constexpr uint32_t kHighlight = 0x2D6CDF;
constexpr uint32_t kHighlightText = 0xFFFFFF;

// The metrics at a scale; every length is the 100 % one scaled and rounded.
struct Metrics {
    explicit Metrics(int32_t percent) : scale(percent) {}
    int32_t operator()(int32_t length) const { return scale.length(length); }
    const fontdata::Face& labelFace(bool title) const
    {
        return selectFace(fontdata::Family::Sans, title, false, scale.fontSize(kFontSize));
    }
    int32_t rowHeight(const PopupItem& item) const
    {
        return (*this)(item.kind == PopupItem::Kind::Separator ? kSeparatorHeight : kItemHeight);
    }
    Scale scale;
};

void drawCheckMark(PixelSurface& s, int32_t left, int32_t middle, uint32_t colour, const Metrics& m)
{
    const raster::Pen pen{colour, m(2), false};
    const CRect clip = s.bounds();
    raster::drawLine(s, CPoint(left + m(9), middle), CPoint(left + m(12), middle + m(3)), pen, raster::Mix::Copy, clip);
    raster::drawLine(s, CPoint(left + m(12), middle + m(3)), CPoint(left + m(18), middle - m(4)), pen, raster::Mix::Copy,
                     clip);
}

void drawArrow(PixelSurface& s, int32_t right, int32_t middle, uint32_t colour, const Metrics& m)
{
    // A small solid triangle pointing right: columns that shrink by a pixel above and below.
    const int32_t columns = m(4), left = right - m(14), half = m(4);
    for (int32_t i = 0; i < columns; ++i)
        raster::fillRect(s, CRect(left + i, middle - half + i, left + i + 1, middle + half + 1 - i), s.bounds(), colour);
}

}  // namespace

bool opensSubMenu(const PopupItem& item)
{
    return item.kind == PopupItem::Kind::SubMenu && !item.children.empty() && !item.greyed && !item.disabled;
}

bool isChoosable(const PopupItem& item)
{
    return item.kind == PopupItem::Kind::Item && !item.greyed && !item.disabled;
}

PopupLayout layoutPopup(const PopupMenu& menu, int32_t scalePercent)
{
    const Metrics m(scalePercent);
    PopupLayout layout;
    layout.items.resize(menu.size());
    // Columns: the first item and every column break start one.
    std::vector<size_t> starts;
    for (size_t i = 0; i < menu.size(); ++i)
        if (i == 0 || menu[i].columnBreak)
            starts.push_back(i);
    starts.push_back(menu.size());
    int32_t x = m(kBorder);
    int32_t tallest = 0;
    for (size_t c = 0; c + 1 < starts.size(); ++c) {
        int32_t width = m(kMinColumnWidth);
        for (size_t i = starts[c]; i < starts[c + 1]; ++i) {
            const bool title = menu[i].disabled;
            width = std::max(width, m(kCheckColumn) + textWidth(m.labelFace(title), menu[i].label.c_str()) +
                                        m(kArrowColumn));
        }
        int32_t y = m(kBorder) + m(kPadding);
        for (size_t i = starts[c]; i < starts[c + 1]; ++i) {
            layout.items[i] = CRect(x, y, x + width, y + m.rowHeight(menu[i]));
            y += m.rowHeight(menu[i]);
        }
        tallest = std::max(tallest, y);
        x += width + (c + 2 < starts.size() ? m(kColumnGap) : 0);
    }
    if (menu.empty()) {
        x += m(kMinColumnWidth);
        tallest = m(kBorder) + m(kPadding) + m(kItemHeight);
    }
    layout.width = x + m(kBorder);
    layout.height = tallest + m(kPadding) + m(kBorder);
    return layout;
}

void drawPopup(PixelSurface& s, const PopupMenu& menu, const PopupLayout& layout, int32_t highlighted,
               int32_t scalePercent)
{
    const Metrics m(scalePercent);
    const int32_t border = m(kBorder), gap = m(kColumnGap);
    const CRect all = s.bounds();
    raster::fillRect(s, all, all, kBackground);
    // Column dividers, then the border.
    for (size_t i = 1; i < menu.size(); ++i)
        if (menu[i].columnBreak) {
            const int32_t x = layout.items[i].left - gap;
            raster::fillRect(s, CRect(x, border + m(3), x + gap, layout.height - border - m(3)), all, kDivider);
        }
    raster::fillRect(s, CRect(0, 0, layout.width, border), all, kBorderColour);
    raster::fillRect(s, CRect(0, layout.height - border, layout.width, layout.height), all, kBorderColour);
    raster::fillRect(s, CRect(0, 0, border, layout.height), all, kBorderColour);
    raster::fillRect(s, CRect(layout.width - border, 0, layout.width, layout.height), all, kBorderColour);

    for (size_t i = 0; i < menu.size(); ++i) {
        const PopupItem& item = menu[i];
        const CRect& r = layout.items[i];
        const int32_t middle = r.top + r.height() / 2;
        if (item.kind == PopupItem::Kind::Separator) {
            raster::fillRect(s, CRect(r.left + m(8), middle, r.right - m(8), middle + m(1)), all, kDivider);
            continue;
        }
        const bool lit = static_cast<int32_t>(i) == highlighted && (isChoosable(item) || opensSubMenu(item));
        if (lit)
            raster::fillRect(s, CRect(r.left + m(kHighlightInset), r.top + m(1), r.right - m(kHighlightInset),
                                      r.bottom - m(1)),
                             all, kHighlight);
        uint32_t colour = kText;
        if (item.greyed)
            colour = kGreyedText;
        else if (item.disabled)
            colour = kTitleText;
        if (lit)
            colour = kHighlightText;
        const fontdata::Face& face = m.labelFace(item.disabled);
        const int32_t baseline = r.top + (r.height() + face.ascent - face.descent) / 2;
        drawText(s, face, r.left + m(kCheckColumn), baseline, item.label.c_str(), colour, false, r.intersection(all));
        if (item.checked)
            drawCheckMark(s, r.left, middle, colour, m);
        if (item.kind == PopupItem::Kind::SubMenu)
            drawArrow(s, r.right, middle, colour, m);
    }
}

int32_t itemAt(const PopupLayout& layout, CPoint where)
{
    for (size_t i = 0; i < layout.items.size(); ++i) {
        const CRect& r = layout.items[i];
        if (where.h >= r.left && where.h < r.right && where.v >= r.top && where.v < r.bottom)
            return static_cast<int32_t>(i);
    }
    return -1;
}

CPoint placeMenu(CPoint wanted, CPoint size, const CRect& screen)
{
    CPoint p = wanted;
    p.h = std::max(screen.left, std::min(p.h, screen.right - size.h));
    p.v = std::max(screen.top, std::min(p.v, screen.bottom - size.v));
    return p;
}

CPoint placeSubMenu(const CRect& parentOnScreen, const CRect& itemOnScreen, CPoint size, const CRect& screen,
                    int32_t scalePercent)
{
    const Metrics m(scalePercent);
    CPoint p(parentOnScreen.right - m(2), itemOnScreen.top - m(kPadding) - m(kBorder));
    if (p.h + size.h > screen.right)
        p.h = parentOnScreen.left - size.h + m(2);
    return placeMenu(p, size, screen);
}

}  // namespace gui::platform::x11
