// The converters between a host's rate and the engine's 44100 Hz: a round trip is a pure
// delay of the stated number of host frames, flat to 18 kHz; what lies above the engine's
// band is rejected by more than 100 dB on the way down, and images by as much on the way up;
// and the output does not depend on how the frames are cut into calls.

#include "dsp/RateConversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kEngineRate = 44100;

// 48 and 96 kHz (160 and 320 exact rows), 88.2 kHz (2 rows), the highest rate the plug-in
// takes (2560 rows), and one whose fractions outnumber the rows, so taps are blended.
const int kRates[] = {48000, 88200, 96000, 768000, 50021};

double toDb(double ratio)
{
    return 20.0 * std::log10(ratio);
}

std::vector<float> sine(double frequency, int rate, std::size_t frames, double amplitude = 0.5)
{
    std::vector<float> x(frames);
    for (std::size_t n = 0; n < frames; ++n)
        x[n] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * static_cast<double>(n) / rate));
    return x;
}

// The part of y[begin, begin + rate / 4) that is a sine at `frequency` delayed by `delay`
// frames (a least-squares fit): its amplitude, its phase against that delayed sine, and the
// level of whatever else is there, all relative to `amplitude`.
struct SineFit {
    double gain, phase, residualDb;
};

SineFit fitSine(const std::vector<float>& y, std::size_t begin, int rate, double frequency, double delay,
                double amplitude)
{
    const int frames = rate / 4;
    auto phaseAt = [&](int n) { return 2.0 * kPi * frequency * (static_cast<double>(begin + n) - delay) / rate; };
    double ss = 0.0, cc = 0.0, sc = 0.0, ys = 0.0, yc = 0.0;
    for (int n = 0; n < frames; ++n) {
        const double sn = std::sin(phaseAt(n)), cs = std::cos(phaseAt(n)), v = y[begin + n];
        ss += sn * sn;
        cc += cs * cs;
        sc += sn * cs;
        ys += v * sn;
        yc += v * cs;
    }
    const double determinant = ss * cc - sc * sc;
    const double s = (ys * cc - yc * sc) / determinant, c = (yc * ss - ys * sc) / determinant;
    double residual = 0.0;
    for (int n = 0; n < frames; ++n) {
        const double e = y[begin + n] - (s * std::sin(phaseAt(n)) + c * std::cos(phaseAt(n)));
        residual += e * e;
    }
    const double rms = std::sqrt(residual / frames);
    return {std::hypot(s, c) / amplitude, std::atan2(c, s), toDb(rms / (amplitude / std::sqrt(2.0)))};
}

// Runs `in` through `run`, which converts `n` frames at a time, in pieces of the given
// lengths, repeated until everything has gone through.
void inPieces(std::size_t total, const std::vector<int>& lengths, const std::function<void(std::size_t, int)>& run)
{
    std::size_t done = 0;
    for (std::size_t k = 0; done < total; ++k) {
        const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(lengths[k % lengths.size()]),
                                                              total - done));
        run(done, n);
        done += static_cast<std::size_t>(n);
    }
}

// Host frames down to the engine's rate and straight back up, as the plug-in runs them
// with the engine between; `chunk` at a time (at most 256).
std::vector<float> roundTrip(const ResamplingKernel& kernel, const std::vector<float>& x,
                             const std::vector<int>& chunks = {256})
{
    constexpr int kMaxChunk = 256;
    DownConverter down(kernel);
    UpConverter up(kernel, kernel.roundTripDelay(), kMaxChunk);
    std::vector<float> engine(kMaxChunk + 1), y(x.size()), right(kMaxChunk);
    inPieces(x.size(), chunks, [&](std::size_t start, int n) {
        const int m = down.process(x.data() + start, n, engine.data());
        up.push(engine.data(), engine.data(), m);
        up.pull(y.data() + start, right.data(), n);
    });
    return y;
}

}  // namespace

TEST(RateConversion, RoundTripIsAPureDelayFlatTo18kHz)
{
    for (int rate : kRates) {
        const ResamplingKernel kernel(rate);
        const int delay = kernel.roundTripDelay();
        // The stated delay: the lowpass's half length each way, on the host's grid.
        EXPECT_EQ(delay, static_cast<int>(std::ceil(68.0 * rate / kEngineRate))) << rate;
        for (double frequency : {20.0, 1000.0, 6000.0, 12345.0, 16000.0, 18000.0}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, a sine at " << frequency << " Hz");
            const std::vector<float> x = sine(frequency, rate, static_cast<std::size_t>(rate / 4 + rate / 10));
            const std::vector<float> y = roundTrip(kernel, x);
            const SineFit fit = fitSine(y, static_cast<std::size_t>(rate / 10), rate, frequency, delay, 0.5);
            EXPECT_NEAR(toDb(fit.gain), 0.0, 0.1);
            EXPECT_NEAR(fit.phase, 0.0, 1e-6);  // no phase shift beyond the whole frames
            EXPECT_LT(fit.residualDb, -100.0);  // no images or aliases of the sine
        }
    }
}

TEST(RateConversion, DownConversionRejectsWhatLiesAboveTheEngineBand)
{
    for (int rate : kRates) {
        const ResamplingKernel kernel(rate);
        for (double frequency : {22050.0, 22600.0, 23999.0, 0.5 * rate - 10.0}) {
            if (frequency >= 0.5 * rate)
                continue;
            SCOPED_TRACE(testing::Message() << rate << " Hz, a sine at " << frequency << " Hz");
            const std::vector<float> x = sine(frequency, rate, static_cast<std::size_t>(rate / 2));
            DownConverter down(kernel);
            std::vector<float> engine(x.size() + 1);
            const int m = down.process(x.data(), static_cast<int>(x.size()), engine.data());
            double sum = 0.0;
            for (int i = kEngineRate / 100; i < m; ++i)
                sum += static_cast<double>(engine[static_cast<std::size_t>(i)]) * engine[static_cast<std::size_t>(i)];
            const double rms = std::sqrt(sum / (m - kEngineRate / 100));
            EXPECT_LT(toDb(rms / (0.5 / std::sqrt(2.0))), -100.0);
        }
    }
}

TEST(RateConversion, UpConversionAddsNoImages)
{
    for (int rate : kRates) {
        const ResamplingKernel kernel(rate);
        for (double frequency : {1000.0, 15000.0, 18000.0, 21000.0}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, a sine at " << frequency << " Hz");
            const std::vector<float> e = sine(frequency, kEngineRate, kEngineRate / 4 + kEngineRate / 10);
            UpConverter up(kernel, 0, 256);
            const std::size_t frames = static_cast<std::size_t>(rate / 4 + rate / 20);
            std::vector<float> y(frames), right(frames);
            std::size_t pushed = 0;
            inPieces(frames, {256}, [&](std::size_t start, int n) {
                // Every engine frame the next host frames need, and more.
                const auto upTo = static_cast<std::size_t>(static_cast<double>(start + n) * kEngineRate / rate) + 40;
                const std::size_t need = std::min(e.size(), upTo);
                up.push(e.data() + pushed, e.data() + pushed, static_cast<int>(need - pushed));
                pushed = need;
                up.pull(y.data() + start, right.data() + start, n);
            });
            const SineFit fit = fitSine(y, static_cast<std::size_t>(rate / 20), rate, frequency, 0.0, 0.5);
            EXPECT_LT(fit.residualDb, -100.0);
            EXPECT_EQ(y, right);
        }
    }
}

TEST(RateConversion, OutputDoesNotDependOnHowFramesAreCutIntoCalls)
{
    for (int rate : {48000, 50021}) {
        const ResamplingKernel kernel(rate);
        std::vector<float> x(static_cast<std::size_t>(rate / 4));
        std::uint32_t noise = 1;
        for (float& v : x) {
            noise = noise * 1664525u + 1013904223u;
            v = static_cast<float>(noise >> 8) / 16777216.0f - 0.5f;
        }
        const std::vector<float> whole = roundTrip(kernel, x);
        EXPECT_EQ(roundTrip(kernel, x, {1}), whole) << rate;
        EXPECT_EQ(roundTrip(kernel, x, {7, 250, 1, 13, 256, 64}), whole) << rate;
    }
}
