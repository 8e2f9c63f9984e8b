#pragma once
// Rendering one file through the plug-in: read, convert to the rate the plug-in runs at
// (the output rate, or 44100 Hz for a lower one), process, remove the plug-in's latency and
// the cabinet's delay, convert to a lower output rate, fade the last moment out, write.

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// What every render of a run shares.
struct RenderSettings {
    std::string pluginPath;
    int program = -1;                               // -1 keeps the plug-in's current program
    std::vector<std::pair<int, float>> parameters;  // applied in order after the program
    // After the input: with autoTail, until the output has stayed below kQuietDbfs for
    // kQuietSeconds (at most kMaxAutoTailSeconds); otherwise tailSeconds exactly.
    bool autoTail = true;
    double tailSeconds = 0.0;
    double inputGainDb = 0.0;
    // An impulse response (at 44100 Hz) in place of the program's cabinet; none when empty.
    std::vector<float> cabinetTaps;
    double cabinetGainDb = 0.0;
    bool align = true;  // remove the cabinet's delay (besides the reported latency) while it is in the chain
    int outputRate = 0;  // 0: the input's rate
    bool floatOutput = false;
    bool force = false;
};

constexpr double kQuietDbfs = -90.0;
constexpr double kQuietSeconds = 0.5;
constexpr double kMaxAutoTailSeconds = 30.0;
// Every output ends with a fade of this length (a raised-cosine half), so that a tail cut
// off while it still sounds does not end on a click.
constexpr double kFadeOutSeconds = 0.01;

struct RenderJob {
    std::string input;  // unused for the demo riff
    std::string output;
    bool demo = false;
};

struct RenderStats {
    double audioSeconds = 0.0;   // length of the output file
    double pluginSeconds = 0.0;  // audio the plug-in processed, at the rate it ran at
    double pluginTime = 0.0;     // seconds spent inside the plug-in's processing calls
    std::size_t clippedSamples = 0;
    int outputRate = 0;
};

// Called with the fraction of the job done so far (0..1).
using ProgressCallback = std::function<void(double)>;

// Renders one job with a plug-in instance of its own. Throws RenderFailure (naming the file
// and the reason) and leaves no output file behind when anything fails or `cancelled` is set.
RenderStats renderFile(const RenderJob& job, const RenderSettings& settings, const ProgressCallback& progress,
                       const std::atomic<bool>& cancelled);
