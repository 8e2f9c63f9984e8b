#include "dsp/NoiseGate.h"

#include "dsp/Rounding.h"

#include <cmath>

namespace {

// Peak detector: jumps up to a new peak, otherwise falls by 0.01 % per sample.
constexpr float kEnvelopeKeep = 0.9999f;
constexpr float kEnvelopeTake = 0.0001f;

constexpr float kMsPerSecond = 1000.0f;
constexpr float kSecondsPerMs = 0.001f;

// The hold counter never needs more than this (2002 ms at any plausible rate).
constexpr double kMaxHoldSamples = 1e9;

// Nearest integer with ties to even, independent of the floating-point rounding mode;
// held to 0..kMaxHoldSamples so that the conversion to int is always defined.
int holdSamples(float a)
{
    const double n = nearestTiesToEven(a);
    if (!(n > 0.0))
        return 0;
    return static_cast<int>(n < kMaxHoldSamples ? n : kMaxHoldSamples);
}

// Decibels to amplitude; the bottom of the scale means silence.
float dbToAmplitude(float db, float floorDb)
{
    return db > floorDb ? static_cast<float>(std::pow(10.0, static_cast<double>(db) * 0.05)) : 0.0f;
}

} // namespace

NoiseGate::NoiseGate(int sampleRate) : designRate_(sampleRate) {}

void NoiseGate::setThreshold(float v)
{
    const float db = (1.0f - v) * kFloorDb;
    thresholdDb_ = db;
    thresholdLinear_ = dbToAmplitude(db, kFloorDb);
}

void NoiseGate::setRange(float v)
{
    const float db = kFloorDb * v;
    rangeDb_ = db;
    floor_ = dbToAmplitude(db, kFloorDb);
}

void NoiseGate::setAttack(float v)
{
    const float ms = kMaxAttackMs * v;
    attackMs_ = ms;
    // Zero time gives an infinite step: the gain opens in one sample.
    attackStep_ = kMsPerSecond / (ms * static_cast<float>(designRate_));
}

void NoiseGate::setRelease(float v)
{
    const float ms = kMaxReleaseMs * v;
    releaseMs_ = ms;
    releaseStep_ = kMsPerSecond / (ms * static_cast<float>(designRate_));
}

void NoiseGate::setHold(float v)
{
    holdMs_ = kHoldSpanMs * v + kMinHoldMs;
}

float NoiseGate::process(float x, float& out)
{
    out = x;
    return process(&out, 1);
}

float NoiseGate::process(float* samples, int n)
{
    const float threshold = thresholdLinear_;
    const float attackStep = attackStep_;
    const float releaseStep = releaseStep_;
    const float floorGain = floor_;
    float envelope = envelope_;
    float gain = gain_;
    for (int i = 0; i < n; ++i) {
        const float x = samples[i];
        const float level = std::fabs(x);
        if (envelope < level)
            envelope = level;
        else
            envelope = envelope * kEnvelopeKeep + level * kEnvelopeTake;

        switch (state_) {
        case kClosed:
            if (envelope >= threshold)
                state_ = kOpening;
            break;
        case kOpening:
            gain += attackStep;
            if (gain >= 1.0f) {
                gain = 1.0f;
                state_ = kHolding;
                holdCounter_ = holdSamples(holdMs_ * static_cast<float>(designRate_) * kSecondsPerMs);
            }
            break;
        case kHolding:
            if (holdCounter_ > 0)
                --holdCounter_;
            else if (envelope < threshold)
                state_ = kClosing;
            break;
        case kClosing:
            gain -= releaseStep;
            // An infinite step (zero release time) must land on 0, not on minus infinity,
            // or a re-trigger below would open from there and never recover.
            if (gain < 0.0f)
                gain = 0.0f;
            if (envelope >= threshold) {
                state_ = kOpening;
            } else if (gain <= 0.0f) {
                gain = 0.0f;
                state_ = kClosed;
            }
            break;
        }
        samples[i] = x * (gain + (1.0f - gain) * floorGain);
    }
    envelope_ = envelope;
    gain_ = gain;
    return thresholdDb_ == kFloorDb ? 1.0f : gain;
}
