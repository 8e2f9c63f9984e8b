#pragma once
// Phaser: eight first-order all-pass stages with feedback, their break frequency swept by
// a sine oscillator between 440 Hz and 3600 Hz; the all-pass output is added to the input.

#include "dsp/LFO.h"
#include "dsp/RelaxedAtomic.h"

class Phaser {
public:
    static constexpr int kStages = 8;
    static constexpr float kMaxFeedback = 0.95f;

    // sampleRate: design rate (0 means 44100).
    explicit Phaser(int sampleRate = 44100);

    // Sweep speed, control value 0..1 (the oscillator gets v^1.5).
    void setSpeed(float v);
    // Feedback amount, limited to at most 0.95.
    void setFeedback(float v);

    // Processes one sample and returns the phaser sample.
    float process(float x);
    // `n` samples from `in` to `out` (which may be the same memory).
    void process(const float* in, float* out, int n);

    float getFeedback() const { return feedback_; }
    // Lower and upper sweep points as normalized frequencies (Hz over half the design rate).
    float getLowerCoefficient() const { return lower_; }
    float getUpperCoefficient() const { return upper_; }
    LFO& oscillator() { return lfo_; }

private:
    int designRate_;
    LFO lfo_;
    float lower_;
    float upper_;
    float allpassCoefficient_ = 0.0f;
    float state_[kStages] = {};
    SharedFloat feedback_{0.7f};
    float lastOutput_ = 0.0f;
    float wetGain_ = 1.0f;
};
