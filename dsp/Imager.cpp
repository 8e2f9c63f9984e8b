#include "dsp/Imager.h"

#include <algorithm>
#include <cmath>

#include "dsp/Rounding.h"

namespace {

constexpr float kWidthSteps = 204.8f;    // width 1 maps to step 205 of 256
constexpr float kGainNormal = 1.3333334f; // brings the parabola's peak 0.75 to 1
constexpr float kBoostThreshold = 0.35f;
constexpr float kBoostPerWidth = 1.7f;
constexpr float kGlidePerBlock = 7.0f;
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kLeftDelayMs = 15;
constexpr int kRightDelayMs = 10;

int atLeastOne(int v)
{
    return v < 1 ? 1 : v;
}

} // namespace

Imager::Imager(int sampleRate)
    : length(atLeastOne(sampleRate)),
      leftDelay(length * kLeftDelayMs / kMillisecondsPerSecond),
      rightDelay(length * kRightDelayMs / kMillisecondsPerSecond),
      leftBuffer(static_cast<std::size_t>(length), 0.0f),
      rightBuffer(static_cast<std::size_t>(length), 0.0f)
{
    setWidth(0.0f);
}

void Imager::setWidth(float value)
{
    // The width weighs the dry pair against the copies and scales what goes into the
    // buffers; outside 0..1 (or NaN) it would scale the output without bound, so such a
    // value is refused and the last good width stays.
    if (!(value >= 0.0f && value <= 1.0f))
        return;
    width = value;
    // Parabolic quarter-turn: mid ~ cos, side ~ sin of the angle u around the centre.
    const long k = static_cast<long>(nearestTiesToEven(value * kWidthSteps));  // 0..205
    const float u = static_cast<float>(k) / 256.0f - 0.5f;
    midGainTarget = (0.75f - u * u - u) * kGainNormal;
    sideGainTarget = (u + 0.75f - u * u) * kGainNormal;
    delayedGain = value > kBoostThreshold ? kBoostPerWidth * value : 1.0f;
}

void Imager::clear()
{
    clearPending.store(true, std::memory_order_release);
}

void Imager::process(float left, float right, float& outLeft, float& outRight, int blockLength)
{
    process(&left, &right, &outLeft, &outRight, 1, blockLength);
}

void Imager::process(const float* left, const float* right, float* outLeft, float* outRight, int n, int blockLength)
{
    if (clearPending.load(std::memory_order_relaxed)
        && clearPending.exchange(false, std::memory_order_acquire)) {
        std::fill(leftBuffer.begin(), leftBuffer.end(), 0.0f);
        std::fill(rightBuffer.begin(), rightBuffer.end(), 0.0f);
    }

    const float g = delayedGain;
    const float midTarget = midGainTarget;
    const float sideTarget = sideGainTarget;
    const float w = width;
    const float halfWidth = w * 0.5f;
    // One-pole glide of the gains; a factor above 1 would overshoot and diverge, so blocks
    // shorter than the glide constant jump straight to the targets.
    const float s = blockLength > kGlidePerBlock ? kGlidePerBlock / static_cast<float>(blockLength) : 1.0f;
    float* leftLine = leftBuffer.data();
    float* rightLine = rightBuffer.data();
    for (int i = 0; i < n; ++i) {
        const float l = left[i];
        const float r = right[i];
        if (++leftWrite >= length)
            leftWrite = 0;
        if (++rightWrite >= length)
            rightWrite = 0;

        leftLine[leftWrite] = g * l;
        rightLine[rightWrite] = g * r;

        leftRead = leftWrite - leftDelay;
        if (leftRead < 0)
            leftRead += length;
        rightRead = rightWrite - rightDelay;
        if (rightRead < 0)
            rightRead += length;

        midGain = s * midTarget + (1.0f - s) * midGain;
        sideGain = s * sideTarget + (1.0f - s) * sideGain;

        const float dl = leftLine[leftRead];
        const float dr = rightLine[rightRead];
        const float side = sideGain * (dl - dr) * 0.5f;
        const float mid = midGain * (dl + dr) * 0.5f;

        outLeft[i] = halfWidth * (mid + side) + l * (1.0f - halfWidth);
        outRight[i] = halfWidth * (mid - side) + r * (1.0f - halfWidth);
    }
}
