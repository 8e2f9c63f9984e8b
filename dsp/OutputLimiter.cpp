#include "dsp/OutputLimiter.h"

#include <cmath>

#include "dsp/DspConstants.h"

OutputLimiter::OutputLimiter(int sampleRate)
    : sampleRate_(sampleRate)
    , reciprocals_(kTableSize)
{
    reciprocals_[0] = 1.0f;
    for (int i = 1; i < kTableSize; ++i)
        reciprocals_[i] = 1.0f / static_cast<float>(i);
    setRelease(75.0f);
}

void OutputLimiter::setRelease(float milliseconds)
{
    const double samples = static_cast<double>(sampleRate_) * static_cast<double>(milliseconds) / 1000.0;
    release_ = samples > 0.0 ? static_cast<float>(1.0 - std::pow(0.001, 1.0 / samples)) : 1.0f;
}

void OutputLimiter::process(float* samples, int n)
{
    const float release = release_;
    const float* reciprocals = reciprocals_.data();
    float gain = gain_;
    for (int i = 0; i < n; ++i) {
        float x = samples[i] + kAntiDenormalSmall;
        x = x - x * x * x * 0.16666667f;

        // Written so that a NaN magnitude also lands on the last entry instead of indexing
        // out of the table.
        float d = std::fabs(x);
        if (!(d <= kMaxLevel))
            d = kMaxLevel;
        const int k = static_cast<int>(d);
        const float target = reciprocals[k] + (d - static_cast<float>(k)) * (reciprocals[k + 1] - reciprocals[k]);

        // Instant reduction, one-pole recovery; a select rather than a branch, which the
        // signal would make unpredictable.
        const float recovered = gain + (target - gain) * release;
        gain = gain > target ? target : recovered;
        samples[i] = gain * x;
    }
    gain_ = gain;
}
