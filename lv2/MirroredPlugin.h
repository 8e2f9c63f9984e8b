#pragma once
// The plug-in as the front panel sees it in an LV2 UI, which runs apart from the DSP (in
// another thread, or another process). It keeps its own copy of the 53 parameter values
// and of the two meter readings, stored by the plug-in's own rules; the host's port events
// come in through setFromHost, and the panel's changes go out as port writes, bracketed by
// touch gestures where the host offers them. The editor needs no engine behind it.

#include <lv2/ui/ui.h>

#include <array>

#include "lv2/Ports.h"
#include "vst/AudioEffect.h"

class AEffGUIEditor;

class MirroredPlugin : public AudioEffectX {
public:
    struct Host {
        LV2UI_Write_Function write = nullptr;
        LV2UI_Controller controller = nullptr;
        const LV2UI_Touch* touch = nullptr;    // null: the host offers no gestures
        const LV2UI_Resize* resize = nullptr;  // null: the host offers no resizing
    };

    explicit MirroredPlugin(const Host& host);

    // The panel that shows this plug-in (the editor registers itself as its editor too).
    void setPanel(AEffGUIEditor* panelEditor) { panel = panelEditor; }

    // A port's value from the host: parameters and meters; other ports are ignored.
    void setFromHost(uint32_t port, float value);

    void processReplacing(float**, float**, VstInt32) override {}
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setParameterAutomated(VstInt32 index, float value) override;
    bool beginEdit(VstInt32 index) override;
    bool endEdit(VstInt32 index) override;
    VstInt32 canHostDo(char* text) override;
    bool sizeWindow(VstInt32 width, VstInt32 height) override;

private:
    void touch(VstInt32 index, bool grabbed);

    Host host;
    AEffGUIEditor* panel = nullptr;
    std::array<float, lv2port::kParameterCount> settings{};
    float compressorMeter = 1.0f;  // the readings at rest: no gain reduction, gate open
    float gateMeter = 1.0f;
};
