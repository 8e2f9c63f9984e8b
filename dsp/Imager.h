#pragma once
// Stereo widener: adds copies of the left channel 15 ms back and the right channel 10 ms
// back, re-balanced as mid and side with gains that follow the width, to the dry pair.

#include <atomic>
#include <vector>

#include "dsp/RelaxedAtomic.h"

class Imager {
public:
    // Buffers of one second at `sampleRate` (an integer rate; at least 1); width 0.
    explicit Imager(int sampleRate = 44100);

    // Width 0..1: sets the mid/side gain targets (a parabolic cosine/sine pair) and the
    // gain of the delayed copies. Any other value (NaN included) is ignored.
    virtual void setWidth(float value);

    // One stereo sample. `blockLength` is the host block length: the mid/side gains glide
    // toward their targets by 7 / blockLength per sample (at most all the way).
    virtual void process(float left, float right, float& outLeft, float& outRight, int blockLength);
    // `n` stereo samples; inputs and outputs may be the same memory.
    void process(const float* left, const float* right, float* outLeft, float* outRight, int n, int blockLength);

    virtual ~Imager() = default;

    // Empties both delay buffers. Safe from any thread: the audio thread carries it out at
    // the start of its next process call.
    void clear();

    float midTarget() const { return midGainTarget; }
    float sideTarget() const { return sideGainTarget; }
    float inputGain() const { return delayedGain; }

private:
    const int length; // samples per buffer, one second
    const int leftDelay;  // 15 ms
    const int rightDelay; // 10 ms
    std::vector<float> leftBuffer;
    std::vector<float> rightBuffer;
    int leftWrite = 0;
    int rightWrite = 0;
    int leftRead = 0;
    int rightRead = 0;
    std::atomic<bool> clearPending{false};

    SharedFloat width{0.0f};
    SharedFloat delayedGain{0.0f};
    SharedFloat midGainTarget{0.0f};
    SharedFloat sideGainTarget{0.0f};
    float midGain = 0.0f;  // smoothed toward midGainTarget
    float sideGain = 0.0f; // smoothed toward sideGainTarget
};
