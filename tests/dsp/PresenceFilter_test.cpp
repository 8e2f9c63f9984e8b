#include "dsp/PresenceFilter.h"

#include <cmath>
#include <complex>

#include <gtest/gtest.h>

#include "SineMeasurement.h"

using namespace sine_measurement;

namespace {

constexpr double kRate = 44100.0;

// Two cascaded one-pole low-pass stages y += f (x - y): H = (f / (1 - (1 - f) z^-1))^2.
std::complex<double> lowPassResponse(double f, double frequency)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * frequency / kRate);
    const std::complex<double> stage = f / (1.0 - (1.0 - f) * z1);
    return stage * stage;
}

double filterGain(PresenceFilter& filter, float mode, double frequency)
{
    return sineGain(
        [&](float x) {
            filter.process(0, mode, x);
            return x;
        },
        frequency, kRate);
}

} // namespace

TEST(PresenceFilter, CoefficientSpansDarkToOpen)
{
    PresenceFilter filter;
    filter.setPresence(0.0f);
    EXPECT_FLOAT_EQ(filter.coefficient(), 0.221573f); // 0.3^3 * 0.799 + 0.2
    filter.setPresence(1.0f);
    EXPECT_FLOAT_EQ(filter.coefficient(), 0.999f);
    filter.setPresence(0.5f);
    EXPECT_FLOAT_EQ(filter.coefficient(), static_cast<float>(0.65 * 0.65 * 0.65 * 0.799 + 0.2));
    // Out-of-range values are held to the control's range, so f never reaches 1.
    filter.setPresence(2.0f);
    EXPECT_FLOAT_EQ(filter.coefficient(), 0.999f);
    filter.setPresence(-1.0f);
    EXPECT_FLOAT_EQ(filter.coefficient(), 0.221573f);
}

TEST(PresenceFilter, FullPresencePassesOneKilohertz)
{
    PresenceFilter filter;
    filter.setPresence(1.0f);
    EXPECT_NEAR(toDb(filterGain(filter, 0.0f, 1000.0)), 0.0, 0.01);
}

TEST(PresenceFilter, ZeroPresenceDarkensAsTwoOnePoleStages)
{
    for (double frequency : {1000.0, 5000.0, 12000.0}) {
        PresenceFilter filter;
        filter.setPresence(0.0f);
        const double expected = std::abs(lowPassResponse(filter.coefficient(), frequency));
        const double measured = filterGain(filter, 0.0f, frequency);
        EXPECT_NEAR(toDb(measured), toDb(expected), 0.01) << frequency;
    }
    PresenceFilter filter;
    filter.setPresence(0.0f);
    EXPECT_LT(toDb(filterGain(filter, 0.0f, 1000.0)), -2.0); // noticeably darker at 1 kHz
}

TEST(PresenceFilter, HighPassModeIsTheComplement)
{
    PresenceFilter filter;
    filter.setPresence(0.0f);
    const double frequency = 3000.0;
    const double expected = std::abs(1.0 - lowPassResponse(filter.coefficient(), frequency));
    EXPECT_NEAR(toDb(filterGain(filter, 1.0f, frequency)), toDb(expected), 0.01);

    // DC: the low-pass settles on it, the high-pass rejects it.
    PresenceFilter dc;
    float low = 0.0f;
    float high = 0.0f;
    for (int n = 0; n < 1000; ++n) {
        low = 0.5f;
        dc.process(0, 0.0f, low);
        high = 0.5f;
        dc.process(1, 1.0f, high);
    }
    EXPECT_NEAR(low, 0.5f, 1e-6f);
    EXPECT_NEAR(high, 0.0f, 1e-6f);
}

TEST(PresenceFilter, ChannelsKeepSeparateMemories)
{
    PresenceFilter filter;
    PresenceFilter alone;
    filter.setPresence(0.2f);
    alone.setPresence(0.2f);
    for (int n = 0; n < 1000; ++n) {
        float busy = std::cos(0.4f * n);
        filter.process(5, 0.0f, busy);
        float x = std::sin(0.05f * n);
        float y = x;
        filter.process(0, 0.0f, x);
        alone.process(0, 0.0f, y);
        ASSERT_EQ(x, y) << n;
    }
    float untouched = 0.75f;
    filter.process(6, 0.0f, untouched);
    EXPECT_EQ(untouched, 0.75f);
}
