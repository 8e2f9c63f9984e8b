#pragma once
// Chorus: a one-second delay line read at a position swept by the inherited oscillator
// (triangle, channel 0) between 1 and 71 samples behind the write position, with
// four-point cubic interpolation. Output = delayed signal + half the dry input.

#include <atomic>
#include <vector>

#include "dsp/LFO.h"

class Chorus : public LFO {
public:
    // sampleRate: design rate; the delay line holds one second at this rate (0 means 44100).
    explicit Chorus(int sampleRate = 44100);

    // Sweep speed, control value 0..1 (the oscillator gets v^1.5).
    void setSpeed(float v);
    // Sweep depth is the oscillator's depth: LFO::setDepth.

    // Empties the delay line. Safe to call from any thread while process() runs: it only
    // raises a request that process() carries out before it next touches the line, so the
    // line is empty when the chorus next runs. Never allocates.
    void clear();

    // Processes one sample: writes the chorus sample to *out (when out is not null) and
    // returns the oscillator value that set the delay.
    float process(float x, float* out);
    // `n` samples from `in` to `out` (which may be the same memory), the sweep taken from
    // the oscillator's own sequence (LFO::next, not an override).
    void process(const float* in, float* out, int n);

    int getBufferLength() const { return static_cast<int>(buffer_.size()); }

private:
    void carryOutClear();
    // One sample at oscillator value g.
    float step(float x, float g);

    static constexpr float kWidth = 70.0f;    // sweep width in samples
    static constexpr float kMinDelay = 1.0f;  // delay at oscillator value 0

    std::vector<float> buffer_; // sized once; never reallocated
    int writePosition_ = 0;
    const float feedback_ = 0.0f;
    std::atomic<bool> clearRequested_{false};
};
