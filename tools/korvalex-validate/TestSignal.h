#pragma once
// Deterministic test signals shared by the validator, the allocation test and the
// benchmarks: a seeded random generator, a guitar-like plucked-string signal and very
// quiet white noise. Nothing here allocates after construction.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// SplitMix64: small, fast and identical on every platform, unlike the standard
// distributions, so a seed names the same sequence everywhere.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    float uniform(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(uniform()); }
    // Uniform integer in [0, n); 0 when n <= 0.
    int below(int n) { return n > 0 ? static_cast<int>(next() % static_cast<std::uint64_t>(n)) : 0; }
    bool chance(double p) { return uniform() < p; }

private:
    std::uint64_t state_;
};

// Plucked strings (Karplus-Strong: a noise burst circulating in a delay line of one period
// through a two-point average with a little loss). A new note from an E minor pentatonic
// set over E2..E4 starts every 0.15..0.9 s, now and then as a two-string chord; three
// voices ring on together. Peaks stay around -10 dBFS.
class GuitarSignal {
public:
    explicit GuitarSignal(std::uint64_t seed, double sampleRate = 44100.0)
        : rng_(seed), sampleRate_(sampleRate > 1000.0 ? sampleRate : 44100.0)
    {
        const std::size_t longest = static_cast<std::size_t>(sampleRate_ / kLowestHz) + 2;
        for (Voice& v : voices_)
            v.line.assign(longest, 0.0f);
        untilNextNote_ = 0;
    }

    float next()
    {
        if (untilNextNote_-- <= 0) {
            pluck();
            if (rng_.chance(0.3))
                pluck();
            untilNextNote_ = static_cast<long>(sampleRate_ * rng_.uniform(0.15f, 0.9f));
        }
        float sum = 0.0f;
        for (Voice& v : voices_) {
            if (v.length == 0)
                continue;
            const float out = v.line[v.position];
            const std::size_t following = v.position + 1 == v.length ? 0 : v.position + 1;
            v.line[v.position] = v.loss * 0.5f * (out + v.line[following]);
            v.position = following;
            sum += out;
        }
        return sum * kLevel;
    }

    void fill(float* out, std::size_t frames)
    {
        for (std::size_t i = 0; i < frames; ++i)
            out[i] = next();
    }

private:
    static constexpr double kLowestHz = 80.0;
    static constexpr float kLevel = 0.25f;
    static constexpr int kVoices = 3;

    struct Voice {
        std::vector<float> line;
        std::size_t length = 0;
        std::size_t position = 0;
        float loss = 0.996f;
    };

    void pluck()
    {
        // E minor pentatonic, E2 (82.4 Hz) up two octaves, in semitones above E2.
        static constexpr int kSteps[] = {0, 3, 5, 7, 10, 12, 15, 17, 19, 22, 24};
        const int semitones = kSteps[rng_.below(static_cast<int>(sizeof kSteps / sizeof kSteps[0]))];
        const double hz = 82.4069 * std::pow(2.0, semitones / 12.0);
        Voice& v = voices_[nextVoice_];
        nextVoice_ = (nextVoice_ + 1) % kVoices;
        v.length = static_cast<std::size_t>(sampleRate_ / hz);
        if (v.length < 2)
            v.length = 2;
        if (v.length > v.line.size())
            v.length = v.line.size();
        v.position = 0;
        v.loss = rng_.uniform(0.990f, 0.998f);
        // A pick is brighter than a thumb: mix white noise with its running average.
        const float brightness = rng_.uniform(0.3f, 1.0f);
        const float strength = rng_.uniform(0.4f, 1.0f);
        float smooth = 0.0f;
        for (std::size_t i = 0; i < v.length; ++i) {
            const float white = rng_.uniform(-1.0f, 1.0f);
            smooth += 0.3f * (white - smooth);
            v.line[i] = strength * (brightness * white + (1.0f - brightness) * smooth);
        }
    }

    SplitMix64 rng_;
    double sampleRate_;
    Voice voices_[kVoices];
    int nextVoice_ = 0;
    long untilNextNote_;
};

// White noise, uniform, with the given RMS level in dB below full scale (1.0).
class QuietNoise {
public:
    QuietNoise(std::uint64_t seed, double rmsDbfs)
        : rng_(seed), peak_(static_cast<float>(std::pow(10.0, rmsDbfs / 20.0) * std::sqrt(3.0)))
    {
    }
    float next() { return rng_.uniform(-peak_, peak_); }
    void fill(float* out, std::size_t frames)
    {
        for (std::size_t i = 0; i < frames; ++i)
            out[i] = next();
    }

private:
    SplitMix64 rng_;
    float peak_;
};
