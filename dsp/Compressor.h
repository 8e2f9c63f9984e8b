#pragma once
// Feed-forward peak compressor. A one-pole envelope follower (separate attack and release
// coefficients taken from a table) feeds a gain computer that works in decibels through
// two interpolated conversion tables and runs every fourth sample; the gain is smoothed
// lightly and followed by a linear makeup gain. Six channels keep their own detector and
// gain state and share the controls; the engine uses channel 0.

#include <array>
#include <cstdint>

#include "dsp/RelaxedAtomic.h"

class Compressor {
public:
    static constexpr int kChannels = 6;
    static constexpr int kCoefficientTableSize = 256;
    static constexpr int kConversionTableSize = 1024;

    // Control ranges the plug-in passes to setAttack, setRelease and setRatio.
    static constexpr float kAttackMinMs = 2.0f;
    static constexpr float kAttackMaxMs = 200.0f;
    static constexpr float kReleaseMinMs = 50.0f;
    static constexpr float kReleaseMaxMs = 1000.0f;
    static constexpr float kRatioMin = 1.5f;
    static constexpr float kRatioMax = 5.0f;

    // sampleRate: the rate the coefficient table is designed for.
    explicit Compressor(int sampleRate);

    void setThreshold(float v);                // -40 * v dB
    void setAttack(float lo, float hi, float v);  // lo + (hi - lo) * v ms; below 2 ms instant
    void setRelease(float lo, float hi, float v); // lo + (hi - lo) * v ms
    void setRatio(float lo, float hi, float v);   // lo + (hi - lo) * v
    void setMakeup(float v);                   // 2 * v up to 0.5, then 1..16 linearly

    // Writes the compressed sample to out and returns the smoothed gain (before makeup).
    // A channel outside 0..5 touches no state: out = x and the return value is 1.
    float process(int channel, float x, float& out);
    // `n` samples compressed in place; returns the smoothed gain after the last.
    float process(int channel, float* samples, int n);

    // Table conversions with linear interpolation: -60 dB .. about +23.9 dB, and
    // amplitudes 0 .. about 9 (below about 0.0176 a straight-line approximation).
    float dbToLinear(float db) const;
    float linearToDb(float x) const;

    int getDesignSampleRate() const { return designRate_; }
    float getThresholdDb() const { return thresholdDb_; }
    float getThresholdLinear() const { return thresholdLinear_; }
    float getRatio() const { return ratio_; }
    float getSlope() const { return slope_; }
    float getMakeup() const { return makeup_; }
    float getAttackCoefficient() const { return attackCoefficient_; }
    float getReleaseCoefficient() const { return releaseCoefficient_; }
    float getSmoothing() const { return smoothing_; }
    float coefficientTableValue(int index) const; // 0 outside the table

    // Per-channel detector state (audio thread and tests); 0 for a channel outside 0..5.
    float getEnvelope(int channel) const;
    // The sample counter that paces the gain computer. Only its two low bits matter;
    // setting it moves the gain computer's phase (tests use it to cross the wrap).
    std::uint32_t getSampleCounter(int channel) const;
    void setSampleCounter(int channel, std::uint32_t value);

private:
    struct Channel {
        std::uint32_t counter = 0; // unsigned: wraps cleanly after 2^32 samples
        float envelope = 0.0f;
        float target = 0.0f;
        float gain = 0.0f;
    };

    static bool validChannel(int channel) { return channel >= 0 && channel < kChannels; }
    float coefficientForTime(float ms) const;

    int designRate_;
    // exp(-1 / (i * rate / 256)): one-pole coefficients for time constants in 1/256 s steps.
    std::array<float, kCoefficientTableSize> coefficients_{};
    // The gain computer's conversions, built with the compressor like the table above. Not
    // one shared copy built on first use: the runtime's first-use guard works with a mutex
    // of its own, which on Windows is a threads-library object that unloading the DLL
    // never frees.
    std::array<float, kConversionTableSize> dbToLinearTable_{};
    std::array<float, kConversionTableSize> linearToDbTable_{};

    // Written by the setters, read by process.
    SharedFloat thresholdDb_{0.0f};
    SharedFloat thresholdLinear_{0.0f};
    SharedFloat attackMs_{0.0f};
    SharedFloat releaseMs_{0.0f};
    SharedFloat ratio_{0.0f};
    SharedFloat slope_{0.0f}; // (ratio - 1) / ratio: dB of reduction per dB over threshold
    SharedFloat makeup_{1.0f};
    SharedFloat attackCoefficient_{0.0f};
    SharedFloat releaseCoefficient_{0.0f};
    SharedFloat smoothing_{0.0f};         // k: share of the previous gain
    SharedFloat smoothingComplement_{0.0f}; // 1 - k

    // Touched by process only.
    std::array<Channel, kChannels> channels_{};
};
