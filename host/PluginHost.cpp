#include "host/PluginHost.h"

#include <algorithm>
#include <cstring>

#include "host/DynamicLibrary.h"

namespace {

constexpr VstIntPtr kHostVersion = 2400;
constexpr std::size_t kTextBufferSize = 256;  // generous, so a plug-in's overlong text shows

// The instance being created: the plug-in may call back before its record is known.
thread_local PluginHost* instanceBeingLoaded = nullptr;

}  // namespace

std::string fourCharacters(VstInt32 id)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<uint32_t>(id) >> shift) & 0xff);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

std::unique_ptr<PluginHost> PluginHost::load(const std::string& path, std::string& error,
                                             const std::string& entryPoint)
{
    std::unique_ptr<DynamicLibrary> library = DynamicLibrary::open(path, error);
    if (!library)
        return nullptr;
    auto entry = reinterpret_cast<EntryPoint>(library->symbol(entryPoint));
    if (!entry) {
        error = path + " has no entry point " + entryPoint;
        return nullptr;
    }
    std::unique_ptr<PluginHost> host = create(entry, path, error);
    if (host)
        host->library_ = std::move(library);
    return host;
}

std::unique_ptr<PluginHost> PluginHost::attach(EntryPoint entry, const std::string& name, std::string& error)
{
    return create(entry, name, error);
}

std::unique_ptr<PluginHost> PluginHost::create(EntryPoint entry, const std::string& name, std::string& error)
{
    std::unique_ptr<PluginHost> host(new PluginHost());
    instanceBeingLoaded = host.get();
    AEffect* effect = entry(&PluginHost::hostCallback);
    instanceBeingLoaded = nullptr;
    if (!effect) {
        error = name + ": the plug-in declined to start";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        error = name + " is not a VST 2 plug-in (bad magic number)";
        return nullptr;
    }
    effect->user = host.get();
    host->effect_ = effect;
    return host;
}

PluginHost::~PluginHost()
{
    if (effect_)
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr VSTCALLBACK PluginHost::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt)
{
    PluginHost* host = effect && effect->user ? static_cast<PluginHost*>(effect->user) : instanceBeingLoaded;
    if (!host)
        return opcode == audioMasterVersion ? kHostVersion : 0;
    return host->answer(opcode, index, value, ptr, opt);
}

VstIntPtr PluginHost::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (recording_.load(std::memory_order_relaxed)) {
        std::lock_guard<std::mutex> lock(callsMutex_);
        calls_.push_back({opcode, index, value, opt});
    }
    switch (opcode) {
    case audioMasterVersion:
        return kHostVersion;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_.load());
    case audioMasterGetBlockSize:
        return blockSize_.load();
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "Korvalex host");
        return 1;
    case audioMasterGetVendorVersion:
        return 1;
    case audioMasterIdle:
        if (idleHandler_)
            idleHandler_();
        return 1;
    case audioMasterCanDo:
        return ptr && sizeWindowHandler_ && std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
    case audioMasterSizeWindow:
        return sizeWindowHandler_ && sizeWindowHandler_(index, static_cast<int32_t>(value)) ? 1 : 0;
    default:
        return 0;
    }
}

VstIntPtr PluginHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginHost::textRequest(VstInt32 opcode, VstInt32 index, std::size_t bufferSize)
{
    std::vector<char> buffer(std::max(bufferSize, kTextBufferSize), 0);
    dispatch(opcode, index, 0, buffer.data());
    buffer.back() = 0;
    return buffer.data();
}

std::string PluginHost::effectName()
{
    return textRequest(effGetEffectName, 0, kVstMaxEffectNameLen);
}

std::string PluginHost::vendorString()
{
    return textRequest(effGetVendorString, 0, kVstMaxVendorStrLen);
}

std::string PluginHost::productString()
{
    return textRequest(effGetProductString, 0, kVstMaxProductStrLen);
}

VstInt32 PluginHost::vendorVersion()
{
    return static_cast<VstInt32>(dispatch(effGetVendorVersion));
}

VstInt32 PluginHost::vstVersion()
{
    return static_cast<VstInt32>(dispatch(effGetVstVersion));
}

VstInt32 PluginHost::plugCategory()
{
    return static_cast<VstInt32>(dispatch(effGetPlugCategory));
}

VstIntPtr PluginHost::canDo(const std::string& what)
{
    std::vector<char> text(what.begin(), what.end());
    text.push_back(0);
    return dispatch(effCanDo, 0, 0, text.data());
}

VstInt32 PluginHost::tailSize()
{
    return static_cast<VstInt32>(dispatch(effGetTailSize));
}

std::string PluginHost::parameterName(VstInt32 index)
{
    return textRequest(effGetParamName, index, kVstExtMaxParamStrLen);
}

std::string PluginHost::parameterLabel(VstInt32 index)
{
    return textRequest(effGetParamLabel, index, kVstExtMaxParamStrLen);
}

std::string PluginHost::parameterDisplay(VstInt32 index)
{
    return textRequest(effGetParamDisplay, index, kVstExtMaxParamStrLen);
}

bool PluginHost::canBeAutomated(VstInt32 index)
{
    return dispatch(effCanBeAutomated, index) != 0;
}

float PluginHost::getParameter(VstInt32 index)
{
    return effect_->getParameter(effect_, index);
}

void PluginHost::setParameter(VstInt32 index, float value)
{
    effect_->setParameter(effect_, index, value);
}

VstInt32 PluginHost::program()
{
    return static_cast<VstInt32>(dispatch(effGetProgram));
}

void PluginHost::setProgram(VstIntPtr program)
{
    dispatch(effSetProgram, 0, program);
}

std::string PluginHost::programName()
{
    return textRequest(effGetProgramName, 0, kVstMaxProgNameLen);
}

void PluginHost::setProgramName(const std::string& name)
{
    std::vector<char> text(name.begin(), name.end());
    text.push_back(0);
    dispatch(effSetProgramName, 0, 0, text.data());
}

bool PluginHost::programNameIndexed(VstInt32 index, std::string& name, std::size_t bufferSize)
{
    std::vector<char> buffer(bufferSize + 1, 0);
    const bool found = dispatch(effGetProgramNameIndexed, index, 0, buffer.data()) != 0;
    buffer.back() = 0;
    if (found)
        name = buffer.data();
    return found;
}

void PluginHost::setSampleRate(float rate)
{
    sampleRate_ = rate;
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void PluginHost::setBlockSize(VstIntPtr size)
{
    blockSize_ = size;
    dispatch(effSetBlockSize, 0, size);
}

void PluginHost::setMainsOn(bool on)
{
    dispatch(effMainsChanged, 0, on ? 1 : 0);
}

VstIntPtr PluginHost::getChunk(void** data)
{
    return dispatch(effGetChunk, 0, 0, data);
}

VstIntPtr PluginHost::setChunk(void* data, VstIntPtr size)
{
    return dispatch(effSetChunk, 0, size, data);
}

void PluginHost::processReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    effect_->processReplacing(effect_, inputs, outputs, frames);
}

void PluginHost::processStereo(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                               std::size_t frames, VstInt32 blockSize)
{
    for (std::size_t start = 0; start < frames; start += static_cast<std::size_t>(blockSize)) {
        const auto count = static_cast<VstInt32>(std::min<std::size_t>(static_cast<std::size_t>(blockSize), frames - start));
        float* inputs[2] = {const_cast<float*>(inLeft + start), const_cast<float*>(inRight + start)};
        float* outputs[2] = {outLeft + start, outRight + start};
        processReplacing(inputs, outputs, count);
    }
}

bool PluginHost::editGetRect(ERect** rect)
{
    return dispatch(effEditGetRect, 0, 0, rect) != 0;
}

VstIntPtr PluginHost::editOpen(void* parent)
{
    return dispatch(effEditOpen, 0, 0, parent);
}

void PluginHost::editClose()
{
    dispatch(effEditClose);
}

void PluginHost::editIdle()
{
    dispatch(effEditIdle);
}

VstIntPtr PluginHost::editKeyDown(char character, VstIntPtr virtualKey, float modifiers)
{
    return dispatch(effEditKeyDown, character, virtualKey, nullptr, modifiers);
}

VstIntPtr PluginHost::editKeyUp(char character, VstIntPtr virtualKey, float modifiers)
{
    return dispatch(effEditKeyUp, character, virtualKey, nullptr, modifiers);
}

VstIntPtr PluginHost::setEditKnobMode(VstIntPtr mode)
{
    return dispatch(effSetEditKnobMode, 0, mode);
}

std::vector<HostCall> PluginHost::calls() const
{
    std::lock_guard<std::mutex> lock(callsMutex_);
    return calls_;
}

std::size_t PluginHost::countCalls(VstInt32 opcode) const
{
    std::lock_guard<std::mutex> lock(callsMutex_);
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

void PluginHost::clearCalls()
{
    std::lock_guard<std::mutex> lock(callsMutex_);
    calls_.clear();
}

void PluginHost::setIdleHandler(std::function<void()> handler) { idleHandler_ = std::move(handler); }

void PluginHost::setSizeWindowHandler(std::function<bool(int32_t, int32_t)> handler)
{
    sizeWindowHandler_ = std::move(handler);
}

VstIntPtr PluginHost::setContentScale(float scale)
{
    constexpr VstInt32 kPreS = 0x50726553;
    constexpr VstIntPtr kAeCs = 0x41654373;
    return dispatch(effVendorSpecific, kPreS, kAeCs, nullptr, scale);
}
