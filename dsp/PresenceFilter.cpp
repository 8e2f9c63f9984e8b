#include "dsp/PresenceFilter.h"

#include <algorithm>
#include <cmath>

#include "dsp/DspConstants.h"

PresenceFilter::PresenceFilter()
{
    setPresence(0.0f);
}

void PresenceFilter::setPresence(float value)
{
    const double v = std::clamp(static_cast<double>(value), 0.0, 1.0);
    f_ = static_cast<float>(std::pow(0.7 * v + 0.3, 3.0) * 0.799 + 0.2);
}

void PresenceFilter::process(int channel, float mode, float* samples, int n)
{
    if (channel < 0 || channel >= kNumChannels)
        return;

    const float f = f_;
    const float feedback = kResonance + kResonance / (1.0f - f);
    const bool lowPass = mode < 0.5f;
    float b0 = stage1_[channel];
    float b1 = stage2_[channel];
    for (int i = 0; i < n; ++i) {
        const float in = samples[i] + kAntiDenormalSmall;
        b0 = b0 + f * (feedback * (b0 - b1) + (in - b0));
        b1 = b1 + f * (b0 - b1);
        samples[i] = lowPass ? b1 : in - b1;
    }
    stage1_[channel] = b0;
    stage2_[channel] = b1;
}
