#pragma once
// The overdrive: a resonant two-pole high-pass, a hard clipper whose threshold falls as
// Drive rises, an output level that falls with it, and a DC blocker for the offset that
// asymmetric clipping leaves.
//
// Below the threshold the stage is a linear gain of level / threshold (up to 1000 x level
// at Drive 1); above it every sample comes out at +-level before the blocker.

#include "dsp/RelaxedAtomic.h"

class DriveStage {
public:
    // The rate is accepted for uniform construction; the stage's coefficients do not
    // depend on it. Starts at Drive 0 (threshold 1, level 1).
    explicit DriveStage(float sampleRate);

    // threshold = 10^(-60 v / 20) (0 below -90 dB); level = (1 - v)^10 * 0.7 + 0.3.
    void setDrive(float value);

    float process(float x);
    // `n` samples in place.
    void process(float* samples, int n);

    float threshold() const { return threshold_; }
    float thresholdDb() const { return thresholdDb_; }
    float level() const { return level_; }

private:

    SharedFloat thresholdDb_{-80.0f};
    SharedFloat threshold_{1.0f};
    SharedFloat level_{1.0f};

    float lowPass1_ = 0.0f; // first stage of the pre-filter's low-pass
    float lowPass2_ = 0.0f; // second stage; high-pass = in - lowPass2
    float blockerIn_ = 0.0f;
    float blockerOut_ = 0.0f;
};
