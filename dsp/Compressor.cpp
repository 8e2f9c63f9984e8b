#include "dsp/Compressor.h"

#include <cmath>

#include "dsp/DspConstants.h"
#include "dsp/Rounding.h"

namespace {

constexpr int kTableSize = Compressor::kConversionTableSize;

// dB-to-amplitude table: 84 dB in 1024 steps from -60 dB.
constexpr float kDbTableBottom = -60.0f;
constexpr float kDbTableSpan = 84.0f;
// Amplitude-to-dB table: amplitudes 0..9 in 1024 steps, offset so that log10 stays finite.
constexpr float kAmplitudeTableSpan = 9.0f;
constexpr float kAmplitudeOffset = 2e-10f;
// Below the table's third entry the dB curve is replaced by a straight line.
constexpr float kLowSlopeDb = 23.0f;

constexpr float kThresholdSpanDb = -40.0f;
constexpr float kFastestAttackMs = 2.0f;
constexpr float kSecondsPerMs = 0.001f;
constexpr float kSmoothingPerAttack = 0.25f;
constexpr float kMakeupSpanAboveUnity = 30.0f;
constexpr float kConstructionRatioControl = 0.3f;
constexpr float kConstructionRatioSpan = 9.0f;

} // namespace

Compressor::Compressor(int sampleRate) : designRate_(sampleRate)
{
    coefficients_[0] = 1.0f;
    for (int i = 1; i < kCoefficientTableSize; ++i) {
        const double timeConstantSamples =
            i * static_cast<double>(designRate_) / kCoefficientTableSize;
        coefficients_[i] = static_cast<float>(std::exp(-1.0 / timeConstantSamples));
    }
    for (int i = 0; i < kTableSize; ++i) {
        const double db = i * static_cast<double>(kDbTableSpan) / kTableSize + kDbTableBottom;
        dbToLinearTable_[i] = static_cast<float>(std::pow(10.0, db / 20.0));
        const double amplitude = i * static_cast<double>(kAmplitudeTableSpan) / kTableSize + 2e-10;
        linearToDbTable_[i] = static_cast<float>(20.0 * std::log10(amplitude));
    }

    const float ratio = 1.0f + kConstructionRatioSpan * kConstructionRatioControl;
    ratio_ = ratio;
    slope_ = (ratio - 1.0f) / ratio;
    thresholdLinear_ = dbToLinear(0.0f);
}

float Compressor::dbToLinear(float db) const
{
    const auto& t = dbToLinearTable_;
    const float a = (db - kDbTableBottom) * static_cast<float>(kTableSize) / kDbTableSpan;
    const double n = nearestTiesToEven(a - 0.5f);
    if (n > kTableSize - 3)
        return t[kTableSize - 2];
    if (n >= 1.0) {
        const int i = static_cast<int>(n);
        const float frac = a - static_cast<float>(i);
        return t[i] * (1.0f - frac) + frac * t[i + 1];
    }
    return 0.0f; // below -60 dB (and NaN)
}

float Compressor::linearToDb(float x) const
{
    const auto& t = linearToDbTable_;
    const float a = (x - kAmplitudeOffset) * static_cast<float>(kTableSize) / kAmplitudeTableSpan;
    const double n = nearestTiesToEven(a - 0.5f);
    if (n > kTableSize - 2)
        return t[kTableSize - 1];
    if (n >= 2.0) {
        const int i = static_cast<int>(n);
        const float frac = a - static_cast<float>(i);
        return t[i] * (1.0f - frac) + frac * t[i + 1];
    }
    // Near zero: a straight line from about -46 dB at 0 up to the third entry.
    return t[2] * a * 0.5f - (2.0f - a) * kLowSlopeDb;
}

float Compressor::coefficientForTime(float ms) const
{
    double index = nearestTiesToEven(ms * kSecondsPerMs * 255.0f);
    if (!(index >= 0.0))
        index = 0.0;
    if (index > kCoefficientTableSize - 1)
        index = kCoefficientTableSize - 1;
    return coefficients_[static_cast<int>(index)];
}

void Compressor::setThreshold(float v)
{
    const float db = kThresholdSpanDb * v;
    thresholdDb_ = db;
    thresholdLinear_ = dbToLinear(db);
}

void Compressor::setAttack(float lo, float hi, float v)
{
    const float ms = lo + (hi - lo) * v;
    attackMs_ = ms;
    const float coefficient = ms < kFastestAttackMs ? 0.0f : coefficientForTime(ms);
    attackCoefficient_ = coefficient;
    const float k = kSmoothingPerAttack * coefficient;
    smoothing_ = k;
    smoothingComplement_ = 1.0f - k;
}

void Compressor::setRelease(float lo, float hi, float v)
{
    const float ms = lo + (hi - lo) * v;
    releaseMs_ = ms;
    releaseCoefficient_ = coefficientForTime(ms);
}

void Compressor::setRatio(float lo, float hi, float v)
{
    const float ratio = lo + (hi - lo) * v;
    ratio_ = ratio;
    slope_ = (ratio - 1.0f) / ratio;
}

void Compressor::setMakeup(float v)
{
    makeup_ = v <= 0.5f ? 2.0f * v : (v - 0.5f) * kMakeupSpanAboveUnity + 1.0f;
}

float Compressor::process(int channel, float x, float& out)
{
    out = x;
    return process(channel, &out, 1);
}

float Compressor::process(int channel, float* samples, int n)
{
    if (!validChannel(channel))
        return 1.0f;
    Channel& c = channels_[channel];
    const float attack = attackCoefficient_;
    const float release = releaseCoefficient_;
    const float thresholdLinear = thresholdLinear_;
    const float thresholdDb = thresholdDb_;
    const float slope = slope_;
    const float smoothing = smoothing_;
    const float smoothingComplement = smoothingComplement_;
    const float makeup = makeup_;
    float envelope = c.envelope;
    float target = c.target;
    float gain = c.gain;
    std::uint32_t counter = c.counter;
    for (int i = 0; i < n; ++i) {
        const float x = samples[i];
        // One-pole peak follower: attack coefficient while rising, release while falling.
        const float level = std::fabs(x) + kAntiDenormalSmall;
        const float coefficient = envelope < level ? attack : release;
        envelope = level * (1.0f - coefficient) + envelope * coefficient;

        // Gain computer, every fourth sample: reduce by slope dB per dB over the threshold.
        if ((counter & 3u) == 3u) {
            if (thresholdLinear >= envelope) {
                target = 1.0f;
            } else {
                const float t = dbToLinear((thresholdDb - linearToDb(envelope)) * slope);
                target = t < 0.0f ? 0.0f : t;
            }
            if (envelope < 0.0f)
                envelope = 0.0f;
        }
        ++counter;

        gain = target * smoothingComplement + smoothing * gain;
        samples[i] = x * gain * makeup;
    }
    c.envelope = envelope;
    c.target = target;
    c.gain = gain;
    c.counter = counter;
    return gain;
}

float Compressor::coefficientTableValue(int index) const
{
    return index >= 0 && index < kCoefficientTableSize ? coefficients_[index] : 0.0f;
}

float Compressor::getEnvelope(int channel) const
{
    return validChannel(channel) ? channels_[channel].envelope : 0.0f;
}

std::uint32_t Compressor::getSampleCounter(int channel) const
{
    return validChannel(channel) ? channels_[channel].counter : 0u;
}

void Compressor::setSampleCounter(int channel, std::uint32_t value)
{
    if (validChannel(channel))
        channels_[channel].counter = value;
}
