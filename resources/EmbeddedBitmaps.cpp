// The front panel's bitmaps compiled into the binary, for builds without a resource
// compiler (ELF): each .bmp file of BitmapList.inc is included byte for byte by the
// assembler between two hidden symbols, and looked up by identifier.

#include <cstddef>
#include <cstdint>

#include "gui/Resources.h"

#define KORVALEX_BITMAP(id, file)                                                        \
    asm(".section .rodata\n\t.balign 4\n\t.globl korvalex_bitmap_" #id                    \
        "\n\t.hidden korvalex_bitmap_" #id "\nkorvalex_bitmap_" #id ":\n\t.incbin \""     \
        KORVALEX_RESOURCE_DIR "/" file "\"\n\t.globl korvalex_bitmap_" #id                \
        "_end\n\t.hidden korvalex_bitmap_" #id "_end\nkorvalex_bitmap_" #id "_end:\n\t.previous\n");
#include "resources/BitmapList.inc"
#undef KORVALEX_BITMAP

#define KORVALEX_BITMAP(id, file)                                                        \
    extern "C" __attribute__((visibility("hidden"))) const unsigned char korvalex_bitmap_##id[]; \
    extern "C" __attribute__((visibility("hidden"))) const unsigned char korvalex_bitmap_##id##_end[];
#include "resources/BitmapList.inc"
#undef KORVALEX_BITMAP

namespace {

struct EmbeddedBitmap {
    int32_t id;
    const unsigned char* begin;
    const unsigned char* end;
};

const EmbeddedBitmap kBitmaps[] = {
#define KORVALEX_BITMAP(id, file) {id, korvalex_bitmap_##id, korvalex_bitmap_##id##_end},
#include "resources/BitmapList.inc"
#undef KORVALEX_BITMAP
};

}  // namespace

bool gui::findBitmapResource(int32_t id, ResourceData& out)
{
    for (const EmbeddedBitmap& bitmap : kBitmaps) {
        if (bitmap.id == id) {
            out.bytes = bitmap.begin;
            out.size = static_cast<size_t>(bitmap.end - bitmap.begin);
            out.withFileHeader = true;
            return true;
        }
    }
    return false;
}
