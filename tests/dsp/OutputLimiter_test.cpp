#include "dsp/OutputLimiter.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

float limit(OutputLimiter& limiter, float x)
{
    limiter.process(x);
    return x;
}

// The limiter's polynomial, with the small offset it adds first.
float softClip(float x)
{
    x += 1e-24f;
    return x - x * x * x * 0.16666667f;
}

} // namespace

TEST(OutputLimiter, SilenceStaysAtTheOffsetScale)
{
    OutputLimiter limiter(kRate);
    for (int n = 0; n < 1000; ++n) {
        const float y = limit(limiter, 0.0f);
        ASSERT_GT(y, 0.0f);
        ASSERT_LT(y, 1e-23f);
    }
    // Unity gain kept: a small probe comes out through the polynomial alone.
    EXPECT_FLOAT_EQ(limit(limiter, 0.1f), softClip(0.1f));
}

TEST(OutputLimiter, HalfScaleSinePeaksAtPoint479WithUnityGain)
{
    OutputLimiter limiter(kRate);
    float peak = 0.0f;
    for (int n = 0; n < kRate; ++n) {
        const float x = static_cast<float>(0.5 * std::sin(2.0 * kPi * 441.0 * n / kRate)); // peaks hit exactly
        const float y = limit(limiter, x);
        ASSERT_FLOAT_EQ(y, softClip(x)) << n; // gain stays at 1
        peak = std::max(peak, std::fabs(y));
    }
    EXPECT_NEAR(peak, 0.5f - 0.125f / 6.0f, 1e-6f);
    EXPECT_NEAR(peak, 0.479f, 0.0005f);
}

TEST(OutputLimiter, PolynomialShape)
{
    OutputLimiter limiter(kRate);
    EXPECT_NEAR(limit(limiter, 1.0f), 0.8333333f, 1e-6f);
    EXPECT_NEAR(limit(limiter, std::sqrt(2.0f)), 0.9428090f, 1e-6f);
}

TEST(OutputLimiter, LoudInputReducesGainInTheSameSample)
{
    OutputLimiter limiter(kRate);
    // 3.0 folds to 3 - 27 / 6 = -1.5; the table between 1/1 and 1/2 gives 0.75.
    EXPECT_NEAR(limit(limiter, 3.0f), -1.125f, 1e-6f);
    // A much louder one: |x - x^3/6| = 1328.33, gain 1/1328.33 interpolated, output about -1.
    EXPECT_NEAR(limit(limiter, 20.0f), -1.0f, 1e-3f);
}

TEST(OutputLimiter, GainRecoversWithin75Milliseconds)
{
    OutputLimiter limiter(kRate);
    const double r = limiter.releaseCoefficient();
    EXPECT_NEAR(r, 1.0 - std::pow(0.001, 1.0 / (kRate * 0.075)), 1e-9);

    limit(limiter, 3.0f); // gain drops to 0.75
    // A constant probe shows the gain: output / polynomial.
    const float probe = 0.1f;
    const double initialGap = 0.25;
    const int samples75ms = static_cast<int>(std::lround(kRate * 0.075));
    double gapAtHalf = 0.0;
    double gapAtFull = 0.0;
    double previousGain = 0.75;
    for (int n = 1; n <= samples75ms; ++n) {
        const double gain = limit(limiter, probe) / softClip(probe);
        ASSERT_GT(gain, previousGain - 1e-6) << n; // rising only
        previousGain = gain;
        if (n == samples75ms / 2)
            gapAtHalf = (1.0 - gain) / initialGap;
        if (n == samples75ms)
            gapAtFull = (1.0 - gain) / initialGap;
    }
    // Exponential: sqrt(0.001) of the gap left halfway, 0.1 % at 75 ms.
    EXPECT_NEAR(gapAtHalf, std::sqrt(0.001), 0.0005);
    EXPECT_NEAR(gapAtFull, 0.001, 0.00005);
}

TEST(OutputLimiter, HugeOrInvalidMagnitudesUseTheLastTableEntry)
{
    OutputLimiter limiter(kRate);
    // 100 folds to about -166567: beyond 32760, so the gain is 1 / 32760.
    const float folded = softClip(100.0f);
    EXPECT_NEAR(limit(limiter, 100.0f), folded / 32760.0f, 1e-3f);

    // A NaN sample must not index outside the table: it is treated as the largest
    // magnitude, so the gain drops to 1 / 32760, stays finite and recovers from there.
    OutputLimiter afterNan(kRate);
    float bad = std::nanf("");
    afterNan.process(bad);
    EXPECT_TRUE(std::isnan(bad));
    const float y = limit(afterNan, 0.1f);
    EXPECT_TRUE(std::isfinite(y));
    EXPECT_GT(y, 0.0f);
    EXPECT_LT(y, softClip(0.1f) * 0.01f);
}

TEST(OutputLimiter, ReleaseTimeSetsTheRecoveryCoefficient)
{
    OutputLimiter limiter(kRate);
    limiter.setRelease(10.0f);
    EXPECT_EQ(limiter.releaseCoefficient(), static_cast<float>(1.0 - std::pow(0.001, 1.0 / 441.0)));

    // No release time: the gain is back at 1 on the next sample.
    limiter.setRelease(0.0f);
    EXPECT_EQ(limiter.releaseCoefficient(), 1.0f);
    limit(limiter, 3.0f);
    EXPECT_FLOAT_EQ(limit(limiter, 0.1f), softClip(0.1f));
}
