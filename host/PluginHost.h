#pragma once
// A small VST 2.4 host: loads a plug-in file (or attaches to a plug-in linked into the
// program), answers its callback, records what the plug-in tells the host, and offers a
// typed call for every request a host makes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vst/vst2.h"

// One call from the plug-in to the host.
struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

class DynamicLibrary;

// A plug-in's unique ID as its four characters: "ROri" for 0x524F7269; '?' for bytes that
// are not printable.
std::string fourCharacters(VstInt32 id);

class PluginHost {
public:
    typedef AEffect* (VSTCALLBACK* EntryPoint)(audioMasterCallback host);

    // Loads the plug-in file and creates one instance through the named entry point
    // ("VSTPluginMain" or "main"). Answers null and sets `error` when that fails.
    static std::unique_ptr<PluginHost> load(const std::string& path, std::string& error,
                                            const std::string& entryPoint = "VSTPluginMain");
    // Creates one instance through an entry function linked into this program, for a
    // program that carries its plug-in inside itself. `name` names it in errors.
    static std::unique_ptr<PluginHost> attach(EntryPoint entry, const std::string& name, std::string& error);
    ~PluginHost();  // closes the instance (effClose), then unloads the file (if any)

    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    // Identity
    std::string effectName();
    std::string vendorString();
    std::string productString();
    VstInt32 vendorVersion();
    VstInt32 vstVersion();
    VstInt32 plugCategory();
    VstIntPtr canDo(const std::string& what);
    VstInt32 tailSize();

    // Parameters
    int numParams() const { return effect_->numParams; }
    std::string parameterName(VstInt32 index);
    std::string parameterLabel(VstInt32 index);
    std::string parameterDisplay(VstInt32 index);
    bool canBeAutomated(VstInt32 index);
    float getParameter(VstInt32 index);
    void setParameter(VstInt32 index, float value);

    // Programs
    int numPrograms() const { return effect_->numPrograms; }
    VstInt32 program();
    void setProgram(VstIntPtr program);
    std::string programName();
    void setProgramName(const std::string& name);
    // The name of program `index`, or false when the plug-in has none for it.
    bool programNameIndexed(VstInt32 index, std::string& name, std::size_t bufferSize = kVstMaxProgNameLen);

    // Set-up and processing
    void setSampleRate(float rate);
    void setBlockSize(VstIntPtr size);
    void setMainsOn(bool on);
    VstIntPtr getChunk(void** data);
    VstIntPtr setChunk(void* data, VstIntPtr size);
    void processReplacing(float** inputs, float** outputs, VstInt32 frames);
    // Processes separate stereo buffers in blocks of at most `blockSize` frames.
    void processStereo(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                       std::size_t frames, VstInt32 blockSize);

    // Editor requests
    bool editGetRect(ERect** rect);
    VstIntPtr editOpen(void* parent);
    void editClose();
    void editIdle();
    VstIntPtr editKeyDown(char character, VstIntPtr virtualKey, float modifiers);
    VstIntPtr editKeyUp(char character, VstIntPtr virtualKey, float modifiers);
    VstIntPtr setEditKnobMode(VstIntPtr mode);

    // Called when the plug-in asks the host to idle (audioMasterIdle, sent from loops that
    // follow the mouse): a host with an open editor handles its window's events there.
    void setIdleHandler(std::function<void()> handler);
    // Called when the plug-in asks the host to give its editor's window a new size
    // (audioMasterSizeWindow: width, height); while one is set the host says it can
    // ("sizeWindow"). The handler answers whether it did.
    void setSizeWindowHandler(std::function<bool(int32_t width, int32_t height)> handler);
    // Tells the plug-in the scale of the display its editor is shown on, as some Windows
    // hosts do (effVendorSpecific 'PreS' 'AeCs', the scale as the float); its answer.
    VstIntPtr setContentScale(float scale);

    // Whether every call of the plug-in is kept for calls() (the default). A host that
    // plays audio turns it off: the callback then neither locks nor allocates, so the
    // plug-in may call it from the audio thread.
    void setRecording(bool on) { recording_.store(on); }

    // What the plug-in told the host, in order.
    std::vector<HostCall> calls() const;
    std::size_t countCalls(VstInt32 opcode) const;
    void clearCalls();

private:
    PluginHost() = default;
    static std::unique_ptr<PluginHost> create(EntryPoint entry, const std::string& name, std::string& error);
    static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                              void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    std::string textRequest(VstInt32 opcode, VstInt32 index, std::size_t bufferSize);

    std::unique_ptr<DynamicLibrary> library_;
    AEffect* effect_ = nullptr;
    // Asked for by the plug-in from any thread.
    std::atomic<float> sampleRate_{44100.0f};
    std::atomic<VstIntPtr> blockSize_{1024};
    std::atomic<bool> recording_{true};
    mutable std::mutex callsMutex_;
    std::vector<HostCall> calls_;
    std::function<void()> idleHandler_;
    std::function<bool(int32_t, int32_t)> sizeWindowHandler_;
};
