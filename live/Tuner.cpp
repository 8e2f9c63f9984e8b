#include "live/Tuner.h"

#include <algorithm>
#include <cmath>

namespace live {

namespace {

constexpr double kWindowSeconds = 0.2;
constexpr double kDecimatedRate = 11025.0;
// Below this level (about -55 dBFS RMS) there is nothing to tune.
constexpr double kQuietest = 0.0018;
// The normalized autocorrelation's peak that counts as a steady pitch, and the share of
// the highest peak that the first peak taken as the period must reach.
constexpr double kClarity = 0.8;
constexpr double kPeakShare = 0.9;

const char* const kNoteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

// Offset of the extremum of the parabola through (-1, a), (0, b), (1, c).
double parabolicOffset(double a, double b, double c)
{
    const double curvature = a - 2.0 * b + c;
    return curvature == 0.0 ? 0.0 : 0.5 * (a - c) / curvature;
}

}  // namespace

std::string noteName(int note)
{
    const int pitchClass = ((note % 12) + 12) % 12;
    const int octave = (note - pitchClass) / 12 - 1;
    return std::string(kNoteNames[pitchClass]) + std::to_string(octave);
}

TunerReading readingFor(double frequency)
{
    TunerReading reading;
    if (!(frequency > 0.0))
        return reading;
    const double semitones = 69.0 + 12.0 * std::log2(frequency / 440.0);
    reading.pitched = true;
    reading.frequency = frequency;
    reading.note = static_cast<int>(std::lround(semitones));
    reading.cents = 100.0 * (semitones - reading.note);
    return reading;
}

Tuner::Tuner(double sampleRate)
    : rate_(sampleRate),
      window_(static_cast<std::size_t>(sampleRate * kWindowSeconds)),
      decimation_(std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(sampleRate / kDecimatedRate))))
{
    signal_.resize(window_);
    decimated_.resize(window_ / decimation_);
}

TunerReading Tuner::analyse(const float* samples)
{
    double mean = 0.0;
    for (std::size_t i = 0; i < window_; ++i)
        mean += samples[i];
    mean /= static_cast<double>(window_);
    double power = 0.0;
    for (std::size_t i = 0; i < window_; ++i) {
        signal_[i] = samples[i] - mean;
        power += signal_[i] * signal_[i];
    }
    if (std::sqrt(power / static_cast<double>(window_)) < kQuietest)
        return {};

    double period = 0.0;
    if (!coarsePeriod(period))
        return {};
    // One period at full rate; then as many whole periods as fit in half the window.
    const double decimatedStep = static_cast<double>(decimation_);
    if (!refine(period, 1, decimatedStep + 1.0, period))
        return {};
    const int periods = static_cast<int>(static_cast<double>(window_ / 2) / period);
    if (periods > 1 && !refine(period, periods, 2.0 + 0.05 * periods, period))
        return {};
    return readingFor(rate_ / period);
}

// The normalized square difference function (autocorrelation over the energy of both
// parts) of the decimated window; the period is its first peak within kPeakShare of the
// highest one, after the lobe around lag 0.
bool Tuner::coarsePeriod(double& period)
{
    const std::size_t n = decimated_.size();
    for (std::size_t k = 0; k < n; ++k) {
        double sum = 0.0;
        for (std::size_t i = 0; i < decimation_; ++i)
            sum += signal_[k * decimation_ + i];
        decimated_[k] = sum / static_cast<double>(decimation_);
    }
    const double rate = rate_ / static_cast<double>(decimation_);
    const auto shortest = static_cast<std::size_t>(rate / kHighest);
    const auto longest = std::min(static_cast<std::size_t>(std::ceil(rate / kLowest)) + 1, n / 2);
    const std::size_t length = n - longest;
    correlation_.assign(longest + 1, 0.0);
    for (std::size_t lag = 0; lag <= longest; ++lag) {
        double product = 0.0, energy = 0.0;
        for (std::size_t i = 0; i < length; ++i) {
            product += decimated_[i] * decimated_[i + lag];
            energy += decimated_[i] * decimated_[i] + decimated_[i + lag] * decimated_[i + lag];
        }
        correlation_[lag] = energy > 0.0 ? 2.0 * product / energy : 0.0;
    }

    // The peaks of the positive stretches after the first negative one.
    std::vector<std::size_t> peaks;
    std::size_t lag = 1;
    while (lag <= longest && correlation_[lag] > 0.0)
        ++lag;
    while (lag <= longest) {
        while (lag <= longest && correlation_[lag] <= 0.0)
            ++lag;
        std::size_t best = lag;
        while (lag <= longest && correlation_[lag] > 0.0) {
            if (correlation_[lag] > correlation_[best])
                best = lag;
            ++lag;
        }
        if (best < longest && best >= std::max<std::size_t>(shortest, 1))
            peaks.push_back(best);
    }
    if (peaks.empty())
        return false;
    double highest = 0.0;
    for (std::size_t p : peaks)
        highest = std::max(highest, correlation_[p]);
    if (highest < kClarity)
        return false;
    for (std::size_t p : peaks) {
        if (correlation_[p] >= kPeakShare * highest) {
            const double offset = parabolicOffset(correlation_[p - 1], correlation_[p], correlation_[p + 1]);
            period = (static_cast<double>(p) + offset) * static_cast<double>(decimation_);
            return true;
        }
    }
    return false;
}

// The minimum of the squared difference at lags around `periods` times `around` (within
// `spread` samples), interpolated, divided by the number of periods.
bool Tuner::refine(double around, int periods, double spread, double& period) const
{
    const double centre = around * periods;
    const auto first = static_cast<std::ptrdiff_t>(std::floor(centre - spread));
    const auto last = static_cast<std::ptrdiff_t>(std::ceil(centre + spread));
    if (first < 2 || static_cast<std::size_t>(last) + 2 >= window_ / 2 + window_ / 4)
        return false;
    const std::size_t length = window_ - static_cast<std::size_t>(last) - 2;
    std::ptrdiff_t best = first;
    double bestValue = difference(static_cast<std::size_t>(first), length);
    for (std::ptrdiff_t lag = first + 1; lag <= last; ++lag) {
        const double value = difference(static_cast<std::size_t>(lag), length);
        if (value < bestValue) {
            bestValue = value;
            best = lag;
        }
    }
    if (best == first || best == last)
        return false;  // the minimum lies outside the stretch searched
    const double offset = parabolicOffset(difference(static_cast<std::size_t>(best - 1), length), bestValue,
                                          difference(static_cast<std::size_t>(best + 1), length));
    period = (static_cast<double>(best) + offset) / periods;
    return true;
}

double Tuner::difference(std::size_t lag, std::size_t length) const
{
    double sum = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double d = signal_[i] - signal_[i + lag];
        sum += d * d;
    }
    return sum;
}

}  // namespace live
