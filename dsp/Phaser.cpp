#include "dsp/Phaser.h"

#include <cmath>

#include "dsp/DspConstants.h"

namespace {
constexpr float kLowerHz = 440.0f;
constexpr float kUpperHz = 3600.0f;
constexpr float kOscillatorDepth = 0.5f;
constexpr float kSineShape = 0.0f;
} // namespace

Phaser::Phaser(int sampleRate)
    : designRate_(sampleRate > 0 ? sampleRate : 44100),
      lfo_(designRate_),
      lower_(kLowerHz / (static_cast<float>(designRate_) / 2.0f)),
      upper_(kUpperHz / (static_cast<float>(designRate_) / 2.0f))
{
    lfo_.setDepth(kOscillatorDepth);
    lfo_.setShape(kSineShape);
}

void Phaser::setSpeed(float v)
{
    lfo_.setRate(static_cast<float>(std::pow(static_cast<double>(v), 1.5)));
}

void Phaser::setFeedback(float v)
{
    feedback_ = v > kMaxFeedback ? kMaxFeedback : v;
}

float Phaser::process(float x)
{
    float y;
    process(&x, &y, 1);
    return y;
}

void Phaser::process(const float* in, float* out, int n)
{
    constexpr int kPiece = 64;
    float sweep[kPiece];
    const float feedback = feedback_;
    for (int done = 0; done < n; done += kPiece) {
        const int count = n - done < kPiece ? n - done : kPiece;
        lfo_.next(0, sweep, count);
        for (int i = 0; i < count; ++i) {
            // Break point between the sweep limits; first-order all-pass coefficient
            // (1 - d) / (1 + d).
            const float d = lower_ + sweep[i] * (upper_ - lower_);
            const float a = (1.0f - d) / (1.0f + d);

            const float x = in[done + i] + kAntiDenormalSmall;
            float u = feedback * lastOutput_ + x;
            // Each stage: H(z) = (z^-1 - a) / (1 - a z^-1).
            for (float& s : state_) {
                const float y = s - a * u;
                s = u + a * y;
                u = y;
            }
            lastOutput_ = u;
            allpassCoefficient_ = a;
            out[done + i] = x + u * wetGain_;
        }
    }
}
