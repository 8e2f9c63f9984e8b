// The module's entry point. Hosts look for VSTPluginMain first and fall back to main.

#include <new>

#include "plugin/CZarelVST.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        CZarelVST* plugin = CZarelVST::create(host);
        return plugin ? plugin->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;  // nothing may be thrown across the host boundary
    }
}

#if !defined(_WIN32)
// A C++ function cannot be named main with this signature; export the same code under
// that name with an assembler alias.
asm(".globl main\n\t.type main, @function\n\t.set main, VSTPluginMain\n");
#endif
