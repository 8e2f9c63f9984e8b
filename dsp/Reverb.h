#pragma once
// The amplifier's spring-less room: three damped feedback combs in parallel, summed into
// one all-pass. Lengths are fixed in samples; the buffers live inside the object.

#include <array>
#include <cstddef>

#include "dsp/RelaxedAtomic.h"

class Reverb {
public:
    static constexpr std::size_t kComb1Length = 1116;
    static constexpr std::size_t kComb2Length = 1422;
    static constexpr std::size_t kComb3Length = 1617;
    static constexpr std::size_t kAllPassLength = 441;

    // Starts with wet 1/3, room size 0.5, dry 0, damping 0.5, width 1, normal mode and
    // silent buffers; the owner then applies its own settings through the setters.
    Reverb();

    void setRoomSize(float value); // room size = 0.28 v + 0.7
    void setDamping(float value);  // damping = 0.4 v
    void setWet(float value);      // wet = 3 v
    void setDry(float value);      // dry = 2 v
    void setWidth(float value);    // width = v
    void setMode(float value);     // 0.5 or more freezes the tail

    // One sample: writes the wet reverb plus the dry part of `in` to `out`.
    void process(float in, float& out) { process(&in, &out, 1); }
    // `n` samples; `in` and `out` may be the same memory.
    void process(const float* in, float* out, int n);

private:
    template <std::size_t Length>
    struct Comb {
        std::array<float, Length> buffer{};
        std::size_t position = 0;
        float store = 0.0f; // one-pole low-pass state in the feedback loop
    };

    template <std::size_t Length>
    float runComb(Comb<Length>& comb, float in, float feedback, float d1, float d2);

    void update();

    Comb<kComb1Length> comb1;
    Comb<kComb2Length> comb2;
    Comb<kComb3Length> comb3;
    std::array<float, kAllPassLength> allPassBuffer{};
    std::size_t allPassPosition = 0;

    // Settings as last set; written only by the setters.
    float roomSize = 0.0f;
    float damping = 0.0f;
    float wet = 0.0f;
    float width = 0.0f;
    float mode = 0.0f;

    // Derived values read by process.
    SharedFloat dry{0.0f};
    SharedFloat wet1{0.0f};
    SharedFloat wet2{0.0f}; // right-channel cross term of a stereo output; unused in mono
    SharedFloat gain{0.0f}; // input gain of a stereo version; unused in mono
    SharedFloat combFeedback{0.0f};
    SharedFloat damp1{0.0f};
    SharedFloat damp2{1.0f};
};
