#include "plugin/EntryPoint.h"

#include "plugin/CZarelVST.h"

AEffect* VSTCALLBACK korvalexPluginMain(audioMasterCallback host)
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
