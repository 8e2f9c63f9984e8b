#include "dsp/StereoDelay.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

struct Taps {
    std::vector<float> a;
    std::vector<float> b;
};

Taps impulseResponse(StereoDelay& delay, std::size_t length, float amplitude = 1.0f)
{
    Taps t{std::vector<float>(length), std::vector<float>(length)};
    for (std::size_t n = 0; n < length; ++n)
        delay.process(n == 0 ? amplitude : 0.0f, t.a[n], t.b[n]);
    return t;
}

// Everything not an echo carries only the 1e-24 anti-denormal offset.
constexpr float kSilence = 1e-20f;

} // namespace

TEST(StereoDelay, DelayLengthFromSpeed)
{
    StereoDelay delay(44100);
    EXPECT_EQ(delay.delaySamples(), 88200); // whole line before the first Speed change
    delay.setSpeed(0.0f);
    EXPECT_EQ(delay.delaySamples(), 440); // 440.99999 truncated
    delay.setSpeed(1.0f);
    EXPECT_EQ(delay.delaySamples(), 44540);
    delay.setSpeed(0.5f);
    EXPECT_EQ(delay.delaySamples(), 22490);
}

TEST(StereoDelay, OutOfRangeSpeedStaysInsideTheLine)
{
    StereoDelay delay(44100);
    delay.setSpeed(-1.0f);
    EXPECT_EQ(delay.delaySamples(), 1);
    delay.setSpeed(5.0f);
    EXPECT_EQ(delay.delaySamples(), 88200);
    delay.setSpeed(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(delay.delaySamples(), 1);
}

TEST(StereoDelay, PingPongTapsAlternateAndDecayByFeedback)
{
    StereoDelay delay(44100);
    delay.setSpeed(0.0f);
    delay.setSustain(0.5f);
    delay.setMix(1.0f);
    const auto t = impulseResponse(delay, 2000);
    for (std::size_t n = 0; n < t.a.size(); ++n) {
        const float expectA = n == 440 ? 1.0f : n == 1320 ? 0.5f : 0.0f;
        const float expectB = n == 880 ? 1.0f : n == 1760 ? 0.5f : 0.0f;
        ASSERT_NEAR(t.a[n], expectA, kSilence) << n;
        ASSERT_NEAR(t.b[n], expectB, kSilence) << n;
    }
}

TEST(StereoDelay, LongestDelayPingPong)
{
    StereoDelay delay(44100);
    delay.setSpeed(1.0f);
    delay.setMix(1.0f);
    const auto t = impulseResponse(delay, 2 * 44540 + 1);
    EXPECT_NEAR(t.a[44540], 1.0f, kSilence);
    EXPECT_NEAR(t.a[44539], 0.0f, kSilence);
    EXPECT_NEAR(t.b[2 * 44540], 1.0f, kSilence);
    EXPECT_NEAR(t.b[2 * 44540 - 1], 0.0f, kSilence);
}

TEST(StereoDelay, InitialDelayIsTheWholeLine)
{
    StereoDelay delay(1000);
    delay.setMix(1.0f);
    const auto t = impulseResponse(delay, 2001);
    EXPECT_NEAR(t.a[1999], 0.0f, kSilence);
    EXPECT_NEAR(t.a[2000], 1.0f, kSilence);
}

TEST(StereoDelay, SustainZeroGivesOneRepeatPerTap)
{
    StereoDelay delay(44100);
    delay.setSpeed(0.0f);
    delay.setSustain(0.0f);
    delay.setMix(1.0f);
    const auto t = impulseResponse(delay, 5 * 440);
    for (std::size_t n = 0; n < t.a.size(); ++n) {
        ASSERT_NEAR(t.a[n], n == 440 ? 1.0f : 0.0f, kSilence) << n;
        ASSERT_NEAR(t.b[n], n == 880 ? 1.0f : 0.0f, kSilence) << n;
    }
}

TEST(StereoDelay, SustainOneNeverDecays)
{
    StereoDelay delay(44100);
    delay.setSpeed(0.0f);
    delay.setSustain(1.0f);
    delay.setMix(1.0f);
    const auto t = impulseResponse(delay, 22 * 440 + 1);
    // Tap a at odd multiples of D, tap b at even ones, all at full level.
    for (std::size_t k = 1; k <= 21; k += 2) {
        EXPECT_NEAR(t.a[k * 440], 1.0f, 1e-6f) << k;
        EXPECT_NEAR(t.b[(k + 1) * 440], 1.0f, 1e-6f) << k;
    }
}

TEST(StereoDelay, MixIsEqualPower)
{
    StereoDelay delay(44100);
    delay.setSpeed(0.0f);
    delay.setMix(0.0f);
    float a = 0.0f, b = 0.0f;
    delay.process(0.25f, a, b);
    EXPECT_EQ(a, 0.25f + 1e-24f);
    EXPECT_EQ(b, 0.25f + 1e-24f);

    delay.setSpeed(0.0f);
    delay.setMix(1.0f);
    delay.process(0.25f, a, b);
    EXPECT_NEAR(a, 0.0f, kSilence);
    EXPECT_NEAR(b, 0.0f, kSilence);

    // Mix 0.5: m = 0.25, dry sqrt(0.75), wet 0.5.
    delay.setSpeed(0.0f);
    delay.setMix(0.5f);
    const auto t = impulseResponse(delay, 900);
    EXPECT_NEAR(t.a[0], std::sqrt(0.75f), 1e-6f);
    EXPECT_NEAR(t.a[440], 0.5f, 1e-6f);
    EXPECT_NEAR(t.b[880], 0.5f, 1e-6f);
}

TEST(StereoDelay, SpeedChangeCutsOffTheEchoes)
{
    StereoDelay delay(44100);
    delay.setSpeed(0.0f);
    delay.setSustain(0.9f);
    delay.setMix(1.0f);
    const auto before = impulseResponse(delay, 500);
    ASSERT_NEAR(before.a[440], 1.0f, kSilence);

    delay.setSpeed(0.0f); // same value: the line is emptied all the same
    float a = 0.0f, b = 0.0f;
    for (int n = 0; n < 5000; ++n) {
        delay.process(0.0f, a, b);
        ASSERT_NEAR(a, 0.0f, kSilence) << n;
        ASSERT_NEAR(b, 0.0f, kSilence) << n;
    }
}

TEST(StereoDelay, ClearEmptiesTheLineBeforeTheNextSample)
{
    StereoDelay delay(44100);
    delay.setSpeed(0.0f);
    delay.setSustain(1.0f);
    delay.setMix(1.0f);
    impulseResponse(delay, 600);
    delay.clear();
    float a = 0.0f, b = 0.0f;
    for (int n = 0; n < 3000; ++n) {
        delay.process(0.0f, a, b);
        ASSERT_NEAR(a, 0.0f, kSilence) << n;
        ASSERT_NEAR(b, 0.0f, kSilence) << n;
    }
    // The line works normally after a clear.
    const auto t = impulseResponse(delay, 441);
    EXPECT_NEAR(t.a[440], 1.0f, kSilence);
}

TEST(StereoDelay, ParameterChangesWhileProcessingStayInBounds)
{
    StereoDelay delay(2000);
    delay.setSustain(0.9f);
    delay.setMix(0.7f);
    std::atomic<bool> done{false};
    std::thread changer([&] {
        for (int i = 0; i < 20000; ++i) {
            delay.setSpeed(static_cast<float>(i % 101) / 50.0f - 0.5f);
            if (i % 3 == 0)
                delay.clear();
            delay.setMix(static_cast<float>(i % 11) / 10.0f);
        }
        done = true;
    });
    // Input within +-1 and feedback 0.9: no tap can exceed 10, no output 11.
    float a = 0.0f, b = 0.0f;
    unsigned n = 0;
    while (!done || n < 200000) {
        delay.process(std::sin(0.01f * static_cast<float>(n % 10000)), a, b);
        ASSERT_TRUE(std::isfinite(a) && std::isfinite(b));
        ASSERT_LE(std::fabs(a), 11.0f);
        ASSERT_LE(std::fabs(b), 11.0f);
        ++n;
    }
    changer.join();
}
