#pragma once
// Where bitmaps come from: the build's resource table. On Linux the bitmaps under
// resources/ are compiled into the binary; on Windows they are the module's bitmap
// resources. Each build links exactly one implementation of this function.

#include <cstddef>
#include <cstdint>

namespace gui {

struct ResourceData {
    const unsigned char* bytes = nullptr;
    size_t size = 0;
    bool withFileHeader = false;  // a whole .bmp file rather than a bare device-independent bitmap
};

// The bytes of bitmap resource `id`; false when there is none.
bool findBitmapResource(int32_t id, ResourceData& out);

}  // namespace gui
