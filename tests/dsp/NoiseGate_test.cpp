#include "dsp/NoiseGate.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int kRate = 44100;

// Threshold control 0.5 puts the threshold at -45 dB.
constexpr float kThresholdControl = 0.5f;
const float kThreshold = static_cast<float>(std::pow(10.0, -45.0 / 20.0));

struct GateRun {
    std::vector<float> out;
    std::vector<float> reading;
};

// Feeds n samples of the constant level x and records outputs and readings.
GateRun feed(NoiseGate& gate, float x, int n)
{
    GateRun run;
    for (int i = 0; i < n; ++i) {
        float y = 0.0f;
        run.reading.push_back(gate.process(x, y));
        run.out.push_back(y);
    }
    return run;
}

// A gate with a fixed -45 dB threshold, closing to silence.
NoiseGate makeGate(float attack, float hold, float release)
{
    NoiseGate gate(kRate);
    gate.setThreshold(kThresholdControl);
    gate.setRange(1.0f);
    gate.setAttack(attack);
    gate.setHold(hold);
    gate.setRelease(release);
    return gate;
}

} // namespace

TEST(NoiseGateLevels, OpensOnlyAtOrAboveThreshold)
{
    NoiseGate below = makeGate(0.0f, 0.0f, 0.01f);
    feed(below, kThreshold * 0.99f, 20000);
    EXPECT_EQ(below.getState(), NoiseGate::kClosed);
    EXPECT_EQ(below.getGain(), 0.0f);

    NoiseGate above = makeGate(0.0f, 0.0f, 0.01f);
    const GateRun run = feed(above, kThreshold * 1.01f, 3);
    EXPECT_EQ(run.reading[0], 0.0f); // closed -> opening, one transition per sample
    EXPECT_EQ(run.reading[1], 1.0f); // zero attack time opens in one sample
    EXPECT_EQ(above.getState(), NoiseGate::kHolding);
}

TEST(NoiseGateLevels, ThresholdZeroKeepsGateOpenAndReadsOne)
{
    NoiseGate gate(kRate);
    gate.setThreshold(0.0f);
    gate.setRange(1.0f);
    gate.setAttack(0.0f);
    gate.setHold(0.0f);
    gate.setRelease(0.0f);
    for (int i = 0; i < 20000; ++i) {
        // Bursts and digital silence alike.
        const float x = (i / 1000) % 2 == 0 ? 0.3f * std::sin(0.01f * i) : 0.0f;
        float y = -1.0f;
        EXPECT_EQ(gate.process(x, y), 1.0f) << "sample " << i;
        if (i > 0) {
            EXPECT_EQ(y, x) << "sample " << i;
        }
    }
    EXPECT_EQ(gate.getGain(), 1.0f);
}

TEST(NoiseGateLevels, RangeZeroNeverAttenuates)
{
    NoiseGate gate = makeGate(0.05f, 0.0f, 0.01f);
    gate.setRange(0.0f);
    float maxGain = 0.0f;
    for (int i = 0; i < 30000; ++i) {
        // Quiet noise, then a burst, then quiet again: the state machine runs through.
        const float level = (i >= 5000 && i < 6000) ? 0.5f : 1e-4f;
        const float x = level * std::sin(0.05f * i);
        float y = 0.0f;
        maxGain = std::max(maxGain, gate.process(x, y));
        ASSERT_EQ(y, x) << "sample " << i;
    }
    EXPECT_EQ(maxGain, 1.0f);
}

TEST(NoiseGateLevels, ClosedGateAttenuatesToTheRangeFloor)
{
    NoiseGate silent = makeGate(0.05f, 0.0f, 0.01f);
    NoiseGate floored = makeGate(0.05f, 0.0f, 0.01f);
    floored.setRange(0.5f); // -45 dB
    for (int i = 0; i < 5000; ++i) {
        const float x = 1e-3f * std::sin(0.05f * i); // -60 dB, under the threshold
        float y = 1.0f;
        EXPECT_EQ(silent.process(x, y), 0.0f);
        ASSERT_EQ(y, 0.0f) << "sample " << i;
        floored.process(x, y);
        ASSERT_NEAR(y, x * kThreshold, 1e-6f * std::fabs(x)) << "sample " << i;
    }
}

TEST(NoiseGateTiming, AttackRampsLinearlyOverTheAttackTime)
{
    // 10 ms at 44100 Hz: 441 samples from 0 to 1.
    NoiseGate gate = makeGate(0.05f, 0.0f, 0.01f);
    const GateRun run = feed(gate, 0.5f, 600);
    EXPECT_EQ(run.reading[0], 0.0f);
    int firstFull = -1;
    for (int n = 1; n < 600 && firstFull < 0; ++n) {
        if (run.reading[n] == 1.0f)
            firstFull = n;
        else
            ASSERT_NEAR(run.reading[n], n / 441.0f, 1e-4f) << "sample " << n;
    }
    EXPECT_GE(firstFull, 441);
    EXPECT_LE(firstFull, 442);
    for (int n = 1; n < 600; ++n)
        EXPECT_EQ(run.out[n], 0.5f * run.reading[n]);
}

TEST(NoiseGateTiming, ShortBurstHoldsThenReleasesLinearly)
{
    // Zero attack, hold 12 ms (529 samples), release 40 ms (1764 samples).
    NoiseGate gate = makeGate(0.0f, 0.005f, 0.01f);
    GateRun run = feed(gate, kThreshold * 1.0004f, 2);
    const GateRun tail = feed(gate, 0.0f, 4000);
    run.reading.insert(run.reading.end(), tail.reading.begin(), tail.reading.end());
    // The detector falls below the threshold a few samples after the burst; only the hold
    // counter keeps the gate open.
    int open = 0;
    int n = 1;
    while (run.reading[n] == 1.0f) {
        ++open;
        ++n;
    }
    EXPECT_GE(open, 529);
    EXPECT_LE(open, 531);
    const int releaseStart = n;
    for (int m = 0; releaseStart + m < static_cast<int>(run.reading.size()); ++m) {
        const float expected = std::max(0.0f, 1.0f - (m + 1) / 1764.0f);
        ASSERT_NEAR(run.reading[releaseStart + m], expected, 2e-4f) << "release sample " << m;
    }
    EXPECT_EQ(gate.getState(), NoiseGate::kClosed);
    EXPECT_EQ(gate.getGain(), 0.0f);
}

TEST(NoiseGateTiming, MinimumHoldIsTwoMilliseconds)
{
    NoiseGate gate = makeGate(0.0f, 0.0f, 0.01f);
    GateRun run = feed(gate, kThreshold * 1.0004f, 2);
    const GateRun tail = feed(gate, 0.0f, 200);
    run.reading.insert(run.reading.end(), tail.reading.begin(), tail.reading.end());
    int open = 0;
    for (float g : run.reading)
        open += g == 1.0f ? 1 : 0;
    // 2 ms is 88.2 samples, taken as 88, plus the opening and closing transitions.
    EXPECT_GE(open, 88);
    EXPECT_LE(open, 90);
}

TEST(NoiseGateTiming, StaysOpenWhileTheDetectorIsAboveThreshold)
{
    // Threshold -0.9 dB; a long full-scale burst, then silence. The detector falls by
    // 0.01 % per sample, so it takes about 1036 samples to cross the threshold.
    NoiseGate gate(kRate);
    gate.setThreshold(0.99f);
    gate.setRange(1.0f);
    gate.setAttack(0.0f);
    gate.setHold(0.0f);
    gate.setRelease(0.01f);
    feed(gate, 1.0f, 2000);
    const GateRun tail = feed(gate, 0.0f, 3000);
    const double threshold = std::pow(10.0, -0.9 / 20.0);
    const int crossing = static_cast<int>(std::ceil(std::log(threshold) / std::log(0.9999)));
    int open = 0;
    while (tail.reading[open] == 1.0f)
        ++open;
    EXPECT_GE(open, crossing - 3);
    EXPECT_LE(open, crossing + 3);
    EXPECT_NEAR(tail.reading[open + 99], 1.0f - 100 / 1764.0f, 2e-4f);
}

TEST(NoiseGateTiming, RetriggerWhileClosingReopensFromTheCurrentGain)
{
    NoiseGate gate = makeGate(0.05f, 0.0f, 0.01f); // attack 441, release 1764 samples
    feed(gate, 0.5f, 5);
    float y = 0.0f;
    float g = 0.0f;
    for (int i = 0; i < 200000 && !(gate.getState() == NoiseGate::kClosing && g < 0.5f); ++i)
        g = gate.process(0.0f, y);
    ASSERT_EQ(gate.getState(), NoiseGate::kClosing);
    ASSERT_GT(g, 0.4f);

    // The re-triggering sample still takes one release step, then the attack ramp
    // starts from there instead of from 0.
    const float onTrigger = gate.process(0.5f, y);
    EXPECT_EQ(gate.getState(), NoiseGate::kOpening);
    EXPECT_NEAR(onTrigger, g - 1.0f / 1764.0f, 1e-6f);
    const float next = gate.process(0.5f, y);
    EXPECT_NEAR(next, onTrigger + 1.0f / 441.0f, 1e-6f);
    EXPECT_EQ(y, 0.5f * next);
}

TEST(NoiseGateTiming, ZeroReleaseClosesInOneSample)
{
    NoiseGate gate = makeGate(0.0f, 0.0f, 0.0f);
    feed(gate, kThreshold * 1.0004f, 2);
    const GateRun tail = feed(gate, 0.0f, 300);
    int n = 0;
    while (tail.reading[n] == 1.0f)
        ++n;
    EXPECT_EQ(tail.reading[n], 0.0f);
    EXPECT_EQ(gate.getState(), NoiseGate::kClosed);
}

TEST(NoiseGateTiming, ZeroReleaseRetriggerOnFirstClosingSampleStaysFinite)
{
    // Attack 2 ms; release 0 gives an infinite release step.
    NoiseGate gate = makeGate(0.01f, 0.0f, 0.0f);
    feed(gate, 0.5f, 200);
    float y = 0.0f;
    for (int i = 0; i < 200000 && gate.getState() != NoiseGate::kClosing; ++i)
        gate.process(0.0f, y);
    ASSERT_EQ(gate.getState(), NoiseGate::kClosing);

    // A new peak on the first closing sample.
    const float g = gate.process(0.5f, y);
    EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_EQ(gate.getState(), NoiseGate::kOpening);

    const GateRun after = feed(gate, 0.5f, 200);
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(std::isfinite(after.out[i])) << "sample " << i;
        ASSERT_GE(after.reading[i], 0.0f);
        ASSERT_LE(after.reading[i], 1.0f);
    }
    EXPECT_NEAR(after.reading[0], 1000.0f / (2.0f * kRate), 1e-6f);
    EXPECT_EQ(after.reading[199], 1.0f);
    EXPECT_EQ(after.out[199], 0.5f);
}
