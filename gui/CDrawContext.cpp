#include "gui/CDrawContext.h"

#include <algorithm>

#include "gui/CFrame.h"
#include "gui/Fonts.h"
#include "gui/Raster.h"
#include "gui/platform/PlatformWindow.h"

namespace {

struct FontEntry {
    gui::fontdata::Family family;
    int32_t height;
};
const FontEntry kFontTable[kNumStandardFonts] = {
    {gui::fontdata::Family::Sans, 12},   {gui::fontdata::Family::Sans, 18}, {gui::fontdata::Family::Sans, 14},
    {gui::fontdata::Family::Sans, 12},   {gui::fontdata::Family::Sans, 11}, {gui::fontdata::Family::Sans, 10},
    {gui::fontdata::Family::Sans, 9},    {gui::fontdata::Family::Symbol, 13},
};

constexpr size_t kMaxDamageAreas = 16;

int64_t area(const CRect& r) { return int64_t(r.width()) * r.height(); }

CRect unionOf(const CRect& a, const CRect& b)
{
    return CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom));
}

bool touches(const CRect& a, const CRect& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

CDrawContext::CDrawContext(CFrame* frame_, gui::PixelSurface* deviceContext, gui::platform::PlatformWindow* window_)
    : surface(deviceContext), window(window_), frame(frame_)
{
    if (!surface && window)
        surface = &window->surface();
    if (window)
        offsetScreen = windowOrigin = window->screenOrigin();
    if (frame)
        scale = frame->getScale();
    resetClipRect();

    setFrameColor(kWhiteCColor);
    setLineStyle(kLineSolid);
    setLineWidth(1);
    setFillColor(kBlackCColor);
    setFontColor(kWhiteCColor);
    setFont(kSystemFont);
    setDrawMode(kCopyMode);
}

CDrawContext::~CDrawContext()
{
    if (window && surface == &window->surface() && window->isAlive())
        for (const CRect& r : damage)
            window->present(r);
}

CRect CDrawContext::deviceClip() const
{
    return surface ? gui::raster::clipToSurface(scale.toDevice(clipRect), *surface) : CRect();
}

void CDrawContext::addDamage(const CRect& deviceArea)
{
    CRect r = deviceArea;
    r.bound(deviceClip());
    if (r.isEmpty())
        return;
    // Merge with an area it touches; when there are too many, with the one that grows least.
    for (;;) {
        auto hit = std::find_if(damage.begin(), damage.end(), [&](const CRect& d) { return touches(d, r); });
        if (hit == damage.end())
            break;
        r = unionOf(r, *hit);
        damage.erase(hit);
    }
    if (damage.size() == kMaxDamageAreas) {
        auto best = std::min_element(damage.begin(), damage.end(), [&](const CRect& a, const CRect& b) {
            return area(unionOf(a, r)) - area(a) < area(unionOf(b, r)) - area(b);
        });
        r = unionOf(r, *best);
        damage.erase(best);
    }
    damage.push_back(r);
}

void CDrawContext::createPen()
{
    penRGB = gui::packRGB(frameColor);
    ++penCreations;
}

void CDrawContext::setLineStyle(int32_t style)
{
    if (style == lineStyle)
        return;
    lineStyle = style;
    createPen();
}

void CDrawContext::setLineWidth(int32_t width)
{
    if (width == frameWidth)
        return;
    frameWidth = width;
    createPen();
}

void CDrawContext::setFrameColor(const CColor& color)
{
    if (color == frameColor)
        return;
    frameColor = color;
    createPen();
}

void CDrawContext::setFillColor(const CColor& color)
{
    fillColor = color;
    brushRGB = gui::packRGB(color);
}

void CDrawContext::setFontColor(const CColor& color) { fontColor = color; }

void CDrawContext::setDrawMode(int32_t mode)
{
    if (mode == drawMode)
        return;
    drawMode = mode;
}

void CDrawContext::setFont(int32_t font, int32_t size, int32_t style)
{
    if (font < 0 || font >= kNumStandardFonts)
        font = kSystemFont;
    const int32_t effectiveSize = size > 0 ? size : kFontTable[font].height;
    if (font == fontId && effectiveSize == fontSize && style == fontStyle)
        return;
    fontId = font;
    fontSize = effectiveSize;
    fontStyle = style;
    const bool bold = font == kSystemFont || (style & kBoldFace);
    fontFace = &gui::selectFace(kFontTable[font].family, bold, (style & kItalicFace) != 0, scale.fontSize(effectiveSize));
    fontUnderline = (style & kUnderlineFace) != 0;
}

void CDrawContext::setScale(const gui::Scale& newScale)
{
    scale = newScale;
    const int32_t font = fontId, size = fontSize, style = fontStyle;
    fontId = kNumStandardFonts;  // the face for the new scale
    setFont(font, size, style);
}

void CDrawContext::setClipRect(const CRect& clip)
{
    clipRect = clip.offsetBy(offset.h, offset.v);
}

CRect& CDrawContext::getClipRect(CRect& clip) const
{
    clip = clipRect;
    clip.offset(-offset.h, -offset.v);
    return clip;
}

void CDrawContext::resetClipRect()
{
    clipRect = frame ? frame->getViewSize() : CRect(0, 0, 1000, 1000);
}

void CDrawContext::moveTo(const CPoint& point)
{
    penPosition = point;
    penPosition.offset(offset.h, offset.v);
}

// At a scale, a solid line along an axis covers exactly the pixels of the logical pixels
// it crosses (the pen's square stamped along it, the end point left out).
bool CDrawContext::axisLineAtScale(const CPoint& to)
{
    const CPoint& from = penPosition;
    if (scale.isDesignSize() || lineStyle == kLineOnOffDash || (from.h != to.h && from.v != to.v) || from == to)
        return false;
    const int32_t width = std::max(1, frameWidth);
    const int64_t low = -(width - 1) / 2, high = width / 2 + 1;
    auto span = [](int32_t a, int32_t b, int64_t& first, int64_t& end) {
        first = a < b ? a : int64_t(b) + 1;  // from a towards b, b itself left out
        end = a < b ? b : int64_t(a) + 1;
    };
    int64_t x0 = from.h + low, x1 = from.h + high, y0 = from.v + low, y1 = from.v + high;
    if (from.v == to.v)
        span(from.h, to.h, x0, x1);
    else
        span(from.v, to.v, y0, y1);
    const CRect area = scale.toDevice(
        CRect(gui::saturate32(x0), gui::saturate32(y0), gui::saturate32(x1), gui::saturate32(y1)));
    gui::raster::mixRect(*surface, area, deviceClip(), penRGB, static_cast<gui::raster::Mix>(std::clamp(drawMode, 0, 2)));
    addDamage(area);
    return true;
}

void CDrawContext::lineTo(const CPoint& point)
{
    CPoint to = point;
    to.offset(offset.h, offset.v);
    if (surface && !axisLineAtScale(to)) {
        const CPoint from = scale.toDevice(penPosition), end = scale.toDevice(to);
        const int32_t width = scale.length(frameWidth);
        const gui::raster::Pen pen{penRGB, width, lineStyle == kLineOnOffDash, scale.length(gui::raster::kDash)};
        const CRect clip = deviceClip();
        gui::raster::drawLine(*surface, from, end, pen, static_cast<gui::raster::Mix>(std::clamp(drawMode, 0, 2)), clip);
        // The damaged area: the segment's box grown by the pen's reach.
        const int32_t reach = std::max(1, width);
        addDamage(CRect(gui::addSat(std::min(from.h, end.h), -reach), gui::addSat(std::min(from.v, end.v), -reach),
                        gui::addSat(std::max(from.h, end.h), reach + 1), gui::addSat(std::max(from.v, end.v), reach + 1)));
    }
    penPosition = to;
}

void CDrawContext::drawRectangle(const CRect& rect, int32_t style)
{
    if (style == 1 || style == 2) {
        if (surface) {
            const CRect r = scale.toDevice(rect.offsetBy(offset.h, offset.v));
            gui::raster::fillRect(*surface, r, deviceClip(), brushRGB);
            addDamage(r);
        }
    }
    if (style == 0 || style == 2) {
        moveTo(CPoint(rect.left, rect.top));
        lineTo(CPoint(gui::addSat(rect.right, -1), rect.top));
        lineTo(CPoint(gui::addSat(rect.right, -1), gui::addSat(rect.bottom, -1)));
        lineTo(CPoint(rect.left, gui::addSat(rect.bottom, -1)));
        lineTo(CPoint(rect.left, rect.top));
    }
}

void CDrawContext::fillRectangle(const CRect& rect)
{
    if (!surface)
        return;
    CRect r = rect.offsetBy(offset.h, offset.v);
    r.left = gui::addSat(r.left, 1);
    r.top = gui::addSat(r.top, 1);
    r = scale.toDevice(r);
    gui::raster::fillRect(*surface, r, deviceClip(), brushRGB);
    addDamage(r);
}

// In logical pixels: the text's width on the surface, rounded up.
int32_t CDrawContext::getStringWidth(const char* text)
{
    if (!text || !fontFace)
        return 0;
    const int64_t pixels = gui::textWidth(*fontFace, text);
    return gui::saturate32((pixels * 100 + scale.percent() - 1) / scale.percent());
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, int32_t align)
{
    if (!text || !surface || !fontFace)
        return;
    CRect box = rect.offsetBy(offset.h, offset.v);
    if (align == kLeftText)
        box.left = gui::addSat(box.left, 1);
    box = scale.toDevice(box);
    const int64_t textW = gui::textWidth(*fontFace, text);
    const int64_t lineH = fontFace->ascent + fontFace->descent;
    int64_t x = box.left;
    if (align == kCenterText)
        x = box.left + (int64_t(box.width()) - textW) / 2;
    else if (align == kRightText)
        x = box.right - textW;
    const int64_t y = box.top + (int64_t(box.height()) - lineH) / 2;

    CRect clip = deviceClip();
    clip.bound(box);
    if (clip.isEmpty())
        return;
    if (opaque)
        gui::raster::fillRect(*surface,
                              CRect(gui::saturate32(x), gui::saturate32(y), gui::saturate32(x + textW),
                                    gui::saturate32(y + lineH)),
                              clip, brushRGB);
    gui::drawText(*surface, *fontFace, gui::saturate32(x), gui::saturate32(y + fontFace->ascent), text,
                  gui::packRGB(fontColor), fontUnderline, clip);
    addDamage(clip);
}

int32_t CDrawContext::getMouseButtons()
{
    gui::platform::PlatformWindow* w = window ? window : (frame ? frame->getPlatformWindow() : nullptr);
    return w ? w->buttonState() : 0;
}

// The pointer's pixel in the window, in logical coordinates, less the views entered.
void CDrawContext::getPointerPosition(CPoint& point)
{
    gui::platform::PlatformWindow* w = window ? window : (frame ? frame->getPlatformWindow() : nullptr);
    point = w ? w->pointerPosition() : CPoint();
    point.offset(-windowOrigin.h, -windowOrigin.v);
    point = (frame ? frame->getScale() : gui::Scale(scale.percent())).toLogical(point);
    point.offset(windowOrigin.h - offsetScreen.h, windowOrigin.v - offsetScreen.v);
}

void CDrawContext::blit(const gui::PixelSurface& src, const CRect& dest, const CPoint& source, Blit mode, uint32_t key,
                        uint8_t alpha)
{
    if (!surface)
        return;
    const CRect d = scale.toDevice(dest.offsetBy(offset.h, offset.v));
    const CRect clip = deviceClip();
    switch (mode) {
    case Blit::Opaque:
        gui::raster::copyOpaque(*surface, d, clip, src, source);
        break;
    case Blit::Keyed:
        gui::raster::copyKeyed(*surface, d, clip, src, source, key);
        break;
    case Blit::Blended:
        gui::raster::copyBlended(*surface, d, clip, src, source, alpha);
        break;
    }
    addDamage(d);
}

COffscreenContext::COffscreenContext(CFrame* frame_, int32_t width_, int32_t height_, const CColor& background,
                                     CPoint anchor)
    : CDrawContext(frame_, nullptr, nullptr), width(width_), height(height_), backgroundColor(background)
{
    scale = gui::Scale(scale.percent(), anchor);
    ownSurface.allocate(scale.toDeviceX(width), scale.toDeviceY(height));
    surface = &ownSurface;
    clipRect = CRect(0, 0, width, height);
    clipRect.normalize();
    setFillColor(background);
    setFrameColor(background);
    fillRectangle(CRect(0, 0, width, height));
    drawRectangle(CRect(0, 0, width, height), 0);
    // Together the two cover every pixel at 100 %; a wider scale has more under the outline.
    gui::raster::fillRect(ownSurface, ownSurface.bounds(), ownSurface.bounds(), gui::packRGB(background));
    damage.clear();
}

void COffscreenContext::copyFrom(CDrawContext* dest, const CRect& destRect, const CPoint& source)
{
    if (dest)
        dest->blit(ownSurface, destRect, scale.toDevice(source));
}
