#include "dsp/Chorus.h"

#include <algorithm>
#include <cmath>

#include "dsp/DspConstants.h"

namespace {
constexpr float kTriangleShape = 1.0f;
constexpr float kInitialDepth = 0.5f;
constexpr float kDryGain = 0.5f;
} // namespace

Chorus::Chorus(int sampleRate)
    : LFO(sampleRate), buffer_(static_cast<size_t>(getDesignSampleRate()), 0.0f)
{
    setShape(kTriangleShape);
    setSpeed(0.0f);
    LFO::setDepth(kInitialDepth);
}

void Chorus::setSpeed(float v)
{
    setRate(static_cast<float>(std::pow(static_cast<double>(v), 1.5)));
}

void Chorus::clear()
{
    clearRequested_.store(true, std::memory_order_relaxed);
}

float Chorus::process(float x, float* out)
{
    // Only this thread touches the line, so a pending clear is carried out here.
    if (clearRequested_.load(std::memory_order_relaxed)) {
        clearRequested_.store(false, std::memory_order_relaxed);
        std::fill(buffer_.begin(), buffer_.end(), 0.0f);
    }

    const int length = static_cast<int>(buffer_.size());
    const float lengthF = static_cast<float>(length);
    const float g = next(0);

    // Fractional read position, wrapped into the line. A position a hair below 0 can round
    // up to exactly the length when the length is added; that position is sample 0.
    float r = static_cast<float>(writePosition_) - (g * kWidth + kMinDelay);
    if (r < 0.0f)
        r += lengthF;
    if (!(r >= 0.0f && r < lengthF))
        r = 0.0f;
    int n = static_cast<int>(r);
    if (n >= length)
        n = 0;
    const float f = r - static_cast<float>(n);

    // Four-point cubic (Catmull-Rom) interpolation between y1 and y2.
    const float y0 = buffer_[static_cast<size_t>(n == 0 ? length - 1 : n - 1)];
    const float y1 = buffer_[static_cast<size_t>(n)];
    const float y2 = buffer_[static_cast<size_t>((n + 1) % length)];
    const float y3 = buffer_[static_cast<size_t>((n + 2) % length)];
    const float d = y1
                    + f * (f * ((2.0f * y2 + y0 - 2.5f * y1 - 0.5f * y3)
                                + 0.5f * (y3 + 3.0f * (y1 - y2) - y0) * f)
                           + 0.5f * (y2 - y0));

    const float in = x + kAntiDenormalSmall;
    const float wet = d + kDryGain * in;
    if (out)
        *out = wet;

    buffer_[static_cast<size_t>(writePosition_)] = in + wet * feedback_;
    if (++writePosition_ >= length)
        writePosition_ = 0;
    return g;
}
