#include "dsp/Phaser.h"

#include <cmath>
#include <complex>
#include <gtest/gtest.h>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// Eight first-order all-passes (z^-1 - a) / (1 - a z^-1), fed back with gain fb through
// one sample of delay, added to the dry signal: H = 1 + A / (1 - fb z^-1 A).
double expectedGain(double a, double fb, double hz)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * hz / kRate);
    const std::complex<double> stage = (z1 - a) / (1.0 - a * z1);
    const std::complex<double> chain = std::pow(stage, 8);
    return std::abs(1.0 + chain / (1.0 - fb * z1 * chain));
}

// Amplitude of the steady-state response to a unit sine at an integer frequency,
// measured over one second (a whole number of cycles).
double measuredGain(Phaser& phaser, int hz)
{
    const double w = 2.0 * kPi * hz / kRate;
    for (int i = 0; i < kRate; ++i)
        phaser.process(static_cast<float>(std::sin(w * i)));
    double s = 0.0;
    double c = 0.0;
    for (int i = 0; i < kRate; ++i) {
        const double y = phaser.process(static_cast<float>(std::sin(w * (i + kRate))));
        s += y * std::sin(w * (i + kRate));
        c += y * std::cos(w * (i + kRate));
    }
    return 2.0 * std::sqrt(s * s + c * c) / kRate;
}

// Holds the sweep at its centre: depth 0 gives an oscillator value of 0.5 from call 32 on.
void holdSweepAtCentre(Phaser& phaser)
{
    phaser.oscillator().setDepth(0.0f);
    for (int i = 0; i < 31; ++i)
        phaser.process(0.0f);
}

double coefficientAt(const Phaser& phaser, double g)
{
    const double d = phaser.getLowerCoefficient()
                     + g * (phaser.getUpperCoefficient() - phaser.getLowerCoefficient());
    return (1.0 - d) / (1.0 + d);
}

} // namespace

TEST(PhaserSetup, FeedbackLimitAndSpeedCurve)
{
    Phaser phaser(kRate);
    EXPECT_EQ(phaser.getFeedback(), 0.7f);
    phaser.setFeedback(1.0f);
    EXPECT_EQ(phaser.getFeedback(), 0.95f);
    phaser.setFeedback(0.3f);
    EXPECT_EQ(phaser.getFeedback(), 0.3f);
    phaser.setSpeed(0.25f); // 0.25^1.5 = 0.125
    EXPECT_EQ(phaser.oscillator().getRate(), (0.125f * 645.0f + 5.0f) / 60.0f);
    EXPECT_FLOAT_EQ(phaser.getLowerCoefficient(), 440.0f / 22050.0f);
    EXPECT_FLOAT_EQ(phaser.getUpperCoefficient(), 3600.0f / 22050.0f);
}

TEST(PhaserResponse, FirstSamplesOfImpulseResponse)
{
    // The first 31 oscillator values are 0, so the sweep sits at 440 Hz. Without feedback
    // the chain's impulse response starts (-a)^8, then 8 (-a)^7 (1 - a^2).
    Phaser phaser(kRate);
    phaser.setFeedback(0.0f);
    const double a = coefficientAt(phaser, 0.0);
    EXPECT_NEAR(phaser.process(1.0f), 1.0 + std::pow(a, 8), 1e-5);
    EXPECT_NEAR(phaser.process(0.0f), 8.0 * std::pow(-a, 7) * (1.0 - a * a), 1e-5);
}

TEST(PhaserResponse, SteadyStateMatchesAllPassLoop)
{
    for (float fb : {0.0f, 0.6f}) {
        Phaser phaser(kRate);
        phaser.setFeedback(fb);
        holdSweepAtCentre(phaser);
        const double a = coefficientAt(phaser, 0.5);
        for (int hz : {100, 700, 1500, 3000, 8000}) {
            const double expected = expectedGain(a, fb, hz);
            EXPECT_NEAR(measuredGain(phaser, hz), expected, 1e-4 * (1.0 + expected))
                << hz << " Hz, feedback " << fb;
        }
    }
}

TEST(PhaserResponse, DirectCurrentGainStaysFiniteAtTheFeedbackLimit)
{
    // The all-pass chain passes DC with gain 1 for any coefficient, so a DC input settles at
    // 1 + 1 / (1 - fb) while sweeping: 21 at the limit of 0.95. Feedback 1 would integrate.
    Phaser phaser(kRate);
    phaser.setSpeed(1.0f);
    phaser.setFeedback(1.0f);
    float out = 0.0f;
    for (int i = 0; i < 2 * kRate; ++i)
        out = phaser.process(1.0f);
    EXPECT_NEAR(out, 21.0f, 0.05f);
}
