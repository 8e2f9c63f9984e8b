#include "dsp/StereoDelay.h"

#include <algorithm>
#include <cmath>

#include "dsp/DspConstants.h"

namespace {

int atLeastOne(int v)
{
    return v < 1 ? 1 : v;
}

} // namespace

StereoDelay::StereoDelay(int sampleRate)
    : rate(atLeastOne(sampleRate)),
      length(2 * rate),
      buffer(static_cast<std::size_t>(length), Pair{0.0f, 0.0f})
{
}

void StereoDelay::setSpeed(float value)
{
    // The 10 ms minimum is the float constant 0.01 taken to double, just under R / 100.
    const double minimumFraction = static_cast<double>(0.01f);
    double samples = static_cast<double>(rate) * static_cast<double>(value)
        + static_cast<double>(rate) * minimumFraction;
    // Keep the tap inside the line whatever the value (NaN included).
    if (!(samples >= 1.0))
        samples = 1.0;
    if (samples > static_cast<double>(length))
        samples = static_cast<double>(length);
    const int delay = static_cast<int>(samples);
    readOffset = length - delay;
    clear();
}

void StereoDelay::setSustain(float value)
{
    feedback = value;
}

void StereoDelay::setMix(float value)
{
    // Equal-power balance between the dry input and the taps.
    const float m = value * value;
    dryGain = std::sqrt(1.0f - m);
    wetGain = std::sqrt(m);
}

void StereoDelay::clear()
{
    clearPending.store(true, std::memory_order_release);
}

void StereoDelay::process(const float* in, float* outA, float* outB, int n)
{
    if (clearPending.load(std::memory_order_relaxed)
        && clearPending.exchange(false, std::memory_order_acquire))
        std::fill(buffer.begin(), buffer.end(), Pair{0.0f, 0.0f});

    const int offset = readOffset;
    const float fb = feedback;
    const float wet = wetGain;
    const float dry = dryGain;
    Pair* line = buffer.data();
    for (int i = 0; i < n; ++i) {
        int readPosition = offset + writePosition;
        if (readPosition >= length)
            readPosition -= length;
        const Pair tap = line[readPosition];

        const float input = in[i] + kAntiDenormalSmall;
        line[writePosition] = Pair{tap.right * fb + input, tap.left};

        outA[i] = tap.left * wet + input * dry;
        outB[i] = tap.right * wet + input * dry;

        if (++writePosition >= length)
            writePosition = 0;
    }
}
