// korvalex-render: re-amps recorded guitar through the Korvalex plug-in, driving the built
// plug-in file through the VST 2.4 interface as a host does.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "irfile/CabinetFile.h"
#include "vst/vst2.h"
#include "tools/korvalex-render/AudioFile.h"
#include "tools/korvalex-render/Batch.h"
#include "tools/korvalex-render/Errors.h"
#include "host/NameLookup.h"
#include "tools/korvalex-render/Options.h"
#include "tools/korvalex-render/PluginSession.h"
#include "tools/korvalex-render/Render.h"
#include "tools/korvalex-render/Reporter.h"

#ifndef KORVALEX_VERSION
#define KORVALEX_VERSION "unknown"
#endif

namespace {

std::atomic<bool> interrupted{false};

// Program names reach a host through 24-byte buffers: at most 23 characters.
constexpr std::size_t kProgramNameLength = kVstMaxProgNameLen - 1;

extern "C" void onInterrupt(int)
{
    interrupted.store(true);
}

// The first Ctrl-C ends the run cleanly (no half-written file); a second one ends it at once.
void catchInterrupts()
{
    struct sigaction action{};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::string fileStem(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The extension of a file written into the output folder.
std::string folderOutputExtension(const Options& options, const std::string& input)
{
    if (!options.outputFormat.empty())
        return options.outputFormat;
    const std::string ext = lowerExtension(input);
    return ext == "wav" || ext == "flac" || ext == "aif" || ext == "aiff" ? ext : "wav";
}

std::vector<RenderJob> makeJobs(const Options& options)
{
    std::vector<RenderJob> jobs;
    if (options.outputDir.empty()) {
        RenderJob job;
        job.demo = options.demo;
        job.input = options.demo ? std::string() : options.inputs.front();
        job.output = options.output;
        jobs.push_back(job);
    } else if (options.demo) {
        jobs.push_back({"", joinPath(options.outputDir, "korvalex-demo." + folderOutputExtension(options, "")), true});
    } else {
        std::set<std::string> outputs;
        for (const std::string& input : options.inputs) {
            RenderJob job;
            job.input = input;
            job.output = joinPath(options.outputDir, fileStem(input) + "." + folderOutputExtension(options, input));
            if (!outputs.insert(job.output).second)
                throw UsageError(input + ": would be written to " + job.output + " as another input is");
            jobs.push_back(job);
        }
    }
    for (const RenderJob& job : jobs)
        outputFormatFor(job.output, options.floatOutput);  // refuses unknown formats up front
    return jobs;
}

int resolveProgram(PluginSession& plugin, const std::string& text)
{
    if (text.empty())
        return -1;
    const std::vector<std::string> names = plugin.programNames();
    const NameMatch match = lookUpName(names, text, true, kProgramNameLength);
    if (match.index < 0)
        throw UsageError(describeFailedLookup("program", text, match, names));
    return match.index;
}

std::vector<std::pair<int, float>> resolveParameters(PluginSession& plugin, const std::vector<ParameterRequest>& requests)
{
    std::vector<std::pair<int, float>> resolved;
    if (requests.empty())
        return resolved;
    const std::vector<std::string> names = plugin.parameterNames();
    for (const ParameterRequest& request : requests) {
        const NameMatch match = lookUpName(names, request.name, false);
        if (match.index < 0)
            throw UsageError("--set: " + describeFailedLookup("parameter", request.name, match, names));
        resolved.emplace_back(match.index, request.value);
    }
    return resolved;
}

void listPrograms(PluginSession& plugin)
{
    const std::vector<std::string> names = plugin.programNames();
    const int current = plugin.currentProgram();
    for (std::size_t i = 0; i < names.size(); ++i)
        std::printf("%3zu%c %s\n", i, static_cast<int>(i) == current ? '*' : ' ', names[i].c_str());
}

void listParameters(PluginSession& plugin)
{
    const std::vector<std::string> names = plugin.parameterNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int index = static_cast<int>(i);
        std::printf("%3zu  %-18s %-10s %.4g\n", i, names[i].c_str(), plugin.parameterDisplay(index).c_str(),
                    plugin.parameterValue(index));
    }
}

void printBench(const BatchResult& result)
{
    const double wall = result.wallSeconds > 0.0 ? result.total.audioSeconds / result.wallSeconds : 0.0;
    const double alone = result.total.pluginTime > 0.0 ? result.total.pluginSeconds / result.total.pluginTime : 0.0;
    std::printf("realtime factor: %.1f (%.2f s of audio in %.3f s); the plug-in alone: %.1f per core\n", wall,
                result.total.audioSeconds, result.wallSeconds, alone);
}

int run(const Options& options)
{
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return kExitSuccess;
    }
    if (options.version) {
        std::printf("korvalex-render %s\n", KORVALEX_VERSION);
        return kExitSuccess;
    }
    std::vector<RenderJob> jobs;
    if (!options.listing()) {
        jobs = makeJobs(options);
        if (!options.outputDir.empty() && !isDirectory(options.outputDir))
            throw RenderFailure(options.outputDir + ": no such folder");
    }

    // One instance answers the questions about programs and parameters; every render then
    // makes its own.
    RenderSettings settings;
    settings.pluginPath = options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    {
        std::unique_ptr<PluginSession> plugin = PluginSession::open(settings.pluginPath);
        settings.program = resolveProgram(*plugin, options.program);
        if (!options.presetPath.empty()) {
            const std::vector<float> values = plugin->presetValues(options.presetPath);
            for (std::size_t i = 0; i < values.size(); ++i)
                settings.parameters.emplace_back(static_cast<int>(i), values[i]);
        }
        for (const auto& setting : resolveParameters(*plugin, options.settings))
            settings.parameters.push_back(setting);
        if (options.listing()) {
            if (settings.program >= 0)
                plugin->selectProgram(settings.program);
            for (const auto& [index, value] : settings.parameters)
                plugin->setParameter(index, value);
            if (options.listPrograms)
                listPrograms(*plugin);
            if (options.listParameters)
                listParameters(*plugin);
            return kExitSuccess;
        }
    }
    settings.autoTail = options.autoTail;
    settings.tailSeconds = options.tailSeconds;
    settings.inputGainDb = options.inputGainDb;
    if (!options.cabinetPath.empty()) {
        // Read once, before anything is rendered: a refused file leaves nothing written.
        const CabinetFile cabinet = readCabinetFile(options.cabinetPath);
        if (!cabinet.ok())
            throw RenderFailure(cabinet.error);
        if (!options.quiet)
            std::fprintf(stderr, "korvalex-render: cabinet %s: %s\n", options.cabinetPath.c_str(),
                         cabinet.description().c_str());
        settings.cabinetTaps = cabinet.taps;
        settings.cabinetGainDb = options.cabinetGainDb;
    }
    settings.align = options.align;
    settings.outputRate = options.outputRate;
    settings.floatOutput = options.floatOutput;
    settings.force = options.force;

    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const int workers = options.jobs > 0 ? options.jobs : static_cast<int>(processors);
    Reporter reporter(jobs.size(), isatty(STDERR_FILENO) != 0, options.quiet);
    catchInterrupts();
    const BatchResult result = runJobs(jobs, settings, workers, reporter, interrupted);
    if (options.bench)
        printBench(result);
    return result.failures == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Options options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        return run(options);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "korvalex-render: %s\nTry 'korvalex-render --help' for more information.\n", error.what());
        return kExitUsage;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "korvalex-render: %s\n", error.what());
        return kExitFailure;
    }
}
