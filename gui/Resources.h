#pragma once
// Where bitmaps come from: the build's resource table. On Linux the bitmaps under
// resources/ are compiled into the binary; on Windows they are the module's bitmap
// resources. Each build links exactly one implementation of this function.
//
// A bitmap may come drawn for several scales: its picture at 100 % (the design size, which
// gives the bitmap its logical size) and pictures of the same design drawn with more
// pixels for larger scales (each image ceil(size * scale) pixels; see gui/Scale.h).

#include <cstddef>
#include <cstdint>

namespace gui {

struct ResourceData {
    const unsigned char* bytes = nullptr;
    size_t size = 0;
    bool withFileHeader = false;  // a whole .bmp file rather than a bare device-independent bitmap
};

// The bytes of bitmap resource `id` drawn for `scalePercent` (100: the design size);
// false when there is none.
bool findBitmapResource(int32_t id, int32_t scalePercent, ResourceData& out);

}  // namespace gui
