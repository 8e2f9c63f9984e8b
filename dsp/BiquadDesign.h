#pragma once
// Second-order section design shared by the tone stack and the parametric equaliser,
// and the direct-form-I section they both run.

#include "dsp/RelaxedAtomic.h"

enum class BiquadType {
    Peaking, // bell: gain at the centre frequency, unity far from it
    Notch,   // zero on the unit circle at the centre frequency
};

// How a bandwidth in octaves becomes the section's damping term when no Q is given.
enum class BandwidthRule {
    Equaliser,       // alpha = sin w * sin(ln 2 / 2 * bandwidth)
    FrequencyWarped, // alpha = sin w * sin(ln 2 / 2 * bandwidth * w / sin w)
};

struct BiquadCoefficients {
    // As designed. Hosts may change parameters from two threads at once (automation and the
    // editor), so two designs can overlap: every stored value is shared.
    SharedFloat a0{1.0f}, a1{0.0f}, a2{0.0f};
    SharedFloat b0{1.0f}, b1{0.0f}, b2{0.0f};
    // Divided by a0: what the audio thread reads. Starts as a pass-through.
    SharedFloat nb0{1.0f}, nb1{0.0f}, nb2{0.0f}, na1{0.0f}, na2{0.0f};
};

// Fills `c` for a section of the given type. gainDb is used by the peaking type. A Q above
// 0 sets the width; otherwise a bandwidth above 0 does, by `rule`; with neither the section
// is flat (peaking) or degenerate (notch). The design is computed in double from the float
// arguments and each stored coefficient rounded once to float; the normalized ones are float
// quotients of the stored floats. A rate that is not positive or a frequency outside
// (0, rate / 2) leaves `c` unchanged.
void BiquadDesign(BiquadCoefficients& c, BiquadType type, double rate, float frequency, float gainDb,
    float q, float bandwidth, BandwidthRule rule);

// One channel of section memory.
struct BiquadState {
    float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
};

// Direct form I: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2 (all divided by a0), over `n`
// samples in place.
inline void runBiquad(const BiquadCoefficients& c, BiquadState& s, float* samples, int n)
{
    const float b0 = c.nb0, b1 = c.nb1, b2 = c.nb2, a1 = c.na1, a2 = c.na2;
    float x1 = s.x1, x2 = s.x2, y1 = s.y1, y2 = s.y2;
    for (int i = 0; i < n; ++i) {
        const float x = samples[i];
        const float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        samples[i] = y;
    }
    s = BiquadState{x1, x2, y1, y2};
}

// One sample.
inline float runBiquad(const BiquadCoefficients& c, BiquadState& s, float x)
{
    runBiquad(c, s, &x, 1);
    return x;
}
