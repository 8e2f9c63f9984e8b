#include "dsp/LFO.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

constexpr float kMultiplierTable[LFO::kMultipliers] = {
    0.25f, 0.33f, 0.5f, 0.67f, 0.75f, 1.0f, 2.0f, 4.0f, 8.0f, 16.0f, 32.0f, 64.0f};

// Control value 0..1 spans 5..650 cycles per minute.
constexpr float kMinCyclesPerMinute = 5.0f;
constexpr float kCyclesPerMinuteSpan = 645.0f;
constexpr float kSecondsPerMinute = 60.0f;

} // namespace

LFO::LFO(int sampleRate)
    : designRate_(sampleRate > 0 ? sampleRate : 44100),
      tables_(static_cast<size_t>(kShapes) * kTableSize)
{
    const int half = kTableSize / 2;
    const int quarter = kTableSize / 4;
    float* sine = &tables_[0];
    float* triangle = &tables_[kTableSize];
    float* trapezoid = &tables_[2 * kTableSize];
    float* rampUp = &tables_[3 * kTableSize];
    float* rampDown = &tables_[4 * kTableSize];
    for (int m = 0; m < kTableSize; ++m) {
        // Raised sine shifted by a quarter turn: 0 at the start, 1 in the middle.
        const double s = (std::sin(kTwoPi * (m / static_cast<double>(kTableSize) - 0.25)) + 1.0) * 0.5;
        sine[m] = static_cast<float>(s);

        triangle[m] = m < half ? static_cast<float>(m) / half
                               : 1.0f - static_cast<float>(m - half) / half;

        // Rise over the first quarter, hold high, fall over the third quarter, hold low.
        float t;
        if (m < quarter)
            t = static_cast<float>(m) / quarter;
        else if (m < half)
            t = 1.0f;
        else if (m < half + quarter)
            t = 1.0f - static_cast<float>(m - half) / quarter;
        else
            t = 0.0f;
        trapezoid[m] = t;

        rampUp[m] = static_cast<float>(m) / kTableSize;
        rampDown[m] = 1.0f - static_cast<float>(m) / kTableSize;
    }
    for (auto& inc : increment_)
        inc = 0.0;
    setMultiplier(2);
    setShape(0.0f);
}

void LFO::setRate(float v)
{
    const float rate = (v * kCyclesPerMinuteSpan + kMinCyclesPerMinute) / kSecondsPerMinute;
    rate_ = rate;
    // Phase increment per sample: a float quotient, widened for the 64-bit accumulator.
    const float increment = rate / static_cast<float>(designRate_);
    for (auto& inc : increment_)
        inc = static_cast<double>(increment);
}

void LFO::setRateRaw(float r)
{
    rate_ = r / kSecondsPerMinute;
}

void LFO::setDepth(float v)
{
    depth_ = v;
}

void LFO::setShape(float v)
{
    shape_ = v;
}

void LFO::setMultiplier(int n)
{
    if (n < 0 || n >= kMultipliers)
        return;
    multiplier_ = kMultiplierTable[n];
}

float LFO::next(int channel)
{
    float value;
    next(channel, &value, 1);
    return value;
}

void LFO::next(int channel, float* out, int n)
{
    if (channel < 0 || channel >= kChannels) {
        std::fill(out, out + n, output_);
        return;
    }

    const double increment = increment_[channel].load();
    const float shape = shape_;
    const float depth = depth_;
    double phase = phase_[channel];
    unsigned counter = refreshCounter_[channel];
    float output = output_;
    for (int i = 0; i < n; ++i) {
        phase += increment;
        // Restart at 0 rather than wrap. A phase outside 0..1 (a negative or NaN increment)
        // restarts as well, so the table index below is always in range.
        if (!(phase >= 0.0 && phase < 1.0))
            phase = 0.0;

        // Truncation towards zero: anything in (-1, 5) names one of the five tables.
        if ((counter & (kRefreshInterval - 1)) == kRefreshInterval - 1 && shape > -1.0f
            && shape < static_cast<float>(kShapes)) {
            const int table = static_cast<int>(shape);
            const int index = static_cast<int>(phase * kTableSize);
            output = tables_[static_cast<size_t>(table) * kTableSize + index] * depth + (1.0f - depth) * 0.5f;
        }
        ++counter;

        // Clamp to 0..1 (a NaN becomes 0).
        if (output > 1.0f)
            output = 1.0f;
        else if (!(output >= 0.0f))
            output = 0.0f;
        out[i] = output;
    }
    phase_[channel] = phase;
    refreshCounter_[channel] = counter;
    output_ = output;
}

double LFO::getIncrement(int channel) const
{
    if (channel < 0 || channel >= kChannels)
        return 0.0;
    return increment_[channel];
}

float LFO::tableValue(int shape, int index) const
{
    if (shape < 0 || shape >= kShapes || index < 0 || index >= kTableSize)
        return 0.0f;
    return tables_[static_cast<size_t>(shape) * kTableSize + index];
}
