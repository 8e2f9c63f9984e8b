#include "tools/korvalex-host-compare/GuitarTestSignal.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPartials = 12;
constexpr double kAttackSeconds = 0.002;
constexpr double kPickPosition = 0.2;  // fraction of the string length from the bridge

void normalizePeak(std::vector<float>& samples, double peak)
{
    float largest = 0.0f;
    for (float s : samples)
        largest = std::max(largest, std::fabs(s));
    if (largest <= 0.0f)
        return;
    const double scale = peak / double(largest);
    for (float& s : samples)
        s = static_cast<float>(double(s) * scale);
}

}  // namespace

void addPluckedString(std::vector<float>& out, std::size_t start, std::size_t end, double frequency,
                      double amplitude, double sampleRate)
{
    end = std::min(end, out.size());
    const double nyquist = 0.5 * sampleRate;
    for (int k = 1; k <= kPartials; ++k) {
        const double f = frequency * k;
        if (f >= nyquist)
            break;
        // A string plucked at a fraction p of its length excites harmonic k in proportion
        // to sin(pi k p) / k^2; the higher partials die away sooner.
        const double weight = std::sin(M_PI * k * kPickPosition) / double(k * k);
        const double decayPerSecond = 1.2 + 0.9 * k;
        // The decaying partial as a rotating, shrinking phasor: z <- z * exp(-d / rate + i w).
        const double w = 2.0 * M_PI * f / sampleRate;
        const double shrink = std::exp(-decayPerSecond / sampleRate);
        const double stepRe = shrink * std::cos(w), stepIm = shrink * std::sin(w);
        double re = amplitude * weight, im = 0.0;
        for (std::size_t i = start; i < end; ++i) {
            const double t = double(i - start) / sampleRate;
            const double attack = std::min(1.0, t / kAttackSeconds);
            out[i] = static_cast<float>(double(out[i]) + attack * im);
            const double nextRe = re * stepRe - im * stepIm;
            im = re * stepIm + im * stepRe;
            re = nextRe;
        }
    }
}

StereoSignal makeGuitarTestSignal(const GuitarTestSignalShape& shape)
{
    const auto frames = static_cast<std::size_t>(std::llround(shape.seconds * shape.sampleRate));
    const auto soundEnd = static_cast<std::size_t>(
        std::llround(std::max(0.0, shape.seconds - shape.tailSeconds) * shape.sampleRate));
    StereoSignal signal;
    signal.left.assign(frames, 0.0f);
    signal.right.assign(frames, 0.0f);

    // Left: the open A string, 110 Hz.
    addPluckedString(signal.left, 0, soundEnd, 110.0, 1.0, shape.sampleRate);

    // Right: an open E major chord, strummed downwards with 12 ms between strings.
    static const double chord[] = {82.407, 123.471, 164.814, 207.652, 246.942, 329.628};
    const auto chordStart = static_cast<std::size_t>(std::llround(shape.chordStart * shape.sampleRate));
    const auto strumStep = static_cast<std::size_t>(std::llround(0.012 * shape.sampleRate));
    for (std::size_t s = 0; s < sizeof chord / sizeof chord[0]; ++s)
        addPluckedString(signal.right, chordStart + s * strumStep, soundEnd, chord[s], 1.0, shape.sampleRate);

    // Fade both strings out over 50 ms (raised cosine) and end each channel with exact
    // silence, so that what the host renders there is the plug-in's own tail.
    const auto fade = std::min(soundEnd, static_cast<std::size_t>(std::llround(0.05 * shape.sampleRate)));
    for (std::size_t i = soundEnd - fade; i < soundEnd; ++i) {
        const double g = 0.5 + 0.5 * std::cos(M_PI * double(i - (soundEnd - fade)) / double(fade));
        signal.left[i] = static_cast<float>(double(signal.left[i]) * g);
        signal.right[i] = static_cast<float>(double(signal.right[i]) * g);
    }
    normalizePeak(signal.left, shape.peak);
    normalizePeak(signal.right, shape.peak);
    return signal;
}
