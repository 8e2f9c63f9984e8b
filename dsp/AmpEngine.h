#pragma once
// The amplifier engine: the settings of every parameter and the per-sample chain that
// turns two input channels into two output channels.

#include "dsp/DspConstants.h"
#include "dsp/RelaxedAtomic.h"

class AmpEngine {
public:
    static constexpr int kNumSettings = 53;

    explicit AmpEngine(float sampleRate = kDesignSampleRate);

    // Stores a normalized value and applies it to the blocks it drives.
    void setSetting(int index, float value);
    float setting(int index) const { return settings_[index]; }

    // Redesigns the three equaliser bands from their settings for the given rate.
    void designEqualiser(float sampleRate);

    // Once per block, before process: moves every switch fade one step.
    void stepSwitchFades();
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames);

    float compressorMeter() const { return compressorMeter_; }
    float gateMeter() const { return gateMeter_; }

private:
    SharedFloat settings_[kNumSettings];
    SharedFloat compressorMeter_{1.0f};
    SharedFloat gateMeter_{1.0f};
};
