#include "dsp/ToneStack.h"

#include "dsp/DspConstants.h"

ToneStack::ToneStack(int sampleRate)
    : sampleRate_(sampleRate)
{
    designPeaking(kBass, kBassFrequency, 0.0f);
    designPeaking(kMiddle, kMiddleFrequency, 0.0f);
    designPeaking(kTreble, kTrebleFrequency, 0.0f);
    setVoicing(1000.0f, kSectionQ, false);
}

void ToneStack::designPeaking(Section section, float frequency, float gainDb)
{
    BiquadDesign(coefficients_[section], BiquadType::Peaking, sampleRate_, frequency, gainDb, kSectionQ,
        0.0f, BandwidthRule::FrequencyWarped);
}

void ToneStack::setBass(float value)
{
    designPeaking(kBass, kBassFrequency, 24.0f * value - 12.0f);
}

void ToneStack::setMiddle(float value)
{
    designPeaking(kMiddle, kMiddleFrequency, 20.0f * value - 10.0f);
}

void ToneStack::setTreble(float value)
{
    designPeaking(kTreble, kTrebleFrequency, 24.0f * value - 12.0f);
}

void ToneStack::setVoicing(float frequency, float q, bool enabled)
{
    notchEnabled_ = enabled ? 1 : 0;
    BiquadDesign(coefficients_[kNotch], BiquadType::Notch, sampleRate_, frequency, 0.0f, q, 0.0f,
        BandwidthRule::FrequencyWarped);
}

void ToneStack::process(int channel, float* samples, int n)
{
    if (channel < 0 || channel >= kNumChannels)
        return;

    for (int i = 0; i < n; ++i)
        samples[i] += kAntiDenormalSmall;
    const int sections = notchEnabled_ != 0 ? kNumSections : kNotch;
    for (int s = 0; s < sections; ++s) {
        for (int i = 0; i < n; ++i)
            samples[i] += kAntiDenormalSmall;
        runBiquad(coefficients_[s], state_[s][channel], samples, n);
    }
}

float ToneStack::process(int channel, float x)
{
    process(channel, &x, 1);
    return x;
}
