#include "dsp/Chorus.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "dsp/DspConstants.h"

namespace {

constexpr int kRate = 44100;

// A chorus whose oscillator value is set by the test, so that any delay can be chosen:
// delay = 1 + 70 * g samples.
class ScriptedChorus : public Chorus {
public:
    float g = 0.0f;
    float next(int) override { return g; }
};

float run(Chorus& chorus, float x)
{
    float out = 0.0f;
    chorus.process(x, &out);
    return out;
}

float stored(float x)
{
    return x + kAntiDenormalSmall;
}

} // namespace

TEST(ChorusSetup, SpeedUsesThreeHalvesPower)
{
    Chorus chorus(kRate);
    chorus.setSpeed(0.25f); // 0.25^1.5 = 0.125
    EXPECT_EQ(chorus.getRate(), (0.125f * 645.0f + 5.0f) / 60.0f);
    EXPECT_EQ(chorus.getShape(), 1.0f); // triangle
    EXPECT_EQ(chorus.getDepth(), 0.5f);
}

TEST(ChorusDelay, OscillatorZeroGivesOneSampleDelay)
{
    // A new oscillator reads 0 for its first 31 calls.
    Chorus chorus(kRate);
    float previous = 0.0f;
    for (int i = 0; i < 31; ++i) {
        const float x = std::sin(0.37f * static_cast<float>(i)) + 0.1f * static_cast<float>(i);
        float out = 0.0f;
        const float g = chorus.process(x, &out);
        ASSERT_EQ(g, 0.0f);
        EXPECT_EQ(out, previous + 0.5f * stored(x)) << "sample " << i;
        previous = stored(x);
    }
}

TEST(ChorusDelay, DepthZeroHoldsThirtySixSamples)
{
    Chorus chorus(kRate);
    chorus.setDepth(0.0f);
    chorus.setSpeed(1.0f);
    for (int i = 0; i < 40; ++i)
        run(chorus, 0.0f);
    std::vector<float> out;
    for (int i = 0; i < 100; ++i)
        out.push_back(run(chorus, i == 0 ? 1.0f : 0.0f));
    EXPECT_NEAR(out[0], 0.5f, 1e-6f);
    for (int i = 1; i < 100; ++i)
        EXPECT_NEAR(out[static_cast<size_t>(i)], i == 36 ? 1.0f : 0.0f, 1e-6f) << "sample " << i;
}

TEST(ChorusDelay, FullSwingReachesSeventyOneSamples)
{
    ScriptedChorus chorus;
    chorus.g = 1.0f;
    std::vector<float> out;
    for (int i = 0; i < 200; ++i)
        out.push_back(run(chorus, i == 100 ? 1.0f : 0.0f));
    for (int i = 101; i < 200; ++i)
        EXPECT_NEAR(out[static_cast<size_t>(i)], i == 171 ? 1.0f : 0.0f, 1e-6f) << "sample " << i;
}

TEST(ChorusDelay, CubicInterpolationIsExactForQuadratics)
{
    // Delay 1 + 70 * 0.125 = 9.75 samples. A four-point cubic of this form reproduces a
    // quadratic exactly, so the delayed value is the quadratic at t - 9.75.
    ScriptedChorus chorus;
    chorus.g = 0.125f;
    auto signal = [](double t) { return 0.001 * t * t - 0.05 * t + 0.3; };
    for (int i = 0; i < 300; ++i) {
        const float x = static_cast<float>(signal(i));
        const float out = run(chorus, x);
        if (i >= 20) {
            const double expected = signal(i - 9.75) + 0.5 * x;
            ASSERT_NEAR(out, expected, 2e-5 * (1.0 + std::fabs(expected))) << "sample " << i;
        }
    }
}

TEST(ChorusDelay, RoundingEdgeAtEveryWritePositionNearTheStart)
{
    // Delay k + 1/2048 read at write position k, for every k the sweep can reach: the read
    // position is just below 0 and rounds up to the length, which is sample 0 (holding a 1).
    for (int k = 1; k <= 70; ++k) {
        ScriptedChorus chorus;
        float out = 0.0f;
        chorus.g = 0.0f;
        chorus.process(1.0f, &out);
        for (int i = 1; i < k; ++i)
            chorus.process(0.0f, &out);
        chorus.g = (static_cast<float>(k) - 1.0f + 1.0f / 2048.0f) / 70.0f;
        const float r = static_cast<float>(k) - (chorus.g * 70.0f + 1.0f);
        ASSERT_LT(r, 0.0f) << "k=" << k;
        ASSERT_EQ(r + 44100.0f, 44100.0f) << "k=" << k;
        chorus.process(0.0f, &out);
        EXPECT_EQ(out, stored(1.0f) + 0.5f * stored(0.0f)) << "k=" << k;
    }
}

TEST(ChorusClear, ClearEmptiesTheLineBeforeTheNextSample)
{
    Chorus chorus(kRate);
    chorus.setDepth(0.0f);
    for (int i = 0; i < 40; ++i)
        run(chorus, 0.0f);
    run(chorus, 1.0f); // would come back 36 samples later
    for (int i = 0; i < 10; ++i)
        run(chorus, 0.25f);
    chorus.clear();
    for (int i = 0; i < 100; ++i) {
        const float out = run(chorus, 0.0f);
        ASSERT_LT(std::fabs(out), 1e-20f) << "sample " << i;
    }
    // The line works normally afterwards: the delay is unchanged.
    std::vector<float> out;
    for (int i = 0; i < 40; ++i)
        out.push_back(run(chorus, i == 0 ? 1.0f : 0.0f));
    EXPECT_NEAR(out[36], 1.0f, 1e-6f);
}

TEST(ChorusClear, ClearFromAnotherThreadKeepsProcessingBounded)
{
    Chorus chorus(kRate);
    chorus.setSpeed(1.0f);
    chorus.setDepth(1.0f);
    std::atomic<bool> done{false};
    std::atomic<int> clears{0};
    std::thread clearer([&] {
        for (; !done.load(); ++clears) {
            chorus.clear();
            chorus.setSpeed(0.7f);
        }
    });
    bool bounded = true;
    // Until the other thread has cleared many times: the two certainly overlap.
    for (int i = 0; i < 200000 || clears < 20000; ++i) {
        const float out = run(chorus, (i & 1) ? 1.0f : -1.0f);
        if (!(std::fabs(out) <= 3.0f))
            bounded = false;
    }
    done = true;
    clearer.join();
    EXPECT_TRUE(bounded);
    chorus.clear();
    EXPECT_LT(std::fabs(run(chorus, 0.0f)), 1e-20f);
}
