#include "dsp/Compressor.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int kRate = 44100;

// One-pole coefficient of the table entry i: a time constant of i / 256 seconds.
double tableCoefficient(int i) { return std::exp(-256.0 / (i * static_cast<double>(kRate))); }

double dbOf(double amplitude) { return 20.0 * std::log10(amplitude); }
double amplitudeOf(double db) { return std::pow(10.0, db / 20.0); }

// The plug-in's control ranges; threshold 0.5 is -20 dB.
Compressor makeCompressor(float ratioControl, float makeupControl = 0.5f)
{
    Compressor c(kRate);
    c.setThreshold(0.5f);
    c.setAttack(Compressor::kAttackMinMs, Compressor::kAttackMaxMs, 0.0f);
    c.setRelease(Compressor::kReleaseMinMs, Compressor::kReleaseMaxMs, 0.0f);
    c.setRatio(Compressor::kRatioMin, Compressor::kRatioMax, ratioControl);
    c.setMakeup(makeupControl);
    return c;
}

// Runs a constant level long enough for detector and gain to settle; returns the gain.
float settle(Compressor& c, float x, int channel = 0)
{
    float y = 0.0f;
    float g = 0.0f;
    for (int i = 0; i < 2 * kRate; ++i)
        g = c.process(channel, x, y);
    return g;
}

class CompressorTables : public ::testing::Test {
protected:
    const Compressor compressor{kRate};
};

} // namespace

TEST_F(CompressorTables, DecibelToLinearFollowsTheCurve)
{
    for (float db = -59.0f; db <= 23.0f; db += 0.37f)
        ASSERT_NEAR(compressor.dbToLinear(db), amplitudeOf(db), 1e-4 * amplitudeOf(db)) << db;
    EXPECT_NEAR(compressor.dbToLinear(0.0f), 1.0f, 2e-5f);
    EXPECT_EQ(compressor.dbToLinear(-70.0f), 0.0f);
    // Above the table the last usable entry is held.
    const double top = amplitudeOf(1022 * 84.0 / 1024 - 60);
    EXPECT_NEAR(compressor.dbToLinear(40.0f), top, 1e-6 * top);
    EXPECT_EQ(compressor.dbToLinear(40.0f), compressor.dbToLinear(200.0f));
}

TEST_F(CompressorTables, LinearToDecibelFollowsTheCurve)
{
    for (float x = 0.1f; x <= 8.9f; x += 0.013f)
        ASSERT_NEAR(compressor.linearToDb(x), dbOf(x), 0.01) << x;
    EXPECT_NEAR(compressor.linearToDb(0.5f), -6.0206f, 0.005f);
    EXPECT_NEAR(compressor.linearToDb(20.0f), dbOf(1023 * 9.0 / 1024), 1e-4);
    // Near zero a straight line takes over: about -46 dB at 0 up to the third entry.
    EXPECT_NEAR(compressor.linearToDb(0.0f), -46.0f, 1e-3f);
    const float third = static_cast<float>(dbOf(2 * 9.0 / 1024));
    EXPECT_NEAR(compressor.linearToDb(2 * 9.0f / 1024), third, 1e-3f);
    EXPECT_LT(compressor.linearToDb(0.001f), compressor.linearToDb(0.01f));
}

TEST_F(CompressorTables, BoundaryTieRoundsToEvenInEveryRoundingMode)
{
    // -59.91796875 dB is exactly one table step above -60: the index before the bottom
    // check is 0.5, which rounds to the even 0, so the result is silence. Just above, the
    // first entries are interpolated.
    volatile float tie = -59.91796875f;
    const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    const int saved = std::fegetround();
    for (int mode : modes) {
        std::fesetround(mode);
        const float atTie = compressor.dbToLinear(tie);
        std::fesetround(saved);
        EXPECT_EQ(atTie, 0.0f) << "rounding mode " << mode;
    }
    EXPECT_NEAR(compressor.dbToLinear(-59.9f), amplitudeOf(-59.9), 1e-6);
}

TEST(CompressorControls, AttackControlZeroIsTwoMilliseconds)
{
    Compressor c = makeCompressor(0.0f);
    EXPECT_NEAR(c.getAttackCoefficient(), tableCoefficient(1), 1e-7);
    EXPECT_FLOAT_EQ(c.getSmoothing(), 0.25f * c.coefficientTableValue(1));

    // A full-scale step charges the detector as 1 - c^n.
    const double coefficient = tableCoefficient(1);
    float y = 0.0f;
    for (int n = 1; n <= 400; ++n) {
        c.process(0, 1.0f, y);
        ASSERT_NEAR(c.getEnvelope(0), 1.0 - std::pow(coefficient, n), 1e-4) << n;
    }

    c.setAttack(Compressor::kAttackMinMs, Compressor::kAttackMaxMs, 1.0f); // 200 ms
    EXPECT_NEAR(c.getAttackCoefficient(), tableCoefficient(51), 1e-7);
    // Below 2 ms the detector follows a rise at once and the gain is not smoothed.
    c.setAttack(0.0f, 200.0f, 0.0f);
    EXPECT_EQ(c.getAttackCoefficient(), 0.0f);
    EXPECT_EQ(c.getSmoothing(), 0.0f);
    c.process(1, 0.7f, y);
    EXPECT_NEAR(c.getEnvelope(1), 0.7f, 1e-7f);
}

TEST(CompressorControls, ReleaseDecaysWithTheTableCoefficient)
{
    Compressor c = makeCompressor(0.0f);
    EXPECT_NEAR(c.getReleaseCoefficient(), tableCoefficient(13), 1e-7); // 50 ms
    c.setRelease(Compressor::kReleaseMinMs, Compressor::kReleaseMaxMs, 1.0f);
    EXPECT_NEAR(c.getReleaseCoefficient(), tableCoefficient(255), 1e-7); // 1000 ms
    c.setRelease(Compressor::kReleaseMinMs, Compressor::kReleaseMaxMs, 0.0f);

    settle(c, 1.0f);
    const double coefficient = tableCoefficient(13);
    float y = 0.0f;
    for (int n = 1; n <= 2000; ++n)
        c.process(0, 0.0f, y);
    EXPECT_NEAR(c.getEnvelope(0), std::pow(coefficient, 2000), 1e-4);
}

TEST(CompressorGain, RatioSetsReductionTenDecibelsOverThreshold)
{
    const float x = static_cast<float>(amplitudeOf(-10.0)); // threshold is -20 dB
    struct Case {
        float control;
        double reductionDb;
    };
    const Case cases[] = {{0.0f, 10.0 / 3.0}, {0.5f, 10.0 * 2.25 / 3.25}, {1.0f, 8.0}};
    for (const Case& k : cases) {
        Compressor c = makeCompressor(k.control);
        const float g = settle(c, x);
        EXPECT_NEAR(-dbOf(g), k.reductionDb, 0.03) << "ratio control " << k.control;
        float y = 0.0f;
        EXPECT_EQ(c.process(0, -x, y), g);
        EXPECT_EQ(y, -x * g); // makeup 0.5 is unity
    }
}

TEST(CompressorGain, SignalsBelowThresholdPassUnchanged)
{
    Compressor c = makeCompressor(1.0f);
    c.setThreshold(0.0f); // 0 dB
    EXPECT_NEAR(c.getThresholdLinear(), 1.0f, 2e-5f);
    EXPECT_EQ(settle(c, 0.9f), 1.0f);
    float y = 0.0f;
    for (int i = 0; i < 1000; ++i) {
        const float x = 0.9f * std::sin(0.03f * i);
        EXPECT_EQ(c.process(0, x, y), 1.0f);
        ASSERT_EQ(y, x);
    }
    // 6 dB over 0 dB at ratio 5: 4.8 dB of reduction.
    EXPECT_NEAR(-dbOf(settle(c, 2.0f)), dbOf(2.0) * 0.8, 0.03);
}

TEST(CompressorGain, MakeupGainIsLinearAroundUnity)
{
    const float x = 0.05f; // below the -20 dB threshold: gain 1
    const struct {
        float control;
        float makeup;
    } cases[] = {{0.0f, 0.0f}, {0.25f, 0.5f}, {0.5f, 1.0f}, {0.75f, 8.5f}, {1.0f, 16.0f}};
    for (const auto& k : cases) {
        Compressor c = makeCompressor(0.0f, k.control);
        ASSERT_EQ(settle(c, x), 1.0f);
        float y = -1.0f;
        c.process(0, x, y);
        EXPECT_FLOAT_EQ(y, x * k.makeup) << "makeup control " << k.control;
    }
}

TEST(CompressorGain, TargetEveryFourthSampleSmoothedByK)
{
    // From construction the target is 0 until the fourth sample computes it; from then on
    // the gain approaches 1 as 1 - k^n.
    Compressor c = makeCompressor(0.0f);
    const double k = 0.25 * tableCoefficient(1);
    float y = 0.0f;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c.process(0, 0.01f, y), 0.0f) << i;
    for (int n = 1; n <= 8; ++n)
        EXPECT_NEAR(c.process(0, 0.01f, y), 1.0 - std::pow(k, n), 1e-6) << n;
}

TEST(CompressorGain, GainComputerKeepsItsCadenceAcrossTheCounterWrap)
{
    // Three samples before the signed limit (where a signed counter would overflow) and
    // three before the unsigned wrap. A falling level keeps the detector, and so the
    // target, moving on every sample; the target may only change where the counter's two
    // low bits are set: samples 2, 6, 10, ... from each seed, on both sides of the limit.
    for (std::uint32_t seed : {0x7FFFFFFDu, 0xFFFFFFFDu}) {
        // Instant attack and no smoothing: the returned gain is the target itself.
        Compressor c = makeCompressor(1.0f);
        c.setAttack(0.0f, 200.0f, 0.0f);
        settle(c, 1.0f);
        float y = 0.0f;
        float previous = c.process(0, 1.0f, y);

        c.setSampleCounter(0, seed);
        for (int i = 0; i < 64; ++i) {
            const float g = c.process(0, 0.2f, y);
            if (i % 4 == 2)
                EXPECT_GT(g, previous) << "seed " << seed << " sample " << i;
            else
                EXPECT_EQ(g, previous) << "seed " << seed << " sample " << i;
            previous = g;
        }
        EXPECT_EQ(c.getSampleCounter(0), static_cast<std::uint32_t>(seed + 64u));
    }
}

TEST(CompressorChannels, ChannelsAreIndependentAndOutOfRangeIsIgnored)
{
    Compressor c = makeCompressor(1.0f);
    const float loud = settle(c, 1.0f, 3);
    EXPECT_LT(loud, 0.5f);
    EXPECT_EQ(c.getEnvelope(0), 0.0f);
    EXPECT_EQ(c.getSampleCounter(0), 0u);
    EXPECT_EQ(settle(c, 0.05f, 0), 1.0f);
    // The single-precision follower settles within a few ulps of its coefficient's reach.
    EXPECT_NEAR(c.getEnvelope(3), 1.0f, 1e-5f);

    for (int channel : {-1, Compressor::kChannels}) {
        float y = 0.0f;
        EXPECT_EQ(c.process(channel, 0.8f, y), 1.0f);
        EXPECT_EQ(y, 0.8f);
        EXPECT_EQ(c.getEnvelope(channel), 0.0f);
    }
    float y = 0.0f;
    EXPECT_EQ(c.process(3, 1.0f, y), loud);
}
