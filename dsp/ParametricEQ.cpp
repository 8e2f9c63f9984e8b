#include "dsp/ParametricEQ.h"

namespace {
struct FrequencyRange {
    float base;
    float span;
};
constexpr FrequencyRange kFrequencyRanges[ParametricEQ::kNumBands] = {
    {50.0f, 550.0f},     // low: 50..600 Hz
    {400.0f, 3600.0f},   // mid: 400..4000 Hz
    {2000.0f, 10000.0f}, // high: 2000..12000 Hz
};
constexpr float kMaxGainDb = 15.0f;
constexpr float kMinBandwidth = 0.25f;
constexpr float kBandwidthSpan = 1.75f;
} // namespace

ParametricEQ::ParametricEQ() = default;

void ParametricEQ::setEnabled(int enabled)
{
    enabled_ = enabled;
}

void ParametricEQ::designBand(int band, float sampleRate, float frequency, float gainDb, float bandwidth)
{
    if (band < 0 || band >= kNumBands)
        return;
    BiquadDesign(coefficients_[band], BiquadType::Peaking, sampleRate, frequency, gainDb, 0.0f, bandwidth,
        BandwidthRule::Equaliser);
}

void ParametricEQ::designBandFromSettings(int band, float sampleRate, float gainSetting,
    float frequencySetting, float bandSetting)
{
    if (band < 0 || band >= kNumBands)
        return;
    const FrequencyRange& range = kFrequencyRanges[band];
    const float frequency = range.base + range.span * frequencySetting;
    const float gainDb = (gainSetting - 0.5f) * 2.0f * kMaxGainDb;
    const float bandwidth = kMinBandwidth + kBandwidthSpan * bandSetting;
    designBand(band, sampleRate, frequency, gainDb, bandwidth);
}

void ParametricEQ::process(float* samples, int n)
{
    if (enabled_ == 0)
        return;
    for (int band = 0; band < kNumBands; ++band)
        runBiquad(coefficients_[band], state_[band], samples, n);
}

float ParametricEQ::process(float x)
{
    process(&x, 1);
    return x;
}
