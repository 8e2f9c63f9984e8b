#pragma once
// The audio thread's work: the guitar input raised by the input gain, measured for the
// level meter and copied for the tuner, then processed by the plug-in into the two outputs,
// in blocks no longer than the plug-in was told. Nothing here allocates, locks or calls the
// system; the main thread reads the measurements through atomics.
//
// While the main thread changes the plug-in's set-up (sample rate, block size), it pauses
// the path: the audio thread then outputs silence and leaves the plug-in alone.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "live/SampleRing.h"
#include "vst/vst2.h"

class PluginHost;

namespace live {

class AudioPath {
public:
    // The longest block processed at once; longer buffers are processed in pieces.
    static constexpr std::size_t kMaxBlock = 8192;
    // Input samples kept for the tuner (0.68 s at 192 kHz).
    static constexpr std::size_t kTunerRing = 1 << 17;

    explicit AudioPath(AEffect* effect);

    // Main thread. Tells the plug-in the rate and the block size as a host does before it
    // plays: paused, with the plug-in switched off meanwhile.
    void setUp(PluginHost& plugin, uint32_t sampleRate, uint32_t blockSize);
    void setInputGainDb(double db);
    double inputGainDb() const { return gainDb_.load(); }
    // Returns once the audio thread has left the plug-in; it stays away until resume().
    void pause();
    void resume();
    // The highest input level (after the gain) since the last call, and how many blocks
    // reached full scale so far.
    float takePeak();
    uint32_t clippedBlocks() const { return clipped_.load(std::memory_order_relaxed); }
    const SampleRing& tunerInput() const { return tunerInput_; }

    // Audio thread: `frames` samples of the guitar in, two channels out.
    void process(const float* in, float* outLeft, float* outRight, std::size_t frames);

private:
    void processBlock(const float* in, float* outLeft, float* outRight, std::size_t frames);

    AEffect* effect_;
    std::vector<float> input_;
    std::atomic<float> gain_{1.0f};
    std::atomic<double> gainDb_{0.0};
    float currentGain_ = 1.0f;  // audio thread: the gain the last block ended with
    std::atomic<std::size_t> blockSize_{kMaxBlock};
    std::atomic<bool> paused_{false};
    std::atomic<bool> inside_{false};
    std::atomic<float> peak_{0.0f};
    std::atomic<uint32_t> clipped_{0};
    SampleRing tunerInput_{kTunerRing};
};

}  // namespace live
