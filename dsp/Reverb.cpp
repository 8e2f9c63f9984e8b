#include "dsp/Reverb.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr float kAllPassFeedback = 0.5f;
constexpr float kFreezeThreshold = 0.5f;
constexpr float kNormalInputGain = 0.015f;

// Replaces zero and denormal values (exponent field 0) by +0, so that the recirculating
// state never lingers in slow denormal arithmetic.
inline float flushTiny(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7f800000u) == 0 ? 0.0f : v;
}

} // namespace

Reverb::Reverb()
{
    setWet(1.0f / 3.0f);
    setRoomSize(0.5f);
    setDry(0.0f);
    setDamping(0.5f);
    setWidth(1.0f);
    setMode(0.0f);
}

void Reverb::setRoomSize(float value)
{
    roomSize = 0.28f * value + 0.7f;
    update();
}

void Reverb::setDamping(float value)
{
    damping = 0.4f * value;
    update();
}

void Reverb::setWet(float value)
{
    wet = 3.0f * value;
    update();
}

void Reverb::setDry(float value)
{
    dry = 2.0f * value;
}

void Reverb::setWidth(float value)
{
    width = value;
    update();
}

void Reverb::setMode(float value)
{
    mode = value;
    update();
}

void Reverb::update()
{
    wet1 = wet * (0.5f * width + 0.5f);
    wet2 = wet * (1.0f - width) * 0.5f;
    if (mode >= kFreezeThreshold) {
        // Frozen: lossless loops, no new input weight for a stereo version.
        combFeedback = 1.0f;
        damp1 = 0.0f;
        gain = 0.0f;
    } else {
        combFeedback = roomSize;
        damp1 = damping;
        gain = kNormalInputGain;
    }
    damp2 = 1.0f - damp1;
}

template <std::size_t Length>
float Reverb::runComb(Comb<Length>& comb, float in, float feedback, float d1, float d2)
{
    // Feedback comb with a one-pole low-pass (damping) inside its loop.
    const float out = flushTiny(comb.buffer[comb.position]);
    comb.store = flushTiny(out * d2 + comb.store * d1);
    comb.buffer[comb.position] = in + comb.store * feedback;
    if (++comb.position >= Length)
        comb.position = 0;
    return out;
}

void Reverb::process(const float* in, float* out, int n)
{
    const float feedback = combFeedback;
    const float d1 = damp1;
    const float d2 = damp2;
    const float wetGain = wet1;
    const float dryGain = dry;

    for (int i = 0; i < n; ++i) {
        const float x = in[i];
        const float c1 = runComb(comb1, x, feedback, d1, d2);
        const float c2 = runComb(comb2, x, feedback, d1, d2);
        const float c3 = runComb(comb3, x, feedback, d1, d2);
        const float sum = c1 + c2 + c3;

        // Schroeder all-pass: the direct path is -1, the delayed path recirculates at 0.5.
        const float delayed = flushTiny(allPassBuffer[allPassPosition]);
        allPassBuffer[allPassPosition] = sum + delayed * kAllPassFeedback;
        if (++allPassPosition >= kAllPassLength)
            allPassPosition = 0;
        const float result = delayed - sum;

        out[i] = wetGain * result + x * dryGain;
    }
}
