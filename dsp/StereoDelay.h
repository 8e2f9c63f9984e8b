#pragma once
// Ping-pong echo: a line of (left tap, right tap) pairs. Each new left value is the input
// plus the fed-back right tap, each new right value the old left tap, so the repeats
// alternate between the two outputs.

#include <atomic>
#include <vector>

#include "dsp/RelaxedAtomic.h"

class StereoDelay {
public:
    // The line holds two seconds at `sampleRate` (an integer rate; at least 1).
    explicit StereoDelay(int sampleRate = 44100);

    // Delay D = trunc(R v + R h) samples with h = 0.01f widened to double (440 at v = 0,
    // 44540 at v = 1 for R = 44100), held within 1..2R; also empties the line.
    void setSpeed(float value);
    void setSustain(float value); // feedback = v
    void setMix(float value);     // m = v^2, dry = sqrt(1 - m), wet = sqrt(m)

    // Empties the line. Safe from any thread: the audio thread carries it out at the start
    // of its next process call, so the line is silent from that sample on.
    void clear();

    // One sample of mono input to the two taps.
    void process(float in, float& outA, float& outB) { process(&in, &outA, &outB, 1); }
    // `n` samples; `in` may be the same memory as either output.
    void process(const float* in, float* outA, float* outB, int n);

    // Current delay in samples (2R until the first setSpeed).
    int delaySamples() const { return length - readOffset; }

private:
    struct Pair {
        float left;
        float right;
    };

    const int rate;
    const int length; // pairs in the line, 2R
    std::vector<Pair> buffer;
    int writePosition = 0;

    SharedInt readOffset{0}; // length - D, always within 0..length-1
    std::atomic<bool> clearPending{false};
    SharedFloat feedback{0.0f};
    SharedFloat dryGain{0.0f};
    SharedFloat wetGain{0.0f};
};
