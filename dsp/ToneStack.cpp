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

float ToneStack::process(int channel, float x)
{
    if (channel < 0 || channel >= kNumChannels)
        return x;

    x += kAntiDenormalSmall;
    const int sections = notchEnabled_ != 0 ? kNumSections : kNotch;
    for (int s = 0; s < sections; ++s)
        x = runBiquad(coefficients_[s], state_[s][channel], x + kAntiDenormalSmall);
    return x;
}
