#include "tools/korvalex-render/PluginSession.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "host/PluginFacts.h"
#include "host/PluginHost.h"
#include "host/PresetFile.h"
#include "tools/korvalex-render/Errors.h"

namespace {

// Creating and destroying an instance sets up and tears down its FFT plans, which the
// FFT library does not allow on several threads at once; processing is free to overlap.
std::mutex lifecycleMutex;

// Room for a program name longer than the interface's 24 bytes, should the plug-in give one.
constexpr std::size_t kProgramNameBuffer = 64;

}  // namespace

std::string defaultPluginPath()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "korvalex.so";
    const std::string executable(path, static_cast<std::size_t>(length));
    std::string folder = executable.substr(0, executable.find_last_of('/'));
    // In the build folder the plug-in sits beside the program; once installed, in the
    // VST folder of the same prefix, KORVALEX_INSTALLED_PLUGIN relative to the program.
    const std::string beside = folder + "/korvalex.so";
    struct stat status{};
    if (stat(beside.c_str(), &status) == 0)
        return beside;
    std::string relative = KORVALEX_INSTALLED_PLUGIN;
    while (relative.compare(0, 3, "../") == 0 && folder.find('/') != std::string::npos) {
        folder.erase(folder.find_last_of('/'));
        relative.erase(0, 3);
    }
    return folder + "/" + relative;
}

std::unique_ptr<PluginSession> PluginSession::open(const std::string& path)
{
    struct stat status{};
    if (stat(path.c_str(), &status) != 0)
        throw RenderFailure(path + ": cannot load the plug-in: " + std::strerror(errno) +
                            " (build it, or name it with --plugin PATH)");
    std::unique_ptr<PluginHost> host;
    std::string error;
    {
        std::lock_guard<std::mutex> lock(lifecycleMutex);
        host = PluginHost::load(path, error);
    }
    if (!host)
        throw RenderFailure(path + ": cannot load the plug-in: " + error);
    const AEffect* effect = host->effect();
    if (effect->numInputs != 2 || effect->numOutputs != 2 || !(effect->flags & effFlagsCanReplacing)) {
        const std::string shape = std::to_string(effect->numInputs) + " inputs and " +
                                  std::to_string(effect->numOutputs) + " outputs";
        std::lock_guard<std::mutex> lock(lifecycleMutex);
        host.reset();
        throw RenderFailure(path + ": not a stereo effect with replacing processing (" + shape + ")");
    }
    return std::unique_ptr<PluginSession>(new PluginSession(path, std::move(host)));
}

PluginSession::PluginSession(const std::string& path, std::unique_ptr<PluginHost> host)
    : path_(path),
      host_(std::move(host)), inLeft_(kBlockSize), inRight_(kBlockSize), outLeft_(kBlockSize), outRight_(kBlockSize)
{
}

PluginSession::~PluginSession()
{
    std::lock_guard<std::mutex> lock(lifecycleMutex);
    host_.reset();
}

std::vector<std::string> PluginSession::programNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < host_->numPrograms(); ++i) {
        std::string name;
        if (!host_->programNameIndexed(i, name, kProgramNameBuffer))
            name.clear();
        names.push_back(name);
    }
    return names;
}

std::vector<float> PluginSession::presetValues(const std::string& path)
{
    ProgramPreset preset;
    std::string error, reason;
    if (!readPresetFile(path, preset, error))
        throw RenderFailure(error);
    if (!presetFitsPlugin(preset, host_->effect()->uniqueID, host_->numParams(), reason))
        throw RenderFailure(path + ": " + reason);
    return preset.values;
}

std::vector<std::string> PluginSession::parameterNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < host_->numParams(); ++i)
        names.push_back(host_->parameterName(i));
    return names;
}

int PluginSession::currentProgram()
{
    return host_->program();
}

std::string PluginSession::parameterDisplay(int index)
{
    return host_->parameterDisplay(index);
}

float PluginSession::parameterValue(int index)
{
    return host_->getParameter(index);
}

void PluginSession::selectProgram(int index)
{
    host_->setProgram(index);
}

void PluginSession::setParameter(int index, float value)
{
    host_->setParameter(index, value);
}

void PluginSession::useCabinetResponse(const std::vector<float>& taps, double gainDb)
{
    if (!sendCabinetResponse(*host_, taps, gainDb))
        throw RenderFailure(path_ + ": the plug-in did not take the cabinet impulse response (a plug-in "
                            "without --cabinet support, or a response it cannot use)");
}

bool PluginSession::cabinetInChain()
{
    return ::cabinetInChain(*host_);
}

void PluginSession::start(int rate)
{
    host_->setSampleRate(static_cast<float>(rate));
    host_->setBlockSize(kBlockSize);
    host_->setMainsOn(true);
    std::vector<float> silence(2 * kBlockSize, 0.0f), ignored(2 * kBlockSize);
    for (int block = 0; block < kPrerollBlocks; ++block)
        processBlock(silence.data(), ignored.data(), kBlockSize);
}

int PluginSession::reportedLatency() const
{
    return host_->effect()->initialDelay;
}

void PluginSession::processBlock(const float* stereoIn, float* stereoOut, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        inLeft_[i] = stereoIn[2 * i];
        inRight_[i] = stereoIn[2 * i + 1];
    }
    float* inputs[2] = {inLeft_.data(), inRight_.data()};
    float* outputs[2] = {outLeft_.data(), outRight_.data()};
    host_->processReplacing(inputs, outputs, static_cast<VstInt32>(count));
    for (std::size_t i = 0; i < count; ++i) {
        stereoOut[2 * i] = outLeft_[i];
        stereoOut[2 * i + 1] = outRight_[i];
    }
}
