#pragma once
// Keeps the mono signal near full scale: a cubic soft clip x - x^3 / 6, then a peak
// limiter whose target gain is about 1 / |x| (linearly interpolated in a reciprocal
// table), with instant gain reduction and a one-pole recovery.

#include <vector>

#include "dsp/RelaxedAtomic.h"

class OutputLimiter {
public:
    static constexpr int kTableSize = 32768;
    static constexpr float kMaxLevel = 32760.0f; // magnitudes above this use its table value

    // Builds the reciprocal table for the given rate; starts at unity gain with a 75 ms
    // recovery.
    explicit OutputLimiter(int sampleRate);

    // Recovery coefficient r = 1 - 0.001^(1 / (rate * ms / 1000)): the gain closes 99.9 %
    // of its gap to the target in `ms` milliseconds. 0 or less recovers at once.
    void setRelease(float milliseconds);
    float releaseCoefficient() const { return release_; }

    void process(float& sample) { process(&sample, 1); }
    // `n` samples in place.
    void process(float* samples, int n);

private:
    int sampleRate_;
    std::vector<float> reciprocals_; // [0] = 1, [i] = 1 / i
    SharedFloat release_{1.0f};
    float gain_ = 1.0f;
};
