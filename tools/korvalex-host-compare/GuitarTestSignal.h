#pragma once
// The test input for third-party host renders: a plucked 110 Hz string on the left input
// and a strummed E major chord on the right, then a stretch of silence for effect tails.
// Deterministic: the same arguments always give the same samples.

#include <cstddef>
#include <vector>

struct StereoSignal {
    std::vector<float> left;
    std::vector<float> right;
};

struct GuitarTestSignalShape {
    double sampleRate = 44100.0;
    double seconds = 5.0;       // total length, tail included
    double chordStart = 1.5;    // seconds; the chord overlaps the plucked note's decay
    double tailSeconds = 1.0;   // the last part is pure digital silence
    double peak = 0.4;          // peak magnitude of each channel
};

// One plucked string: harmonic partials with a 2 ms linear attack, each decaying
// exponentially and faster the higher it is, as a real string does. Adds into `out` from
// frame `start`, up to `end` (exclusive); amplitude 1 is a rough, not exact, peak.
void addPluckedString(std::vector<float>& out, std::size_t start, std::size_t end, double frequency,
                      double amplitude, double sampleRate);

StereoSignal makeGuitarTestSignal(const GuitarTestSignalShape& shape = GuitarTestSignalShape());
