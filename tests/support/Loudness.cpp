#include "tests/support/Loudness.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Analogue prototypes of the two stages (the values that reproduce the recommendation's
// 48 kHz coefficients).
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

constexpr double kBlockSeconds = 0.4;
constexpr double kStepSeconds = 0.1;  // 75 % overlap
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kRelativeGateLu = -10.0;

// The K-weighted square of every sample of one channel.
std::vector<double> weightedSquares(const std::vector<float>& x, double rate)
{
    DoubleBiquad shelf(kWeightingShelf(rate)), highPass(kWeightingHighPass(rate));
    std::vector<double> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double y = highPass(shelf(x[i]));
        out[i] = y * y;
    }
    return out;
}

double loudnessOf(double meanSquare)
{
    return -0.691 + 10.0 * std::log10(meanSquare);
}

std::complex<double> sectionResponse(const KWeightingStage& c, double rate, double frequency)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * frequency / rate);
    return (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1);
}

}  // namespace

KWeightingStage kWeightingShelf(double rate)
{
    const double k = std::tan(kPi * kShelfHz / rate);
    const double vh = std::pow(10.0, kShelfGainDb / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / kShelfQ + k * k;
    return {(vh + vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / kShelfQ + k * k) / a0,
            2.0 * (k * k - 1.0) / a0, (1.0 - k / kShelfQ + k * k) / a0};
}

KWeightingStage kWeightingHighPass(double rate)
{
    const double k = std::tan(kPi * kHighPassHz / rate);
    const double a0 = 1.0 + k / kHighPassQ + k * k;
    return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / kHighPassQ + k * k) / a0};
}

double kWeightingGainDb(double rate, double frequency)
{
    const std::complex<double> h = sectionResponse(kWeightingShelf(rate), rate, frequency) *
                                   sectionResponse(kWeightingHighPass(rate), rate, frequency);
    return 20.0 * std::log10(std::abs(h));
}

double integratedLoudness(const std::vector<float>& left, const std::vector<float>& right, double rate)
{
    const std::vector<double> l = weightedSquares(left, rate);
    const std::vector<double> r = weightedSquares(right, rate);
    const std::size_t frames = std::min(l.size(), r.size());
    const auto block = static_cast<std::size_t>(std::lround(kBlockSeconds * rate));
    const auto step = static_cast<std::size_t>(std::lround(kStepSeconds * rate));

    // Mean square of each block, both channels summed (each weighs 1).
    std::vector<double> blocks;
    for (std::size_t start = 0; start + block <= frames; start += step) {
        double sum = 0.0;
        for (std::size_t i = start; i < start + block; ++i)
            sum += l[i] + r[i];
        blocks.push_back(sum / static_cast<double>(block));
    }

    const auto gatedMean = [&](double gateLufs, std::size_t& count) {
        double sum = 0.0;
        count = 0;
        for (double z : blocks)
            if (z > 0.0 && loudnessOf(z) > gateLufs) {
                sum += z;
                ++count;
            }
        return count ? sum / static_cast<double>(count) : 0.0;
    };
    std::size_t count = 0;
    const double absoluteMean = gatedMean(kAbsoluteGateLufs, count);
    if (count == 0)
        return -std::numeric_limits<double>::infinity();
    const double relativeGate = loudnessOf(absoluteMean) + kRelativeGateLu;
    return loudnessOf(gatedMean(std::max(kAbsoluteGateLufs, relativeGate), count));
}
