// The module's entry point. Hosts look for VSTPluginMain first and fall back to main.

#include "plugin/EntryPoint.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    return korvalexPluginMain(host);
}

#if defined(_WIN32)
#include "gui/platform/win32/Win32Module.h"

// The load notification: the module's handle names the editor's window class and holds
// its bitmap resources.
extern "C" int __stdcall DllMain(void* instance, unsigned long reason, void*)
{
    constexpr unsigned long kProcessAttach = 1;
    if (reason == kProcessAttach)
        gui::platform::win32::setModuleInstance(instance);
    return 1;
}
#else
// A C++ function cannot be named main with this signature; export the same code under
// that name with an assembler alias.
asm(".globl main\n\t.type main, @function\n\t.set main, VSTPluginMain\n");
#endif
