#include "plugin/CZarelVST.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "editor/AEffGUIEditor.h"
#include "plugin/CabinetRequest.h"
#include "plugin/FactoryBank.h"
#include "plugin/Parameters.h"

namespace {

constexpr const char* kEffectName = "Korvalex";
constexpr const char* kVendorName = "Zarelworks";
constexpr float kMinimumSampleRate = 44100.0f;
// The highest rate audio hardware runs at. Far above it the equaliser's pole pairs come so
// close to z = 1 that float coefficients put them on or outside the unit circle.
constexpr float kMaximumSampleRate = 768000.0f;

// Some Windows hosts send the scale of their display for the editor as effVendorSpecific
// with index 'PreS', value 'AeCs' and the scale as the float argument.
constexpr VstInt32 kContentScaleIndex = 0x50726553;   // 'PreS'
constexpr VstIntPtr kContentScaleValue = 0x41654373;  // 'AeCs'

// Index checks read the index as unsigned, so negative numbers are out of range too.
bool isPanelParameter(VstInt32 index)
{
    return static_cast<unsigned>(index) < static_cast<unsigned>(kNumPanelParameters);
}

bool isProgram(VstInt32 index)
{
    return static_cast<unsigned>(index) < static_cast<unsigned>(kNumPrograms);
}

}  // namespace

CZarelVST::CZarelVST(audioMasterCallback host, EditorFactory makeEditor)
    : AudioEffectX(host, kNumPrograms, kNumParameters), engine(getSampleRate())
{
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(vstFourCC('R', 'O', 'r', 'i'));
    canProcessReplacing();

    // The editor registers itself with the frame; without it the plug-in still works and
    // hosts show their generic parameter view.
    if (makeEditor)
        guiEditor = makeEditor(this);

    programs.reset(new (std::nothrow) ProgramRecord[kNumPrograms]);
    if (!programs)
        return;
    for (int p = 0; p < kNumPrograms; ++p)
        programs[p].values[kEditorPage] = 0.0f;  // the bank leaves the page unset: first page
    fillFactoryBank();

    curProgram = 0;
    setProgram(0);
    setParameter(kEditorPage, 0.0f);
}

CZarelVST::~CZarelVST() = default;

CZarelVST* CZarelVST::create(audioMasterCallback host, EditorFactory makeEditor)
{
    CZarelVST* plugin = new (std::nothrow) CZarelVST(host, makeEditor);
    if (plugin && !plugin->isComplete()) {
        delete plugin;
        return nullptr;
    }
    return plugin;
}

VstIntPtr CZarelVST::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (index == kContentScaleIndex && value == kContentScaleValue)
        return takeContentScale(opt);
    if (isCabinetRequest(index, value))
        return answerCabinetRequest(engine, ptr);
    return 0;
}

// Answers 1 when the editor takes the scale.
VstIntPtr CZarelVST::takeContentScale(float factor)
{
    return guiEditor && guiEditor->setHostScaleFactor(factor) ? 1 : 0;
}

void CZarelVST::setSampleRate(float rate)
{
    // A host may report a rate that is not a number; keep the last good one then.
    if (!std::isfinite(rate))
        return;
    sampleRate = std::clamp(rate, kMinimumSampleRate, kMaximumSampleRate);
    const float engineRateBefore = hostRate.engineRate();
    followHostRate(hostRate.set(sampleRate), engineRateBefore);
}

void CZarelVST::resume()
{
    const float engineRateBefore = hostRate.engineRate();
    followHostRate(hostRate.restart(), engineRateBefore);
}

// The converters' latency is the plug-in's; the equaliser is designed for the rate it runs at.
void CZarelVST::followHostRate(int latency, float engineRateBefore)
{
    if (hostRate.engineRate() != engineRateBefore)
        engine.designEqualiser(hostRate.engineRate());
    if (cEffect.initialDelay != latency) {
        setInitialDelay(latency);
        ioChanged();
    }
}

void CZarelVST::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    const HostRate::Block block(hostRate);
    if (RateBridge* bridge = block.bridge()) {
        bridge->process(engine, inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
        return;
    }
    stepSwitchFades();
    engine.process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
}

void CZarelVST::stepSwitchFades()
{
    engine.stepSwitchFades();
}

void CZarelVST::setParameter(VstInt32 index, float value)
{
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(kNumParameters))
        return;
    if (!acceptParameterValue(value))
        return;

    if (index == kEditorPage) {
        engine.setSetting(kEditorPage, editorPageSetting(value));
    } else {
        engine.setSetting(index, value);
        // A bank change re-selects the cabinet for the current amplifier.
        if (index == kBankAB)
            setParameter(kAmplifier, engine.setting(kAmplifier));
    }
    engine.designEqualiser(hostRate.engineRate());
    if (programs)
        programs[curProgram].values[index] = value;
    if (guiEditor)
        guiEditor->setParameter(index, value);
}

float CZarelVST::getParameter(VstInt32 index)
{
    if (static_cast<unsigned>(index) < static_cast<unsigned>(kNumParameters))
        return engine.setting(index);
    if (index == kCompressorMeterIndex)
        return engine.compressorMeter();
    if (index == kGateMeterIndex)
        return engine.gateMeter();
    return 0.0f;
}

void CZarelVST::setProgram(VstInt32 program)
{
    if (!isProgram(program) || !programs)
        return;
    curProgram = program;
    const ProgramRecord& record = programs[program];
    setParameter(kAmplifier, record.values[kAmplifier]);
    for (int i = 0; i < kNumParameters; ++i)
        setParameter(i, record.values[i]);
    updateDisplay();
}

void CZarelVST::setProgramName(char* name)
{
    if (programs)
        copyBounded(programs[curProgram].name, name, kProgramNameSize);
}

void CZarelVST::getProgramName(char* name)
{
    if (programs)
        copyBounded(name, programs[curProgram].name, kVstMaxProgNameLen);
}

bool CZarelVST::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text)
{
    if (!isProgram(index) || !programs)
        return false;
    copyBounded(text, programs[index].name, kVstMaxProgNameLen);
    return true;
}

void CZarelVST::fillFactoryBank()
{
    for (int p = 0; p < kNumPrograms; ++p) {
        const FactoryProgram& factory = kFactoryBank[p];
        std::copy(factory.values, factory.values + kNumPanelParameters, programs[p].values);
        copyBounded(programs[p].name, factory.name, kProgramNameSize);
    }
}

void CZarelVST::getParameterLabel(VstInt32 index, char* label)
{
    *label = 0;
}

void CZarelVST::getParameterDisplay(VstInt32 index, char* text)
{
    if (isPanelParameter(index))
        formatParameterValue(kParameterTable[index].rule, engine.setting(index), text, kVstMaxParamStrLen);
}

void CZarelVST::getParameterName(VstInt32 index, char* text)
{
    if (isPanelParameter(index))
        std::strcpy(text, kParameterTable[index].name);  // at most 14 characters and the NUL
}

bool CZarelVST::getEffectName(char* name)
{
    copyBounded(name, kEffectName, kVstMaxEffectNameLen);
    return true;
}

bool CZarelVST::getVendorString(char* text)
{
    copyBounded(text, kVendorName, kVstMaxVendorStrLen);
    return true;
}

bool CZarelVST::getProductString(char* text)
{
    copyBounded(text, kEffectName, kVstMaxProductStrLen);
    return true;
}
