#pragma once
// Band-limited conversion between a host's sample rate (above the design rate) and the
// engine's design rate of 44100 Hz, so that the engine keeps its own rate, and its sound,
// whatever the host runs at.
//
// One kernel serves both directions: a linear-phase lowpass (Kaiser-windowed sinc) on the
// engine's time axis, flat within 0.035 dB up to 18 kHz and at least 109 dB down from
// 22.05 kHz on, 68 engine frames long. Host frame n lies at n * 44100 / hostRate on that
// axis. The down converter spreads each host frame over the 68 engine frames around it;
// the up converter gathers each host frame from the 68 engine frames around it. Both are
// symmetric about the frame's position, so a round trip through them is a pure delay of a
// whole number of host frames (roundTripDelay), with no other phase shift.
//
// Nothing allocates after construction; every call runs in a time bounded by its length.

#include <cstdint>
#include <vector>

class ResamplingKernel {
public:
    static constexpr int kHalfTaps = 34;
    static constexpr int kTaps = 2 * kHalfTaps;
    // Host frames fall at fractions k / L of an engine frame (L = hostRate / gcd(hostRate,
    // 44100): 160 at 48 kHz, 320 at 96 kHz, 2 at 88.2 kHz). The kernel holds one row of taps
    // per fraction up to this many; rates with more fractions blend between this many rows.
    static constexpr int kMaxRows = 2560;

    // `hostRate` in Hz, above 44100.
    explicit ResamplingKernel(int hostRate);

    int hostRate() const { return hostRate_; }
    int rows() const { return rows_; }

    // The taps for a host frame `remainder / hostRate` of an engine frame past the engine
    // frame `whole` (see EnginePosition): tap q belongs to engine frame whole - kHalfTaps
    // + 1 + q, and weighs it by row[q] + blend * (next[q] - row[q]).
    struct Taps {
        const float* row;
        const float* next;
        float blend;  // exactly 0 where the row is exact
    };
    Taps taps(int remainder) const;

    // Host frames between a frame entering the down converter and its coming out of the
    // up converter: the up converter needs engine frames kHalfTaps ahead of its position,
    // each of which needs host frames another kHalfTaps engine frames ahead.
    int roundTripDelay() const;

private:
    int hostRate_;
    int rows_;
    bool exact_;               // one row for each fraction
    double rowsPerRemainder_;  // rows_ / hostRate_
    std::vector<float> table_;  // rows_ + 1 rows of kTaps: the last one is the first shifted by a frame
};

// A host frame's place on the engine's time axis, exactly: whole + remainder / hostRate
// engine frames.
struct EnginePosition {
    std::int64_t whole = 0;
    int remainder = 0;

    void advance(int hostRate)
    {
        remainder += kEngineRate;
        if (remainder >= hostRate) {
            remainder -= hostRate;
            ++whole;
        }
    }

    static constexpr int kEngineRate = 44100;
};

// Host rate to engine rate, one channel.
class DownConverter {
public:
    explicit DownConverter(const ResamplingKernel& kernel);

    // Takes `n` host frames and writes the engine frames they complete to `out`, at most
    // n + 1 of them; answers how many. The first engine frame is the one at host frame 0.
    int process(const float* in, int n, float* out);

private:
    const ResamplingKernel& kernel_;
    const float scale_;  // 44100 / hostRate: each engine frame sums that many host frames' worth
    EnginePosition position_;
    std::vector<float> sums_;  // the engine frames still receiving, from sums_[head_] on
    int head_ = 0;
    std::int64_t headFrame_;   // the engine frame sums_[head_] belongs to
};

// Engine rate to host rate, two channels.
class UpConverter {
public:
    // Host frames are pulled `delay` frames after the down converter took them (which makes
    // every engine frame they need available), at most `maxChunk` at a time, each chunk's
    // engine frames pushed before it is pulled.
    UpConverter(const ResamplingKernel& kernel, int delay, int maxChunk);

    void push(const float* left, const float* right, int n);
    // The next `n` host frames: silence for the first `delay`, then the engine frames from
    // the first one on.
    void pull(float* left, float* right, int n);

private:
    const ResamplingKernel& kernel_;
    int silence_;
    EnginePosition position_;  // of the next host frame after the silence
    int size_;                 // engine frames kept: a power of two
    std::vector<float> left_, right_;  // each frame at its slot and once more size_ later,
                                       // so that any kTaps in a row are contiguous
    std::int64_t pushed_ = 0;
};
