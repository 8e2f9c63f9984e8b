#pragma once
// The presence control: two cascaded one-pole low-pass stages (a two-pole filter whose
// resonance is fixed at 0) with a shared coefficient f between about 0.22 (dark) and
// 0.999 (practically open). The high-pass output in - lowpass is also available.

#include "dsp/RelaxedAtomic.h"

class PresenceFilter {
public:
    static constexpr int kNumChannels = 6;

    PresenceFilter();

    // f = (0.7 v + 0.3)^3 * 0.799 + 0.2, with v limited to 0..1 so f stays below 1.
    void setPresence(float value);
    float coefficient() const { return f_; }

    // Filters `sample` in place: mode below 0.5 gives the low-pass output, otherwise the
    // high-pass one. Channels 0..5 keep separate memories; any other channel leaves the
    // sample untouched.
    void process(int channel, float mode, float& sample) { process(channel, mode, &sample, 1); }
    // `n` samples in place.
    void process(int channel, float mode, float* samples, int n);

private:
    static constexpr float kResonance = 0.0f;

    SharedFloat f_;
    float stage1_[kNumChannels] = {};
    float stage2_[kNumChannels] = {};
};
