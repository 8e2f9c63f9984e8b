#include "dsp/Imager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

// Mid/side targets at width 1: step 205 of 256, u = 205/256 - 0.5.
constexpr float kMidAtFull = 0.478333f;
constexpr float kSideAtFull = 1.280417f;
constexpr int kLeftTap = 661;  // 15 ms at 44100
constexpr int kRightTap = 441; // 10 ms

float noise(unsigned& state)
{
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
}

} // namespace

TEST(Imager, WidthZeroPassesBothChannelsUnchanged)
{
    // From the start, and back at 0 after a wide setting with the buffers full of signal.
    Imager imager(44100);
    unsigned seed = 1;
    float outL = 0.0f, outR = 0.0f;
    for (float width : {0.0f, 1.0f, 0.0f}) {
        imager.setWidth(width);
        for (int n = 0; n < 3000; ++n) {
            const float l = noise(seed), r = noise(seed);
            imager.process(l, r, outL, outR, 512);
            ASSERT_TRUE(width != 0.0f || (outL == l && outR == r)) << n;
        }
    }
}

TEST(Imager, GainTargetsFollowTheParabola)
{
    Imager imager(44100);
    EXPECT_FLOAT_EQ(imager.midTarget(), 1.3333334f);
    EXPECT_EQ(imager.sideTarget(), 0.0f);
    EXPECT_EQ(imager.inputGain(), 1.0f);

    imager.setWidth(1.0f);
    EXPECT_NEAR(imager.midTarget(), kMidAtFull, 1e-5f);
    EXPECT_NEAR(imager.sideTarget(), kSideAtFull, 1e-5f);
    EXPECT_FLOAT_EQ(imager.inputGain(), 1.7f);

    imager.setWidth(0.5f); // step 102: u = -0.1015625
    EXPECT_NEAR(imager.midTarget(), (0.75f - 0.1015625f * 0.1015625f + 0.1015625f) * 1.3333334f, 1e-6f);
    EXPECT_NEAR(imager.sideTarget(), (0.75f - 0.1015625f * 0.1015625f - 0.1015625f) * 1.3333334f, 1e-6f);

    imager.setWidth(0.35f);
    EXPECT_EQ(imager.inputGain(), 1.0f);
    const float aboveThreshold = std::nextafter(0.35f, 1.0f);
    imager.setWidth(aboveThreshold);
    EXPECT_FLOAT_EQ(imager.inputGain(), 1.7f * aboveThreshold);
}

TEST(Imager, RefusesWidthsOutsideZeroToOne)
{
    // A refused width leaves the gains, the buffers and the sound as the last good width made
    // them: an imager that received the bad values sounds like one that never did.
    Imager refusing(44100), reference(44100);
    refusing.setWidth(0.6f);
    reference.setWidth(0.6f);
    const float midBefore = refusing.midTarget(), sideBefore = refusing.sideTarget();
    const float gainBefore = refusing.inputGain();
    const float infinity = std::numeric_limits<float>::infinity();
    unsigned seed = 5;
    for (float bad : {std::nanf(""), infinity, -infinity, -0.01f, 1.0001f, 2.0f, -1.0f, 1e30f}) {
        refusing.setWidth(bad);
        EXPECT_EQ(refusing.midTarget(), midBefore) << bad;
        EXPECT_EQ(refusing.sideTarget(), sideBefore) << bad;
        EXPECT_EQ(refusing.inputGain(), gainBefore) << bad;
        for (int n = 0; n < 1000; ++n) {
            const float l = noise(seed), r = noise(seed);
            float l1 = 0.0f, r1 = 0.0f, l2 = 0.0f, r2 = 0.0f;
            refusing.process(l, r, l1, r1, 64);
            reference.process(l, r, l2, r2, 64);
            ASSERT_EQ(l1, l2) << bad << " " << n;
            ASSERT_EQ(r1, r2) << bad << " " << n;
        }
    }
    // The ends of the range are widths like any other.
    refusing.setWidth(1.0f);
    EXPECT_NEAR(refusing.midTarget(), kMidAtFull, 1e-5f);
    refusing.setWidth(0.0f);
    EXPECT_FLOAT_EQ(refusing.midTarget(), 1.3333334f);
}

TEST(Imager, WidthStepRoundsHalfwayToEven)
{
    // Widths whose product with 204.8 is exactly x.5 in float.
    const float half = 5.0f / 2048.0f;        // 0.5 -> step 0
    const float oneAndHalf = 15.0f / 2048.0f; // 1.5 -> step 2
    const float twoAndHalf = 25.0f / 2048.0f; // 2.5 -> step 2
    ASSERT_EQ(half * 204.8f, 0.5f);
    ASSERT_EQ(oneAndHalf * 204.8f, 1.5f);
    ASSERT_EQ(twoAndHalf * 204.8f, 2.5f);

    Imager imager(44100);
    auto sideFor = [&](float v) {
        imager.setWidth(v);
        return imager.sideTarget();
    };
    const float step0 = sideFor(0.0f);
    const float step1 = sideFor(1.0f / 204.8f);
    const float step2 = sideFor(2.0f / 204.8f);
    ASSERT_NE(step0, step1);
    ASSERT_NE(step1, step2);
    EXPECT_EQ(sideFor(half), step0);
    EXPECT_EQ(sideFor(oneAndHalf), step2);
    EXPECT_EQ(sideFor(twoAndHalf), step2);
}

TEST(Imager, FullWidthAddsDelayedMidSideCopies)
{
    Imager imager(44100);
    imager.setWidth(1.0f);
    // Block length 7: the gains reach their targets on the first sample.
    std::vector<float> outL(1000), outR(1000);
    for (int n = 0; n < 1000; ++n)
        imager.process(n == 0 ? 1.0f : 0.0f, 0.0f, outL[n], outR[n], 7);

    const float delayed = 1.7f * 0.5f; // input gain, then the halving of mid and side
    for (int n = 0; n < 1000; ++n) {
        if (n == 0) {
            EXPECT_FLOAT_EQ(outL[n], 0.5f); // half dry
            EXPECT_EQ(outR[n], 0.0f);
        } else if (n == kLeftTap) {
            EXPECT_NEAR(outL[n], 0.5f * (kMidAtFull + kSideAtFull) * delayed, 1e-5f);
            EXPECT_NEAR(outR[n], 0.5f * (kMidAtFull - kSideAtFull) * delayed, 1e-5f);
        } else {
            ASSERT_EQ(outL[n], 0.0f) << n;
            ASSERT_EQ(outR[n], 0.0f) << n;
        }
    }

    // The right channel comes back after 10 ms, with the side term reversed.
    Imager right(44100);
    right.setWidth(1.0f);
    float l = 0.0f, r = 0.0f;
    for (int n = 0; n <= kRightTap; ++n) {
        right.process(0.0f, n == 0 ? 1.0f : 0.0f, l, r, 7);
        if (n > 0 && n < kRightTap) {
            ASSERT_EQ(l, 0.0f) << n;
            ASSERT_EQ(r, 0.0f) << n;
        }
    }
    EXPECT_NEAR(l, 0.5f * (kMidAtFull - kSideAtFull) * delayed, 1e-5f);
    EXPECT_NEAR(r, 0.5f * (kMidAtFull + kSideAtFull) * delayed, 1e-5f);
}

TEST(Imager, TapsHoldAcrossTheBufferWrap)
{
    // One-second buffers of 1000 samples: taps of 15 and 10 samples, wrapping every second.
    Imager imager(1000);
    imager.setWidth(1.0f);
    unsigned seed = 11;
    std::vector<float> inL(3500), inR(3500);
    for (std::size_t n = 0; n < inL.size(); ++n) {
        inL[n] = noise(seed);
        inR[n] = noise(seed);
    }
    for (std::size_t n = 0; n < inL.size(); ++n) {
        float l = 0.0f, r = 0.0f;
        imager.process(inL[n], inR[n], l, r, 7);
        const double dl = n >= 15 ? 1.7 * inL[n - 15] : 0.0;
        const double dr = n >= 10 ? 1.7 * inR[n - 10] : 0.0;
        const double mid = kMidAtFull * (dl + dr) * 0.5;
        const double side = kSideAtFull * (dl - dr) * 0.5;
        ASSERT_NEAR(l, 0.5 * (mid + side) + 0.5 * inL[n], 1e-5) << n;
        ASSERT_NEAR(r, 0.5 * (mid - side) + 0.5 * inR[n], 1e-5) << n;
    }
}

TEST(Imager, MonoInputBecomesStereo)
{
    Imager imager(44100);
    imager.setWidth(1.0f);
    std::vector<float> diff(1000);
    for (int n = 0; n < 1000; ++n) {
        float l = 0.0f, r = 0.0f;
        const float x = n == 0 ? 1.0f : 0.0f;
        imager.process(x, x, l, r, 7);
        diff[n] = l - r;
    }
    EXPECT_EQ(diff[0], 0.0f);
    EXPECT_NEAR(diff[kRightTap], -kSideAtFull * 1.7f * 0.5f, 1e-5f);
    EXPECT_NEAR(diff[kLeftTap], kSideAtFull * 1.7f * 0.5f, 1e-5f);

    // A steady mono level has no side: both taps read the same value.
    Imager steady(44100);
    steady.setWidth(1.0f);
    float l = 0.0f, r = 0.0f;
    for (int n = 0; n < 2000; ++n)
        steady.process(0.3f, 0.3f, l, r, 7);
    EXPECT_EQ(l, r);
}

TEST(Imager, GainsGlideBySevenOverTheBlockLength)
{
    Imager imager(44100);
    imager.setWidth(1.0f);
    // Constant input fills both taps with 1.7; then outL = 0.5 * 1.7 * midGain + 0.5 and
    // midGain after n + 1 samples is target * (1 - 0.9^(n + 1)) for block length 70.
    float l = 0.0f, r = 0.0f;
    for (int n = 0; n < 700; ++n) {
        imager.process(1.0f, 1.0f, l, r, 70);
        if (n >= kLeftTap) {
            const double gain = kMidAtFull * (1.0 - std::pow(0.9, n + 1));
            ASSERT_NEAR(l, 0.5 * 1.7 * gain + 0.5, 1e-5) << n;
            ASSERT_EQ(l, r) << n;
        }
    }
}

TEST(Imager, ShortBlocksStayBoundedAndJumpToTheTargets)
{
    for (int blockLength : {-1, 0, 1, 2, 3, 6}) {
        Imager shortBlocks(44100), sevenBlocks(44100);
        unsigned seed = 7;
        for (int n = 0; n < 20000; ++n) {
            if (n % 1000 == 0) {
                const float w = static_cast<float>((n / 1000) % 5) / 4.0f;
                shortBlocks.setWidth(w);
                sevenBlocks.setWidth(w);
            }
            const float x = noise(seed), y = noise(seed);
            float l1 = 0.0f, r1 = 0.0f, l7 = 0.0f, r7 = 0.0f;
            shortBlocks.process(x, y, l1, r1, blockLength);
            sevenBlocks.process(x, y, l7, r7, 7);
            ASSERT_EQ(l1, l7) << blockLength << " " << n;
            ASSERT_EQ(r1, r7) << blockLength << " " << n;
            ASSERT_LE(std::fabs(l1), 4.0f);
        }
    }
}

TEST(Imager, ClearEmptiesBothBuffersBeforeTheNextSample)
{
    Imager imager(44100);
    imager.setWidth(1.0f);
    float l = 0.0f, r = 0.0f;
    for (int n = 0; n < 2000; ++n)
        imager.process(1.0f, 1.0f, l, r, 7);
    ASSERT_GT(l, 0.6f);
    imager.clear();
    // Only the dry half remains until the new signal reaches the 10 ms tap.
    for (int n = 0; n < kRightTap; ++n) {
        imager.process(1.0f, 1.0f, l, r, 7);
        ASSERT_EQ(l, 0.5f) << n;
        ASSERT_EQ(r, 0.5f) << n;
    }
    // Then the right copy alone: mid and side of (0, 1.7).
    imager.process(1.0f, 1.0f, l, r, 7);
    EXPECT_NEAR(l, 0.5f + 0.5f * (kMidAtFull - kSideAtFull) * 0.85f, 1e-5f);
    EXPECT_NEAR(r, 0.5f + 0.5f * (kMidAtFull + kSideAtFull) * 0.85f, 1e-5f);
}

TEST(Imager, ChangesWhileProcessingStayInBounds)
{
    Imager imager(2000);
    std::atomic<bool> done{false};
    std::thread changer([&] {
        for (int i = 0; i < 20000; ++i) {
            imager.setWidth(static_cast<float>(i % 21) / 20.0f);
            if (i % 5 == 0)
                imager.clear();
        }
        done = true;
    });
    unsigned seed = 3;
    unsigned n = 0;
    float l = 0.0f, r = 0.0f;
    while (!done || n < 100000) {
        imager.process(noise(seed), noise(seed), l, r, 1 + static_cast<int>(n % 9));
        ASSERT_TRUE(std::isfinite(l) && std::isfinite(r));
        ASSERT_LE(std::fabs(l), 4.0f);
        ASSERT_LE(std::fabs(r), 4.0f);
        ++n;
    }
    changer.join();
}
