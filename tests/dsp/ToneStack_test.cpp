#include "dsp/ToneStack.h"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "SineMeasurement.h"

using namespace sine_measurement;

namespace {

constexpr int kRate = 44100;

double stackGainDb(ToneStack& stack, double frequency, int channel = 0)
{
    return toDb(sineGain([&](float x) { return stack.process(channel, x); }, frequency, kRate));
}

ToneStack centredStack()
{
    ToneStack stack(kRate);
    stack.setBass(0.5f);
    stack.setMiddle(0.5f);
    stack.setTreble(0.5f);
    return stack;
}

} // namespace

TEST(ToneStack, ControlsAtHalfPassTheSignalUnchanged)
{
    for (double frequency : {40.0, 80.0, 600.0, 3000.0, 12000.0}) {
        ToneStack stack = centredStack();
        EXPECT_NEAR(stackGainDb(stack, frequency), 0.0, 0.001) << frequency;
    }

    // Broadband: what remains is float rounding in the section sums, recirculated by the
    // low-frequency poles; well below -70 dB.
    ToneStack stack = centredStack();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    double error = 0.0;
    double power = 0.0;
    for (int n = 0; n < 44100; ++n) {
        const float x = sample(random);
        const double e = stack.process(0, x) - x;
        error += e * e;
        power += static_cast<double>(x) * x;
    }
    EXPECT_LT(std::sqrt(error / power), 3e-4);

    // Silence stays at the scale of the denormal offsets.
    ToneStack quiet = centredStack();
    float y = 1.0f;
    for (int n = 0; n < 1000; ++n)
        y = quiet.process(0, 0.0f);
    EXPECT_GT(y, 0.0f);
    EXPECT_LT(y, 1e-20f);
}

TEST(ToneStack, BassAtFullGivesTwelveDbAt80Hz)
{
    ToneStack stack = centredStack();
    stack.setBass(1.0f);
    EXPECT_NEAR(stackGainDb(stack, 80.0), 12.0, 0.1);
    EXPECT_NEAR(stackGainDb(stack, 10000.0), 0.0, 0.1);
}

TEST(ToneStack, MiddleAndTrebleReachTheirExtremes)
{
    ToneStack middleCut = centredStack();
    middleCut.setMiddle(0.0f);
    EXPECT_NEAR(stackGainDb(middleCut, 600.0), -10.0, 0.1);

    ToneStack trebleBoost = centredStack();
    trebleBoost.setTreble(1.0f);
    EXPECT_NEAR(stackGainDb(trebleBoost, 3000.0), 12.0, 0.1);

    ToneStack bassCut = centredStack();
    bassCut.setBass(0.0f);
    EXPECT_NEAR(stackGainDb(bassCut, 80.0), -12.0, 0.1);
}

TEST(ToneStack, VoicingNotchesAt1500And500Hz)
{
    ToneStack b = centredStack();
    b.setVoicing(1500.0f, 1.0f, true);
    EXPECT_LT(stackGainDb(b, 1500.0), -60.0);
    EXPECT_GT(stackGainDb(b, 500.0), -3.0);
    EXPECT_NEAR(stackGainDb(b, 100.0), 0.0, 0.1);

    ToneStack c = centredStack();
    c.setVoicing(500.0f, 1.0f, true);
    EXPECT_LT(stackGainDb(c, 500.0), -60.0);
    EXPECT_GT(stackGainDb(c, 1500.0), -3.0);
}

TEST(ToneStack, VoicingOffSkipsTheNotch)
{
    ToneStack a = centredStack();
    a.setVoicing(1500.0f, 1.0f, false);
    EXPECT_NEAR(stackGainDb(a, 1500.0), 0.0, 0.01);
    // A new stack starts with the notch out as well.
    ToneStack fresh = centredStack();
    EXPECT_NEAR(stackGainDb(fresh, 1000.0), 0.0, 0.01);
}

TEST(ToneStack, ChannelsKeepSeparateMemories)
{
    ToneStack stack = centredStack();
    stack.setBass(1.0f);
    ToneStack alone = centredStack();
    alone.setBass(1.0f);
    for (int n = 0; n < 2000; ++n) {
        const float x = std::sin(0.0114f * n);
        stack.process(3, 0.9f * std::cos(0.3f * n)); // traffic on another channel
        ASSERT_EQ(stack.process(0, x), alone.process(0, x)) << n;
    }
    // Channels outside 0..5 are passed through untouched.
    EXPECT_EQ(stack.process(6, 0.5f), 0.5f);
    EXPECT_EQ(stack.process(-1, 0.5f), 0.5f);
}
