#pragma once
// The amplifier's tone controls: peaking sections for bass (80 Hz), middle (600 Hz) and
// treble (3000 Hz), then an optional notch that gives each amplifier model its voicing.

#include "dsp/BiquadDesign.h"
#include "dsp/RelaxedAtomic.h"

class ToneStack {
public:
    static constexpr int kNumChannels = 6;
    static constexpr float kBassFrequency = 80.0f;
    static constexpr float kMiddleFrequency = 600.0f;
    static constexpr float kTrebleFrequency = 3000.0f;
    static constexpr float kSectionQ = 1.0f;

    // Sections are designed for the given rate and start flat; the notch starts at
    // 1000 Hz, Q 1, disabled.
    explicit ToneStack(int sampleRate);

    void setBass(float value);   // peaking at 80 Hz, gain 24 v - 12 dB
    void setMiddle(float value); // peaking at 600 Hz, gain 20 v - 10 dB
    void setTreble(float value); // peaking at 3000 Hz, gain 24 v - 12 dB

    // Designs the notch at `frequency` with `q` and switches it in or out. A disabled notch
    // keeps its memory frozen until it is enabled again.
    void setVoicing(float frequency, float q, bool enabled);

    // One sample through bass, middle, treble and (if enabled) the notch. Channels 0..5
    // keep separate memories; any other channel returns the sample unchanged.
    float process(int channel, float x);
    // `n` samples in place, section by section.
    void process(int channel, float* samples, int n);

private:
    enum Section { kBass = 0, kMiddle = 1, kTreble = 2, kNotch = 3, kNumSections = 4 };

    void designPeaking(Section section, float frequency, float gainDb);

    int sampleRate_;
    BiquadCoefficients coefficients_[kNumSections];
    BiquadState state_[kNumSections][kNumChannels];
    SharedInt notchEnabled_{0};
};
