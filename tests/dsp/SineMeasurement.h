#pragma once
// Steady-state sine response of a per-sample process, for the filter tests.

#include <cmath>
#include <complex>

namespace sine_measurement {

constexpr double kPi = 3.14159265358979323846;

inline double toDb(double gain)
{
    return 20.0 * std::log10(gain);
}

// Feeds a sine of `amplitude` at `frequency` through `process` (float in, float out) for
// one second to settle and one more second to measure, and returns the output's amplitude
// at that frequency divided by the input's. With an integer frequency the measurement spans
// whole cycles, so the projection onto sine and cosine is exact for a linear stage.
template <typename Process>
double sineGain(Process&& process, double frequency, double sampleRate, double amplitude = 0.25)
{
    const int settle = static_cast<int>(sampleRate);
    const int measure = static_cast<int>(sampleRate);
    double inPhase = 0.0;
    double quadrature = 0.0;
    for (int n = 0; n < settle + measure; ++n) {
        const double phase = 2.0 * kPi * frequency * n / sampleRate;
        const float y = process(static_cast<float>(amplitude * std::sin(phase)));
        if (n >= settle) {
            inPhase += y * std::sin(phase);
            quadrature += y * std::cos(phase);
        }
    }
    return 2.0 * std::hypot(inPhase, quadrature) / measure / amplitude;
}

// |H(e^jw)| of b0 + b1 z^-1 + b2 z^-2 over 1 + a1 z^-1 + a2 z^-2.
inline double biquadMagnitude(double b0, double b1, double b2, double a1, double a2, double w)
{
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2));
}

} // namespace sine_measurement
