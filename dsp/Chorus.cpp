#include "dsp/Chorus.h"

#include <algorithm>
#include <cmath>

#include "dsp/DspConstants.h"

namespace {
constexpr float kTriangleShape = 1.0f;
constexpr float kInitialDepth = 0.5f;
constexpr float kDryGain = 0.5f;

// index, one step past the end of a line of `length` (at least 1) brought back into it.
inline int wrapped(int index, int length)
{
    return index >= length ? index - length : index;
}
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

// Only the audio thread touches the line, so a pending clear is carried out there.
void Chorus::carryOutClear()
{
    if (clearRequested_.load(std::memory_order_relaxed)) {
        clearRequested_.store(false, std::memory_order_relaxed);
        std::fill(buffer_.begin(), buffer_.end(), 0.0f);
    }
}

float Chorus::process(float x, float* out)
{
    carryOutClear();
    const float g = next(0);
    const float wet = step(x, g);
    if (out)
        *out = wet;
    return g;
}

void Chorus::process(const float* in, float* out, int n)
{
    carryOutClear();
    constexpr int kPiece = 64;
    float sweep[kPiece];
    for (int done = 0; done < n; done += kPiece) {
        const int count = n - done < kPiece ? n - done : kPiece;
        LFO::next(0, sweep, count);
        for (int i = 0; i < count; ++i)
            out[done + i] = step(in[done + i], sweep[i]);
    }
}

float Chorus::step(float x, float g)
{
    const int length = static_cast<int>(buffer_.size());
    const float lengthF = static_cast<float>(length);
    float* line = buffer_.data();

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
    const int after = wrapped(n + 1, length);
    const float y0 = line[n == 0 ? length - 1 : n - 1];
    const float y1 = line[n];
    const float y2 = line[after];
    const float y3 = line[wrapped(after + 1, length)];
    const float d = y1
                    + f * (f * ((2.0f * y2 + y0 - 2.5f * y1 - 0.5f * y3)
                                + 0.5f * (y3 + 3.0f * (y1 - y2) - y0) * f)
                           + 0.5f * (y2 - y0));

    const float in = x + kAntiDenormalSmall;
    const float wet = d + kDryGain * in;
    line[writePosition_] = in + wet * feedback_;
    if (++writePosition_ >= length)
        writePosition_ = 0;
    return wet;
}
