// A small VST 2.4 effect for testing the validator: correct by default, with one known
// fault switched on by the environment variable KORVALEX_TEST_FAULT when an instance is
// created. Two inputs summed, a one-pole low-pass with a gain, two equal outputs.

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dsp/RelaxedAtomic.h"
#include "vst/vst2.h"

namespace {

enum class Fault {
    None,
    NameOverflow,        // parameter names written 40 bytes long
    DisplayUnterminated, // display texts filling all 8 bytes without a NUL
    NanFromParameter,    // a negative parameter value turns the filter state into NaN
    StickyBadInput,      // non-finite input enters the filter state and stays there
    WritePastBlock,      // one output sample more than asked for
    SharedState,         // the filter state is shared by every instance
    ClearsOutputsFirst,  // zeroes the outputs before reading the inputs (wrong in place)
    AnyProgram,          // accepts program numbers out of range
    Runaway,             // a parameter at exactly 1 makes the filter unstable
    CrashesOnNullText,   // writes a label without looking at the pointer
};

Fault faultFromEnvironment()
{
    const char* name = std::getenv("KORVALEX_TEST_FAULT");
    const std::string f = name ? name : "";
    if (f == "name-overflow")
        return Fault::NameOverflow;
    if (f == "display-unterminated")
        return Fault::DisplayUnterminated;
    if (f == "nan-from-parameter")
        return Fault::NanFromParameter;
    if (f == "sticky-bad-input")
        return Fault::StickyBadInput;
    if (f == "write-past-block")
        return Fault::WritePastBlock;
    if (f == "shared-state")
        return Fault::SharedState;
    if (f == "clears-outputs-first")
        return Fault::ClearsOutputsFirst;
    if (f == "any-program")
        return Fault::AnyProgram;
    if (f == "runaway")
        return Fault::Runaway;
    if (f == "crashes-on-null-text")
        return Fault::CrashesOnNullText;
    return Fault::None;
}

constexpr int kParams = 3;  // gain, smoothing, brightness
constexpr int kPrograms = 2;

float sharedMemory = 0.0f;

struct Faulty {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    Fault fault = Fault::None;
    SharedFloat params[kParams] = {0.5f, 0.5f, 0.5f};  // set from any thread, read by processing
    int program = 0;
    float memory = 0.0f;

    float& state() { return fault == Fault::SharedState ? sharedMemory : memory; }

    float step(float in)
    {
        const bool bad = !(std::fabs(in) <= 1e6f);
        if (bad && fault != Fault::StickyBadInput)
            in = 0.0f;
        float coefficient = 0.05f + 0.9f * params[1];
        if (fault == Fault::Runaway && params[2] == 1.0f)
            coefficient = -1.001f;  // pole outside the unit circle
        float& s = state();
        s = s * coefficient + in * (1.0f - coefficient);
        return s * 2.0f * params[0];
    }
};

Faulty* self(AEffect* e)
{
    return static_cast<Faulty*>(e->object);
}

void copyText(char* dest, const char* text, std::size_t capacity)
{
    std::size_t n = std::strlen(text);
    if (n >= capacity)
        n = capacity - 1;
    std::memcpy(dest, text, n);
    dest[n] = 0;
}

VstIntPtr VSTCALLBACK dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float)
{
    Faulty* p = self(e);
    const bool paramIndex = index >= 0 && index < kParams;
    switch (opcode) {
    case effClose:
        delete p;
        return 1;
    case effSetProgram:
        if (p->fault == Fault::AnyProgram || (value >= 0 && value < kPrograms))
            p->program = static_cast<int>(value);
        return 0;
    case effGetProgram:
        return p->program;
    case effGetProgramName:
        if (ptr)
            copyText(static_cast<char*>(ptr), p->program == 0 ? "First" : "Second", kVstMaxProgNameLen);
        return 0;
    case effGetProgramNameIndexed:
        if (!ptr || index < 0 || index >= kPrograms)
            return 0;
        copyText(static_cast<char*>(ptr), index == 0 ? "First" : "Second", kVstMaxProgNameLen);
        return 1;
    case effGetParamName:
        if (ptr && paramIndex) {
            if (p->fault == Fault::NameOverflow) {
                std::memset(ptr, 'N', 40);
                static_cast<char*>(ptr)[40] = 0;
            } else {
                copyText(static_cast<char*>(ptr), index == 0 ? "Gain" : index == 1 ? "Smooth" : "Bright",
                         kVstMaxParamStrLen);
            }
        }
        return 0;
    case effGetParamLabel:
        if ((ptr || p->fault == Fault::CrashesOnNullText) && paramIndex)
            *static_cast<volatile char*>(ptr) = 0;
        return 0;
    case effGetParamDisplay:
        if (ptr && paramIndex) {
            if (p->fault == Fault::DisplayUnterminated)
                std::memcpy(ptr, "12345678", 8);
            else
                copyText(static_cast<char*>(ptr), std::to_string(static_cast<int>(p->params[index] * 100.0f)).c_str(),
                         kVstMaxParamStrLen);
        }
        return 0;
    case effGetEffectName:
    case effGetProductString:
        if (!ptr)
            return 0;
        copyText(static_cast<char*>(ptr), "Faulty", kVstMaxEffectNameLen);
        return 1;
    case effGetVendorString:
        if (!ptr)
            return 0;
        copyText(static_cast<char*>(ptr), "Korvalex tests", kVstMaxVendorStrLen);
        return 1;
    case effGetVstVersion:
        return kVstVersion;
    case effGetPlugCategory:
        return kPlugCategEffect;
    default:
        return 0;
    }
}

void VSTCALLBACK setParameter(AEffect* e, VstInt32 index, float value)
{
    Faulty* p = self(e);
    if (index < 0 || index >= kParams)
        return;
    if (p->fault == Fault::NanFromParameter && value < 0.0f)
        p->state() = std::nanf("");
    if (!std::isfinite(value))
        return;
    p->params[index] = value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
}

float VSTCALLBACK getParameter(AEffect* e, VstInt32 index)
{
    return index >= 0 && index < kParams ? self(e)->params[index].load() : 0.0f;
}

void VSTCALLBACK processReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    Faulty* p = self(e);
    if (p->fault == Fault::ClearsOutputsFirst) {
        // Right for separate buffers; in place it wipes an input before reading it.
        for (VstInt32 i = 0; i < frames; ++i)
            outputs[1][i] = 0.0f;
    }
    const VstInt32 count = p->fault == Fault::WritePastBlock && frames > 0 ? frames + 1 : frames;
    for (VstInt32 i = 0; i < count; ++i) {
        const float y = p->step(i < frames ? inputs[0][i] + inputs[1][i] : 0.0f);
        outputs[0][i] = y;
        outputs[1][i] = y;
    }
}

void VSTCALLBACK processAccumulating(AEffect*, float**, float**, VstInt32) {}

}  // namespace

#if defined(_WIN32)
#define KORVALEX_TEST_EXPORT __declspec(dllexport)
#else
#define KORVALEX_TEST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" KORVALEX_TEST_EXPORT AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    Faulty* p = new Faulty();
    p->host = host;
    p->fault = faultFromEnvironment();
    AEffect& e = p->effect;
    e.magic = kEffectMagic;
    e.dispatcher = dispatcher;
    e.process = processAccumulating;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.numPrograms = kPrograms;
    e.numParams = kParams;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing;
    e.ioRatio = 1.0f;
    e.object = p;
    e.uniqueID = vstFourCC('T', 'f', 'l', 't');
    e.version = 1;
    e.processReplacing = processReplacing;
    return &e;
}

#if !defined(_WIN32)
asm(".globl main\n\t.type main, @function\n\t.set main, VSTPluginMain\n");
#endif
