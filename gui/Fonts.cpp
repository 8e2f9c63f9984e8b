#include "gui/Fonts.h"

#include <cstdlib>

#include "gui/Raster.h"

namespace gui {

namespace {

const fontdata::Glyph* glyphFor(const fontdata::Face& face, unsigned char c)
{
    if (c < fontdata::kFirstCode)
        return nullptr;
    return &face.glyphs[c - fontdata::kFirstCode];
}

int coverageOf(char digit) { return digit <= '9' ? digit - '0' : digit - 'a' + 10; }

void drawGlyph(PixelSurface& dst, const fontdata::Glyph& g, int64_t left, int64_t top, uint32_t rgb, const CRect& clip)
{
    const char* digits = fontdata::kCoverage + g.coverage;
    for (int y = 0; y < g.height; ++y) {
        const int64_t py = top + y;
        if (py < clip.top || py >= clip.bottom)
            continue;
        uint32_t* row = dst.row(int32_t(py));
        for (int x = 0; x < g.width; ++x) {
            const int64_t px = left + x;
            const int alpha = coverageOf(digits[y * g.width + x]) * 17;
            if (alpha == 0 || px < clip.left || px >= clip.right)
                continue;
            row[px] = raster::blendPixel(rgb, row[px], uint32_t(alpha));
        }
    }
}

}  // namespace

const fontdata::Face& selectFace(fontdata::Family family, bool bold, bool italic, int32_t pixelSize)
{
    if (family == fontdata::Family::Symbol)
        italic = false;
    const fontdata::Face* best = &fontdata::kFaces[0];
    int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < fontdata::kFaceCount; ++i) {
        const fontdata::Face& f = fontdata::kFaces[i];
        if (f.family != family || f.bold != bold || f.italic != italic)
            continue;
        const int64_t distance = std::llabs(int64_t(f.pixelSize) - pixelSize);
        if (distance < bestDistance || (distance == bestDistance && f.pixelSize < best->pixelSize)) {
            best = &f;
            bestDistance = distance;
        }
    }
    return *best;
}

int32_t textWidth(const fontdata::Face& face, const char* text)
{
    int64_t width = 0;
    for (const char* p = text; *p; ++p)
        if (const fontdata::Glyph* g = glyphFor(face, static_cast<unsigned char>(*p)))
            width += g->advance;
    return saturate32(width);
}

void drawText(PixelSurface& dst, const fontdata::Face& face, int32_t x, int32_t baseline, const char* text,
              uint32_t rgb, bool underline, const CRect& clip)
{
    int64_t pen = x;
    for (const char* p = text; *p; ++p) {
        const fontdata::Glyph* g = glyphFor(face, static_cast<unsigned char>(*p));
        if (!g)
            continue;
        if (g->width > 0 && pen < clip.right + 64 && pen + g->left + g->width > clip.left)
            drawGlyph(dst, *g, pen + g->left, int64_t(baseline) - g->top, rgb, clip);
        pen += g->advance;
        if (pen > int64_t(clip.right) + 64 && !underline)
            break;  // the rest lies right of the clip
    }
    if (underline) {
        const int64_t top = int64_t(baseline) + face.underlinePosition;
        const CRect bar(x, saturate32(top), saturate32(pen), saturate32(top + face.underlineThickness));
        raster::fillRect(dst, bar, clip, rgb);
    }
}

}  // namespace gui
