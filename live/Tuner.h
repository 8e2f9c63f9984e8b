#pragma once
// The tuner: the pitch of the guitar at the input, as a note name and its offset in cents
// from equal temperament (A4 = 440 Hz). It runs on the main thread over the newest input
// samples, which the audio thread copies into a ring.
//
// The period is found in two steps. A normalized autocorrelation of a decimated copy finds
// the fundamental's period without octave errors (the first of its highest peaks). The
// squared difference between the signal and itself shifted by a whole number of periods
// (as many as fit in half the window) then gives the period to a small fraction of a
// sample: the difference vanishes at every multiple of the period of a periodic signal,
// and the error of interpolating its minimum is divided by the number of periods.

#include <cstddef>
#include <string>
#include <vector>

namespace live {

struct TunerReading {
    bool pitched = false;  // false: silence, noise or no steady pitch
    double frequency = 0.0;
    int note = 0;          // MIDI note number of the nearest note (A4 = 69)
    double cents = 0.0;    // -50..50 from that note
};

// "A2" for note 45, "C#4" for 61.
std::string noteName(int note);
// The nearest note and the offset of a frequency.
TunerReading readingFor(double frequency);

class Tuner {
public:
    static constexpr double kLowest = 50.0;    // Hz: below a baritone's low A
    static constexpr double kHighest = 1500.0;  // Hz: above the 24th fret of the high E string

    explicit Tuner(double sampleRate);

    double sampleRate() const { return rate_; }
    // How many of the newest samples each analysis looks at (0.2 s).
    std::size_t windowSize() const { return window_; }
    // `samples` holds windowSize() samples, oldest first.
    TunerReading analyse(const float* samples);

private:
    bool coarsePeriod(double& period);
    bool refine(double around, int periods, double spread, double& period) const;
    double difference(std::size_t lag, std::size_t length) const;

    double rate_;
    std::size_t window_;
    std::size_t decimation_;
    std::vector<double> signal_;     // the window without its mean
    std::vector<double> decimated_;
    std::vector<double> correlation_;
};

}  // namespace live
