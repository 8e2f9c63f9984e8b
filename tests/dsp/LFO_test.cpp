#include "dsp/LFO.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int kRate = 44100;
constexpr int kSine = 0;
constexpr int kTriangle = 1;
constexpr int kRampDown = 4;

// Runs the 32 calls up to and including the first refresh; returns its value.
float firstRefresh(LFO& lfo)
{
    float v = 0.0f;
    for (int i = 0; i < 32; ++i)
        v = lfo.next(0);
    return v;
}

} // namespace

TEST(LFOTables, SineAndTriangleShapes)
{
    LFO lfo(kRate);
    EXPECT_FLOAT_EQ(lfo.tableValue(kSine, 0), 0.0f);
    EXPECT_FLOAT_EQ(lfo.tableValue(kSine, 2048), 0.5f);
    EXPECT_FLOAT_EQ(lfo.tableValue(kSine, 4096), 1.0f);
    for (int m = 0; m < LFO::kTableSize; m += 97) {
        const double s = (std::sin(2.0 * 3.14159265358979323846 * (m / 8192.0 - 0.25)) + 1.0) * 0.5;
        EXPECT_EQ(lfo.tableValue(kSine, m), static_cast<float>(s)) << "m=" << m;
    }
    EXPECT_EQ(lfo.tableValue(kTriangle, 1024), 0.25f);
    EXPECT_EQ(lfo.tableValue(kTriangle, 4096), 1.0f);
    EXPECT_EQ(lfo.tableValue(kTriangle, 8191), 1.0f / 4096.0f);
}

TEST(LFORefresh, ZeroFor31CallsThenFirstTableValue)
{
    LFO lfo(kRate);
    lfo.setDepth(1.0f);
    lfo.setRate(1.0f);
    for (int i = 0; i < 31; ++i)
        ASSERT_EQ(lfo.next(0), 0.0f) << "call " << i + 1;
    const int index = static_cast<int>(32.0 * lfo.getIncrement(0) * 8192.0);
    ASSERT_GT(index, 0);
    EXPECT_EQ(lfo.next(0), lfo.tableValue(kSine, index));
}

TEST(LFORefresh, OutputHoldsBetweenRefreshes)
{
    LFO lfo(kRate);
    lfo.setDepth(1.0f);
    lfo.setShape(static_cast<float>(kTriangle));
    lfo.setRate(1.0f);
    const float first = firstRefresh(lfo);
    for (int call = 33; call <= 63; ++call)
        ASSERT_EQ(lfo.next(0), first) << "call " << call;
    const int index = static_cast<int>(64.0 * lfo.getIncrement(0) * 8192.0);
    EXPECT_EQ(lfo.next(0), lfo.tableValue(kTriangle, index));
    EXPECT_GT(lfo.tableValue(kTriangle, index), first);
}

TEST(LFORefresh, DepthZeroGivesConstantHalf)
{
    for (int shape = 0; shape < LFO::kShapes; ++shape) {
        LFO lfo(kRate);
        lfo.setShape(static_cast<float>(shape));
        lfo.setRate(1.0f);
        for (int i = 0; i < 31; ++i)
            lfo.next(0);
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(lfo.next(0), 0.5f) << "shape " << shape << " call " << i + 32;
    }
}

TEST(LFORefresh, DepthScalingClampAndShapeTruncation)
{
    LFO half(kRate); // ramp down at phase 0 reads 1: 1 * 0.5 + 0.5 * 0.5
    half.setShape(static_cast<float>(kRampDown));
    half.setDepth(0.5f);
    EXPECT_EQ(firstRefresh(half), 0.75f);

    LFO high(kRate); // 1 * 2 + (1 - 2) * 0.5 = 1.5, clamped
    high.setShape(static_cast<float>(kRampDown));
    high.setDepth(2.0f);
    EXPECT_EQ(firstRefresh(high), 1.0f);
    LFO low(kRate); // 0 * 2 + (1 - 2) * 0.5 = -0.5, clamped
    low.setDepth(2.0f);
    EXPECT_EQ(firstRefresh(low), 0.0f);

    // Shape 5 names no table: the output is not refreshed. -0.5 truncates to the sine.
    high.setDepth(0.0f);
    high.setShape(5.0f);
    EXPECT_EQ(firstRefresh(high), 1.0f);
    high.setShape(-0.5f);
    EXPECT_EQ(firstRefresh(high), 0.5f);
}

TEST(LFORate, ExtremesGive5And650CyclesPerMinute)
{
    // Measured as upward crossings of the mid level during one minute of samples.
    const int expected[2] = {5, 650};
    for (int end = 0; end < 2; ++end) {
        LFO lfo(kRate);
        lfo.setDepth(1.0f);
        lfo.setRate(static_cast<float>(end));
        EXPECT_NEAR(lfo.getRate() * 60.0f, static_cast<float>(expected[end]), 1e-3f);
        EXPECT_EQ(lfo.getIncrement(5), static_cast<double>(lfo.getRate() / 44100.0f));
        int cycles = 0;
        float previous = lfo.next(0);
        for (long i = 1; i < 60L * kRate; ++i) {
            const float v = lfo.next(0);
            cycles += previous < 0.5f && v >= 0.5f;
            previous = v;
        }
        // The phase restarts at 0 instead of wrapping, so a period is rounded up to whole
        // samples: 650 per minute may come out one short.
        EXPECT_GE(cycles, expected[end] - (end == 1 ? 1 : 0));
        EXPECT_LE(cycles, expected[end]);
    }
}

TEST(LFORate, PhaseRestartsAtZeroInsteadOfWrapping)
{
    // Increment about 0.3: phases 0.3, 0.6, 0.9, then 1.2 restarts at 0, so every fourth
    // call sits at phase 0. Call 32 reads ramp down at 0 (value 1); a wrapped phase would
    // be at 0.6 there (value 0.4).
    LFO lfo(kRate);
    lfo.setShape(static_cast<float>(kRampDown));
    lfo.setDepth(1.0f);
    lfo.setRate((0.3f * 44100.0f * 60.0f - 5.0f) / 645.0f);
    ASSERT_NEAR(lfo.getIncrement(0), 0.3, 1e-6);
    EXPECT_EQ(firstRefresh(lfo), 1.0f);
    EXPECT_EQ(firstRefresh(lfo), 1.0f);
}

TEST(LFOSettings, RawRateAndMultiplierLeaveTheOscillator)
{
    LFO lfo(0); // 0 selects the default rate
    EXPECT_EQ(lfo.getDesignSampleRate(), 44100);
    EXPECT_EQ(lfo.getMultiplier(), 0.5f);
    lfo.setRate(1.0f);
    const double increment = lfo.getIncrement(0);
    lfo.setRateRaw(120.0f);
    EXPECT_EQ(lfo.getRate(), 2.0f);
    EXPECT_EQ(lfo.getIncrement(0), increment);
    lfo.setMultiplier(11);
    lfo.setMultiplier(12); // ignored
    EXPECT_EQ(lfo.getMultiplier(), 64.0f);
}

TEST(LFOSettings, BadIncrementsAndChannelsStayInBounds)
{
    LFO lfo(kRate);
    lfo.setDepth(1.0f);
    lfo.setRate(-1.0f); // negative increment: the phase restarts at 0 every call
    EXPECT_EQ(firstRefresh(lfo), lfo.tableValue(kSine, 0));
    lfo.setRate(std::nanf(""));
    for (int i = 0; i < 64; ++i) {
        const float v = lfo.next(0);
        ASSERT_TRUE(v >= 0.0f && v <= 1.0f);
    }
    const float last = lfo.next(0);
    EXPECT_EQ(lfo.next(-1), last);
    EXPECT_EQ(lfo.next(LFO::kChannels), last);
}
