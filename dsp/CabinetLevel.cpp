#include "dsp/CabinetLevel.h"

#include <cmath>

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
        // H(f) = sum of taps[n] e^{-j w n}, the phasor turned by multiplication (written
        // out: std::complex's operator* checks for infinities at every step).
        const double w = -2.0 * kPi * f / sampleRate;
        const double turnRe = std::cos(w), turnIm = std::sin(w);
        double phasorRe = 1.0, phasorIm = 0.0, hRe = 0.0, hIm = 0.0;
        for (int n = 0; n < length; ++n) {
            hRe += taps[n] * phasorRe;
            hIm += taps[n] * phasorIm;
            const double re = phasorRe * turnRe - phasorIm * turnIm;
            phasorIm = phasorRe * turnIm + phasorIm * turnRe;
            phasorRe = re;
        }
        power += hRe * hRe + hIm * hIm;
    }
    return std::sqrt(power / points);
}
