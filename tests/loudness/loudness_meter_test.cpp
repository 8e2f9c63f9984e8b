// The loudness meter against values worked out from the recommendation's own definitions.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/Loudness.h"

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

std::vector<float> tone(double frequency, double seconds, double amplitude, double rate = kRate)
{
    std::vector<float> x(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * static_cast<double>(i) / rate));
    return x;
}

std::vector<float> joined(std::vector<float> a, const std::vector<float>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(LoudnessMeter, KWeightingAt48kHzIsTheTabulatedFilter)
{
    const KWeightingStage shelf = kWeightingShelf(48000.0);
    EXPECT_NEAR(shelf.b0, 1.53512485958697, 1e-9);
    EXPECT_NEAR(shelf.b1, -2.69169618940638, 1e-9);
    EXPECT_NEAR(shelf.b2, 1.19839281085285, 1e-9);
    EXPECT_NEAR(shelf.a1, -1.69065929318241, 1e-9);
    EXPECT_NEAR(shelf.a2, 0.73248077421585, 1e-9);
    const KWeightingStage highPass = kWeightingHighPass(48000.0);
    EXPECT_EQ(highPass.b0, 1.0);
    EXPECT_EQ(highPass.b1, -2.0);
    EXPECT_EQ(highPass.b2, 1.0);
    EXPECT_NEAR(highPass.a1, -1.99004745483398, 1e-9);
    EXPECT_NEAR(highPass.a2, 0.99007225036621, 1e-9);
    // The same curve at 44.1 kHz: about +4 dB in the top octaves, the lows cut.
    EXPECT_NEAR(kWeightingGainDb(kRate, 10000.0), kWeightingGainDb(48000.0, 10000.0), 0.05);
    EXPECT_NEAR(kWeightingGainDb(kRate, 10000.0), 4.0, 0.3);
    EXPECT_LT(kWeightingGainDb(kRate, 20.0), -10.0);
}

TEST(LoudnessMeter, SineInBothChannels)
{
    // A 997 Hz sine of peak 0.1 (-20 dBFS) in both channels: each channel's mean square is
    // 0.005, so L = -0.691 + 10 log10(2 x 0.005) + G(997 Hz), where the K-weighting's gain
    // G at 997 Hz is +0.6938 dB at 44.1 kHz: -19.9972 LUFS. (At 48 kHz, +0.6910 dB and
    // -20.0000 LUFS, the recommendation's calibration.)
    const std::vector<float> x = tone(997.0, 5.0, 0.1);
    EXPECT_NEAR(integratedLoudness(x, x, kRate), -19.9972, 0.005);
    const std::vector<float> x48 = tone(997.0, 5.0, 0.1, 48000.0);
    EXPECT_NEAR(integratedLoudness(x48, x48, 48000.0), -20.0000, 0.005);
    // One channel alone carries half the power: 3.01 dB less.
    const std::vector<float> silence(x.size(), 0.0f);
    EXPECT_NEAR(integratedLoudness(x, silence, kRate), -19.9972 - 3.0103, 0.005);
}

TEST(LoudnessMeter, GatesLeaveOutSilenceAndQuietPassages)
{
    const std::vector<float> loud = tone(997.0, 4.0, 0.1);
    const double alone = integratedLoudness(loud, loud, kRate);

    // 4 s of tone make 37 whole blocks (400 ms, every 100 ms); the three blocks that
    // straddle its end hold 3/4, 1/2 and 1/4 of it. Silence after it falls under the
    // absolute gate, so only those three blocks dilute the measurement.
    const double withEdge = alone + 10.0 * std::log10((37.0 + 0.75 + 0.5 + 0.25) / 40.0);
    const std::vector<float> withSilence = joined(loud, std::vector<float>(loud.size(), 0.0f));
    EXPECT_NEAR(integratedLoudness(withSilence, withSilence, kRate), withEdge, 0.01);

    // A passage 20 dB down (power 0.01) passes the absolute gate but not the relative
    // one (10 LU below the level of all blocks, about -13 dB here): the same result, but
    // for the quiet share of the straddling blocks.
    const std::vector<float> withQuiet = joined(loud, tone(997.0, 4.0, 0.01));
    const double straddling = 0.75 + 0.25 * 0.01 + 0.5 + 0.5 * 0.01 + 0.25 + 0.75 * 0.01;
    EXPECT_NEAR(integratedLoudness(withQuiet, withQuiet, kRate), alone + 10.0 * std::log10((37.0 + straddling) / 40.0),
                0.01);

    // A passage 6 dB down passes both gates and counts by its power: the mean of the two
    // (the straddling blocks average out to the same).
    const std::vector<float> withSofter = joined(loud, tone(997.0, 4.0, 0.05));
    const double expected = alone + 10.0 * std::log10((1.0 + 0.25) / 2.0);
    EXPECT_NEAR(integratedLoudness(withSofter, withSofter, kRate), expected, 0.01);

    // Nothing above -70 LUFS, or shorter than one block: no loudness at all.
    const std::vector<float> faint = tone(997.0, 2.0, 1e-4);
    EXPECT_TRUE(std::isinf(integratedLoudness(faint, faint, kRate)));
    const std::vector<float> brief = tone(997.0, 0.3, 0.1);
    EXPECT_TRUE(std::isinf(integratedLoudness(brief, brief, kRate)));
}
