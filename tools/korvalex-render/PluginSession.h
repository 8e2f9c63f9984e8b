#pragma once
// One instance of the plug-in, driven through the VST 2.4 interface as a host drives it:
// everything the tool knows about programs and parameters it asks the plug-in.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class PluginHost;

// The rate the plug-in's engine is designed for. The plug-in takes lower rates as this one,
// and runs any higher rate through converters of its own.
constexpr int kEngineRate = 44100;
// Frames per processing call, fixed so every render of the same input is the same.
constexpr int kBlockSize = 512;
// The speaker-cabinet stage convolves in 16-sample blocks, which delays the engine's output
// by 31 of its samples while the cabinet is in the chain. The plug-in does not report that
// delay to hosts (only its converters' latency), so the tool knows the figure itself and
// removes it to line the output up with the input.
constexpr int kCabinetLatency = 31;
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
    std::vector<std::string> parameterNames();
    int currentProgram();
    std::string parameterDisplay(int index);
    float parameterValue(int index);

    void selectProgram(int index);
    void setParameter(int index, float value);

    // Whether the current settings keep the cabinet in the chain: Power on and the
    // Amplifier on one of its cabinets, not on its last two positions ("-", "BYPASS").
    // Both parameters are found by name; a plug-in without them is taken to have it.
    bool cabinetInChain();

    // Sets the rate and block size, switches the plug-in on and runs the pre-roll.
    void start(int rate);
    // The latency the plug-in reports to hosts, in frames at its rate (after start).
    int reportedLatency() const;
    // Processes `count` (at most kBlockSize) interleaved stereo frames as one block.
    void processBlock(const float* stereoIn, float* stereoOut, std::size_t count);

private:
    explicit PluginSession(std::unique_ptr<PluginHost> host);

    std::unique_ptr<PluginHost> host_;
    std::vector<float> inLeft_, inRight_, outLeft_, outRight_;
};

// The plug-in file beside the running executable.
std::string defaultPluginPath();
