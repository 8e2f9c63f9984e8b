#include "tools/korvalex-render/DemoRiff.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace {

constexpr double kSecondsPerBeat = 0.5;    // 120 beats per minute
constexpr double kStrumSpacing = 0.012;    // seconds between the strings of a strummed chord
constexpr double kRingSeconds = 5.0;       // decay to -60 dB of a string left ringing
constexpr double kLastChordRing = 2.0;     // the last chord's decay to -60 dB, by the riff's end
constexpr double kStringDamping = 0.3;     // weight of the older sample in the loop's average (0..0.5)
constexpr double kDampSeconds = 0.08;      // decay to -60 dB once the hand stops the string
constexpr double kAfterDamp = 0.4;         // seconds a damped string is still computed
constexpr double kPickPosition = 0.13;     // plucking point, as a fraction of the string
constexpr double kDcBlockHz = 20.0;
constexpr double kFadeOutSeconds = 0.05;

double noteFrequency(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// Uniform noise in [-1, 1) from a 32-bit xorshift generator: the same sequence everywhere.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed ? seed : 1u) {}
    double next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state_;
};

// A plucked string after Karplus and Strong: a delay line about one period long, filled
// with a burst of noise, fed back through a weighted two-point average (the string's
// losses, larger for higher harmonics), a first-order all-pass that tunes the fractional part of the
// period, and a loss factor that sets how long the note rings.
class PluckedString {
public:
    PluckedString(double frequency, double velocity, double ringSeconds, std::uint32_t seed) : frequency_(frequency)
    {
        // The loop delays by the line, the average's kStringDamping samples and the all-pass.
        const double period = kDemoRiffRate / frequency;
        const auto length = static_cast<std::size_t>(std::floor(period - kStringDamping - 0.1));
        const double fraction = period - kStringDamping - static_cast<double>(length);  // 0.1 .. 1.1
        allpass_ = (1.0 - fraction) / (1.0 + fraction);
        loss_ = decayPerPeriod(ringSeconds);
        line_.assign(length, 0.0);

        // The pluck: noise, softened by a one-pole low-pass for a gentler pick, minus a
        // copy delayed by the plucking point (a string plucked there lacks the harmonics
        // that have a node at that point), without its mean.
        Noise noise(seed);
        const double brightness = 0.35 + 0.5 * velocity;
        double smoothed = 0.0;
        for (double& sample : line_) {
            smoothed += brightness * (noise.next() - smoothed);
            sample = smoothed;
        }
        const auto pick = std::max<std::size_t>(1, static_cast<std::size_t>(kPickPosition * static_cast<double>(length)));
        std::vector<double> plucked(length);
        double mean = 0.0;
        for (std::size_t i = 0; i < length; ++i) {
            plucked[i] = line_[i] - (i >= pick ? line_[i - pick] : 0.0);
            mean += plucked[i];
        }
        mean /= static_cast<double>(length);
        for (std::size_t i = 0; i < length; ++i)
            line_[i] = velocity * (plucked[i] - mean);
    }

    double next()
    {
        const double out = line_[position_];
        const double averaged = (1.0 - kStringDamping) * out + kStringDamping * previous_;
        previous_ = out;
        const double tuned = allpass_ * averaged + allpassIn_ - allpass_ * allpassOut_;
        allpassIn_ = averaged;
        allpassOut_ = tuned;
        line_[position_] = loss_ * tuned;
        position_ = position_ + 1 == line_.size() ? 0 : position_ + 1;
        return out;
    }

    // The player's hand stops the string.
    void damp() { loss_ = decayPerPeriod(kDampSeconds); }

private:
    // Loop gain per period for a decay of 60 dB in `seconds`.
    double decayPerPeriod(double seconds) const { return std::pow(10.0, -3.0 / (frequency_ * seconds)); }

    double frequency_;
    std::vector<double> line_;
    std::size_t position_ = 0;
    double previous_ = 0.0;
    double allpass_ = 0.0;
    double allpassIn_ = 0.0;
    double allpassOut_ = 0.0;
    double loss_ = 1.0;
};

struct NoteEvent {
    double start;     // seconds
    int midiNote;
    double duration;  // seconds until the string is damped
    double velocity;  // 0..1
    double ring;      // seconds to decay by 60 dB while it rings
};

class Score {
public:
    void note(double beat, int midiNote, double beats, double velocity = 0.8)
    {
        events.push_back({beat * kSecondsPerBeat, midiNote, beats * kSecondsPerBeat, velocity, kRingSeconds});
    }
    // A downstroke: low string first, each later string a little later and softer.
    void chord(double beat, std::initializer_list<int> notes, double beats, double velocity = 0.9,
               double ring = kRingSeconds)
    {
        int string = 0;
        for (int midiNote : notes) {
            const double delay = kStrumSpacing * string;
            events.push_back({beat * kSecondsPerBeat + delay, midiNote, beats * kSecondsPerBeat - delay,
                              velocity * (1.0 - 0.04 * string), ring});
            ++string;
        }
    }
    std::vector<NoteEvent> events;
};

Score riff()
{
    enum : int { E2 = 40, G2 = 43, A2 = 45, B2 = 47, D3 = 50, E3 = 52, G3 = 55, A3 = 57, B3 = 59, D4 = 62,
                 E4 = 64, Fs4 = 66, G4 = 67 };
    Score s;
    s.chord(0.0, {E2, B2, E3}, 1.5);             // E5 power chord
    s.note(1.5, G2, 0.5, 0.7);
    s.note(2.0, A2, 0.5, 0.75);
    s.note(2.5, B2, 0.5, 0.7);
    s.note(3.0, D3, 0.5, 0.8);
    s.note(3.5, E3, 0.5, 0.85);
    s.chord(4.0, {A2, E3, A3}, 1.5);             // A5 power chord
    s.note(5.5, G2, 0.25, 0.7);
    s.note(5.75, A2, 0.25, 0.7);
    s.note(6.0, B2, 0.5, 0.8);
    s.note(6.5, D3, 0.25, 0.75);
    s.note(6.75, B2, 0.25, 0.7);
    s.note(7.0, A2, 0.5, 0.75);
    s.note(7.5, G2, 0.5, 0.7);
    s.chord(8.0, {G2, B2, D3, G3, B3, G4}, 2.0);   // open G major
    s.chord(10.0, {D3, A3, D4, Fs4}, 2.0);         // D major
    // E minor, never damped: it rings out, 60 dB down by the end of the riff.
    s.chord(12.0, {E2, B2, E3, G3, B3, E4}, 4.0, 0.9, kLastChordRing);
    return s;
}

}  // namespace

std::vector<float> synthesizeDemoRiff()
{
    const auto total = static_cast<std::size_t>(kDemoRiffSeconds * kDemoRiffRate);
    std::vector<double> mix(total, 0.0);
    std::uint32_t seed = 0x2545F491u;
    for (const NoteEvent& event : riff().events) {
        PluckedString string(noteFrequency(event.midiNote), event.velocity, event.ring, seed);
        seed = seed * 1664525u + 1013904223u;
        const auto start = static_cast<std::size_t>(std::lround(event.start * kDemoRiffRate));
        const auto dampAt = start + static_cast<std::size_t>(std::lround(event.duration * kDemoRiffRate));
        const std::size_t end = std::min(total, dampAt + static_cast<std::size_t>(kAfterDamp * kDemoRiffRate));
        for (std::size_t i = start; i < end; ++i) {
            if (i == dampAt)
                string.damp();
            mix[i] += string.next();
        }
    }

    // One-pole DC blocker, then scale to the intended peak and fade the last moment out.
    const double pole = std::exp(-2.0 * M_PI * kDcBlockHz / kDemoRiffRate);
    double previousIn = 0.0, previousOut = 0.0, peak = 0.0;
    for (double& sample : mix) {
        const double out = sample - previousIn + pole * previousOut;
        previousIn = sample;
        previousOut = out;
        sample = out;
        peak = std::max(peak, std::fabs(out));
    }
    const double gain = peak > 0.0 ? kDemoRiffPeak / peak : 0.0;
    const auto fade = static_cast<std::size_t>(kFadeOutSeconds * kDemoRiffRate);
    std::vector<float> riffSamples(total);
    for (std::size_t i = 0; i < total; ++i) {
        const double remaining = static_cast<double>(total - i);
        const double envelope = std::min(1.0, remaining / static_cast<double>(fade));
        riffSamples[i] = static_cast<float>(mix[i] * gain * envelope);
    }
    return riffSamples;
}
