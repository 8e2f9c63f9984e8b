#include "dsp/AmpEngine.h"

AmpEngine::AmpEngine(float sampleRate) {}

void AmpEngine::setSetting(int index, float value)
{
    settings_[index] = value;
}

void AmpEngine::designEqualiser(float sampleRate) {}

void AmpEngine::stepSwitchFades() {}

void AmpEngine::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames)
{
    for (int i = 0; i < frames; ++i) {
        const float x = inLeft[i] + inRight[i] + kAntiDenormal;
        outLeft[i] = x;
        outRight[i] = x;
    }
}
