#include "gui/CBitmap.h"

#include "gui/BitmapDecoder.h"
#include "gui/CDrawContext.h"
#include "gui/Resources.h"

CBitmap::CBitmap(int32_t id)
{
    loadFromResource(id);
    transparentColor = kTransparentCColor;
}

CBitmap::~CBitmap() = default;

void CBitmap::dispose()
{
    image.allocate(0, 0);
    width = height = 0;
    loaded = false;
}

bool CBitmap::loadFromResource(int32_t id)
{
    dispose();
    resourceID = id;
    gui::ResourceData data;
    if (!gui::findBitmapResource(id, data))
        return false;
    const bool decoded = data.withFileHeader ? gui::decodeBmpFile(data.bytes, data.size, image)
                                             : gui::decodeDib(data.bytes, data.size, image);
    if (!decoded)
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

void CBitmap::drawBitmap(CDrawContext* context, const CRect& dest, const CPoint& source)
{
    if (context && loaded)
        context->blit(image, dest, source);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& dest, const CPoint& source)
{
    if (context && loaded)
        context->blit(image, dest, source, CDrawContext::Blit::Keyed, gui::packRGB(transparentColor));
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& dest, const CPoint& source, uint8_t alpha)
{
    if (context && loaded)
        context->blit(image, dest, source, CDrawContext::Blit::Blended, 0, alpha);
}
