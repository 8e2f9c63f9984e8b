#include "dsp/BiquadDesign.h"

#include <atomic>
#include <cmath>
#include <thread>

#include <gtest/gtest.h>

#include "SineMeasurement.h"

using namespace sine_measurement;

namespace {

constexpr double kRate = 44100.0;

double magnitudeAt(const BiquadCoefficients& c, double frequency, double rate)
{
    return biquadMagnitude(c.nb0, c.nb1, c.nb2, c.na1, c.na2, 2.0 * kPi * frequency / rate);
}

} // namespace

TEST(BiquadDesign, PeakingAtZeroDbIsFlat)
{
    BiquadCoefficients c;
    BiquadDesign(c, BiquadType::Peaking, kRate, 600.0f, 0.0f, 1.0f, 0.0f, BandwidthRule::FrequencyWarped);
    EXPECT_EQ(c.b0, c.a0);
    EXPECT_EQ(c.b1, c.a1);
    EXPECT_EQ(c.b2, c.a2);
    EXPECT_EQ(c.nb0, 1.0f);
    EXPECT_EQ(c.nb1, c.na1);
    EXPECT_EQ(c.nb2, c.na2);
    EXPECT_NE(c.na1, 0.0f); // a real section, not the default pass-through
}

TEST(BiquadDesign, PeakingReachesItsGainAtTheCentreAndUnityAtDc)
{
    struct Case {
        float frequency;
        float gainDb;
    };
    for (const Case& k : {Case{80.0f, 12.0f}, Case{600.0f, -10.0f}, Case{3000.0f, 15.0f}, Case{9000.0f, -15.0f}}) {
        BiquadCoefficients c;
        BiquadDesign(c, BiquadType::Peaking, kRate, k.frequency, k.gainDb, 1.0f, 0.0f,
            BandwidthRule::FrequencyWarped);
        EXPECT_NEAR(toDb(magnitudeAt(c, k.frequency, kRate)), k.gainDb, 0.01) << k.frequency;
        EXPECT_NEAR(toDb(magnitudeAt(c, 0.0, kRate)), 0.0, 0.01) << k.frequency;
        // The centre is the extreme of the bell.
        const double centre = magnitudeAt(c, k.frequency, kRate);
        const double sign = k.gainDb > 0 ? 1.0 : -1.0;
        EXPECT_GT(sign * (centre - magnitudeAt(c, k.frequency * 0.9, kRate)), 0.0);
        EXPECT_GT(sign * (centre - magnitudeAt(c, k.frequency * 1.1, kRate)), 0.0);
    }
}

TEST(BiquadDesign, NotchRejectsItsFrequencyAndPassesDc)
{
    BiquadCoefficients c;
    BiquadDesign(c, BiquadType::Notch, kRate, 1500.0f, 0.0f, 1.0f, 0.0f, BandwidthRule::FrequencyWarped);
    EXPECT_LT(toDb(magnitudeAt(c, 1500.0, kRate)), -100.0);
    EXPECT_NEAR(toDb(magnitudeAt(c, 0.0, kRate)), 0.0, 0.01);
    // Q 1: the -3 dB edges lie about an octave apart around the centre.
    EXPECT_GT(toDb(magnitudeAt(c, 750.0, kRate)), -3.0);
    EXPECT_GT(toDb(magnitudeAt(c, 3000.0, kRate)), -3.0);
    EXPECT_LT(toDb(magnitudeAt(c, 1200.0, kRate)), -3.0);
    EXPECT_LT(toDb(magnitudeAt(c, 1900.0, kRate)), -3.0);
}

TEST(BiquadDesign, NormalizedCoefficientsAreFloatQuotientsOfTheStoredOnes)
{
    BiquadCoefficients c;
    BiquadDesign(c, BiquadType::Peaking, 48000.0, 1234.5f, 7.3f, 0.0f, 1.3f, BandwidthRule::Equaliser);
    EXPECT_EQ(c.nb0, c.b0 / c.a0);
    EXPECT_EQ(c.nb1, c.b1 / c.a0);
    EXPECT_EQ(c.nb2, c.b2 / c.a0);
    EXPECT_EQ(c.na1, c.a1 / c.a0);
    EXPECT_EQ(c.na2, c.a2 / c.a0);
    // Raw coefficients are the double design rounded once.
    const double A = std::exp(std::log(10.0) * 7.3f / 40.0);
    const double w = 2.0 * kPi * 1234.5 / 48000.0;
    const double alpha = std::sin(w) * std::sin(std::log(2.0) / 2.0 * 1.3f);
    EXPECT_EQ(c.b0, static_cast<float>(1.0 + alpha * A));
    EXPECT_EQ(c.a2, static_cast<float>(1.0 - alpha / A));
    EXPECT_EQ(c.b1, static_cast<float>(-2.0 * std::cos(w)));
}

TEST(BiquadDesign, BandwidthRulesDifferOnlyByTheWarpFactor)
{
    const double w = 2.0 * kPi * 5000.0 / kRate;
    const double half = std::log(2.0) / 2.0 * 1.0;
    BiquadCoefficients eq;
    BiquadCoefficients warped;
    BiquadDesign(eq, BiquadType::Notch, kRate, 5000.0f, 0.0f, 0.0f, 1.0f, BandwidthRule::Equaliser);
    BiquadDesign(warped, BiquadType::Notch, kRate, 5000.0f, 0.0f, 0.0f, 1.0f, BandwidthRule::FrequencyWarped);
    // For a notch a0 = 1 + alpha.
    EXPECT_NEAR(eq.a0 - 1.0, std::sin(w) * std::sin(half), 1e-6);
    EXPECT_NEAR(warped.a0 - 1.0, std::sin(w) * std::sin(half * w / std::sin(w)), 1e-6);
    EXPECT_GT(warped.a0, eq.a0);
}

TEST(BiquadDesign, InvalidRateOrFrequencyLeavesTheSectionAlone)
{
    BiquadCoefficients c;
    BiquadDesign(c, BiquadType::Peaking, kRate, 600.0f, 6.0f, 1.0f, 0.0f, BandwidthRule::Equaliser);
    const float before[] = {c.a0, c.a1, c.a2, c.b0, c.b1, c.b2, c.nb0, c.nb1, c.nb2, c.na1, c.na2};
    BiquadDesign(c, BiquadType::Notch, 0.0, 600.0f, 0.0f, 1.0f, 0.0f, BandwidthRule::Equaliser);
    BiquadDesign(c, BiquadType::Notch, kRate, 0.0f, 0.0f, 1.0f, 0.0f, BandwidthRule::Equaliser);
    BiquadDesign(c, BiquadType::Notch, kRate, 22050.0f, 0.0f, 1.0f, 0.0f, BandwidthRule::Equaliser);
    BiquadDesign(c, BiquadType::Notch, kRate, NAN, 0.0f, 1.0f, 0.0f, BandwidthRule::Equaliser);
    const float after[] = {c.a0, c.a1, c.a2, c.b0, c.b1, c.b2, c.nb0, c.nb1, c.nb2, c.na1, c.na2};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(before[i], after[i]) << i;
}

TEST(BiquadDesign, SectionRunsTheDesignedResponse)
{
    BiquadCoefficients c;
    BiquadDesign(c, BiquadType::Peaking, kRate, 1000.0f, 9.0f, 0.0f, 1.0f, BandwidthRule::Equaliser);
    for (double frequency : {200.0, 1000.0, 4000.0}) {
        BiquadState s;
        const double measured = sineGain([&](float x) { return runBiquad(c, s, x); }, frequency, kRate);
        EXPECT_NEAR(toDb(measured), toDb(magnitudeAt(c, frequency, kRate)), 0.01) << frequency;
    }
}

// Hosts change parameters from two threads while the audio thread runs the sections:
// designs take turns, and the audio thread only ever runs a whole one, never two mixed.
TEST(BiquadDesign, DesignersTakeTurnsAndTheAudioThreadSeesOnlyWholeDesigns)
{
    BiquadCoefficients c, low, high;
    BiquadDesign(low, BiquadType::Peaking, kRate, 60.0f, 15.0f, 0.0f, 0.25f, BandwidthRule::Equaliser);
    BiquadDesign(high, BiquadType::Peaking, kRate, 12000.0f, -15.0f, 0.0f, 2.0f, BandwidthRule::Equaliser);
    auto isWhole = [&](const BiquadSnapshot& k) {
        for (const BiquadCoefficients* d : {&low, &high})
            if (k.b0 == d->nb0 && k.b1 == d->nb1 && k.b2 == d->nb2 && k.a1 == d->na1 && k.a2 == d->na2)
                return true;
        return false;
    };
    c = low;
    BiquadSnapshot last;
    ASSERT_TRUE(isWhole(c.read(last)));

    // A designer stops halfway through storing while a second design starts: the second
    // must wait, and the reader keeps the last whole set meanwhile. The first holds for a
    // thousand reads and ten turns of this thread's, long enough for a second design that
    // did not wait to end, which is then seen.
    int overlaps = 0, halfRead = 0, notTheSecond = 0;
    for (int round = 0; round < 20; ++round) {
        std::atomic<bool> trying{false}, finished{false};
        const uint32_t first = c.beginStore();
        c.nb0 = high.nb0;
        c.na1 = high.na1;
        std::thread second([&] {
            trying = true;
            BiquadDesign(c, BiquadType::Peaking, kRate, 60.0f, 15.0f, 0.0f, 0.25f, BandwidthRule::Equaliser);
            finished = true;
        });
        while (!trying)
            std::this_thread::yield();
        for (int i = 0; i < 1000 && !finished; ++i) {
            halfRead += c.read(last).b0 != low.nb0;
            if (i % 100 == 99)
                std::this_thread::yield();  // in case the second shares this core
        }
        overlaps += finished;
        c.storeNormalized(high.nb0, high.nb1, high.nb2, high.na1, high.na2);
        c.endStore(first);
        second.join();
        notTheSecond += c.read(last).b0 != low.nb0;
    }
    EXPECT_EQ(overlaps, 0) << "two designers stored at once";
    EXPECT_EQ(halfRead, 0) << "the reader ran a design stored halfway";
    EXPECT_EQ(notTheSecond, 0) << "the design stored last is not the one the reader runs";

    // The designs themselves from two threads, which keep designing until the reader, which
    // starts with them, has read many times and each of them has stored many designs since
    // (the thread sanitizer stage checks the rest).
    std::atomic<bool> done{false};
    std::atomic<int> ready{0}, designs[2] = {{0}, {0}};
    auto designer = [&](int which, float frequency, float gain, float bandwidth) {
        for (++ready; !done; ++designs[which])
            BiquadDesign(c, BiquadType::Peaking, kRate, frequency, gain, 0.0f, bandwidth, BandwidthRule::Equaliser);
    };
    std::thread a(designer, 0, 60.0f, 15.0f, 0.25f);
    std::thread b(designer, 1, 12000.0f, -15.0f, 2.0f);
    while (ready < 2)
        std::this_thread::yield();
    const int before[2] = {designs[0], designs[1]};
    int mixed = 0;
    for (int reads = 0; reads < 100000 || designs[0] < before[0] + 20000 || designs[1] < before[1] + 20000; ++reads)
        mixed += !isWhole(c.read(last));
    done = true;
    a.join();
    b.join();
    EXPECT_EQ(mixed, 0);
}
