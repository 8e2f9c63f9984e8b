#include "dsp/ParametricEQ.h"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "SineMeasurement.h"

using namespace sine_measurement;

namespace {

constexpr float kRate = 44100.0f;

double eqGainDb(ParametricEQ& eq, double frequency, double rate = kRate)
{
    return toDb(sineGain([&](float x) { return eq.process(x); }, frequency, rate));
}

// All three bands at 0 dB (gain settings 0.5) with their frequency and band settings
// somewhere in range, and the filters on.
void designFlat(ParametricEQ& eq, float rate = kRate)
{
    eq.designBandFromSettings(ParametricEQ::kLow, rate, 0.5f, 0.3f, 0.2f);
    eq.designBandFromSettings(ParametricEQ::kMid, rate, 0.5f, 0.6f, 0.9f);
    eq.designBandFromSettings(ParametricEQ::kHigh, rate, 0.5f, 0.1f, 0.5f);
    eq.setEnabled(1);
}

} // namespace

TEST(ParametricEQ, FlatAtZeroDb)
{
    for (double frequency : {50.0, 300.0, 1000.0, 4000.0, 15000.0}) {
        ParametricEQ eq;
        designFlat(eq);
        EXPECT_NEAR(eqGainDb(eq, frequency), 0.0, 0.001) << frequency;
    }
    ParametricEQ eq;
    designFlat(eq);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    for (int n = 0; n < 10000; ++n) {
        const float x = sample(random);
        ASSERT_NEAR(eq.process(x), x, 1e-4f) << n; // float rounding of the section sums only
    }
}

TEST(ParametricEQ, BandReachesItsGainAtTheCentre)
{
    ParametricEQ eq;
    designFlat(eq);
    eq.designBand(ParametricEQ::kMid, kRate, 1000.0f, 12.0f, 1.0f);
    EXPECT_NEAR(eqGainDb(eq, 1000.0), 12.0, 0.1);
    EXPECT_LT(eqGainDb(eq, 250.0), 3.0);
    EXPECT_NEAR(eqGainDb(eq, 50.0), 0.0, 0.1);

    ParametricEQ cut;
    designFlat(cut);
    cut.designBand(ParametricEQ::kHigh, kRate, 6000.0f, -9.0f, 0.5f);
    EXPECT_NEAR(eqGainDb(cut, 6000.0), -9.0, 0.1);
}

TEST(ParametricEQ, SettingsMapOntoFrequencyGainAndBandwidth)
{
    // Low band: frequency setting 1 is 600 Hz, gain setting 1 is +15 dB.
    ParametricEQ low;
    designFlat(low);
    low.designBandFromSettings(ParametricEQ::kLow, kRate, 1.0f, 1.0f, 0.0f);
    EXPECT_NEAR(eqGainDb(low, 600.0), 15.0, 0.1);

    // High band: frequency setting 1 is 12000 Hz, gain setting 0 is -15 dB.
    ParametricEQ high;
    designFlat(high);
    high.designBandFromSettings(ParametricEQ::kHigh, kRate, 0.0f, 1.0f, 0.5f);
    EXPECT_NEAR(eqGainDb(high, 12000.0), -15.0, 0.1);

    // Mid band: frequency setting 0 is 400 Hz; a wider band lifts its neighbourhood more.
    ParametricEQ narrow;
    ParametricEQ wide;
    designFlat(narrow);
    designFlat(wide);
    narrow.designBandFromSettings(ParametricEQ::kMid, kRate, 1.0f, 0.0f, 0.0f); // 0.25 octave
    wide.designBandFromSettings(ParametricEQ::kMid, kRate, 1.0f, 0.0f, 1.0f);   // 2 octaves
    EXPECT_NEAR(eqGainDb(narrow, 400.0), 15.0, 0.1);
    EXPECT_NEAR(eqGainDb(wide, 400.0), 15.0, 0.1);
    EXPECT_GT(eqGainDb(wide, 800.0), eqGainDb(narrow, 800.0) + 3.0);
}

TEST(ParametricEQ, CentreStaysPutWhenDesignedFor96Kilohertz)
{
    constexpr float kHighRate = 96000.0f;
    ParametricEQ eq;
    designFlat(eq, kHighRate);
    eq.designBand(ParametricEQ::kMid, kHighRate, 1000.0f, 12.0f, 1.0f);
    EXPECT_NEAR(eqGainDb(eq, 1000.0, kHighRate), 12.0, 0.1);
    EXPECT_LT(eqGainDb(eq, 900.0, kHighRate), 12.0);
    EXPECT_LT(eqGainDb(eq, 1100.0, kHighRate), 12.0);

    // The same band designed for 44100 Hz but run at 96000 Hz sits about an octave higher.
    ParametricEQ stale;
    designFlat(stale, kRate);
    stale.designBand(ParametricEQ::kMid, kRate, 1000.0f, 12.0f, 1.0f);
    EXPECT_LT(eqGainDb(stale, 1000.0, kHighRate), 9.0);
    EXPECT_NEAR(eqGainDb(stale, 2177.0, kHighRate), 12.0, 0.1);
}

TEST(ParametricEQ, DisabledReturnsItsInput)
{
    ParametricEQ eq;
    designFlat(eq);
    eq.designBand(ParametricEQ::kLow, kRate, 200.0f, 15.0f, 1.0f);
    for (int enabled : {0, 1}) {
        eq.setEnabled(enabled);
        for (float x : {0.5f, -0.3f, 0.01f, 0.0f}) {
            if (enabled == 0)
                EXPECT_EQ(eq.process(x), x);
            else
                eq.process(x);
        }
    }
    // A new equaliser is off.
    ParametricEQ fresh;
    fresh.designBand(ParametricEQ::kLow, kRate, 200.0f, 15.0f, 1.0f);
    EXPECT_EQ(fresh.process(0.25f), 0.25f);
}

TEST(ParametricEQ, UnknownBandsAreIgnored)
{
    ParametricEQ eq;
    designFlat(eq);
    eq.designBand(3, kRate, 1000.0f, 15.0f, 1.0f);
    eq.designBand(-1, kRate, 1000.0f, 15.0f, 1.0f);
    eq.designBandFromSettings(3, kRate, 1.0f, 0.5f, 0.5f);
    EXPECT_NEAR(eqGainDb(eq, 1000.0), 0.0, 0.001);
}
