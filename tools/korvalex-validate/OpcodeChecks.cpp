// The request-level checks: loading, every dispatcher opcode with arguments in and out of
// contract, and the texts the plug-in writes into host buffers.

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "tools/korvalex-validate/Checks.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const VstInt32 kIndices[] = {0, 1, 2, 51, 52, 53, 54, 55, 81, 82, -1, -2, INT_MIN, INT_MAX, 100000};
const VstIntPtr kValues[] = {0,         1,         -1,         2,          81, 82, 8192, INT32_MAX,
                             INT32_MIN, INTPTR_MAX, INTPTR_MIN, INTPTR_MAX / 2 + 1};
const float kOpts[] = {0.0f, 1.0f, -1.0f, 0.5f, 44100.0f, kNaN, kInf, -kInf, 1e30f, FLT_MIN / 2.0f};

const char* const kInputTexts[] = {"",
                                   "x",
                                   "Korvalex",
                                   "bypass",
                                   "receiveVstEvents",
                                   "sendVstMidiEvent",
                                   "0.5",
                                   "-1e30",
                                   "nan",
                                   "\xff\xfe\x80 high bytes \x7f",
                                   "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
                                   "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
                                   "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
                                   "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"};

// What the pointer argument of an opcode is.
enum class PtrKind {
    Null,          // unused, or a record full of pointers of its own: null only
    TextOut,       // a text buffer the plug-in fills
    TextIn,        // a NUL-terminated text the plug-in reads
    PointerOut,    // a pointer the plug-in sets (chunk data, editor rectangle)
    Record,        // a record of `size` bytes, passed zeroed
    Rect,          // an ERect the plug-in reads
    PointerPair,   // value and ptr both point at records or pointers (speaker arrangements)
};

struct OpcodeUse {
    PtrKind ptr = PtrKind::Null;
    std::size_t size = 0;
    bool claimsText = false;  // a non-zero answer says the buffer holds a text
};

OpcodeUse useOf(VstInt32 opcode)
{
    switch (opcode) {
    case effSetProgramName:
    case effString2Parameter:
    case effCanDo:
        return {PtrKind::TextIn, 0, false};
    case effGetProgramName:
        return {PtrKind::TextOut, kVstMaxProgNameLen, false};
    case effGetParamLabel:
    case effGetParamDisplay:
        return {PtrKind::TextOut, kVstMaxParamStrLen, false};
    case effGetParamName:
        return {PtrKind::TextOut, kVstExtMaxParamStrLen, false};
    case effGetProgramNameIndexed:
        return {PtrKind::TextOut, kVstMaxProgNameLen, true};
    case effGetEffectName:
        return {PtrKind::TextOut, kVstMaxEffectNameLen, true};
    case effGetErrorText:
        return {PtrKind::TextOut, 256, true};
    case effGetVendorString:
        return {PtrKind::TextOut, kVstMaxVendorStrLen, true};
    case effGetProductString:
        return {PtrKind::TextOut, kVstMaxProductStrLen, true};
    case effShellGetNextPlugin:
        return {PtrKind::TextOut, 64, true};
    case effEditGetRect:
    case effGetChunk:
        return {PtrKind::PointerOut, sizeof(void*), false};
    case effEditDraw:
        return {PtrKind::Rect, sizeof(ERect), false};
    case effSetChunk:
        return {PtrKind::Record, 64, false};
    case effProcessEvents:
        return {PtrKind::Record, 256, false};  // VstEvents with no events
    case effGetInputProperties:
    case effGetOutputProperties:
        return {PtrKind::Record, 128, false};  // VstPinProperties
    case effGetParameterProperties:
        return {PtrKind::Record, 152, false};  // VstParameterProperties
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiKeyName:
        return {PtrKind::Record, 80, false};
    case effGetMidiProgramCategory:
        return {PtrKind::Record, 76, false};
    case effBeginLoadBank:
    case effBeginLoadProgram:
        return {PtrKind::Record, 64, false};  // VstPatchChunkInfo
    case effSetSpeakerArrangement:
    case effGetSpeakerArrangement:
        return {PtrKind::PointerPair, 1024, false};
    default:
        return {};  // includes the editor's open: never a made-up window handle
    }
}

template <typename T, std::size_t N>
constexpr int countOf(const T (&)[N])
{
    return static_cast<int>(N);
}

struct Arguments {
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

// Every index with neutral value and option, every value, every option, and random mixes.
std::vector<Arguments> argumentSets(SplitMix64& rng)
{
    std::vector<Arguments> sets;
    for (VstInt32 index : kIndices)
        sets.push_back({index, 0, 0.0f});
    for (VstIntPtr value : kValues)
        sets.push_back({0, value, 0.0f});
    for (float opt : kOpts)
        sets.push_back({0, 0, opt});
    for (int i = 0; i < 24; ++i)
        sets.push_back({kIndices[rng.below(countOf(kIndices))], kValues[rng.below(countOf(kValues))],
                        kOpts[rng.below(countOf(kOpts))]});
    return sets;
}

std::string describe(VstInt32 opcode, const Arguments& a, const char* ptr)
{
    return format("%s (index %d, value %lld, opt %g, ptr %s)", opcodeName(opcode), static_cast<int>(a.index),
                  static_cast<long long>(a.value), static_cast<double>(a.opt), ptr);
}

// After each request: the instance still answers sensibly and still processes.
class Health {
public:
    Health() : guitar_(7), buffers_(2) {}

    void verify(Plugin& plugin, Check& check, const std::string& after, bool parameters)
    {
        buffers_.markAll();
        processChecked(plugin, buffers_, guitar_, 64, check, "after " + after);
        const VstIntPtr program = plugin.dispatch(effGetProgram);
        if (program < 0 || program >= plugin.numPrograms())
            check.finding(format("after %s effGetProgram answers %lld", after.c_str(), static_cast<long long>(program)));
        if (!parameters)
            return;
        for (int i = 0; i < plugin.numParams(); ++i) {
            const float v = plugin.getParameter(i);
            if (!(v >= 0.0f && v <= 1.0f)) {
                check.finding(format("after %s parameter %d reads %g, outside 0..1", after.c_str(), i,
                                     static_cast<double>(v)));
                break;
            }
        }
    }

private:
    GuitarSignal guitar_;
    AudioBuffers buffers_;
};

// Brings the instance back to a known set-up between opcodes.
void restore(Plugin& plugin)
{
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin.dispatch(effSetBlockSize, 0, 512);
    plugin.dispatch(effMainsChanged, 0, 1);
}

void callWithPointerOut(Plugin& plugin, Check& check, VstInt32 opcode, const Arguments& a)
{
    GuardedText holder(sizeof(void*), 0);
    const VstIntPtr answer = plugin.dispatch(opcode, a.index, a.value, holder.data(), a.opt);
    std::string problem = holder.guardProblem();
    void* pointer;
    std::memcpy(&pointer, holder.data(), sizeof pointer);
    if (problem.empty() && opcode == effGetChunk && answer > 0) {
        if (!pointer)
            problem = format("answered a chunk of %lld bytes but no data", static_cast<long long>(answer));
        else {
            // Touch every byte: a bad pointer or length shows as a crash or a sanitizer report.
            unsigned sum = 0;
            for (VstIntPtr i = 0; i < answer; ++i)
                sum += static_cast<const unsigned char*>(pointer)[i];
            volatile unsigned sink = sum;
            (void)sink;
        }
    }
    if (problem.empty() && opcode == effEditGetRect && answer != 0) {
        const ERect* rect = static_cast<const ERect*>(pointer);
        if (!rect)
            problem = "answered 1 but gave no rectangle";
        else if (rect->right <= rect->left || rect->bottom <= rect->top)
            problem = format("gave an empty rectangle (%d %d %d %d)", rect->left, rect->top, rect->right, rect->bottom);
    }
    if (!problem.empty())
        check.finding(describe(opcode, a, "pointer holder") + " " + problem);
}

void callWithPointerPair(Plugin& plugin, Check& check, VstInt32 opcode, const Arguments& a)
{
    // Null pointers first, then real ones: records for the setter, pointer holders for the getter.
    plugin.dispatch(opcode, a.index, 0, nullptr, a.opt);
    const std::size_t size = opcode == effGetSpeakerArrangement ? sizeof(void*) : 1024;
    GuardedText first(size, 0), second(size, 0);
    plugin.dispatch(opcode, a.index, reinterpret_cast<VstIntPtr>(first.data()), second.data(), a.opt);
    for (const GuardedText* block : {&first, &second}) {
        std::string problem = block->guardProblem();
        if (problem.empty() && opcode == effGetSpeakerArrangement) {
            const void* arrangement;
            std::memcpy(&arrangement, const_cast<GuardedText*>(block)->data(), sizeof arrangement);
            if (arrangement) {
                VstInt32 header[2];
                std::memcpy(header, arrangement, sizeof header);  // type and channel count must be readable
                if (header[1] < 0 || header[1] > 64)
                    problem = format("gave an arrangement of %d channels", static_cast<int>(header[1]));
            }
        }
        if (!problem.empty()) {
            check.finding(describe(opcode, a, "two records") + " " + problem);
            break;
        }
    }
}

void callOpcode(Plugin& plugin, Check& check, VstInt32 opcode, const Arguments& a)
{
    const OpcodeUse use = useOf(opcode);
    if (use.ptr != PtrKind::PointerPair) {
        const VstIntPtr answer = plugin.dispatch(opcode, a.index, a.value, nullptr, a.opt);
        if (opcode == effEditOpen && answer != 0)
            plugin.dispatch(effEditClose);
    }

    switch (use.ptr) {
    case PtrKind::Null:
        break;
    case PtrKind::TextOut: {
        GuardedText text(use.size);
        const VstIntPtr answer = plugin.dispatch(opcode, a.index, a.value, text.data(), a.opt);
        bool mustHold = use.claimsText && answer != 0;
        if (opcode == effGetProgramName)
            mustHold = true;
        const std::string problem = text.problem(mustHold);
        if (!problem.empty())
            check.finding(describe(opcode, a, format("%zu-byte buffer", use.size).c_str()) + " " + problem);
        break;
    }
    case PtrKind::TextIn:
        for (const char* t : kInputTexts) {
            GuardedInput input(t);
            const VstIntPtr answer = plugin.dispatch(opcode, a.index, a.value, input.data(), a.opt);
            std::string problem = input.problem();
            if (problem.empty() && opcode == effCanDo && (answer < -1 || answer > 1))
                problem = format("answered %lld (not -1, 0 or 1)", static_cast<long long>(answer));
            if (!problem.empty()) {
                check.finding(describe(opcode, a, format("\"%.20s\"", t).c_str()) + " " + problem);
                break;
            }
        }
        break;
    case PtrKind::PointerOut:
        callWithPointerOut(plugin, check, opcode, a);
        break;
    case PtrKind::Record: {
        GuardedText record(use.size, 0);
        const VstIntPtr value = opcode == effSetChunk ? static_cast<VstIntPtr>(use.size) : 0;
        plugin.dispatch(opcode, a.index, value, record.data(), a.opt);
        const std::string problem = record.guardProblem();
        if (!problem.empty())
            check.finding(describe(opcode, a, format("%zu-byte record", use.size).c_str()) + " " + problem);
        break;
    }
    case PtrKind::Rect: {
        GuardedText record(sizeof(ERect), 0);
        const ERect rect{0, 0, 421, 899};
        std::memcpy(record.data(), &rect, sizeof rect);
        plugin.dispatch(opcode, a.index, a.value, record.data(), a.opt);
        const std::string problem = record.guardProblem();
        if (!problem.empty())
            check.finding(describe(opcode, a, "rectangle") + " " + problem);
        break;
    }
    case PtrKind::PointerPair:
        callWithPointerPair(plugin, check, opcode, a);
        break;
    }
}

}  // namespace

std::unique_ptr<Plugin> loadStarted(const Options& options, Check& check, float sampleRate, VstIntPtr blockSize)
{
    std::string error;
    std::unique_ptr<Plugin> plugin = Plugin::load(options, error);
    if (!plugin) {
        check.finding("could not create an instance: " + error);
        return nullptr;
    }
    plugin->start(sampleRate, blockSize);
    return plugin;
}

void checkLoad(const Options& options, Check& check)
{
    VstInt32 firstId = 0;
    for (const char* entry : {"VSTPluginMain", "main"}) {
        Options o = options;
        o.entryPoint = entry;
        std::string error;
        std::unique_ptr<Plugin> plugin = Plugin::load(o, error);
        if (!plugin) {
            check.finding(format("entry point %s: ", entry) + error);
            continue;
        }
        const AEffect* e = plugin->effect();
        if (!e->processReplacing)
            check.finding(format("entry point %s: no processReplacing", entry));
        if (!(e->flags & effFlagsCanReplacing))
            check.finding(format("entry point %s: flags 0x%x lack effFlagsCanReplacing", entry, e->flags));
        if (!e->dispatcher || !e->setParameter || !e->getParameter)
            check.finding(format("entry point %s: a function pointer of the record is null", entry));
        if (e->numInputs < 1 || e->numInputs > Plugin::kMaxChannels || e->numOutputs < 1 ||
            e->numOutputs > Plugin::kMaxChannels)
            check.finding(format("entry point %s: %d inputs and %d outputs", entry, e->numInputs, e->numOutputs));
        if (e->numParams < 1 || e->numPrograms < 1)
            check.finding(format("entry point %s: %d parameters, %d programs", entry, e->numParams, e->numPrograms));
        if (firstId == 0)
            firstId = e->uniqueID;
        else if (e->uniqueID != firstId)
            check.finding("the two entry points give different unique IDs");
        if (std::strcmp(entry, "VSTPluginMain") == 0) {
            GuardedText name(kVstMaxEffectNameLen);
            plugin->dispatch(effGetEffectName, 0, 0, name.data());
            check.note(format("\"%s\", ID 0x%08x, version %d, %d in / %d out, %d parameters, %d programs, flags 0x%x",
                              name.text().c_str(), static_cast<unsigned>(e->uniqueID), e->version, e->numInputs,
                              e->numOutputs, e->numParams, e->numPrograms, static_cast<unsigned>(e->flags)));
        }
    }
}

void checkOpcodes(const Options& options, Check& check)
{
    std::unique_ptr<Plugin> plugin = loadStarted(options, check);
    if (!plugin)
        return;
    SplitMix64 rng(options.seed ^ 0x6f70636f64657300ull);
    Health health;

    // effOpen twice is out of contract but happens; effClose comes last, when the instance goes.
    plugin->dispatch(effOpen);
    for (VstInt32 opcode = 0; opcode < 80; ++opcode) {
        if (opcode == effClose)
            continue;
        for (const Arguments& a : argumentSets(rng)) {
            callOpcode(*plugin, check, opcode, a);
            health.verify(*plugin, check, describe(opcode, a, "as above"), false);
        }
        health.verify(*plugin, check, opcodeName(opcode), true);
        restore(*plugin);
    }

    // Unknown opcodes must be ignored.
    for (VstInt32 opcode : {-1, 80, 81, 100, 1000, 0x7fff, INT_MAX, INT_MIN}) {
        for (const Arguments& a : argumentSets(rng))
            plugin->dispatch(opcode, a.index, a.value, nullptr, a.opt);
        health.verify(*plugin, check, format("unknown opcode %d", static_cast<int>(opcode)), true);
    }

    // The parameter calls outside the dispatcher, at odd indices and with odd values.
    for (VstInt32 index : kIndices) {
        for (float value : {0.0f, 1.0f, 0.5f, -1.0f, 2.0f, kNaN, kInf, -kInf, 1e30f, FLT_MIN / 2.0f}) {
            plugin->setParameter(index, value);
            const float back = plugin->getParameter(index);
            if (!std::isfinite(back))
                check.finding(format("getParameter(%d) after setParameter(%d, %g) answers %g", static_cast<int>(index),
                                     static_cast<int>(index), static_cast<double>(value), static_cast<double>(back)));
        }
        health.verify(*plugin, check, format("setParameter at index %d", static_cast<int>(index)), true);
    }
    plugin.reset();  // effClose
}

void checkTexts(const Options& options, Check& check)
{
    std::unique_ptr<Plugin> plugin = loadStarted(options, check);
    if (!plugin)
        return;
    const int params = plugin->numParams();
    const int programs = plugin->numPrograms();

    auto ask = [&](VstInt32 opcode, VstInt32 index, std::size_t size, bool mustHold, VstIntPtr value = 0) {
        GuardedText text(size);
        const VstIntPtr answer = plugin->dispatch(opcode, index, value, text.data());
        const std::string problem = text.problem(mustHold);
        if (!problem.empty())
            check.finding(format("%s index %d ", opcodeName(opcode), static_cast<int>(index)) + problem);
        return std::make_pair(answer, text.text());
    };

    std::vector<VstInt32> indices = {INT_MIN, -3, -2, -1, INT_MAX, 54, 55};
    for (int i = 0; i < params + 3; ++i)
        indices.push_back(i);

    // Names and labels at every index; display texts over a fine sweep of each parameter.
    // A plug-in may leave the buffer alone for a parameter it does not describe (the host
    // then shows its own), but whatever it writes must be a terminated text that fits.
    std::vector<int> undescribed;
    for (VstInt32 index : indices) {
        const bool inRange = index >= 0 && index < params;
        GuardedText name(kVstExtMaxParamStrLen);
        plugin->dispatch(effGetParamName, index, 0, name.data());
        std::string problem = name.problem(false);
        if (!problem.empty())
            check.finding(format("effGetParamName index %d ", static_cast<int>(index)) + problem);
        ask(effGetParamLabel, index, kVstMaxParamStrLen, false);
        if (!inRange) {
            ask(effGetParamDisplay, index, kVstMaxParamStrLen, false);
            continue;
        }
        if (!name.touched())
            undescribed.push_back(index);
        const float original = plugin->getParameter(index);
        for (int step = 0; step <= 200; ++step) {
            const float value = step <= 100 ? static_cast<float>(step) / 100.0f
                                            : std::nextafter(static_cast<float>(step - 100) / 100.0f, 0.0f);
            plugin->setParameter(index, value);
            GuardedText display(kVstMaxParamStrLen);
            plugin->dispatch(effGetParamDisplay, index, 0, display.data());
            problem = display.problem(false);
            if (!problem.empty()) {
                check.finding(format("effGetParamDisplay index %d at %.9g ", static_cast<int>(index),
                                     static_cast<double>(value)) +
                              problem);
                break;
            }
            if (name.touched() && !display.touched()) {
                check.finding(format("parameter %d has a name but no display text at %g", static_cast<int>(index),
                                     static_cast<double>(value)));
                break;
            }
        }
        plugin->setParameter(index, original);
    }
    if (!undescribed.empty()) {
        std::string list;
        for (int index : undescribed)
            list += format("%s%d", list.empty() ? "" : ", ", index);
        check.note("parameters whose name request leaves the host's buffer untouched: " + list);
    }

    // Program names, listed and current.
    for (VstInt32 index = -2; index < programs + 2; ++index) {
        for (VstIntPtr category : {static_cast<VstIntPtr>(-1), static_cast<VstIntPtr>(0), static_cast<VstIntPtr>(1)}) {
            const auto [answer, name] = ask(effGetProgramNameIndexed, index, kVstMaxProgNameLen, false, category);
            const bool inRange = index >= 0 && index < programs;
            if (inRange && (answer != 1 || name.empty()))
                check.finding(format("effGetProgramNameIndexed %d (category %lld) answers %lld, \"%s\"",
                                     static_cast<int>(index), static_cast<long long>(category),
                                     static_cast<long long>(answer), name.c_str()));
            if (!inRange && answer != 0)
                check.finding(format("effGetProgramNameIndexed %d (out of range) answers %lld", static_cast<int>(index),
                                     static_cast<long long>(answer)));
        }
    }
    for (int program = 0; program < programs; ++program) {
        plugin->dispatch(effSetProgram, 0, program);
        ask(effGetProgramName, 0, kVstMaxProgNameLen, true);
    }

    // Renaming: a plug-in may keep its names, but a name it takes comes back cut to fit the
    // host's buffer (a long one) or as it was given.
    plugin->dispatch(effSetProgram, 0, 0);
    const std::string original = ask(effGetProgramName, 0, kVstMaxProgNameLen, true).second;
    std::string previous = original;
    for (const std::string& name : {std::string(200, 'N'), std::string(), std::string("Renamed"), original}) {
        GuardedInput input(name);
        plugin->dispatch(effSetProgramName, 0, 0, input.data());
        if (!input.problem().empty())
            check.finding("effSetProgramName " + input.problem());
        const std::string back = ask(effGetProgramName, 0, kVstMaxProgNameLen, true).second;
        if (back != name.substr(0, kVstMaxProgNameLen - 1) && back != previous)
            check.finding(format("program renamed to a %zu-character name reads back as \"%s\"", name.size(),
                                 back.c_str()));
        previous = back;
    }

    // Identity texts.
    for (auto [opcode, size] : {std::pair<VstInt32, std::size_t>{effGetEffectName, kVstMaxEffectNameLen},
                                {effGetVendorString, kVstMaxVendorStrLen},
                                {effGetProductString, kVstMaxProductStrLen}}) {
        const auto [answer, text] = ask(opcode, 0, size, true);
        if (answer != 1 || text.empty())
            check.finding(format("%s answers %lld, \"%s\"", opcodeName(opcode), static_cast<long long>(answer),
                                 text.c_str()));
    }
}
