#pragma once
// Text from the glyph atlases: face selection, measuring and drawing.

#include <cstdint>

#include "gui/FontData.h"
#include "gui/PixelSurface.h"

namespace gui {

// The face of the family and style whose size is nearest to `pixelSize` (the smaller of
// two equally near ones). Symbol faces have no italic; it is ignored for them.
const fontdata::Face& selectFace(fontdata::Family family, bool bold, bool italic, int32_t pixelSize);

// Sum of the advances of the text's characters. Control characters have none.
int32_t textWidth(const fontdata::Face& face, const char* text);

// Draws the text with its pen starting at x on the given baseline, each glyph's coverage
// blended in `rgb` (raster::blendPixel with the coverage as alpha), inside the clip only.
// With `underline`, a bar of the face's underline thickness runs under the whole text.
void drawText(PixelSurface& dst, const fontdata::Face& face, int32_t x, int32_t baseline, const char* text,
              uint32_t rgb, bool underline, const CRect& clip);

}  // namespace gui
