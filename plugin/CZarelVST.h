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
    explicit CZarelVST(audioMasterCallback host);
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

    virtual void fillFactoryBank();
    virtual void stepSwitchFades();

    // Creates the plug-in, or answers null when it cannot be built.
    static CZarelVST* create(audioMasterCallback host);

    // Whether construction got everything it needs (the program array above all).
    bool isComplete() const { return programs != nullptr; }

    const AmpEngine& audioEngine() const { return engine; }

private:
    void createEditor();
    void followHostRate(int latency, float engineRateBefore);

    AmpEngine engine;
    HostRate hostRate;
    std::unique_ptr<ProgramRecord[]> programs;
    AEffGUIEditor* guiEditor = nullptr;
};
