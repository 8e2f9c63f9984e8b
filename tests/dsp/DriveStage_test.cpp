#include "dsp/DriveStage.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include <gtest/gtest.h>

#include "SineMeasurement.h"

using namespace sine_measurement;

namespace {

constexpr double kRate = 44100.0;

// Linear part of the stage: the resonant two-pole high-pass (in - second low-pass stage,
// coefficient f = 0.02, feedback 0.2 + 0.2 / 0.98) followed by the DC blocker
// (1 - z^-1) / (1 - 0.999 z^-1).
double linearResponse(double frequency)
{
    const double f = 0.02;
    const double fb = 0.2 + 0.2 / (1.0 - f);
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * frequency / kRate);
    const std::complex<double> p = 1.0 - (1.0 - f) * z1;
    const std::complex<double> lowPass = f * f / ((p - f * fb * z1) * p + f * f * fb * z1);
    const std::complex<double> blocker = (1.0 - z1) / (1.0 - 0.999 * z1);
    return std::abs((1.0 - lowPass) * blocker);
}

// Largest output magnitude over the second second of a sine.
float peakOutput(DriveStage& drive, double frequency, double amplitude)
{
    float peak = 0.0f;
    for (int n = 0; n < 2 * static_cast<int>(kRate); ++n) {
        const float y = drive.process(static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * n / kRate)));
        if (n >= kRate)
            peak = std::max(peak, std::fabs(y));
    }
    return peak;
}

DriveStage driveAt(float value)
{
    DriveStage drive(static_cast<float>(kRate));
    drive.setDrive(value);
    return drive;
}

} // namespace

TEST(DriveStage, DriveSetsThresholdAndLevel)
{
    DriveStage drive(static_cast<float>(kRate));
    EXPECT_EQ(drive.threshold(), 1.0f); // construction applies Drive 0
    EXPECT_EQ(drive.level(), 1.0f);

    drive.setDrive(1.0f);
    EXPECT_FLOAT_EQ(drive.threshold(), 0.001f);
    EXPECT_FLOAT_EQ(drive.level(), 0.3f);
    EXPECT_EQ(drive.thresholdDb(), -60.0f);

    drive.setDrive(0.5f);
    EXPECT_FLOAT_EQ(drive.threshold(), static_cast<float>(std::pow(10.0, -1.5)));
    EXPECT_FLOAT_EQ(drive.level(), static_cast<float>(std::pow(0.5, 10.0) * 0.7 + 0.3));

    drive.setDrive(0.0f);
    EXPECT_EQ(drive.threshold(), 1.0f);
    EXPECT_EQ(drive.level(), 1.0f);

    // Below -90 dB the threshold is 0: every sample is then clipped.
    drive.setDrive(1.6f);
    EXPECT_EQ(drive.threshold(), 0.0f);
}

TEST(DriveStage, DriveZeroPassesSignalsWithinUnityThroughTheFilters)
{
    for (double frequency : {100.0, 1000.0, 5000.0}) {
        DriveStage drive = driveAt(0.0f);
        const double measured = sineGain([&](float x) { return drive.process(x); }, frequency, kRate, 0.5);
        EXPECT_NEAR(toDb(measured), toDb(linearResponse(frequency)), 0.01) << frequency;
    }
    // Mid frequencies come through practically at unity.
    EXPECT_NEAR(linearResponse(1000.0), 1.0, 0.03);
}

TEST(DriveStage, DriveZeroClipsPeaksAtUnity)
{
    DriveStage moderate = driveAt(0.0f);
    DriveStage loud = driveAt(0.0f);
    // A square-ish result of +-1; the blocker droops it by under 1 % per half cycle.
    EXPECT_NEAR(peakOutput(moderate, 1000.0, 3.0), 1.0f, 0.02f);
    EXPECT_NEAR(peakOutput(loud, 1000.0, 30.0), 1.0f, 0.02f);
}

TEST(DriveStage, DriveOneGainsThousandTimesLevelThenClipsAtLevel)
{
    // Small signals below the 0.001 threshold: linear gain level / threshold = 300.
    DriveStage quiet = driveAt(1.0f);
    const double measured = sineGain([&](float x) { return quiet.process(x); }, 1000.0, kRate, 2e-4);
    EXPECT_NEAR(toDb(measured), toDb(300.0 * linearResponse(1000.0)), 0.01);

    // Normal playing levels are clipped to +-0.3.
    DriveStage loud = driveAt(1.0f);
    EXPECT_NEAR(peakOutput(loud, 1000.0, 0.5), 0.3f, 0.006f);
}

TEST(DriveStage, ConstantInputDecaysToZero)
{
    for (float value : {0.0f, 1.0f}) {
        DriveStage drive = driveAt(value);
        float y = 1.0f;
        float early = 0.0f;
        for (int n = 0; n < 2 * static_cast<int>(kRate); ++n) {
            y = drive.process(0.5f);
            if (n == 0)
                early = y;
        }
        EXPECT_GT(std::fabs(early), 0.25f) << value; // the step gets through at first
        EXPECT_LT(std::fabs(y), 1e-5f) << value;
    }
}

TEST(DriveStage, BlockerRemovesTheOffsetOfAsymmetricClipping)
{
    // sin t + 0.6 cos 2t is positive for about 63 % of each cycle, so clipping it to +-0.3
    // leaves an offset near 0.08 before the blocker.
    DriveStage drive = driveAt(1.0f);
    const double w = 2.0 * kPi * 1000.0 / kRate;
    const int settle = 2 * static_cast<int>(kRate);
    const int measure = static_cast<int>(kRate); // 1000 whole cycles
    double sum = 0.0;
    float peak = 0.0f;
    for (int n = 0; n < settle + measure; ++n) {
        const float x = static_cast<float>(0.4 * (std::sin(w * n) + 0.6 * std::cos(2.0 * w * n)));
        const float y = drive.process(x);
        if (n >= settle) {
            sum += y;
            peak = std::max(peak, std::fabs(y));
        }
    }
    EXPECT_LT(std::fabs(sum / measure), 0.002);
    EXPECT_GT(peak, 0.3f); // the blocker shifts the clipped wave to centre it on 0
}
