#include "dsp/BiquadDesign.h"

#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kLn10 = 2.30258509299404568402;
} // namespace

void BiquadDesign(BiquadCoefficients& c, BiquadType type, double rate, float frequency, float gainDb,
    float q, float bandwidth, BandwidthRule rule)
{
    if (!(rate > 0.0) || !(frequency > 0.0f) || !(frequency < rate / 2.0))
        return;

    // Amplitude at the centre is A^2, i.e. A = 10^(gainDb / 40).
    const double A = std::exp(kLn10 * static_cast<double>(gainDb) / 40.0);
    const double w = 2.0 * kPi * static_cast<double>(frequency) / rate;
    const double sn = std::sin(w);
    const double cs = std::cos(w);

    double alpha = 0.0;
    if (bandwidth > 0.0f) {
        const double halfBandwidth = kLn2 / 2.0 * static_cast<double>(bandwidth);
        alpha = rule == BandwidthRule::Equaliser ? sn * std::sin(halfBandwidth)
                                                 : sn * std::sin(halfBandwidth * w / sn);
    }
    if (q > 0.0f)
        alpha = sn / (2.0 * static_cast<double>(q));

    switch (type) {
    case BiquadType::Peaking:
        c.b0 = static_cast<float>(1.0 + alpha * A);
        c.b1 = static_cast<float>(-2.0 * cs);
        c.b2 = static_cast<float>(1.0 - alpha * A);
        c.a0 = static_cast<float>(1.0 + alpha / A);
        c.a1 = static_cast<float>(-2.0 * cs);
        c.a2 = static_cast<float>(1.0 - alpha / A);
        break;
    case BiquadType::Notch:
        c.b0 = 1.0f;
        c.b1 = static_cast<float>(-2.0 * cs);
        c.b2 = 1.0f;
        c.a0 = static_cast<float>(1.0 + alpha);
        c.a1 = static_cast<float>(-2.0 * cs);
        c.a2 = static_cast<float>(1.0 - alpha);
        break;
    }

    c.nb0 = c.b0 / c.a0;
    c.nb1 = c.b1 / c.a0;
    c.nb2 = c.b2 / c.a0;
    c.na1 = c.a1 / c.a0;
    c.na2 = c.a2 / c.a0;
}
