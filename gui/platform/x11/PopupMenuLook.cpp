#include "gui/platform/x11/PopupMenuLook.h"

#include <algorithm>

#include "gui/Fonts.h"
#include "gui/Raster.h"

namespace gui::platform::x11 {

namespace {

// Metrics, pixels.
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

const fontdata::Face& labelFace(bool title) { return selectFace(fontdata::Family::Sans, title, false, kFontSize); }

int32_t rowHeight(const PopupItem& item) { return item.kind == PopupItem::Kind::Separator ? kSeparatorHeight : kItemHeight; }

void drawCheckMark(PixelSurface& s, int32_t left, int32_t middle, uint32_t colour)
{
    const raster::Pen pen{colour, 2, false};
    const CRect clip = s.bounds();
    raster::drawLine(s, CPoint(left + 9, middle), CPoint(left + 12, middle + 3), pen, raster::Mix::Copy, clip);
    raster::drawLine(s, CPoint(left + 12, middle + 3), CPoint(left + 18, middle - 4), pen, raster::Mix::Copy, clip);
}

void drawArrow(PixelSurface& s, int32_t right, int32_t middle, uint32_t colour)
{
    // A small solid triangle pointing right.
    for (int32_t i = 0; i < 4; ++i)
        raster::fillRect(s, CRect(right - 14 + i, middle - 4 + i, right - 13 + i, middle + 5 - i), s.bounds(), colour);
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

PopupLayout layoutPopup(const PopupMenu& menu)
{
    PopupLayout layout;
    layout.items.resize(menu.size());
    // Columns: the first item and every column break start one.
    std::vector<size_t> starts;
    for (size_t i = 0; i < menu.size(); ++i)
        if (i == 0 || menu[i].columnBreak)
            starts.push_back(i);
    starts.push_back(menu.size());
    int32_t x = kBorder;
    int32_t tallest = 0;
    for (size_t c = 0; c + 1 < starts.size(); ++c) {
        int32_t width = kMinColumnWidth;
        for (size_t i = starts[c]; i < starts[c + 1]; ++i) {
            const bool title = menu[i].disabled;
            width = std::max(width, kCheckColumn + textWidth(labelFace(title), menu[i].label.c_str()) + kArrowColumn);
        }
        int32_t y = kBorder + kPadding;
        for (size_t i = starts[c]; i < starts[c + 1]; ++i) {
            layout.items[i] = CRect(x, y, x + width, y + rowHeight(menu[i]));
            y += rowHeight(menu[i]);
        }
        tallest = std::max(tallest, y);
        x += width + (c + 2 < starts.size() ? kColumnGap : 0);
    }
    if (menu.empty()) {
        x += kMinColumnWidth;
        tallest = kBorder + kPadding + kItemHeight;
    }
    layout.width = x + kBorder;
    layout.height = tallest + kPadding + kBorder;
    return layout;
}

void drawPopup(PixelSurface& s, const PopupMenu& menu, const PopupLayout& layout, int32_t highlighted)
{
    const CRect all = s.bounds();
    raster::fillRect(s, all, all, kBackground);
    // Column dividers, then the border.
    for (size_t i = 1; i < menu.size(); ++i)
        if (menu[i].columnBreak) {
            const int32_t x = layout.items[i].left - kColumnGap;
            raster::fillRect(s, CRect(x, kBorder + 3, x + kColumnGap, layout.height - kBorder - 3), all, kDivider);
        }
    raster::fillRect(s, CRect(0, 0, layout.width, kBorder), all, kBorderColour);
    raster::fillRect(s, CRect(0, layout.height - kBorder, layout.width, layout.height), all, kBorderColour);
    raster::fillRect(s, CRect(0, 0, kBorder, layout.height), all, kBorderColour);
    raster::fillRect(s, CRect(layout.width - kBorder, 0, layout.width, layout.height), all, kBorderColour);

    for (size_t i = 0; i < menu.size(); ++i) {
        const PopupItem& item = menu[i];
        const CRect& r = layout.items[i];
        const int32_t middle = r.top + r.height() / 2;
        if (item.kind == PopupItem::Kind::Separator) {
            raster::fillRect(s, CRect(r.left + 8, middle, r.right - 8, middle + 1), all, kDivider);
            continue;
        }
        const bool lit = static_cast<int32_t>(i) == highlighted && (isChoosable(item) || opensSubMenu(item));
        if (lit)
            raster::fillRect(s, CRect(r.left + kHighlightInset, r.top + 1, r.right - kHighlightInset, r.bottom - 1), all,
                             kHighlight);
        uint32_t colour = kText;
        if (item.greyed)
            colour = kGreyedText;
        else if (item.disabled)
            colour = kTitleText;
        if (lit)
            colour = kHighlightText;
        const fontdata::Face& face = labelFace(item.disabled);
        const int32_t baseline = r.top + (r.height() + face.ascent - face.descent) / 2;
        drawText(s, face, r.left + kCheckColumn, baseline, item.label.c_str(), colour, false, r.intersection(all));
        if (item.checked)
            drawCheckMark(s, r.left, middle, colour);
        if (item.kind == PopupItem::Kind::SubMenu)
            drawArrow(s, r.right, middle, colour);
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

CPoint placeSubMenu(const CRect& parentOnScreen, const CRect& itemOnScreen, CPoint size, const CRect& screen)
{
    CPoint p(parentOnScreen.right - 2, itemOnScreen.top - kPadding - kBorder);
    if (p.h + size.h > screen.right)
        p.h = parentOnScreen.left - size.h + 2;
    return placeMenu(p, size, screen);
}

}  // namespace gui::platform::x11
