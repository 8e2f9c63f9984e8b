#include "tools/korvalex-host-compare/ReferenceRender.h"

#include <memory>

#include "host/PluginHost.h"

namespace {

std::unique_ptr<PluginHost> loadWithProgram(const std::string& pluginPath, int program, std::string& error)
{
    std::unique_ptr<PluginHost> host = PluginHost::load(pluginPath, error);
    if (!host)
        return nullptr;
    if (program < 0 || program >= host->numPrograms()) {
        error = "program " + std::to_string(program) + " is out of range (the plug-in has " +
                std::to_string(host->numPrograms()) + ")";
        return nullptr;
    }
    host->setProgram(program);
    if (host->program() != program) {
        error = "the plug-in did not switch to program " + std::to_string(program);
        return nullptr;
    }
    return host;
}

}  // namespace

bool renderReference(const std::string& pluginPath, const ReferenceSettings& settings,
                     const std::vector<float>& inLeft, const std::vector<float>& inRight, Channels& output,
                     std::string& error)
{
    if (inLeft.size() != inRight.size()) {
        error = "the two input channels differ in length";
        return false;
    }
    if (settings.blockSize <= 0) {
        error = "the block size must be positive";
        return false;
    }
    std::unique_ptr<PluginHost> host = loadWithProgram(pluginPath, settings.program, error);
    if (!host)
        return false;
    if (host->effect()->numInputs != 2 || host->effect()->numOutputs != 2) {
        error = "the plug-in is not two in, two out";
        return false;
    }
    host->setSampleRate(settings.sampleRate);
    host->setBlockSize(settings.blockSize);
    host->setMainsOn(true);
    output.assign(2, std::vector<float>(inLeft.size()));
    host->processStereo(inLeft.data(), inRight.data(), output[0].data(), output[1].data(), inLeft.size(),
                        settings.blockSize);
    host->setMainsOn(false);
    return true;
}

bool readProgram(const std::string& pluginPath, int program, std::vector<float>& values, std::string& name,
                 std::string& error)
{
    std::unique_ptr<PluginHost> host = loadWithProgram(pluginPath, program, error);
    if (!host)
        return false;
    values.clear();
    for (int i = 0; i < host->numParams(); ++i)
        values.push_back(host->getParameter(i));
    name = host->programName();
    return true;
}
