#pragma once
// One instance of the plug-in, driven through the VST 2.4 interface as a host drives it:
// everything the tool knows about programs and parameters it asks the plug-in.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "host/PluginFacts.h"

class PluginHost;

// The rate the plug-in's engine is designed for. The plug-in takes lower rates as this one,
// and runs any higher rate through converters of its own.
constexpr int kEngineRate = 44100;
// Frames per processing call, fixed so every render of the same input is the same.
constexpr int kBlockSize = 512;
// The cabinet's delay (host/PluginFacts.h): the plug-in does not report it to hosts (only
// its converters' latency), so the tool knows the figure itself and removes it to line the
// output up with the input.
// Blocks of silence processed before the audio. A new instance opens its level ramps and
// switch crossfades over its first blocks; a host playing a track has run them long
// before the first note, and so does the tool.
constexpr int kPrerollBlocks = 16;

class PluginSession {
public:
    // Loads the plug-in file and creates an instance. Throws RenderFailure naming the file.
    // Safe to call from several threads (creation and destruction are serialized).
    static std::unique_ptr<PluginSession> open(const std::string& path);
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    std::vector<std::string> programNames();
    // The program file's values, or a RenderFailure naming the file when it is not a
    // complete program of this plug-in.
    std::vector<float> presetValues(const std::string& path);
    std::vector<std::string> parameterNames();
    int currentProgram();
    std::string parameterDisplay(int index);
    float parameterValue(int index);

    void selectProgram(int index);
    void setParameter(int index, float value);

    // Puts an impulse response (44100 Hz) in place of the program's cabinet, through the
    // plug-in's private request. Throws RenderFailure when the plug-in does not take it.
    void useCabinetResponse(const std::vector<float>& taps, double gainDb);

    // Whether the current settings keep the cabinet in the chain (host/PluginFacts.h).
    bool cabinetInChain();

    // Sets the rate and block size, switches the plug-in on and runs the pre-roll.
    void start(int rate);
    // The latency the plug-in reports to hosts, in frames at its rate (after start).
    int reportedLatency() const;
    // Processes `count` (at most kBlockSize) interleaved stereo frames as one block.
    void processBlock(const float* stereoIn, float* stereoOut, std::size_t count);

private:
    PluginSession(const std::string& path, std::unique_ptr<PluginHost> host);

    std::string path_;
    std::unique_ptr<PluginHost> host_;
    std::vector<float> inLeft_, inRight_, outLeft_, outRight_;
};

// The plug-in file beside the running executable (a build folder), else the one installed
// with it (the VST folder of the same prefix).
std::string defaultPluginPath();
