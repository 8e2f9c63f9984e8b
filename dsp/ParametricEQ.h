#pragma once
// Three-band post-amplifier equaliser: low, mid and high peaking sections in series, each
// with +-15 dB of gain and 0.25 to 2 octaves of bandwidth. Unlike the other blocks it is
// designed for whatever sample rate it is given at each redesign.

#include "dsp/BiquadDesign.h"
#include "dsp/RelaxedAtomic.h"

class ParametricEQ {
public:
    enum Band { kLow = 0, kMid = 1, kHigh = 2, kNumBands = 3 };

    // Bands start flat and the equaliser disabled.
    ParametricEQ();

    // The filters run only while the flag is not 0 (the owner passes the integer part of
    // its on/off setting, so only exactly 1.0 turns them on).
    void setEnabled(int enabled);

    // Peaking section with centre `frequency` Hz, `gainDb` at the centre and `bandwidth`
    // octaves, designed for `sampleRate`. An unknown band is ignored. The section's memory
    // survives the redesign.
    void designBand(int band, float sampleRate, float frequency, float gainDb, float bandwidth);

    // The same from the band's three normalized settings:
    //   frequency low 50 + 550 f, mid 400 + 3600 f, high 2000 + 10000 f Hz;
    //   gain (g - 0.5) * 2 * 15 dB (0 dB at 0.5); bandwidth 0.25 + 1.75 b octaves.
    void designBandFromSettings(int band, float sampleRate, float gainSetting, float frequencySetting,
        float bandSetting);

    float process(float x);
    // `n` samples in place (left as they are while disabled).
    void process(float* samples, int n);

private:
    SharedInt enabled_{0};
    BiquadCoefficients coefficients_[kNumBands];
    BiquadState state_[kNumBands];
};
