#include "dsp/InputShaper.h"

#include <cmath>

float InputShaper::process(float x) const
{
    const float magnitude = std::fabs(x);
    return x * (magnitude + 1.5f) / (x * x + 0.5f * magnitude + 1.0f);
}

void InputShaper::process(float* samples, int n) const
{
    for (int i = 0; i < n; ++i)
        samples[i] = process(samples[i]);
}
