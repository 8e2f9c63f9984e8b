#pragma once
// The Korvalex plug-in: the host-facing adapter between the VST frame, the programs and
// the audio engine.

#include <memory>

#include "dsp/AmpEngine.h"
#include "plugin/HostRate.h"
#include "plugin/ProgramRecord.h"
#include "vst/AudioEffect.h"

class AEffGUIEditor;

class CZarelVST : public AudioEffectX {
public:
    // Makes the plug-in's editor object, or null; the plug-in owns what it answers.
    using EditorFactory = AEffGUIEditor* (*)(AudioEffect* plugin);

    // Without an editor factory the plug-in has no editor (an engine for another format's
    // adapter): nothing of the panel is linked then.
    CZarelVST(audioMasterCallback host, EditorFactory makeEditor);
    ~CZarelVST() override;

    void resume() override;
    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;

    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1000; }
    VstInt32 getPlugCategory() override { return kPlugCategEffect; }
    // The host's content scale and Korvalex's private requests (vst/KorvalexRequests.h).
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    virtual void fillFactoryBank();
    virtual void stepSwitchFades();

    // Creates the plug-in with its front panel (plugin/PluginWithEditor.cpp), or answers
    // null when it cannot be built.
    static CZarelVST* create(audioMasterCallback host);
    // The same with the given editor factory (null: no editor).
    static CZarelVST* create(audioMasterCallback host, EditorFactory makeEditor);

    // Whether construction got everything it needs (the program array above all).
    bool isComplete() const { return programs != nullptr; }

    const AmpEngine& audioEngine() const { return engine; }

private:
    // A host's content scale request: the scale of its display for the panel.
    VstIntPtr takeContentScale(float factor);
    void followHostRate(int latency, float engineRateBefore);

    AmpEngine engine;
    HostRate hostRate;
    std::unique_ptr<ProgramRecord[]> programs;
    AEffGUIEditor* guiEditor = nullptr;
};
