#include "lv2/MirroredPlugin.h"

#include <cmath>
#include <cstring>

#include "editor/AEffGUIEditor.h"
#include "plugin/FactoryBank.h"
#include "plugin/Parameters.h"

MirroredPlugin::MirroredPlugin(const Host& h) : AudioEffectX(nullptr, 0, kNumParameters), host(h)
{
    // The DSP starts on program 0 and the panel on the amp page; the host's port events
    // follow.
    for (int i = 0; i < kNumPanelParameters; ++i)
        settings[i] = kFactoryBank[0].values[i];
    settings[kEditorPage] = 0.0f;
}

void MirroredPlugin::setFromHost(uint32_t port, float value)
{
    if (lv2port::isParameter(port))
        setParameter(static_cast<VstInt32>(port), value);
    else if (!std::isfinite(value))
        return;
    else if (port == lv2port::kCompressorMeter)
        compressorMeter = value;
    else if (port == lv2port::kGateMeter)
        gateMeter = value;
}

void MirroredPlugin::setParameter(VstInt32 index, float value)
{
    if (!lv2port::isParameter(static_cast<uint32_t>(index)) || !acceptParameterValue(value))
        return;
    settings[index] = index == kEditorPage ? editorPageSetting(value) : value;
    if (panel)
        panel->setParameter(index, value);
}

float MirroredPlugin::getParameter(VstInt32 index)
{
    if (lv2port::isParameter(static_cast<uint32_t>(index)))
        return settings[index];
    if (index == kCompressorMeterIndex)
        return compressorMeter;
    if (index == kGateMeterIndex)
        return gateMeter;
    return 0.0f;
}

void MirroredPlugin::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    if (lv2port::isParameter(static_cast<uint32_t>(index)) && host.write)
        host.write(host.controller, static_cast<uint32_t>(index), sizeof value, 0, &value);
}

void MirroredPlugin::touch(VstInt32 index, bool grabbed)
{
    if (host.touch && host.touch->touch && lv2port::isParameter(static_cast<uint32_t>(index)))
        host.touch->touch(host.touch->handle, static_cast<uint32_t>(index), grabbed);
}

bool MirroredPlugin::beginEdit(VstInt32 index)
{
    touch(index, true);
    return host.touch != nullptr;
}

bool MirroredPlugin::endEdit(VstInt32 index)
{
    touch(index, false);
    return host.touch != nullptr;
}

VstInt32 MirroredPlugin::canHostDo(char* text)
{
    if (text && std::strcmp(text, "sizeWindow") == 0)
        return host.resize ? 1 : -1;
    return 0;
}

bool MirroredPlugin::sizeWindow(VstInt32 width, VstInt32 height)
{
    return host.resize && host.resize->ui_resize && host.resize->ui_resize(host.resize->handle, width, height) == 0;
}
