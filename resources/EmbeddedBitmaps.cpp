// The front panel's bitmaps compiled into the binary: each .bmp file of BitmapList.inc is
// included byte for byte by the assembler between two symbols, and looked up by
// identifier and scale. ELF builds of the plug-in use this table; the Windows DLL has the same files
// as bitmap resources (korvalex.rc), and Windows test programs use this table too.

#include <cstddef>
#include <cstdint>

#include "gui/Resources.h"

#if defined(_WIN32)
#define KORVALEX_DATA_SECTION ".section .rdata,\"dr\"\n"
#define KORVALEX_LOCAL_SYMBOL(name) ""
#else
#define KORVALEX_DATA_SECTION ".section .rodata\n"
#define KORVALEX_LOCAL_SYMBOL(name) "\t.hidden " name "\n"
#endif

// The assembler names are given explicitly, so no platform's symbol prefix applies.
#define KORVALEX_BITMAP_NAME(id, scale) "korvalex_bitmap_" #id "_" #scale
#define KORVALEX_BITMAP(id, scale, file)                                                                       \
    asm(KORVALEX_DATA_SECTION "\t.balign 4\n\t.globl " KORVALEX_BITMAP_NAME(id, scale) "\n"                     \
        KORVALEX_LOCAL_SYMBOL(KORVALEX_BITMAP_NAME(id, scale)) KORVALEX_BITMAP_NAME(id, scale) ":\n\t.incbin \"" \
        KORVALEX_RESOURCE_DIR "/" file "\"\n\t.globl " KORVALEX_BITMAP_NAME(id, scale) "_end\n"                  \
        KORVALEX_LOCAL_SYMBOL(KORVALEX_BITMAP_NAME(id, scale) "_end")                                             \
        KORVALEX_BITMAP_NAME(id, scale) "_end:\n\t.text\n");
#include "resources/BitmapList.inc"
#undef KORVALEX_BITMAP

#define KORVALEX_BITMAP(id, scale, file)                                                                \
    extern "C" const unsigned char korvalexBitmap##id##_##scale[] asm(KORVALEX_BITMAP_NAME(id, scale));     \
    extern "C" const unsigned char korvalexBitmapEnd##id##_##scale[] asm(KORVALEX_BITMAP_NAME(id, scale) "_end");
#include "resources/BitmapList.inc"
#undef KORVALEX_BITMAP

namespace {

struct EmbeddedBitmap {
    int32_t id;
    int32_t scalePercent;
    const unsigned char* begin;
    const unsigned char* end;
};

const EmbeddedBitmap kBitmaps[] = {
#define KORVALEX_BITMAP(id, scale, file) {id, scale, korvalexBitmap##id##_##scale, korvalexBitmapEnd##id##_##scale},
#include "resources/BitmapList.inc"
#undef KORVALEX_BITMAP
};

}  // namespace

bool gui::findBitmapResource(int32_t id, int32_t scalePercent, ResourceData& out)
{
    for (const EmbeddedBitmap& bitmap : kBitmaps) {
        if (bitmap.id == id && bitmap.scalePercent == scalePercent) {
            out.bytes = bitmap.begin;
            out.size = static_cast<size_t>(bitmap.end - bitmap.begin);
            out.withFileHeader = true;
            return true;
        }
    }
    return false;
}
