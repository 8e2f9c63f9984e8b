#pragma once
// Wavetable low-frequency oscillator. Its output is refreshed from the table once every
// 32 calls, so it moves in 32-sample steps. Six independent channels share the rate,
// depth and shape; the engine uses channel 0. Chorus derives from it.

#include <vector>

#include "dsp/RelaxedAtomic.h"

class LFO {
public:
    static constexpr int kChannels = 6;
    static constexpr int kTableSize = 8192;
    static constexpr int kShapes = 5;          // sine, triangle, trapezoid, ramp up, ramp down
    static constexpr int kRefreshInterval = 32; // a power of two: the refresh tests the low bits
    static constexpr int kMultipliers = 12;

    // sampleRate: the rate the increments are designed for; 0 (or less) means 44100.
    explicit LFO(int sampleRate = 44100);
    virtual ~LFO() = default;

    LFO(const LFO&) = delete;
    LFO& operator=(const LFO&) = delete;

    // Control value 0..1 to 5..650 cycles per minute; recomputes every channel's increment.
    virtual void setRate(float v);
    // Rate in cycles per minute; stored only, the increments stay as they are.
    virtual void setRateRaw(float r);
    virtual void setDepth(float v);
    // Table number as a float; its integer part selects the table (0 sine, 1 triangle, ...).
    virtual void setShape(float v);
    // Stores one of twelve factors for n = 0..11; other n are ignored.
    virtual void setMultiplier(int n);
    // Advances the channel by one sample and returns the output value, 0..1.
    // A channel outside 0..5 does not advance; the current output is returned.
    virtual float next(int channel);
    // The next `n` values of the channel (the same as `n` calls of LFO::next).
    void next(int channel, float* out, int n);

    int getDesignSampleRate() const { return designRate_; }
    float getRate() const { return rate_; }   // Hz
    float getDepth() const { return depth_; }
    float getShape() const { return shape_; }
    float getMultiplier() const { return multiplier_; }
    double getIncrement(int channel) const;   // 0 for a channel outside 0..5
    float tableValue(int shape, int index) const; // 0 outside the tables

private:
    int designRate_;
    SharedFloat rate_{0.0f};
    SharedFloat depth_{0.0f};
    SharedFloat shape_{0.0f};
    SharedFloat multiplier_{0.0f};
    RelaxedAtomic<double> increment_[kChannels];

    // Touched by next() only.
    float output_ = 0.0f;
    double phase_[kChannels] = {};
    unsigned refreshCounter_[kChannels] = {}; // unsigned: wraps cleanly, 2^32 is a multiple of 32

    std::vector<float> tables_; // kShapes tables of kTableSize entries, one after the other
};
