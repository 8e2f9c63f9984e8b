#include "gui/platform/win32/Win32Module.h"

#include <windows.h>

#include <cstdio>

#include "gui/Resources.h"

namespace gui::platform::win32 {

namespace {

HINSTANCE instanceHandle = nullptr;

}  // namespace

void setModuleInstance(void* instance) { instanceHandle = static_cast<HINSTANCE>(instance); }

void* moduleInstance() { return instanceHandle ? instanceHandle : GetModuleHandleA(nullptr); }

}  // namespace gui::platform::win32

// Bitmaps are the module's RT_BITMAP resources: a device-independent bitmap without the
// file header. The design size has the identifier as its number; a picture drawn for
// another scale is named ZOOM<percent>_<identifier> (ZOOM150_10128).
bool gui::findBitmapResource(int32_t id, int32_t scalePercent, ResourceData& out)
{
    HMODULE module = static_cast<HMODULE>(platform::win32::moduleInstance());
    char name[32];
    std::snprintf(name, sizeof name, "ZOOM%d_%d", static_cast<int>(scalePercent), static_cast<int>(id));
    const LPCSTR resource = scalePercent == 100 ? MAKEINTRESOURCEA(id) : name;
    HRSRC found = FindResourceA(module, resource, MAKEINTRESOURCEA(2));  // RT_BITMAP
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return false;
    out.bytes = static_cast<const unsigned char*>(bytes);
    out.size = SizeofResource(module, found);
    out.withFileHeader = false;
    return true;
}
