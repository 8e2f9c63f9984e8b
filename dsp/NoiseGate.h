#pragma once
// Noise gate: a peak detector with a slow fall drives a four-state machine (closed,
// opening, holding, closing) that moves a gain between 0 and 1 along linear ramps. The
// signal is multiplied by that gain lifted onto the range floor, so a closed gate
// attenuates down to the floor and no further.

#include "dsp/RelaxedAtomic.h"

class NoiseGate {
public:
    enum State { kClosed = 1, kOpening = 2, kHolding = 3, kClosing = 4 };

    // Threshold and range controls bottom out here; at this threshold the gate is off.
    static constexpr float kFloorDb = -90.0f;
    static constexpr float kMaxAttackMs = 200.0f;
    static constexpr float kMaxReleaseMs = 4000.0f;
    static constexpr float kHoldSpanMs = 2000.0f;
    static constexpr float kMinHoldMs = 2.0f;

    // sampleRate: the rate the ramps and the hold time are designed for.
    explicit NoiseGate(int sampleRate);

    // All controls take a normalized value 0..1.
    void setThreshold(float v); // (1 - v) * -90 dB; 0 at the bottom of the scale
    void setRange(float v);     // floor at -90 * v dB; 0 at the bottom of the scale
    void setAttack(float v);    // 200 * v ms from closed to fully open
    void setRelease(float v);   // 4000 * v ms from fully open to closed
    void setHold(float v);      // 2000 * v + 2 ms held open after the gain reaches 1

    // Writes the gated sample to out (which may alias x's source) and returns the meter
    // reading: the gain, or 1.0 while the threshold sits at the bottom of its scale.
    float process(float x, float& out);
    // `n` samples gated in place; returns the meter reading after the last.
    float process(float* samples, int n);

    int getDesignSampleRate() const { return designRate_; }
    State getState() const { return state_; }
    float getGain() const { return gain_; }
    float getEnvelope() const { return envelope_; }
    float getThresholdDb() const { return thresholdDb_; }
    float getThresholdLinear() const { return thresholdLinear_; }
    float getRangeFloor() const { return floor_; }

private:
    int designRate_;

    // Written by the setters, read by process.
    SharedFloat thresholdDb_{0.0f};
    SharedFloat thresholdLinear_{0.0f};
    SharedFloat rangeDb_{0.0f};
    SharedFloat floor_{0.0f};
    SharedFloat attackMs_{0.0f};
    SharedFloat releaseMs_{0.0f};
    SharedFloat holdMs_{0.0f};
    SharedFloat attackStep_{0.0f};  // gain change per sample while opening
    SharedFloat releaseStep_{0.0f}; // gain change per sample while closing

    // Touched by process only.
    float envelope_ = 0.0f;
    State state_ = kClosed;
    float gain_ = 0.0f;
    int holdCounter_ = 0;
};
