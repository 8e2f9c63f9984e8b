#pragma once
// Second-order section design shared by the tone stack and the parametric equaliser,
// and the direct-form-I section they both run.

#include <atomic>
#include <cstdint>

#include "dsp/RelaxedAtomic.h"

enum class BiquadType {
    Peaking, // bell: gain at the centre frequency, unity far from it
    Notch,   // zero on the unit circle at the centre frequency
};

// How a bandwidth in octaves becomes the section's damping term when no Q is given.
enum class BandwidthRule {
    Equaliser,       // alpha = sin w * sin(ln 2 / 2 * bandwidth)
    FrequencyWarped, // alpha = sin w * sin(ln 2 / 2 * bandwidth * w / sin w)
};

// One section's coefficients as the audio thread uses them, all divided by a0.
struct BiquadSnapshot {
    float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
};

// A design's sequence number; copies (of a whole block, in tests) take its value.
struct DesignVersion {
    DesignVersion() = default;
    DesignVersion(const DesignVersion& other) : value(other.value.load()) {}
    DesignVersion& operator=(const DesignVersion& other)
    {
        value.store(other.value.load());
        return *this;
    }
    std::atomic<uint32_t> value{0};
};

struct BiquadCoefficients {
    // As designed. Hosts may change parameters from two threads at once (automation and the
    // editor), so two designs can overlap: every stored value is shared, and a design is
    // stored whole, one at a time.
    SharedFloat a0{1.0f}, a1{0.0f}, a2{0.0f};
    SharedFloat b0{1.0f}, b1{0.0f}, b2{0.0f};
    // Divided by a0: what the audio thread reads. Starts as a pass-through.
    SharedFloat nb0{1.0f}, nb1{0.0f}, nb2{0.0f}, na1{0.0f}, na2{0.0f};

    // Odd while a design is being stored. A designer waits for another one to finish (a few
    // microseconds); the audio thread never waits: it keeps the last whole set it read.
    DesignVersion version;

    uint32_t beginStore()
    {
        for (;;) {
            uint32_t v = version.value.load(std::memory_order_relaxed);
            if ((v & 1u) == 0 &&
                version.value.compare_exchange_weak(v, v + 1, std::memory_order_acquire, std::memory_order_relaxed))
                return v + 1;
        }
    }
    void endStore(uint32_t stored) { version.value.store(stored + 1, std::memory_order_release); }

    // Stores the normalized set between beginStore and endStore; each store is a release,
    // so none of them becomes visible before the odd version number.
    void storeNormalized(float b0_, float b1_, float b2_, float a1_, float a2_)
    {
        nb0.storeRelease(b0_);
        nb1.storeRelease(b1_);
        nb2.storeRelease(b2_);
        na1.storeRelease(a1_);
        na2.storeRelease(a2_);
    }

    // The current set when one is stored whole, else `last`, which it then updates. Each
    // load is an acquire, so the version is read again after all of them.
    const BiquadSnapshot& read(BiquadSnapshot& last) const
    {
        const uint32_t before = version.value.load(std::memory_order_acquire);
        if (before & 1u)
            return last;
        const BiquadSnapshot now{nb0.loadAcquire(), nb1.loadAcquire(), nb2.loadAcquire(), na1.loadAcquire(),
                                 na2.loadAcquire()};
        if (version.value.load(std::memory_order_acquire) != before)
            return last;
        last = now;
        return last;
    }
};

// Fills `c` for a section of the given type. gainDb is used by the peaking type. A Q above
// 0 sets the width; otherwise a bandwidth above 0 does, by `rule`; with neither the section
// is flat (peaking) or degenerate (notch). The design is computed in double from the float
// arguments and each stored coefficient rounded once to float; the normalized ones are float
// quotients of the stored floats. A rate that is not positive or a frequency outside
// (0, rate / 2) leaves `c` unchanged.
void BiquadDesign(BiquadCoefficients& c, BiquadType type, double rate, float frequency, float gainDb,
    float q, float bandwidth, BandwidthRule rule);

// One channel of section memory, with the last whole set of coefficients it ran with.
struct BiquadState {
    float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
    BiquadSnapshot coefficients;
};

// Direct form I: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2 (all divided by a0), over `n`
// samples in place.
inline void runBiquad(const BiquadCoefficients& c, BiquadState& s, float* samples, int n)
{
    const BiquadSnapshot k = c.read(s.coefficients);
    const float b0 = k.b0, b1 = k.b1, b2 = k.b2, a1 = k.a1, a2 = k.a2;
    float x1 = s.x1, x2 = s.x2, y1 = s.y1, y2 = s.y2;
    for (int i = 0; i < n; ++i) {
        const float x = samples[i];
        const float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        samples[i] = y;
    }
    s.x1 = x1;
    s.x2 = x2;
    s.y1 = y1;
    s.y2 = y2;
}

// One sample.
inline float runBiquad(const BiquadCoefficients& c, BiquadState& s, float x)
{
    runBiquad(c, s, &x, 1);
    return x;
}
