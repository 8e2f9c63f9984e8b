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

    float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a0 = 1.0f, a1 = 0.0f, a2 = 0.0f;
    switch (type) {
    case BiquadType::Peaking:
        b0 = static_cast<float>(1.0 + alpha * A);
        b1 = static_cast<float>(-2.0 * cs);
        b2 = static_cast<float>(1.0 - alpha * A);
        a0 = static_cast<float>(1.0 + alpha / A);
        a1 = static_cast<float>(-2.0 * cs);
        a2 = static_cast<float>(1.0 - alpha / A);
        break;
    case BiquadType::Notch:
        b0 = 1.0f;
        b1 = static_cast<float>(-2.0 * cs);
        b2 = 1.0f;
        a0 = static_cast<float>(1.0 + alpha);
        a1 = static_cast<float>(-2.0 * cs);
        a2 = static_cast<float>(1.0 - alpha);
        break;
    }

    const uint32_t version = c.beginStore();
    c.b0 = b0;
    c.b1 = b1;
    c.b2 = b2;
    c.a0 = a0;
    c.a1 = a1;
    c.a2 = a2;
    c.storeNormalized(b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0);
    c.endStore(version);
}
