#pragma once
// Decoding of device-independent bitmaps: 16 bits per pixel (5-5-5, or bit fields such as
// 5-6-5), 24 and 32 bits per pixel, rows bottom-up or top-down. Every size, offset and
// length is checked against the data's length before it is used; anything malformed,
// truncated or unsupported leaves the surface empty and answers false.

#include <cstddef>
#include <cstdint>

#include "gui/PixelSurface.h"

namespace gui {

// A bitmap as resources keep it: the header, bit masks and colour table, then the pixels.
bool decodeDib(const unsigned char* data, size_t length, PixelSurface& out);
// A .bmp file: a 14-byte file header that gives the pixels' offset, then the bitmap.
bool decodeBmpFile(const unsigned char* data, size_t length, PixelSurface& out);

}  // namespace gui
