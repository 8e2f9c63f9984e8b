#include "dsp/CabinetLevel.h"

#include <cmath>
#include <complex>

namespace {
constexpr int kPointsPerOctave = 12;
constexpr double kPi = 3.14159265358979323846;
}  // namespace

double cabinetBandGain(const float* taps, int length, double sampleRate)
{
    const double octaves = std::log2(kCabinetBandHighHz / kCabinetBandLowHz);
    const int points = static_cast<int>(std::lround(octaves * kPointsPerOctave)) + 1;
    double power = 0.0;
    for (int i = 0; i < points; ++i) {
        const double f = kCabinetBandLowHz * std::exp2(octaves * i / (points - 1));
        // H(f) = sum of taps[n] e^{-j w n}, the phasor turned by multiplication.
        const std::complex<double> turn = std::polar(1.0, -2.0 * kPi * f / sampleRate);
        std::complex<double> phasor = 1.0;
        std::complex<double> h = 0.0;
        for (int n = 0; n < length; ++n) {
            h += static_cast<double>(taps[n]) * phasor;
            phasor *= turn;
        }
        power += std::norm(h);
    }
    return std::sqrt(power / points);
}
