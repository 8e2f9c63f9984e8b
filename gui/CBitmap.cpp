#include "gui/CBitmap.h"

#include <algorithm>

#include "gui/BitmapDecoder.h"
#include "gui/CDrawContext.h"
#include "gui/Resources.h"
#include "gui/Scale.h"

namespace {

bool decode(int32_t id, int32_t percent, gui::PixelSurface& out)
{
    gui::ResourceData data;
    if (!gui::findBitmapResource(id, percent, data))
        return false;
    return data.withFileHeader ? gui::decodeBmpFile(data.bytes, data.size, out) : gui::decodeDib(data.bytes, data.size, out);
}

// ceil(size * percent / 100): the pixels of a picture enlarged for a scale.
int32_t enlargedSize(int32_t size, int32_t percent) { return int32_t((int64_t(size) * percent + 99) / 100); }

// A picture drawn for a scale has at least the pixels the scale gives its logical size,
// and less than one more per logical pixel.
bool fitsScale(int32_t deviceSize, int32_t logicalSize, const gui::Scale& scale)
{
    const int32_t least = scale.toDeviceX(logicalSize);
    return deviceSize >= least && deviceSize < least + std::max(logicalSize, 1);
}

// The design picture with each of its pixels repeated over the pixels it maps to.
void enlarge(const gui::PixelSurface& design, int32_t percent, gui::PixelSurface& out)
{
    const int32_t w = design.width(), h = design.height();
    if (!out.allocate(enlargedSize(w, percent), enlargedSize(h, percent), false))
        return;
    std::vector<int32_t> columns(size_t(out.width()));
    for (int32_t x = 0, X = 0; x < w; ++x)
        for (const int32_t end = gui::mapAxis(x + 1, w, out.width()); X < end; ++X)
            columns[size_t(X)] = x;
    for (int32_t y = 0, Y = 0; y < h; ++y) {
        for (const int32_t end = gui::mapAxis(y + 1, h, out.height()); Y < end; ++Y) {
            const uint32_t* from = design.row(y);
            uint32_t* to = out.row(Y);
            for (int32_t X = 0; X < out.width(); ++X)
                to[X] = from[columns[size_t(X)]];
        }
    }
}

}  // namespace

CBitmap::CBitmap(int32_t id)
{
    loadFromResource(id);
    transparentColor = kTransparentCColor;
}

CBitmap::~CBitmap() = default;

void CBitmap::dispose()
{
    image.allocate(0, 0);
    scaled.clear();
    width = height = 0;
    loaded = false;
}

bool CBitmap::loadFromResource(int32_t id)
{
    dispose();
    resourceID = id;
    if (!decode(id, gui::Scale::kDesignPercent, image))
        return false;
    width = image.width();
    height = image.height();
    loaded = true;
    return true;
}

bool CBitmap::loadFromPath(const void*)
{
    dispose();
    return false;
}

CBitmap::ScaledPicture& CBitmap::pictureAt(int32_t percent)
{
    for (ScaledPicture& p : scaled)
        if (p.percent == percent)
            return p;
    ScaledPicture picture;
    picture.percent = percent;
    const gui::Scale scale(percent);
    picture.drawn = loaded && decode(resourceID, percent, picture.pixels) &&
                    fitsScale(picture.pixels.width(), width, scale) && fitsScale(picture.pixels.height(), height, scale);
    if (!picture.drawn && loaded)
        enlarge(image, percent, picture.pixels);
    scaled.push_back(std::move(picture));
    return scaled.back();
}

const gui::PixelSurface& CBitmap::pixelsAt(int32_t percent)
{
    if (percent == gui::Scale::kDesignPercent || !loaded)
        return image;
    return pictureAt(percent).pixels;
}

bool CBitmap::isDrawnFor(int32_t percent)
{
    return loaded && (percent == gui::Scale::kDesignPercent || pictureAt(percent).drawn);
}

CPoint CBitmap::pixelAt(const CPoint& point, int32_t percent)
{
    const gui::PixelSurface& picture = pixelsAt(percent);
    return CPoint(gui::mapAxis(point.h, width, picture.width()), gui::mapAxis(point.v, height, picture.height()));
}

void CBitmap::blitTo(CDrawContext* context, const CRect& dest, const CPoint& source, CDrawContext::Blit mode,
                     uint8_t alpha)
{
    if (!context || !loaded)
        return;
    const int32_t percent = context->getScale().percent();
    const CPoint from = pixelAt(source, percent);
    context->blit(pixelsAt(percent), dest, from, mode, gui::packRGB(transparentColor), alpha);
}

void CBitmap::drawBitmap(CDrawContext* context, const CRect& dest, const CPoint& source)
{
    blitTo(context, dest, source, CDrawContext::Blit::Opaque);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& dest, const CPoint& source)
{
    blitTo(context, dest, source, CDrawContext::Blit::Keyed);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& dest, const CPoint& source, uint8_t alpha)
{
    blitTo(context, dest, source, CDrawContext::Blit::Blended, alpha);
}
